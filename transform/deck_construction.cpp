#include "transform/deck_construction.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "base/uri_reference.h"
#include "device/device_profile.h"
#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/content_model.h"
#include "transform/element_rules.h"
#include "transform/escape_text.h"
#include "transform/form_fields.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// Removes the blank text nodes that directly follow `node`.
void RemoveBlankAfter(CXmlNode* node) {
  // Every removed sibling was blank; node's next is the next candidate.
  while (CXmlNode* next = node->GetNext()) {
    if (!IsBlank(next->GetText())) return;
    next->Destroy();
  }
}

// True for a page's own WML document type that XML can parse:
// <!DOCTYPE wml PUBLIC "id" "uri"> or <!DOCTYPE wml SYSTEM "uri">.
bool IsWmlDocumentType(const char* text) {
  if (text == nullptr) return false;
  std::string_view rest(text);
  auto skipBlanks = [&](bool required) {
    const size_t blanks = std::min(rest.find_first_not_of(" \t\r\n"), rest.size());
    rest.remove_prefix(blanks);
    return !required || blanks > 0;
  };
  auto takeWord = [&](std::string_view word) {
    if (!rest.starts_with(word)) return false;
    rest.remove_prefix(word.size());
    return true;
  };
  auto takeQuoted = [&] {
    if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) return false;
    const size_t close = rest.find(rest.front(), 1);
    if (close == std::string_view::npos) return false;
    rest.remove_prefix(close + 1);
    return true;
  };
  if (!takeWord("<!DOCTYPE") || !skipBlanks(true) || !takeWord("wml") || !skipBlanks(true)) return false;
  auto takePublicId = [&] {
    const std::string_view before = rest;
    if (!takeQuoted()) return false;
    const std::string_view id = before.substr(1, before.size() - rest.size() - 2);
    constexpr std::string_view kPunctuation = " \r\n-'()+,./:=?;!*#@$_%";
    for (char c : id) {
      const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!alnum && kPunctuation.find(c) == std::string_view::npos) return false;
    }
    return true;
  };
  if (takeWord("PUBLIC")) {
    if (!skipBlanks(true) || !takePublicId() || !skipBlanks(true) || !takeQuoted()) return false;
  } else if (!takeWord("SYSTEM") || !skipBlanks(true) || !takeQuoted()) {
    return false;
  }
  skipBlanks(false);
  return rest == ">";
}

// Removes the XML declarations at the top level of the page.
void RemovePageDeclarations(CXmlNode* root) {
  // Every top-level node before child is no XML declaration.
  for (CXmlNode* child = root->GetFirstChild(); child != nullptr;) {
    CXmlNode* next = child->GetNext();
    if (child->IsTag() && std::strncmp(child->GetText(), "<?xml", 5) == 0) child->Destroy();
    child = next;
  }
}

// Makes sure the root begins with the device's XML declaration and a WML
// document type, with no blank text after either; returns the document type
// node. The page's own XML declarations go: the deck's encoding and version
// are the device's.
CXmlNode* EnsureDeclarations(CXmlNode* root, const CWmlSettings& settings) {
  RemovePageDeclarations(root);
  CXmlNode* first = root->CreateNode(settings.xmlVersion);
  root->PrependChild(first);
  RemoveBlankAfter(first);
  CXmlNode* second = first->GetNext();
  if (second == nullptr || !IsWmlDocumentType(second->GetText())) {
    second = root->CreateNode(settings.docType);
    first->InsertAfter(second);
  }
  RemoveBlankAfter(second);
  return second;
}

// Removes the siblings after `from` up to, not including, `to` (or to the
// end when `to` is null).
void RemoveSiblingsBetween(CXmlNode* from, const CXmlNode* to) {
  // Every sibling removed so far lay between from and to.
  for (CXmlNode* next = from->GetNext(); next != nullptr && next != to; next = from->GetNext()) {
    next->Destroy();
  }
}

// The first child of `parent` that is a tag named exactly `name`, or null.
// A declaration ("<!)html>" named html, then wml) is no element.
CXmlNode* FirstChildTagNamed(const CXmlNode* parent, ListedName name) {
  // No child before child is such a tag.
  for (CXmlNode* child = parent->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    const char* text = child->GetText();
    const bool declaration = text != nullptr && text[0] == '<' && (text[1] == '!' || text[1] == '?');
    if (!declaration && IsTagNamedExactly(child, name)) return child;
  }
  return nullptr;
}

