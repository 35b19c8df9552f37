#include "base/xml_declaration.h"

namespace quillmark {

std::string_view EncodingOf(std::string_view declaration) {
  const size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  const size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return {};
  const size_t close = declaration.find(declaration[quote], quote + 1);
  if (close == std::string_view::npos) return {};
  std::string_view value = declaration.substr(quote + 1, close - quote - 1);
  while (!value.empty() && static_cast<unsigned char>(value.front()) <= ' ') value.remove_prefix(1);
  while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ') value.remove_suffix(1);
  return value;
}

std::string DeclaredEncoding(std::string_view xmlDeclaration) {
  const std::string_view encoding = EncodingOf(xmlDeclaration);
  return encoding.empty() ? std::string("UTF-8") : std::string(encoding);
}

std::string_view ContentTypeCharset(std::string_view content) {
  const auto lowered = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  constexpr std::string_view kName = "charset";
  size_t at = 0;
  while (at + kName.size() <= content.size()) {
    size_t i = 0;
    while (i < kName.size() && lowered(content[at + i]) == kName[i]) ++i;
    if (i == kName.size()) break;
    ++at;
  }
  if (at + kName.size() > content.size()) return {};
  size_t value = content.find_first_not_of(" \t\r\n", at + kName.size());
  if (value == std::string_view::npos || content[value] != '=') return {};
  value = content.find_first_not_of(" \t\r\n\"'", value + 1);
  if (value == std::string_view::npos) return {};
  const size_t end = content.find_first_of(" \t\r\n\"';", value);
  return content.substr(value, end == std::string_view::npos ? std::string_view::npos : end - value);
}

}  // namespace quillmark
