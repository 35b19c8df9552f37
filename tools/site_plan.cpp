#include "tools/site_plan.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>

#include "tools/arguments.h"
#include "tools/percent_encoding.h"

namespace quillmark::tools {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPageExtensions[] = {".html", ".htm", ".xhtml"};
constexpr std::string_view kCopiedExtensions[] = {".wml", ".wmls", ".wbmp", ".gif", ".png", ".jpg", ".jpeg"};

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

template <size_t N>
bool IsOneOf(const std::string& extension, const std::string_view (&list)[N]) {
  return std::find(std::begin(list), std::end(list), extension) != std::end(list);
}

// True when `path` (canonical) is `root` (canonical) or lies below it.
bool IsWithin(const fs::path& path, const fs::path& root) {
  const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return rootEnd == root.end();
}

// The plan entry for one regular file, or nullopt for a file not taken.
std::optional<SiteFile> EntryFor(const fs::path& relative) {
  const std::string extension = Lowered(relative.extension().string());
  if (IsOneOf(extension, kPageExtensions)) {
    return SiteFile{SiteFile::Kind::kPage, relative, fs::path(relative).replace_extension(".wml")};
  }
  if (IsOneOf(extension, kCopiedExtensions)) return SiteFile{SiteFile::Kind::kCopy, relative, relative};
  return std::nullopt;
}

// Refuses a plan in which two files share a target, naming the target.
void CheckTargetsAreDistinct(const std::vector<SiteFile>& files, const fs::path& outputRoot) {
  std::map<std::string, const SiteFile*> byTarget;
  for (const SiteFile& file : files) {
    if (!byTarget.emplace(file.target.generic_string(), &file).second) {
      throw UsageError("two files would both be written to " + (outputRoot / file.target).string());
    }
  }
}

}  // namespace

SitePlan PlanSite(const fs::path& sourceRoot, const fs::path& outputRoot) {
  SitePlan plan;
  const fs::path root = fs::canonical(sourceRoot);
  const fs::path output = fs::weakly_canonical(outputRoot);
  fs::recursive_directory_iterator walk(root, fs::directory_options::none), end;
  for (; walk != end; ++walk) {
    const fs::directory_entry& entry = *walk;
    const fs::path relative = entry.path().lexically_relative(root);
    if (relative.filename().string().front() == '.') {
      if (entry.is_directory()) walk.disable_recursion_pending();
      continue;
    }
    if (entry.is_directory() && !entry.is_symlink()) {
      // Entries below the canonical root are canonical paths themselves.
      if (entry.path() == output) {
        walk.disable_recursion_pending();
      } else if (::access(entry.path().c_str(), R_OK | X_OK) != 0) {
        plan.problems.push_back(SiteProblem{relative, std::string("cannot read the folder: ") + std::strerror(errno)});
        walk.disable_recursion_pending();
      }
      continue;
    }
    if (!entry.is_regular_file()) continue;
    std::optional<SiteFile> file = EntryFor(relative);
    if (!file) continue;
    std::error_code error;
    if (entry.is_symlink() && !IsWithin(fs::canonical(entry.path(), error), root)) {
      plan.problems.push_back(SiteProblem{relative, "links to a file outside the source folder"});
      continue;
    }
    if (file->kind == SiteFile::Kind::kPage) plan.pages.insert(relative.generic_string());
    plan.files.push_back(std::move(*file));
  }
  std::sort(plan.files.begin(), plan.files.end(),
            [](const SiteFile& a, const SiteFile& b) { return a.source < b.source; });
  CheckTargetsAreDistinct(plan.files, outputRoot);
  return plan;
}

namespace {

// The part of the deck of the page `page` that holds the card the link
// ending in `rest` ("?query#id", "#id" or "") names; 1 for none.
int32_t PartOfCard(const PartsOfCards& parts, const std::string& page, std::string_view rest) {
  const size_t hash = rest.find('#');
  if (hash == std::string_view::npos) return 1;
  const auto cards = parts.find(page);
  if (cards == parts.end()) return 1;
  const auto card = cards->second.find(rest.substr(hash + 1));
  return card == cards->second.end() ? 1 : card->second;
}

// "a.wml" for part 1 of the deck at `path` (which ends in ".wml"), "a-N.wml"
// for part N, as the parts' files are named.
std::string PartPath(const std::string& path, int32_t part) {
  if (part <= 1) return path;
  return path.substr(0, path.size() - 4) + "-" + std::to_string(part) + ".wml";
}

}  // namespace

std::optional<std::string> ConvertedLink(std::string_view target, const fs::path& page,
                                         const std::set<std::string>& pages, const PartsOfCards& parts) {
  const size_t pathEnd = std::min(target.find_first_of("?#"), target.size());
  const std::string_view path = target.substr(0, pathEnd);
  // Absolute paths, links with a scheme and links within the page stay.
  if (path.empty() || path.front() == '/' || path.find(':') < path.find('/')) return std::nullopt;
  std::string newPath;
  fs::path linked = page.parent_path() / PercentDecoded(std::string(path));
  if (path.back() == '/') {
    linked /= "index.html";
    newPath = std::string(path) + "index.wml";
  } else {
    const std::string extension = Lowered(fs::path(std::string(path)).extension().string());
    if (!IsOneOf(extension, kPageExtensions)) return std::nullopt;
    newPath = std::string(path.substr(0, path.size() - extension.size())) + ".wml";
  }
  const fs::path normal = linked.lexically_normal();
  if (normal.empty() || *normal.begin() == "..") return std::nullopt;
  if (pages.count(normal.generic_string()) == 0) return std::nullopt;
  const std::string_view rest = target.substr(pathEnd);
  return PartPath(newPath, PartOfCard(parts, normal.generic_string(), rest)) + std::string(rest);
}

}  // namespace quillmark::tools
