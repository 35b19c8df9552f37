#include "transform/element_rules.h"

#include <algorithm>
#include <string>

#include "base/case_folding.h"
#include "base/leading_integer.h"
#include "base/xml_declaration.h"
#include "transform/escape_text.h"
#include "transform/normalize_tree.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// An image without alt text is described by at most this much of its source.
constexpr std::size_t kAltSourceLimit = 511;
// The last path segment of an image source: after the last "/", then after
// the last "\" of what remains, within the first kAltSourceLimit characters.
std::string FileNameOf(std::string_view source) {
  source = source.substr(0, kAltSourceLimit);
  if (const std::size_t slash = source.rfind('/'); slash != std::string_view::npos) {
    source.remove_prefix(slash + 1);
  }
  if (const std::size_t backslash = source.rfind('\\'); backslash != std::string_view::npos) {
    source.remove_prefix(backslash + 1);
  }
  return std::string(source);
}

// Sets `name` to the empty text when the record has no such attribute.
void DefaultToEmpty(CXmlObject& element, const char* name) {
  if (element.GetAttribute(name) == nullptr) element.SetAttribute(name, "");
}

// Escapes a link target's bare ampersands with the device's replacement.
void EscapeHref(CXmlObject& element, const CWmlSettings& settings) {
  DefaultToEmpty(element, "href");
  if (auto escaped = EscapeText(element.GetAttribute("href"), kLinkSpecials, settings.ampersandText,
                                ReferenceModeOf(settings), ReferenceContext::kAttribute)) {
    element.SetAttribute("href", escaped->c_str());
  }
}

// The title attribute value of a card: the page title, or the empty text.
std::string CardTitle(const RewriteContext& walk) {
  const char* title = walk.Variables().Title();
  return title != nullptr ? AttributeValueText(title, walk.References()) : std::string();
}

// Applies the pair at the closed tag; returns the start tag's record, or null
// when the rule has nothing to work on.
CXmlObject* PairAtClosedTag(CXmlNode* node, const ContentModel& model) {
  if (!node->IsClosedTag()) return nullptr;
  CXmlNode* start = ApplyContentModel(node, model);
  return start != nullptr ? start->GetElement() : nullptr;
}

// Makes a named anchor's content a card of its own at the end of the deck
// element, when the page has one.
void MoveToNamedCard(CXmlNode* anchor, const std::string& cardId, RewriteContext& walk) {
  CXmlNode* deck = walk.DeckElement();
  if (deck == nullptr) return;
  // The anchor's content leaves any form it stands in.
  if (!walk.OpenForms().empty()) walk.ContentLeavesTheForms(anchor);
  CXmlNode* card = anchor->CreateNode(anchor->GetText());
  // The copy is parsed from the page's text, so its names take the case
  // that the pre-pass gave every other tag.
  LowerCaseNames(*card->GetElement());
  card->GetElement()->SetName("card");
  deck->AppendChild(card);
  card->InsertAfter(card->CreateNode("</card>"));
  MoveChildrenInto(anchor, card);
  card->GetElement()->SetAttribute("id", cardId.c_str());
}

// True when `parent` is the document's root (or there is none).
bool IsTopLevel(const CXmlNode* parent) { return parent == nullptr || parent->IsRoot(); }

}  // namespace

void ApplyPairAtClosedTag(CXmlNode* node, const ContentModel& model) { PairAtClosedTag(node, model); }

void RewriteDocumentElement(CXmlNode* node, RewriteContext& walk) {
  if (node->IsStartTag() && !IsTopLevel(node->GetParent())) walk.Variables().nestedCard = true;
  node->GetElement()->SetName("wml");
  if (IsOpenStartTag(node)) walk.RenamedToWml(node);
  PairAtClosedTag(node, wml::kWmlWalk);
}

void RewriteTitle(CXmlNode* node, RewriteContext& walk) {
  // The title of an inline picture (an icon's name) stays its text, unless
  // BLOCK_BREAKS=false reads the page as the decks before the key did.
  if (!node->IsStartTag() || (walk.InsideForeignContent() && walk.Settings().blockBreaks != 0)) return;
  FilterChildren(node, wml::kTitle);
  CXmlNode* first = node->GetFirstChild();
  if (first == nullptr) return;
  std::string title(TrimControlBytes(first->GetText()));
  first->GetElement()->SetText(title);
  walk.Variables().SetTitle(std::move(title));
}

