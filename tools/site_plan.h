// What converting a folder of pages writes: the plan made before anything
// is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::tools {

// One file of the source folder that goes into the output folder.
struct SiteFile {
  enum class Kind { kPage, kCopy };
  Kind kind;
  std::filesystem::path source;  // relative to the source folder
  std::filesystem::path target;  // relative to the output folder
};

// One file that cannot go into the output folder, and why.
struct SiteProblem {
  std::filesystem::path source;  // relative to the source folder
  std::string reason;
};

struct SitePlan {
  std::vector<SiteFile> files;  // in the order of their source paths
  std::vector<SiteProblem> problems;
  // The source paths of the pages, "/"-separated, for link lookups.
  std::set<std::string> pages;
};

// Walks `sourceRoot` (without entering hidden names, links to folders or the
// output folder `outputRoot` when it lies inside) and plans a deck "NAME.wml"
// for every .html, .htm and .xhtml page and a copy of every .wml, .wmls,
// .wbmp, .gif, .png, .jpg and .jpeg file. A file linked from outside the
// source folder, and a folder that cannot be read, are problems, not read. Throws UsageError when two files
// would be written to one target.
SitePlan PlanSite(const std::filesystem::path& sourceRoot, const std::filesystem::path& outputRoot);

// For each page whose deck was cut into parts, by its source path
// ("/"-separated): the part, counted from 1, that holds each card, by id.
using PartsOfCards = std::map<std::string, std::map<std::string, int32_t, std::less<>>, std::less<>>;

// The new text of link `target` in the deck of the page `page` (a source
// path): a relative link to a page of `pages` gets ".wml" for that page's
// extension ("a.html#x" gives "a.wml#x"; "sub/" gives "sub/index.wml" when
// sub/index.html is a page), and the file of a later part when `parts`
// puts the card it names there ("a-3.wml#x"); nullopt for any other link.
std::optional<std::string> ConvertedLink(std::string_view target, const std::filesystem::path& page,
                                         const std::set<std::string>& pages, const PartsOfCards& parts = {});

}  // namespace quillmark::tools
