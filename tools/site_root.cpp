#include "tools/site_root.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "tools/media_types.h"
#include "tools/request_path.h"

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
  const RequestPath parsed = ParseRequestPath(request.path);
  if (parsed.refused) return ErrorContent(403);
  fs::path candidate = root_;
  for (const std::string& segment : parsed.segments) candidate /= segment;
  std::optional<fs::path> resolved = Resolve(candidate);
  if (!resolved) return ErrorContent(404);
  if (!IsInside(root_, *resolved)) return ErrorContent(403);
  std::error_code error;
  if (!fs::is_directory(*resolved, error)) return ServeFile(*resolved);
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
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return ErrorContent(404);
  const std::optional<std::string_view> mediaType = MediaTypeForFile(file.filename().string());
  if (!mediaType) return ErrorContent(404);
  const uintmax_t size = fs::file_size(file, error);
  if (error) return ErrorContent(404);
  if (size > maxBytes_) return ErrorContent(413);
  std::ifstream in(file, std::ios::binary);
  if (!in) return ErrorContent(403);
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return ErrorContent(403);
  if (body.size() > maxBytes_) return ErrorContent(413);  // grew while being read
  return SourceContent{200, std::string(*mediaType), std::move(body), ""};
}

}  // namespace quillmark::tools
