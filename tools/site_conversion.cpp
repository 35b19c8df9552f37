#include "tools/site_conversion.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string_view>

#include "tools/arguments.h"
#include "tools/input_files.h"
#include "tools/link_rewriter.h"
#include "tools/page_converter.h"
#include "tools/site_plan.h"

namespace quillmark::tools {

namespace {

namespace fs = std::filesystem;

// Writes files below one folder and nowhere else: no part of a path below
// it may be a symbolic link, so a link planted in the output folder cannot
// lead a write out of it.
class OutputFolder {
 public:
  explicit OutputFolder(fs::path root) : root_(std::move(root)) {}

  // Writes `bytes` to `relative`; the reason on failure.
  std::optional<std::string> Write(const fs::path& relative, std::string_view bytes) const {
    if (std::optional<std::string> refused = PrepareFolders(relative)) return refused;
    std::ofstream out(root_ / relative, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return std::string("cannot write ") + (root_ / relative).string() + ": " + std::strerror(errno);
    return std::nullopt;
  }

 private:
  // Creates the folders of `relative`; the reason when a part of it is a
  // link or not a folder.
  std::optional<std::string> PrepareFolders(const fs::path& relative) const {
    fs::path at = root_;
    const fs::path normal = relative.lexically_normal();
    if (normal.empty() || *normal.begin() == ".." || normal.is_absolute()) {
      return "would be written outside " + root_.string();
    }
    for (auto part = normal.begin(); part != normal.end(); ++part) {
      at /= *part;
      std::error_code error;
      const fs::file_status status = fs::symlink_status(at, error);
      if (fs::is_symlink(status)) return "refused to write through the link " + at.string();
      if (std::next(part) == normal.end()) break;
      if (!fs::exists(status) && !fs::create_directory(at, error) && error) {
        return "cannot create " + at.string() + ": " + error.message();
      }
      if (fs::exists(status) && !fs::is_directory(status)) return at.string() + " is not a folder";
    }
    return std::nullopt;
  }

  fs::path root_;
};

struct SiteSummary {
  size_t pages = 0;
  size_t bytesIn = 0;
  size_t bytesOut = 0;
  size_t copied = 0;
  std::vector<SiteProblem> failures;
};

// One line per file on a terminal ("[12/200] sub/page.html"); nothing when
// standard error is not a terminal.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), shown_(::isatty(STDERR_FILENO) == 1) {}
  void Show(const fs::path& file) {
    ++done_;
    if (shown_) std::cerr << "[" << done_ << "/" << total_ << "] " << file.generic_string() << "\n";
  }

