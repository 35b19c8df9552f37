#include "tools/base_href.h"

#include <string_view>
#include <utility>

#include "tools/ascii_case.h"

namespace quillmark::tools {
namespace {

bool IsTagBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Where the first `<base` tag from `from` on begins (its "<"), or npos.
std::size_t NextBaseTag(std::string_view page, std::size_t from) {
  constexpr std::string_view kOpen = "<base";
  for (std::size_t at = page.find('<', from); at != std::string_view::npos; at = page.find('<', at + 1)) {
    if (!EqualIgnoringCase(page.substr(at, kOpen.size()), kOpen)) continue;
    const std::size_t after = at + kOpen.size();
    // "<basefont" is another element.
    if (after == page.size() || IsTagBlank(page[after]) || page[after] == '>' || page[after] == '/') return at;
  }
  return std::string_view::npos;
}

// The value of the href attribute of the tag `tag` (up to its ">"): its
// start and length, or npos for none.
std::pair<std::size_t, std::size_t> HrefValue(std::string_view tag) {
  constexpr std::string_view kName = "href";
  for (std::size_t at = 1; at + kName.size() < tag.size(); ++at) {
    if (!IsTagBlank(tag[at - 1]) || !EqualIgnoringCase(tag.substr(at, kName.size()), kName)) continue;
    std::size_t value = at + kName.size();
    while (value < tag.size() && IsTagBlank(tag[value])) ++value;
    if (value == tag.size() || tag[value] != '=') continue;
    ++value;
    while (value < tag.size() && IsTagBlank(tag[value])) ++value;
    if (value == tag.size()) break;
    if (tag[value] == '"' || tag[value] == '\'') {
      const std::size_t close = tag.find(tag[value], value + 1);
      if (close == std::string_view::npos) break;
      return {value + 1, close - value - 1};
    }
    std::size_t end = value;
    while (end < tag.size() && !IsTagBlank(tag[end]) && tag[end] != '>') ++end;
    return {value, end - value};
  }
  return {std::string_view::npos, 0};
}

}  // namespace

std::string WithMappedBaseHref(std::string page, const std::function<std::string(const std::string&)>& map) {
  // Each base tag is looked at up to its ">", and the next looked for past
  // it, so that no byte is read more than twice.
  for (std::size_t from = 0;;) {
    const std::size_t tag = NextBaseTag(page, from);
    if (tag == std::string::npos) return page;
    const std::size_t end = page.find('>', tag);
    const std::size_t tagLength = end == std::string::npos ? std::string::npos : end - tag;
    const auto [start, length] = HrefValue(std::string_view(page).substr(tag, tagLength));
    if (start != std::string_view::npos) {
      page.replace(tag + start, length, map(page.substr(tag + start, length)));
      return page;
    }
    if (end == std::string::npos) return page;
    from = end + 1;
  }
}

}  // namespace quillmark::tools
