#include "tools/site_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>

#include "tools/media_types.h"
#include "tools/request_path.h"
#include "tools/unique_fd.h"

namespace quillmark::tools {

namespace {

namespace fs = std::filesystem;

// True when the canonical `path` is `root` or lies below it.
bool IsInside(const fs::path& root, const fs::path& path) {
  const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return rootEnd == root.end();
}

// The canonical form of an existing path; nullopt when it does not exist.
std::optional<fs::path> Resolve(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::canonical(path, error);
  if (error) return std::nullopt;
  return resolved;
}

}  // namespace

SiteRoot::SiteRoot(const std::string& root, uint64_t maxBytes) : maxBytes_(maxBytes) {
  std::error_code error;
  if (!fs::is_directory(root, error)) throw std::runtime_error(root + " is not a folder");
  root_ = fs::canonical(root, error);
  if (error) throw std::runtime_error("cannot open " + root + ": " + error.message());
}

SourceContent SiteRoot::Fetch(const SourceRequest& request) const {
  // A path that does not begin at the root ("page.html", "*") names no file.
  if (request.target.empty() || request.target[0] != '/') return ErrorContent(400);
  const RequestPath parsed = ParseRequestPath(request.path);
  if (parsed.refused) return ErrorContent(403);
  fs::path candidate = root_;
  for (const std::string& segment : parsed.segments) candidate /= segment;
  std::optional<fs::path> resolved = Resolve(candidate);
  if (!resolved) return ErrorContent(404);
  if (!IsInside(root_, *resolved)) return ErrorContent(403);
  std::error_code error;
  if (!fs::is_directory(*resolved, error)) {
    // "page.html/" names a folder, as the file system reads it: the deck's
    // relative links would resolve below a file.
    return parsed.endsWithSlash ? ErrorContent(404) : ServeFile(*resolved);
  }
  if (!parsed.endsWithSlash) {
    SourceContent moved = ErrorContent(301);
    // Rebuilt from the checked segments, so it always names this server.
    moved.location = EncodedPath(parsed.segments) + "/";
    return moved;
  }
  resolved = Resolve(*resolved / "index.html");
  if (!resolved) return ErrorContent(404);
  if (!IsInside(root_, *resolved)) return ErrorContent(403);
  return ServeFile(*resolved);
}

SourceContent SiteRoot::ServeFile(const fs::path& file) const {
  const std::optional<std::string_view> mediaType = MediaTypeForFile(file.filename().string());
  if (!mediaType) return ErrorContent(404);
  const UniqueFd opened(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!opened.Valid()) return ErrorContent(errno == ENOENT ? 404 : 403);
  const int descriptor = opened.Get();
  // Validators and body come from the same open file, so that a file
  // replaced meanwhile never pairs its new body with its old tag.
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return ErrorContent(404);
  if (static_cast<uint64_t>(status.st_size) > maxBytes_) return ErrorContent(413);
  std::string body;
  char chunk[16384];
  ssize_t n = 0;
  while ((n = ::read(descriptor, chunk, sizeof chunk)) > 0) {
    body.append(chunk, static_cast<size_t>(n));
    if (body.size() > maxBytes_) return ErrorContent(413);  // grew while being read
  }
  if (n < 0) return ErrorContent(403);
  SourceContent content;
  content.mediaType = std::string(*mediaType);
  content.body = std::move(body);
  content.file = FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                              static_cast<uint64_t>(status.st_size),
                              static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
  return content;
}

}  // namespace quillmark::tools