// Leaves exactly one wml element after the document type: the page's own,
// with everything else at the top level removed, or a new one that takes
// the whole rest of the page.
CXmlNode* EnsureDeckElement(CXmlNode* root, CXmlNode* docType) {
  if (CXmlNode* deck = FirstChildTagNamed(root, "wml")) {
    if (deck != root->GetFirstChild() && deck != docType) RemoveSiblingsBetween(docType, deck);
    RemoveSiblingsBetween(deck->GetNext() != nullptr ? deck->GetNext() : deck, nullptr);
    return deck;
  }
  CXmlNode* deck = root->CreateNode("<wml>");
  CXmlNode* deckEnd = root->CreateNode("</wml>");
  docType->InsertAfter(deck);
  deck->InsertAfter(deckEnd);
  MoveFollowingSiblingsInto(deckEnd, deck);
  return deck;
}

// Gives a deck element without cards one card "card1" holding all its content.
void EnsureCard(CXmlNode* deck, const Conversion& conversion) {
  if (FirstChildTagNamed(deck, "card") != nullptr) return;
  CXmlNode* card = deck->CreateNode("<card id=\"card1\" title=\"\">");
  deck->PrependChild(card);
  if (const char* title = conversion.Variables().Title()) {
    card->GetElement()->SetAttribute("title", AttributeValueText(title, conversion.References()).c_str());
  }
  CXmlNode* cardEnd = deck->CreateNode("</card>");
  card->InsertAfter(cardEnd);
  MoveFollowingSiblingsInto(cardEnd, card);
}

// A card holds no card or deck element: one that the page placed inside
// other content (a "<body>" inside a heading) gives its content to the
// place where it stood, so that the deck keeps its two levels and loses
// nothing.
void DissolveNestedCards(CXmlNode* card) {
  // No card or wml start tag before node inside `card` is left.
  for (CXmlNode* node = card->GetFirstChild(); node != nullptr; node = NextInSubtree(node, card)) {
    if (!node->IsStartTag() || (!IsTagNamedExactly(node, "card") && !IsTagNamedExactly(node, "wml"))) continue;
    if (CXmlNode* end = EndTagOf(node)) Suppress(end);
    Unwrap(node);
  }
}

// True when the card holds exactly one p element, apart from blank text.
bool HoldsOneParagraph(const CXmlNode* card) {
  const CXmlNode* first = card->FirstContentChild();
  return first != nullptr && first->IsStartTag() && !first->IsClosedTag() && IsTagNamedExactly(first, "p") &&
         first->GetNext() == card->LastContentChild() && first->IsClosedBy(first->GetNext());
}

// Wraps the card's content in one paragraph unless it holds exactly one.
void EnsureParagraph(CXmlNode* card) {
  if (HoldsOneParagraph(card)) return;
  CXmlNode* paragraphEnd = card->CreateNode("</p>");
  CXmlNode* paragraph = card->CreateNode("<p>");
  card->PrependChild(paragraphEnd);
  card->PrependChild(paragraph);
  MoveFollowingSiblingsInto(paragraphEnd, paragraph);
  ApplyContentModel(paragraph, wml::kP);
}

// True when the open link `link` holds no text but blanks and no image:
// a phone would show it as nothing to select (an icon drawn by a style
// sheet, a script's button). Links hold no links, so each deck node is
// looked at for one link at most.
bool ShowsNothing(const CXmlNode* link) {
  // No node before `node` in the link shows anything.
  for (const CXmlNode* node = link->GetFirstChild(); node != nullptr; node = NextInSubtree(node, link)) {
    if (node->IsComment()) continue;
    if (node->IsTag() ? IsTagNamedExactly(node, "img") : !IsBlank(node->GetText())) return false;
  }
  return true;
}

// A link that shows nothing shows its title, as browsers show it on
// pointing; one without a title goes. Its content (blanks, which part it
// from the words beside it) stays in place, before the title.
void LabelOrDropEmptyLink(CXmlNode* link, ReferenceMode references) {
  const bool open = IsOpenStartTag(link);
  if (open && !ShowsNothing(link)) return;
  const char* title = link->GetElement()->GetAttribute("title");
  if (open && title != nullptr && !IsBlank(title)) {
    MoveChildrenBefore(link, link);
    link->AppendChild(link->CreateNode(AttributeValueText(title, references).c_str()));
    return;
  }
  if (CXmlNode* end = open ? EndTagOf(link) : nullptr) Suppress(end);
  Unwrap(link);
}

