#include "tools/media_types.h"

#include <algorithm>

#include "tools/ascii_case.h"

namespace quillmark::tools {

namespace {

struct MediaTypeEntry {
  std::string_view extension;
  std::string_view mediaType;
};

constexpr MediaTypeEntry kMediaTypes[] = {
    {".html", "text/html"},          {".htm", "text/html"},
    {".xhtml", "application/xhtml+xml"}, {".wml", "text/vnd.wap.wml"},
    {".wmls", "text/vnd.wap.wmlscript"}, {".wbmp", "image/vnd.wap.wbmp"},
    {".gif", "image/gif"},           {".png", "image/png"},
    {".jpg", "image/jpeg"},          {".jpeg", "image/jpeg"},
};

constexpr std::string_view kConvertedTypes[] = {"text/html", "application/xhtml+xml"};

// The type and subtype of a media type, without parameters or blanks.
}  // namespace

std::string_view MediaTypeEssence(std::string_view mediaType) {
  return TrimmedBlanks(mediaType.substr(0, mediaType.find(';')));
}

std::optional<std::string_view> MediaTypeForFile(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view extension = fileName.substr(dot);
  for (const MediaTypeEntry& entry : kMediaTypes) {
    if (EqualIgnoringCase(entry.extension, extension)) return entry.mediaType;
  }
  return std::nullopt;
}

bool IsConvertedMediaType(std::string_view mediaType) {
  const std::string_view essence = MediaTypeEssence(mediaType);
  return std::any_of(std::begin(kConvertedTypes), std::end(kConvertedTypes),
                     [&](std::string_view type) { return EqualIgnoringCase(type, essence); });
}

}  // namespace quillmark::tools
