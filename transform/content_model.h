// The WML 1.1 content model: which children and attributes each WML element
// may keep, and ApplyContentModel, which enforces one element's pair.
//
// A content rule is one mode byte followed by a name list of allowed child
// elements (see name_list.h). Mode kTextAllowed keeps text and unwraps
// disallowed tags; mode kTextRemoved drops text and removes disallowed tags
// with their content. FilterChildren recognises a rule by its address, so
// every rule below is one object with a single address program-wide.
#pragma once

#include <cstddef>

#include "markup/xml_node.h"

namespace quillmark {

inline constexpr char kTextAllowed = 1;
inline constexpr char kTextRemoved = 0;

// A content rule built at compile time from its mode and a name-list literal
// (whose own terminator closes the list).
template <std::size_t N>
struct ContentRule {
  char bytes[N + 1];
  ElementSet ids;  // the allowed children as element ids
  consteval ContentRule(char mode, const char (&names)[N]) : bytes{}, ids(names) {
    bytes[0] = mode;
    for (std::size_t i = 0; i < N; ++i) bytes[i + 1] = names[i];
  }
  constexpr const char* get() const { return bytes; }
};

// One element's pair: its content rule and its attribute list (null when the
// element's attributes are left untouched), and the rule's children as ids.
struct ContentModel {
  const char* children;
  const char* attributes;
  const ElementSet* childIds;
};

// The pair of `rule` and `attributes`, the rule's ids taken with it.
template <std::size_t N>
constexpr ContentModel PairOf(const ContentRule<N>& rule, const char* attributes) {
  return {rule.get(), attributes, &rule.ids};
}

namespace wml {

// Allowed children, one rule per WML element (the WML 1.1 DTD).
// clang-format off
inline constexpr ContentRule kWmlWalkChildren{kTextAllowed,
    "em\0strong\0b\0i\0u\0big\0small\0br\0img\0anchor\0a\0table\0input\0select\0fieldset\0do\0onevent\0timer\0do\0p\0head\0template\0card\0"};
inline constexpr ContentRule kWmlDeckChildren{kTextRemoved, "head\0template\0card\0"};
inline constexpr ContentRule kCardWalkChildren{kTextAllowed,
    "em\0strong\0b\0i\0u\0big\0small\0br\0img\0anchor\0a\0table\0input\0select\0fieldset\0do\0onevent\0timer\0do\0p\0card\0"};
inline constexpr ContentRule kCardDeckChildren{kTextRemoved, "onevent\0timer\0do\0p\0"};
inline constexpr ContentRule kTitleChildren{kTextAllowed, ""};
inline constexpr ContentRule kDoChildren{kTextRemoved, "go\0prev\0noop\0refresh\0"};
inline constexpr ContentRule kOneventChildren{kTextRemoved, "go\0prev\0noop\0refresh\0"};
inline constexpr ContentRule kHeadChildren{kTextRemoved, "access\0meta\0"};
inline constexpr ContentRule kTemplateChildren{kTextRemoved, "do\0onevent\0"};
inline constexpr ContentRule kAccessChildren{kTextRemoved, ""};
inline constexpr ContentRule kGoChildren{kTextRemoved, "postfield\0setvar\0"};
inline constexpr ContentRule kPrevChildren{kTextRemoved, "setvar\0"};
inline constexpr ContentRule kRefreshChildren{kTextRemoved, "setvar\0"};
inline constexpr ContentRule kNoopChildren{kTextRemoved, ""};
inline constexpr ContentRule kPostfieldChildren{kTextRemoved, ""};
inline constexpr ContentRule kSetvarChildren{kTextRemoved, ""};
inline constexpr ContentRule kSelectChildren{kTextRemoved, "optgroup\0option\0"};
inline constexpr ContentRule kOptgroupChildren{kTextRemoved, "optgroup\0option\0"};
inline constexpr ContentRule kOptionChildren{kTextAllowed, "onevent\0"};
inline constexpr ContentRule kInputChildren{kTextAllowed, ""};
inline constexpr ContentRule kFieldsetChildren{kTextAllowed,
    "em\0strong\0b\0i\0u\0big\0small\0br\0img\0anchor\0a\0table\0input\0select\0fieldset\0do\0"};
inline constexpr ContentRule kTimerChildren{kTextRemoved, ""};
inline constexpr ContentRule kImgChildren{kTextRemoved, ""};
inline constexpr ContentRule kAnchorChildren{kTextAllowed, "br\0img\0go\0prev\0refresh\0"};
inline constexpr ContentRule kAChildren{kTextAllowed, "br\0img\0"};
inline constexpr ContentRule kTableChildren{kTextRemoved, "tr\0"};
inline constexpr ContentRule kTrChildren{kTextRemoved, "td\0"};
// A row of an outermost table still holds th cells when it is filtered.
inline constexpr ContentRule kTrWithHeaderChildren{kTextRemoved, "td\0th\0"};
inline constexpr ContentRule kTdChildren{kTextAllowed, "em\0strong\0b\0i\0u\0big\0small\0br\0img\0anchor\0a\0"};
inline constexpr ContentRule kFormattingChildren{kTextAllowed,
    "em\0strong\0b\0i\0u\0big\0small\0br\0img\0anchor\0a\0table\0"};
inline constexpr ContentRule kPChildren{kTextAllowed,
    "em\0strong\0b\0i\0u\0big\0small\0br\0img\0anchor\0a\0table\0input\0select\0fieldset\0do\0"};
inline constexpr ContentRule kTextareaChildren{kTextAllowed, ""};

// The root element during the walk keeps, as attributes, only names from its
// child list: in effect none of an html element's ordinary attributes.
inline constexpr const char* kWmlWalkAttributes = kWmlWalkChildren.get() + 1;

inline constexpr ContentModel kWmlWalk = PairOf(kWmlWalkChildren, kWmlWalkAttributes);
inline constexpr ContentModel kWmlDeck = PairOf(kWmlDeckChildren, "lang\0id\0class\0");
inline constexpr ContentModel kCardWalk = PairOf(kCardWalkChildren, "title\0newcontext\0ordered\0lang\0id\0class\0");
inline constexpr ContentModel kCardDeck = PairOf(kCardDeckChildren, "title\0newcontext\0ordered\0lang\0id\0class\0");
inline constexpr ContentModel kTitle = PairOf(kTitleChildren, nullptr);
inline constexpr ContentModel kDo = PairOf(kDoChildren, "type\0label\0name\0optional\0lang\0id\0class\0");
inline constexpr ContentModel kOnevent = PairOf(kOneventChildren, "type\0id\0class\0");
inline constexpr ContentModel kHead = PairOf(kHeadChildren, "id\0class\0");
inline constexpr ContentModel kTemplate = PairOf(kTemplateChildren, "onenterforward\0onenterbackward\0ontimer\0id\0class\0");
inline constexpr ContentModel kAccess = PairOf(kAccessChildren, "domain\0path\0id\0class\0");
inline constexpr ContentModel kGo = PairOf(kGoChildren, "href\0sendreferer\0method\0accept-charset\0id\0class\0");
inline constexpr ContentModel kPrev = PairOf(kPrevChildren, "id\0class\0");
inline constexpr ContentModel kRefresh = PairOf(kRefreshChildren, "id\0class\0");
inline constexpr ContentModel kNoop = PairOf(kNoopChildren, "id\0class\0");
inline constexpr ContentModel kPostfield = PairOf(kPostfieldChildren, "name\0value\0id\0class\0");
inline constexpr ContentModel kSetvar = PairOf(kSetvarChildren, "name\0value\0id\0class\0");
inline constexpr ContentModel kSelect = PairOf(kSelectChildren, "title\0name\0value\0iname\0ivalue\0multiple\0tabindex\0lang\0id\0class\0");
inline constexpr ContentModel kOptgroup = PairOf(kOptgroupChildren, "title\0lang\0id\0class\0");
inline constexpr ContentModel kOption = PairOf(kOptionChildren, "value\0title\0onpick\0lang\0id\0class\0");
inline constexpr ContentModel kInput = PairOf(kInputChildren, "name\0type\0value\0format\0emptyok\0size\0maxlength\0tabindex\0title\0lang\0id\0class\0");
inline constexpr ContentModel kFieldset = PairOf(kFieldsetChildren, "title\0lang\0id\0class\0");
inline constexpr ContentModel kTimer = PairOf(kTimerChildren, "name\0value\0id\0class\0");
inline constexpr ContentModel kImg = PairOf(kImgChildren, "alt\0src\0localsrc\0vspace\0hspace\0align\0height\0width\0lang\0id\0class\0");
inline constexpr ContentModel kAnchor = PairOf(kAnchorChildren, "title\0lang\0id\0class\0");
inline constexpr ContentModel kA = PairOf(kAChildren, "href\0title\0lang\0id\0class\0");
inline constexpr ContentModel kTable = PairOf(kTableChildren, "title\0align\0columns\0lang\0id\0class\0");
inline constexpr ContentModel kTr = PairOf(kTrChildren, "id\0class\0");
inline constexpr ContentModel kTrWithHeader = PairOf(kTrWithHeaderChildren, "id\0class\0");
inline constexpr ContentModel kTd = PairOf(kTdChildren, "lang\0id\0class\0");
// em strong b i u big small br
inline constexpr ContentModel kFormatting = PairOf(kFormattingChildren, "lang\0id\0class\0");
// p, and center (which becomes p)
inline constexpr ContentModel kP = PairOf(kPChildren, "align\0mode\0lang\0id\0class\0");
inline constexpr ContentModel kTextarea = PairOf(kTextareaChildren, nullptr);
// clang-format on

}  // namespace wml

// Filters the children of `parent` by the pair's content rule: comments and
// allowed child elements stay; other elements are unwrapped (text allowed)
// or removed with their content (text removed), and text goes with them
// when the rule removes it.
void FilterChildren(CXmlNode* parent, const ContentModel& model);

// Enforces a pair on an element. On an end tag it clears the end tag's own
// attributes and works on the start tag (its previous sibling); it filters
// that start tag's children with the pair's content rule and keeps only
// attributes named in its attribute list (all of them when it is null).
// Returns the start tag it worked on, or null when an end tag has no start
// tag before it (the end tag is then left alone).
CXmlNode* ApplyContentModel(CXmlNode* node, const ContentModel& model);

// The start tag a rule at `node` works on: the node itself when it is a start
// tag (self-closing included), else its previous sibling when that is a start
// tag, else null.
CXmlNode* StartTagOf(CXmlNode* node);

}  // namespace quillmark