void RewriteCard(CXmlNode* node, RewriteContext& walk) {
  node->GetElement()->SetName("card");
  CWorkingVariables& variables = walk.Variables();
  if (node->IsStartTag()) {
    ++variables.cardCount;
    // A card belongs at the top of the page or of its deck element.
    const CXmlNode* parent = node->GetParent();
    if (!IsTopLevel(parent) && !parent->IsTagNamed("wml") && !parent->IsTagNamed("html")) variables.nestedCard = true;
    return;
  }
  CXmlNode* start = ApplyContentModel(node, wml::kCardWalk);
  if (start == nullptr) return;
  CXmlObject& card = *start->GetElement();
  if (card.GetAttribute("id") == nullptr) {
    card.SetAttribute("id", ("card" + std::to_string(variables.cardCount)).c_str());
  }
  if (card.GetAttribute("title") == nullptr) card.SetAttribute("title", CardTitle(walk).c_str());
  card.NormalizeBoolAttribute("newcontext", "false");
  card.NormalizeBoolAttribute("ordered", "true");
}

void RewriteDo(CXmlNode* node, RewriteContext&) {
  CXmlObject* element = PairAtClosedTag(node, wml::kDo);
  if (element == nullptr) return;
  if (char* type = element->GetAttribute("type")) {
    for (; *type != '\0'; ++type) *type = ToLowerAscii(*type);
  } else {
    element->SetAttribute("type", "accept");
  }
  element->NormalizeBoolAttribute("optional", "false");
}

void RewriteMeta(CXmlNode* node, RewriteContext& walk) {
  if (walk.Settings().transcode == 0 || !node->IsStartTag()) return;
  CXmlObject& element = *node->GetElement();
  if (element.GetAttribute("charset") != nullptr) {
    RemoveWithContent(node, walk);
    return;
  }
  const char* equivalent = element.GetAttribute("http-equiv");
  const char* content = element.GetAttribute("content");
  if (equivalent == nullptr || content == nullptr || !EqualsIgnoringCase(equivalent, "content-type")) return;
  const std::string_view charset = ContentTypeCharset(content);
  const std::string encoding = DeclaredEncoding(walk.Settings().xmlVersion);
  if (charset.empty() || EqualsIgnoringCase(charset, encoding)) return;
  std::string named(content);
  named.replace(static_cast<size_t>(charset.data() - content), charset.size(), encoding);
  element.SetAttribute("content", named.c_str());
}

void RewriteGo(CXmlNode* node, RewriteContext& walk) {
  CXmlObject* element = PairAtClosedTag(node, wml::kGo);
  if (element == nullptr) return;
  element->NormalizeEnumAttribute("method", "get\0post\0", "get", 0);
  element->NormalizeBoolAttribute("sendreferer", "false");
  EscapeHref(*element, walk.Settings());
}

void RewriteImg(CXmlNode* node, RewriteContext&) {
  CXmlObject* element = PairAtClosedTag(node, wml::kImg);
  if (element == nullptr) return;
  DefaultToEmpty(*element, "src");
  if (element->GetAttribute("alt") == nullptr) {
    element->SetAttribute("alt", FileNameOf(element->GetAttribute("src")).c_str());
  }
  element->NormalizeEnumAttribute("align", "top\0middle\0bottom\0", "bottom", 0);
}

void RewriteA(CXmlNode* node, RewriteContext& walk) {
  const char* name = node->IsStartTag() ? node->GetElement()->GetAttribute("name") : nullptr;
  if (name != nullptr && *name != '\0') {
    if (IsOpenStartTag(node)) MoveToNamedCard(node, name, walk);
    if (CXmlNode* end = node->IsClosedTag() ? nullptr : EndTagOf(node)) Suppress(end);
    Suppress(node);
    return;
  }
  CXmlObject* element = PairAtClosedTag(node, wml::kA);
  if (element != nullptr) EscapeHref(*element, walk.Settings());
}

