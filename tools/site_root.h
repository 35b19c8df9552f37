// Serving the files below one folder.
#pragma once

#include <filesystem>

#include "tools/content_source.h"

namespace quillmark::tools {

// Answers with files below a root folder. No file outside the folder is
// ever read: ".." and hidden segments are refused, and a path that symbolic
// links lead outside the folder is refused too. A folder answers with its
// index.html. Files of unknown types are not served.
class SiteRoot : public ContentSource {
 public:
  // Throws std::runtime_error when `root` is not a folder.
  SiteRoot(const std::string& root, uint64_t maxBytes);

  SourceContent Fetch(const SourceRequest& request) const override;

 private:
  // The file to send for an existing path inside the root.
  SourceContent ServeFile(const std::filesystem::path& file) const;

  std::filesystem::path root_;  // canonical
  uint64_t maxBytes_;
};

}  // namespace quillmark::tools