// Gives `element` its id `id` as XML takes one (see SectionCardId), or
// none where it is empty or a card or an earlier element (`ids`) has it.
void SettleElementId(CXmlObject& element, std::string_view id, const std::unordered_set<std::string_view>& cards,
                     std::unordered_set<std::string>& ids) {
  std::string own = id.empty() ? std::string() : SectionCardId(id);
  if (own.empty() || cards.contains(own) || !ids.insert(own).second) {
    element.RemoveAttribute("id");
    return;
  }
  if (own != id) element.SetAttribute("id", own.c_str());
}

// A link within the deck names a card by its id: one to a section whose
// mark made no card goes to the card that holds it, and one to an anchor
// that no card is named after (an element's id, "#" alone) leads nowhere
// on a phone, so its text stays without it. A link that shows nothing gets
// its title or goes (LabelOrDropEmptyLink). An element keeps its id only
// where no card and no element before it has that id, as XML gives each
// once. One walk over the deck.
void SettleLinksAndIds(CXmlNode* deck, const SectionCards& sections, ReferenceMode references) {
  std::unordered_set<std::string_view> cards;
  for (const CXmlNode* child = deck->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    const char* id = IsTagNamedExactly(child, "card") ? child->GetElement()->GetAttribute("id") : nullptr;
    if (id != nullptr) cards.insert(id);
  }
  std::unordered_set<std::string> ids;  // of the elements before node
  // Every link before `node` in the pre-order walk of the deck leads to a
  // card, and every id before it is given once.
  for (CXmlNode* node = deck->GetFirstChild(); node != nullptr; node = NextInSubtree(node, deck)) {
    if (!node->IsStartTag() || IsTagNamedExactly(node, "card")) continue;
    if (const char* id = node->GetElement()->GetAttribute("id")) SettleElementId(*node->GetElement(), id, cards, ids);
    if (!IsTagNamedExactly(node, "a")) continue;
    const char* href = node->GetElement()->GetAttribute("href");
    if (href != nullptr && href[0] == '#') {
      if (const std::string_view card = sections.CardOf(href + 1); card != href + 1 && cards.contains(card)) {
        node->GetElement()->SetAttribute("href", ("#" + std::string(card)).c_str());
      } else if (!cards.contains(href + 1)) {
        if (CXmlNode* end = IsOpenStartTag(node) ? EndTagOf(node) : nullptr) Suppress(end);
        Unwrap(node);
        continue;
      }
    }
    LabelOrDropEmptyLink(node, references);
  }
}

}  // namespace

void ConstructDeck(const Conversion& conversion, const SoftBreaks& breaks, SectionCards& sections) {
  CXmlNode* root = &conversion.Root();
  CXmlNode* docType = EnsureDeclarations(root, conversion.Settings());
  CXmlNode* deck = EnsureDeckElement(root, docType);
  EnsureCard(deck, conversion);
  const CWorkingVariables& variables = conversion.Variables();
  // The page's refresh goes to its first card, which the phone shows first.
  bool refreshes = conversion.ReadsAsHtml() && !variables.refreshTarget.empty();
  const auto finish = [&](CXmlNode* card) {
    // The card's content becomes its paragraph: edge breaks there would
    // stand first or last in it.
    breaks.ResolveIn(card);
    if (variables.nestedCard) DissolveNestedCards(card);
    EnsureParagraph(card);
    if (std::exchange(refreshes, false)) {
      const std::string target = ResolveUriReference(variables.baseHref, variables.refreshTarget);
      AddRefreshTimer(card, target, variables.refreshDelay, conversion.Settings());
    }
    sections.LinkInChain(card, conversion.Settings().nextLabel, conversion.Settings().backLabel);
    ApplyContentModel(card, wml::kCardDeck);
  };
  // Every card before child has one paragraph and its deck content model.
  for (CXmlNode* child = deck->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (!child->IsStartTag() || !IsTagNamedExactly(child, "card")) continue;
    // Each section the card holds leaves what precedes it in a card of
    // its own, before it.
    while (CXmlNode* before = conversion.ReadsAsHtml() ? sections.CutOffFirstSection(child) : nullptr) finish(before);
    finish(child);
  }
  sections.RemoveMarksLeft();
  ApplyContentModel(deck, wml::kWmlDeck);
  if (!conversion.ReadsAsHtml()) return;
  SettleLinksAndIds(deck, sections, conversion.References());
  SettleFieldVariables(deck);
}

}  // namespace quillmark