void RewriteArea(CXmlNode* node, RewriteContext& walk) {
  CXmlObject& area = *node->GetElement();
  const char* href = node->IsStartTag() && walk.Settings().blockBreaks != 0 ? area.GetAttribute("href") : nullptr;
  if (href != nullptr && *href != '\0' && area.GetAttribute("nohref") == nullptr) {
    const char* alt = area.GetAttribute("alt");
    const std::string text = AttributeValueText(alt != nullptr && *alt != '\0' ? alt : href, walk.References());
    CXmlNode* link = node->CreateNode("<a>");
    link->GetElement()->SetAttribute("href", href);
    link->AppendChild(node->CreateNode(text.c_str()));
    // The walk visits the link next: after a self-closed area, or as the
    // first child of an open one, which then goes as any unknown element.
    CXmlNode* space = node->CreateNode(" ");
    if (node->IsClosedTag()) {
      node->InsertAfter(link);
      link->InsertAfter(node->CreateNode("</a>"));
      link->GetNext()->InsertAfter(space);
    } else {
      node->PrependChild(space);
      node->PrependChild(node->CreateNode("</a>"));
      node->PrependChild(link);
    }
  }
  RewriteUnknownTag(node);
}

void RewriteP(CXmlNode* node, RewriteContext&) {
  CXmlObject* element = PairAtClosedTag(node, wml::kP);
  if (element == nullptr) return;
  element->NormalizeEnumAttribute("align", "left\0right\0center\0", "left", 0);
  element->NormalizeEnumAttribute("mode", "wrap\0nowrap\0", "wrap", 0);
}

void RewriteHeading(CXmlNode* node, RewriteContext& walk) {
  if (node->IsStartTag()) return;
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr) return;
  node->GetElement()->SetName("b");
  start->GetElement()->SetName("b");
  if (walk.HasTextBefore(node)) start->InsertBefore(node->CreateNode("<br/>"));
  node->InsertAfter(node->CreateNode("<br/>"));
}

void RewriteHr(CXmlNode* node, RewriteContext&) {
  node->GetElement()->SetName("br");
  node->GetElement()->ClearAttributes();
}

void RewriteCenter(CXmlNode* node, RewriteContext&) {
  node->GetElement()->SetName("p");
  if (CXmlObject* element = PairAtClosedTag(node, wml::kP)) element->SetAttribute("align", "center");
}

// HTML's font sizes run from 1 to 7; a size with a sign is relative to the
// base size, 3.
constexpr int32_t kBaseFontSize = 3;
constexpr int32_t kLargestFontSize = 7;

// The size a font element's `size` attribute gives: its leading integer,
// or, read as HTML reads it, the base size moved by a signed one ("+1" is
// 4, "-1" is 2), within 1 to 7.
int32_t FontSizeOf(const char* text, bool asHtml) {
  const int32_t size = LeadingInteger(text);
  if (!asHtml) return size;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  if (*text != '+' && *text != '-') return size;
  return std::clamp(kBaseFontSize + std::clamp(size, -kLargestFontSize, kLargestFontSize), 1, kLargestFontSize);
}

void RewriteFont(CXmlNode* node, RewriteContext& walk) {
  if (!node->IsStartTag()) return;
  CXmlObject& font = *node->GetElement();
  CXmlNode* end = IsOpenStartTag(node) ? EndTagOf(node) : nullptr;
  const char* sizeText = font.GetAttribute("size");
  const int32_t size = sizeText != nullptr ? FontSizeOf(sizeText, walk.Settings().blockBreaks != 0) : 0;
  if (IsOpenStartTag(node) && size > 0 && size != 3 && size != 4) {
    const char* name = size <= 2 ? "small" : "big";
    font.ClearAttributes();
    font.SetName(name);
    if (end != nullptr) end->GetElement()->SetName(name);
    return;
  }
  Suppress(node);
  if (!IsOpenStartTag(node)) return;
  if (end != nullptr) Suppress(end);
  node->MoveChildrenAfter(end != nullptr ? end : node);
}

void RemoveWithContent(CXmlNode* node, RewriteContext&) {
  Suppress(node);
  DestroyChildren(node);
}

void RemoveStyleSheet(CXmlNode* node, RewriteContext& walk) {
  if (walk.Settings().blockBreaks == 0) return RewriteUnknownTag(node);
  RemoveWithContent(node, walk);
}

void RewriteUnknownTag(CXmlNode* node) {
  if (node->IsStartTag()) {
    if (node->IsClosedTag()) Suppress(node);
    return;
  }
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr) return;
  Unwrap(start);
  Suppress(node);
}

void EscapeTextNode(CXmlNode* node, ReferenceMode references) {
  if (auto escaped = EscapeText(node->GetElement()->GetTextView(), kTextSpecials, kAmpersandEntity, references)) {
    node->GetElement()->SetText(std::move(*escaped));
  }
}

}  // namespace quillmark
