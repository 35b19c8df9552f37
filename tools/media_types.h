// The media types the server sends, by file extension.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark::tools {

inline constexpr std::string_view kDeckMediaType = "text/vnd.wap.wml";
inline constexpr std::string_view kCompiledDeckMediaType = "application/vnd.wap.wmlc";

// The media type of a file served from a root folder, by its extension
// (letter case ignored); nullopt for files the server does not serve.
std::optional<std::string_view> MediaTypeForFile(std::string_view fileName);

// The type and subtype of a media type, without parameters or blanks.
std::string_view MediaTypeEssence(std::string_view mediaType);

// True when content of `mediaType` (parameters allowed) is a page that the
// server converts into a deck.
bool IsConvertedMediaType(std::string_view mediaType);

}  // namespace quillmark::tools
