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

// Converts one page into its deck; the reason on failure.
std::optional<std::string> ConvertPageFile(const SiteRequest& request, const SitePlan& plan,
                                           const std::set<std::string>& targets, const SiteFile& file,
                                           const OutputFolder& output, SiteSummary& summary) {
  std::string reason;
  const std::optional<std::string> page = ReadFileText((fs::path(request.source) / file.source).string(), reason);
  if (!page) return "cannot read: " + reason;
  // A deck cut into parts for the device's limits becomes a file a part.
  const std::optional<std::vector<DeckFile>> parts =
      ConvertToDeckFiles(*page, request.device, request.charset, false, file.target.string());
  if (!parts) return ConversionFailureText();
  if (std::optional<std::string> overwriting = PartsOverwritingOthers(*parts, targets)) return overwriting;
  for (const DeckFile& part : *parts) {
    const std::string linked = RewriteLinks(part.body, [&](std::string_view target) {
      return ConvertedLink(target, file.source, plan.pages);
    });
    if (std::optional<std::string> failed = output.Write(part.path, linked)) return failed;
    summary.bytesOut += linked.size();
  }
  ++summary.pages;
  summary.bytesIn += page->size();
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
  std::cout.flush();
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
  Progress progress(plan.files.size());
  for (const SiteFile& file : plan.files) {
    progress.Show(file.source);
    const std::optional<std::string> failed = file.kind == SiteFile::Kind::kPage
                                                  ? ConvertPageFile(request, plan, targets, file, output, summary)
                                                  : CopyFile(request, file, output, summary);
    if (failed) summary.failures.push_back(SiteProblem{file.source, *failed});
  }
  PrintSummary(summary);
  return summary.failures.empty() ? 0 : 1;
}

}  // namespace quillmark::tools
