#include "tools/media_types.h"

#include <algorithm>
#include <cctype>

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

// Letters compared without regard to case.
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The type and subtype of a media type, without parameters or blanks.
std::string_view Essence(std::string_view mediaType) {
  mediaType = mediaType.substr(0, mediaType.find(';'));
  while (!mediaType.empty() && mediaType.back() == ' ') mediaType.remove_suffix(1);
  while (!mediaType.empty() && mediaType.front() == ' ') mediaType.remove_prefix(1);
  return mediaType;
}

}  // namespace

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
  const std::string_view essence = Essence(mediaType);
  return std::any_of(std::begin(kConvertedTypes), std::end(kConvertedTypes),
                     [&](std::string_view type) { return EqualIgnoringCase(type, essence); });
}

}  // namespace quillmark::tools
