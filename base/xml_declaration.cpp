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

}  // namespace quillmark
