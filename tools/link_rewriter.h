// Rewriting the link targets of a written deck.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::tools {

// Gives the new text of one link target, or nullopt to keep it as it is.
using LinkMapper = std::function<std::optional<std::string>(std::string_view target)>;

// `deck` with the value of every href and src attribute of its tags passed
// through `map`. Only tag text is looked at: text and the values of other
// attributes stay as they are, byte for byte. One pass over the deck.
std::string RewriteLinks(std::string_view deck, const LinkMapper& map);

}  // namespace quillmark::tools
