#include "tools/accept_lists.h"

#include <cstdlib>
#include <string>

#include "tools/ascii_case.h"

namespace quillmark::tools {

namespace {

// The "q" parameter among `parameters` (";a=b;q=0.5"); 1 when absent.
double Quality(std::string_view parameters) {
  while (!parameters.empty()) {
    const size_t semicolon = parameters.find(';', 1);
    const std::string_view parameter = TrimmedBlanks(parameters.substr(1, semicolon - 1));
    if (parameter.size() > 2 && LowerAscii(parameter[0]) == 'q' && parameter[1] == '=') {
      return std::strtod(std::string(parameter.substr(2)).c_str(), nullptr);
    }
    if (semicolon == std::string_view::npos) break;
    parameters.remove_prefix(semicolon);
  }
  return 1;
}

// The quality `list` gives `wanted`; nullopt when it does not name it.
std::optional<double> QualityIn(std::string_view list, std::string_view wanted) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    const size_t semicolon = item.find(';');
    const std::string_view name = TrimmedBlanks(item.substr(0, semicolon));
    if (EqualIgnoringCase(name, wanted)) {
      return semicolon == std::string_view::npos ? 1.0 : Quality(item.substr(semicolon));
    }
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return std::nullopt;
}

}  // namespace

bool ListAccepts(std::string_view list, std::string_view wanted) {
  const std::optional<double> quality = QualityIn(list, wanted);
  return quality && *quality > 0;
}

bool ListPrefers(std::string_view accept, std::string_view preferred, std::string_view other) {
  const std::optional<double> quality = QualityIn(accept, preferred);
  if (!quality || *quality <= 0) return false;
  const std::optional<double> otherQuality = QualityIn(accept, other);
  return !otherQuality || *quality > *otherQuality;
}

}  // namespace quillmark::tools