 private:
  size_t total_;
  size_t done_ = 0;
  bool shown_;
};

// The ids of the cards of `deck`, as the deck writer writes them
// (`<card id="...">`), in order.
std::vector<std::string_view> CardIdsOf(std::string_view deck) {
  std::vector<std::string_view> ids;
  constexpr std::string_view kCard = "<card id=\"";
  for (size_t at = deck.find(kCard); at != std::string_view::npos; at = deck.find(kCard, at)) {
    at += kCard.size();
    const size_t end = deck.find('"', at);
    if (end == std::string_view::npos) break;
    ids.push_back(deck.substr(at, end - at));
  }
  return ids;
}

// A page's converted deck, from the first pass over the pages.
struct ConvertedPageFile {
  std::optional<std::vector<DeckFile>> parts;  // dropped when too many bytes are held
  std::optional<std::string> failure;
  size_t bytesIn = 0;
};

size_t DeckBytes(const ConvertedPageFile& converted) {
  size_t bytes = 0;
  if (converted.parts) {
    for (const DeckFile& part : *converted.parts) bytes += part.body.size();
  }
  return bytes;
}

// Decks of this many bytes in all are held from the first pass to the
// second; the pages of the rest are converted again.
constexpr size_t kMostHeldDeckBytes = size_t{64} << 20;

// Converts one page into its deck, noting which part holds each card of a
// deck cut into parts.
ConvertedPageFile ConvertPageFile(const SiteRequest& request, const std::set<std::string>& targets,
                                  const SiteFile& file, PartsOfCards* partsOfCards) {
  ConvertedPageFile converted;
  std::string reason;
  const std::optional<std::string> page = ReadFileText((fs::path(request.source) / file.source).string(), reason);
  if (!page) {
    converted.failure = "cannot read: " + reason;
    return converted;
  }
  converted.bytesIn = page->size();
  // A deck cut into parts for the device's limits becomes a file a part.
  converted.parts = ConvertToDeckFiles(*page, request.device, request.charset, false, file.target.string());
  if (!converted.parts) {
    converted.failure = ConversionFailureText();
    return converted;
  }
  converted.failure = PartsOverwritingOthers(*converted.parts, targets);
  if (partsOfCards == nullptr || converted.failure || converted.parts->size() < 2) return converted;
  auto& cards = (*partsOfCards)[file.source.generic_string()];
  for (size_t part = 0; part < converted.parts->size(); ++part) {
    for (std::string_view id : CardIdsOf((*converted.parts)[part].body)) {
      cards.emplace(std::string(id), static_cast<int32_t>(part + 1));
    }
  }
  return converted;
}

// Writes a page's deck with its links made to point at the decks; the
// reason on failure.
std::optional<std::string> WritePageFile(const ConvertedPageFile& converted, const SitePlan& plan,
                                         const PartsOfCards& partsOfCards, const SiteFile& file,
                                         const OutputFolder& output, SiteSummary& summary) {
  if (converted.failure) return converted.failure;
  for (const DeckFile& part : *converted.parts) {
    const std::string linked = RewriteLinks(part.body, [&](std::string_view target) {
      return ConvertedLink(target, file.source, plan.pages, partsOfCards);
    });
    if (std::optional<std::string> failed = output.Write(part.path, linked)) return failed;
    summary.bytesOut += linked.size();
  }
  ++summary.pages;
  summary.bytesIn += converted.bytesIn;
  return std::nullopt;
}

// Copies one file as it is; the reason on failure.
std::optional<std::string> CopyFile(const SiteRequest& request, const SiteFile& file, const OutputFolder& output,
                                    SiteSummary& summary) {
  std::string reason;
  const std::optional<std::string> bytes = ReadFileText((fs::path(request.source) / file.source).string(), reason);
  if (!bytes) return "cannot read: " + reason;
  if (std::optional<std::string> failed = output.Write(file.target, *bytes)) return failed;
  ++summary.copied;
  return std::nullopt;
}

void PrintSummary(const SiteSummary& summary) {
  std::cout << "quillmark: " << summary.pages << (summary.pages == 1 ? " page" : " pages") << " converted ("
            << summary.bytesIn << " bytes in, " << summary.bytesOut << " bytes out), " << summary.copied
            << (summary.copied == 1 ? " file" : " files") << " copied, " << summary.failures.size() << " failed\n";
  for (const SiteProblem& failure : summary.failures) {
    std::cout << "  " << failure.source.generic_string() << ": " << failure.reason << "\n";
  }
}

// The output folder, created; throws UsageError when it is the source.
fs::path PrepareOutputRoot(const SiteRequest& request) {
  std::error_code error;
  fs::create_directories(request.output, error);
  if (error) throw std::runtime_error("cannot create " + request.output + ": " + error.message());
  if (fs::equivalent(request.source, request.output, error)) {
    throw UsageError("the output folder must not be the source folder");
  }
  return fs::canonical(request.output);
}

}  // namespace

int ConvertSite(const SiteRequest& request) {
  std::error_code error;
  if (!fs::is_directory(request.source, error)) throw UsageError(request.source + " is not a folder");
  SitePlan plan = PlanSite(request.source, request.output);
  const OutputFolder output(PrepareOutputRoot(request));
  SiteSummary summary;
  summary.failures = std::move(plan.problems);
  // Every file's planned path, which no later part of another page's deck may take.
  std::set<std::string> targets;
  for (const SiteFile& file : plan.files) targets.insert(file.target.string());
  // A link into another page may name a card in a later part of its deck:
  // every page is converted before any deck is written, so that its link
  // can point at that part's file.
  PartsOfCards partsOfCards;
  std::vector<ConvertedPageFile> converted(plan.files.size());
  size_t heldBytes = 0;
  Progress progress(plan.files.size());
  for (size_t i = 0; i < plan.files.size(); ++i) {
    progress.Show(plan.files[i].source);
    if (plan.files[i].kind != SiteFile::Kind::kPage) continue;
    converted[i] = ConvertPageFile(request, targets, plan.files[i], &partsOfCards);
    const size_t bytes = DeckBytes(converted[i]);
    if (heldBytes + bytes > kMostHeldDeckBytes) {
      converted[i].parts.reset();
    } else {
      heldBytes += bytes;
    }
  }
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const SiteFile& file = plan.files[i];
    if (file.kind == SiteFile::Kind::kPage && !converted[i].parts && !converted[i].failure) {
      converted[i] = ConvertPageFile(request, targets, file, nullptr);
    }
    const std::optional<std::string> failed =
        file.kind == SiteFile::Kind::kPage ? WritePageFile(converted[i], plan, partsOfCards, file, output, summary)
                                           : CopyFile(request, file, output, summary);
    converted[i] = ConvertedPageFile{};
    if (failed) summary.failures.push_back(SiteProblem{file.source, *failed});
  }
  PrintSummary(summary);
  if (!FlushedStandardOutput()) return 1;
  return summary.failures.empty() ? 0 : 1;
}

}  // namespace quillmark::tools
