// Element ids: the element names that the rules, the name lists and the
// content model know, each interned to a small integer once, when a record's
// name is set, so that those tests compare integers instead of strings.
//
// Ids ignore case, as the name lists do: "P" and "p" have the same id. Every
// other name has kOtherElement. kElementNames is the readable source: an id
// is the index of its name there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillmark {

using ElementId = uint8_t;
inline constexpr ElementId kOtherElement = 0;

// Lower-case spellings; index 0 stands for every name not listed.
// clang-format off
inline constexpr std::string_view kElementNames[] = {
    "",
    "a", "abbr", "access", "acronym", "address", "anchor", "applet", "area", "b", "base", "big", "blinking",
    "blockquote", "body", "br", "button", "caption", "card", "center", "cite", "code", "col", "colgroup", "dd",
    "del", "dfn", "dir", "div", "dl", "do", "dt", "em", "embed", "fieldset", "font", "form", "frame", "frameset",
    "go", "h1", "h2", "h3", "h4", "h5", "h6", "head", "hr", "html", "i", "iframe", "img", "input", "ins", "kbd",
    "label", "li", "link", "map", "marquee", "menu", "meta", "nobr", "noframes", "noop", "noscript", "nowap",
    "object", "ol", "onevent", "optgroup", "option", "p", "param", "postfield", "pre", "prev", "q", "refresh", "s",
    "samp", "script", "select", "setvar", "small", "span", "strike", "strong", "style", "sub", "sup", "table",
    "tbody", "td", "template", "textarea", "tfoot", "th", "thead", "timer", "title", "tr", "tt", "u", "ul", "var",
    "wbr", "wml",
};
// clang-format on
inline constexpr size_t kElementIdCount = std::size(kElementNames);
static_assert(kElementIdCount <= 128, "an ElementSet holds 128 ids");

// The id of `name`, its case ignored; kOtherElement for a name not listed.
ElementId ElementIdOf(std::string_view name);

// The id of `name` as ElementIdOf finds it, and whether `name` is spelt
// exactly as the id's name (always false for kOtherElement).
struct ElementMatch {
  ElementId id = kOtherElement;
  bool exact = false;
};
ElementMatch MatchElementName(std::string_view name);

// The id of a listed lower-case name, worked out at compile time; a name
// not listed does not compile.
consteval ElementId KnownElementId(std::string_view name) {
  for (size_t id = 1; id < kElementIdCount; ++id) {
    if (kElementNames[id] == name) return static_cast<ElementId>(id);
  }
  throw "not a known element name";  // ends compilation: the name needs an id
}

// A listed element name given as a literal, turned into its id when the
// program is compiled: IsTagNamed("td") compares integers.
struct ListedName {
  consteval ListedName(const char* name) : id(KnownElementId(name)) {}  // NOLINT: converts literals on purpose
  ElementId id;
};

// A set of element ids, made at compile time from a name list (see
// name_list.h) whose names are all listed above in lower case. Holds()
// answers as IsNameInList does for that list.
class ElementSet {
 public:
  consteval explicit ElementSet(const char* list) {
    // Each entry is closed by its own NUL; the empty entry closes the list.
    for (const char* entry = list; *entry != '\0';) {
      size_t length = 0;
      while (entry[length] != '\0') ++length;
      Add(KnownElementId(std::string_view(entry, length)));
      entry += length + 1;
    }
  }
  constexpr bool Holds(ElementId id) const { return id != kOtherElement && ((bits_[id >> 6] >> (id & 63)) & 1) != 0; }

  // The set of a list known only when the program runs (the empty set for
  // null), or nothing when the list names an element without an id, its
  // case ignored.
  static std::optional<ElementSet> OfList(const char* list);

 private:
  ElementSet() = default;
  constexpr void Add(ElementId id) { bits_[id >> 6] |= uint64_t{1} << (id & 63); }

  uint64_t bits_[2] = {};
};

}  // namespace quillmark
