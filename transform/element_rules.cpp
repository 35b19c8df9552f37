#include "transform/element_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/case_folding.h"
#include "base/leading_integer.h"
#include "base/uri_reference.h"
#include "base/utf8.h"
#include "base/xml_declaration.h"
#include "markup/character_references.h"
#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/escape_text.h"
#include "transform/normalize_tree.h"
#include "transform/section_cards.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// The attributes of WML's meta element.
constexpr char kWmlMetaAttributes[] = "http-equiv\0name\0forua\0content\0scheme\0id\0class\0";

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

// The value of the hex digit `c`, or -1.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// FileNameOf as a reader sees it: without the source's query and fragment,
// and with its escaped printable characters ("%20") written out.
std::string ReadableFileNameOf(std::string_view source) {
  const std::string name = FileNameOf(source.substr(0, std::min(source.find_first_of("?#"), source.size())));
  std::string readable;
  for (std::size_t at = 0; at < name.size(); ++at) {
    const int high = at + 2 < name.size() ? HexDigitValue(name[at + 1]) : -1;
    const int low = high >= 0 ? HexDigitValue(name[at + 2]) : -1;
    const int byte = low >= 0 ? high * 16 + low : -1;
    if (name[at] != '%' || byte < 0x20 || byte > 0x7E) {
      readable += name[at];
      continue;
    }
    readable += static_cast<char>(byte);
    at += 2;
  }
  return readable;
}

// The source a phone fetches of the picture `img` read as HTML: its `src`,
// else the candidate of its `srcset` for the lowest density or width (a
// phone's screen is the smallest); empty for none.
std::string PictureSource(const CXmlObject& img) {
  const char* src = img.GetAttribute("src");
  if (src != nullptr && !IsBlank(src)) return src;
  const char* srcset = img.GetAttribute("srcset");
  std::string_view rest = srcset != nullptr ? srcset : "";
  std::string best;
  double lowest = 0;
  // Each candidate is a target, ended by white space or a comma, and a
  // descriptor ("2x", "480w") up to the next comma.
  while (!rest.empty()) {
    const std::size_t begin = rest.find_first_not_of(" \t\r\n\f,");
    if (begin == std::string_view::npos) break;
    rest.remove_prefix(begin);
    std::size_t end = std::min(rest.find_first_of(" \t\r\n\f"), rest.size());
    std::string_view target = rest.substr(0, end);
    const bool endsAtComma = !target.empty() && target.back() == ',';
    while (!target.empty() && target.back() == ',') target.remove_suffix(1);
    rest.remove_prefix(end);
    std::string_view descriptor;
    if (!endsAtComma) {
      const std::size_t comma = std::min(rest.find(','), rest.size());
      descriptor = TrimControlBytes(rest.substr(0, comma));
      rest.remove_prefix(comma);
    }
    const double value = descriptor.empty() ? 1.0 : std::atof(std::string(descriptor).c_str());
    if (!target.empty() && (best.empty() || value < lowest)) {
      best = std::string(target);
      lowest = value;
    }
  }
  return best;
}

// Sets `name` to the empty text when the record has no such attribute.
void DefaultToEmpty(CXmlObject& element, const char* name) {
  if (element.GetAttribute(name) == nullptr) element.SetAttribute(name, "");
}

// Escapes the bare ampersands of the link target in the attribute `name`
// with the device's replacement.
void EscapeTarget(CXmlObject& element, const char* name, const CWmlSettings& settings) {
  if (auto escaped = EscapeText(element.GetAttribute(name), kLinkSpecials, settings.ampersandText,
                                ReferenceModeOf(settings), ReferenceContext::kAttribute)) {
    element.SetAttribute(name, escaped->c_str());
  }
}

// Escapes a link target's bare ampersands with the device's replacement.
void EscapeHref(CXmlObject& element, const CWmlSettings& settings) {
  DefaultToEmpty(element, "href");
  EscapeTarget(element, "href", settings);
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
  if (!node->IsStartTag() || (walk.InsideForeignContent() && walk.ReadsAsHtml())) return;
  // Read as HTML reads the page, the first title names it, and no title
  // shows in it, wherever it stands.
  if (walk.ReadsAsHtml() && walk.Variables().Title() != nullptr) return RemoveWithContent(node, walk);
  FilterChildren(node, wml::kTitle);
  CXmlNode* first = node->GetFirstChild();
  if (first == nullptr) return;
  std::string title(TrimControlBytes(first->GetText()));
  first->GetElement()->SetText(title);
  walk.Variables().SetTitle(std::move(title));
  if (walk.ReadsAsHtml()) RemoveWithContent(node, walk);
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

namespace {

// The delay of a meta refresh's `content` ("5; url=next.html") in tenths of
// a second, at least 1 (a timer of 0 never runs out), with its target; the
// empty target for a refresh of the page itself.
std::pair<int32_t, std::string> RefreshOf(std::string_view content) {
  const std::size_t separator = std::min(content.find_first_of(";,"), content.size());
  const double seconds = std::atof(std::string(content.substr(0, separator)).c_str());
  const int32_t delay = static_cast<int32_t>(std::clamp(seconds * 10, 1.0, 864000.0));
  std::string_view target = TrimControlBytes(content.substr(std::min(separator + 1, content.size())));
  if (target.size() > 3 && EqualsIgnoringCase(target.substr(0, 3), "url")) {
    const std::size_t equals = target.find('=');
    const bool named = equals != std::string_view::npos &&
                       target.substr(3, equals - 3).find_first_not_of(" \t") == std::string_view::npos;
    if (named) target = TrimControlBytes(target.substr(equals + 1));
  }
  if (target.size() >= 2 && (target.front() == '"' || target.front() == '\'') && target.back() == target.front()) {
    target = target.substr(1, target.size() - 2);
  }
  return {delay, std::string(target)};
}

}  // namespace

void AddRefreshTimer(CXmlNode* card, const std::string& target, int32_t delay, const CWmlSettings& settings) {
  CXmlNode* timer = card->CreateNode("<timer/>");
  timer->GetElement()->SetAttribute("value", std::to_string(delay).c_str());
  CXmlNode* go = card->CreateNode("<go/>");
  go->GetElement()->SetAttribute("href", target.c_str());
  EscapeHref(*go->GetElement(), settings);
  CXmlNode* event = card->CreateNode("<onevent type=\"ontimer\">");
  event->AppendChild(go);
  // A card holds its events first, then its timer, then its paragraphs.
  card->PrependChild(timer);
  card->PrependChild(card->CreateNode("</onevent>"));
  card->PrependChild(event);
}

namespace {

// `content`, a Content-Type value, with the deck's media type in place of
// the one before its parameters: "text/html; charset=x" gives
// "text/vnd.wap.wml; charset=x".
std::string WithDeckMediaType(std::string_view content) {
  const std::size_t parameters = std::min(content.find(';'), content.size());
  return "text/vnd.wap.wml" + std::string(content.substr(parameters));
}

}  // namespace

void RewriteMeta(CXmlNode* node, RewriteContext& walk) {
  if (!node->IsStartTag()) return;
  CXmlObject& element = *node->GetElement();
  const char* refresh = element.GetAttribute("http-equiv");
  if (walk.ReadsAsHtml() && refresh != nullptr && EqualsIgnoringCase(refresh, "refresh") &&
      walk.Variables().refreshTarget.empty()) {
    const char* content = element.GetAttribute("content");
    CWorkingVariables& variables = walk.Variables();
    std::tie(variables.refreshDelay, variables.refreshTarget) = RefreshOf(content != nullptr ? content : "");
  }
  // WML's meta must have content, names it by a name or an HTTP header,
  // and knows few attributes; read as HTML, the page's others go (a bare
  // name, an "og:" property). A charset's meta goes with the charset rules
  // below.
  if (walk.ReadsAsHtml() && element.GetAttribute("charset") == nullptr) {
    const bool named = element.GetAttribute("name") != nullptr || element.GetAttribute("http-equiv") != nullptr;
    if (!named || element.GetAttribute("content") == nullptr) return RemoveWithContent(node, walk);
    element.RetainAttributes(kWmlMetaAttributes);
  }
  const bool transcoded = walk.Settings().transcode != 0;
  if (transcoded && element.GetAttribute("charset") != nullptr) {
    RemoveWithContent(node, walk);
    return;
  }
  const char* equivalent = element.GetAttribute("http-equiv");
  const char* content = element.GetAttribute("content");
  if (equivalent == nullptr || content == nullptr || !EqualsIgnoringCase(equivalent, "content-type")) return;
  // The header it stands for describes the deck now, which a gateway may
  // send with it: read as HTML, its media type is the deck's, not the page's.
  std::string named = walk.ReadsAsHtml() ? WithDeckMediaType(content) : std::string(content);
  const std::string_view charset = ContentTypeCharset(named);
  const std::string encoding = DeclaredEncoding(walk.Settings().xmlVersion);
  if (transcoded && !charset.empty() && !EqualsIgnoringCase(charset, encoding)) {
    named.replace(static_cast<size_t>(charset.data() - named.data()), charset.size(), encoding);
  }
  if (named != content) element.SetAttribute("content", named.c_str());
}

void RewriteBase(CXmlNode* node, RewriteContext& walk) {
  const char* href = node->IsStartTag() && walk.ReadsAsHtml() ? node->GetElement()->GetAttribute("href") : nullptr;
  std::string& base = walk.Variables().baseHref;
  // A browser takes the first base that names a target, and no later one.
  // (An empty href names none here, where a browser would stop at it.)
  if (href != nullptr && base.empty()) base = href;
  RewriteUnknownTag(node);
}

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// `value`, a page's attribute value, with its numeric character references
// read, as HTML reads them before the value is a target: "caf&#233;.html"
// is "café.html", "a&#46;html" is "a.html", and no "#" of a reference is
// taken for a fragment's. Named references stay, for the deck's rules.
std::string WithNumbersRead(std::string_view value) {
  std::string read;
  read.reserve(value.size());
  // read holds value before `at`, its numbers read.
  for (std::size_t at = 0; at < value.size();) {
    const std::size_t number = value.find("&#", at);
    read.append(value.substr(at, number == std::string_view::npos ? std::string_view::npos : number - at));
    if (number == std::string_view::npos) break;
    const ResolvedReference reference = ResolveReference(value.substr(number), ReferenceContext::kAttribute);
    // A number of no character XML allows ("&#0;") is U+FFFD, as in HTML.
    const std::size_t length = reference.length != 0 ? reference.length : NumberReferenceLength(value.substr(number));
    if (length == 0) {
      read += '&';
      at = number + 1;
      continue;
    }
    char bytes[4];
    read.append(bytes, WriteUtf8(bytes, reference.length != 0 ? reference.codePoint : kReplacementCharacter));
    at = number + length;
  }
  return read;
}

}  // namespace

void ReadTargetAsHtml(CXmlObject& element, const char* name, const RewriteContext& walk) {
  const char* value = element.GetAttribute(name);
  if (value == nullptr || !walk.ReadsAsHtml()) return;
  // A page copied as bytes keeps its references: their characters' bytes
  // would be in another charset than its own.
  const bool readNumbers = walk.Settings().transcode != 0 && std::strstr(value, "&#") != nullptr;
  std::string target = TargetAsBrowsersRead(readNumbers ? WithNumbersRead(value) : std::string(value));
  if (const std::string& base = walk.Variables().baseHref; !base.empty()) {
    target = ResolveUriReference(base, target);
    // A long base written before many links would multiply the page: what
    // each link grows by draws from the conversion's budget.
    walk.Root()->ChargeBudget(static_cast<int64_t>(target.size()));
  }
  if (target != value) element.SetAttribute(name, target.c_str());
}

void SetLinkTarget(CXmlObject& element, const char* name, const char* target, const RewriteContext& walk) {
  element.SetAttribute(name, target);
  ReadTargetAsHtml(element, name, walk);
  EscapeTarget(element, name, walk.Settings());
}

namespace {

// A link's fragment names the card of that section (see SectionCardId).
void LinkToSectionCard(CXmlObject& link) {
  const char* href = link.GetAttribute("href");
  const char* hash = href != nullptr ? std::strchr(href, '#') : nullptr;
  if (hash == nullptr || hash[1] == '\0') return;
  const std::string id = SectionCardId(hash + 1);
  if (id == hash + 1) return;
  link.SetAttribute("href", (std::string(href, hash + 1) + id).c_str());
}

}  // namespace

void RewriteGo(CXmlNode* node, RewriteContext& walk) {
  CXmlObject* element = PairAtClosedTag(node, wml::kGo);
  if (element == nullptr) return;
  element->NormalizeEnumAttribute("method", "get\0post\0", "get", 0);
  element->NormalizeBoolAttribute("sendreferer", "false");
  EscapeHref(*element, walk.Settings());
}

namespace {

// True when `uri` (null for none), past the blanks and control bytes that
// browsers pass over, begins with `scheme` and ":", ignoring case.
bool HasScheme(const char* uri, std::string_view scheme) {
  if (uri == nullptr) return false;
  const std::string_view text = TrimControlBytes(uri);
  return text.size() > scheme.size() && text[scheme.size()] == ':' &&
         EqualsIgnoringCase(text.substr(0, scheme.size()), scheme);
}


// A new link of `near`'s document to the page's target `href`, holding the
// page's text `label`; not linked yet, and its end tag is the caller's to
// place. The walk visits it where it is placed, so that the link rule
// escapes its target as any other link's.
CXmlNode* NewLink(CXmlNode& near, const char* href, const char* label, const RewriteContext& walk) {
  CXmlNode* link = near.CreateNode("<a>");
  link->GetElement()->SetAttribute("href", href);
  link->AppendChild(near.CreateNode(AttributeValueText(label, walk.References()).c_str()));
  return link;
}

// The target by which a WAP phone calls the number of the tel: URI `uri`
// (WTAI's make-call function), or the empty text when it names no number.
// The number keeps its digits, "+", "*" and "#" (written "%23", which a
// target's fragment would begin with otherwise); the separators that it is
// written with, percent-encoded ones included, and its parameters go.
std::string CallTarget(std::string_view uri) {
  uri.remove_prefix(std::min(uri.find(':') + 1, uri.size()));
  std::string number;
  for (std::size_t at = 0; at < uri.size() && uri[at] != ';' && uri[at] != '?'; ++at) {
    const char c = uri[at];
    if (c == '%' && at + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[at + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[at + 2]))) {
      at += 2;
    } else if ((c >= '0' && c <= '9') || c == '+' || c == '*') {
      number += c;
    } else if (c == '#') {
      number += "%23";
    }
  }
  return number.empty() ? std::string() : "wtai://wp/mc;" + number;
}

}  // namespace

bool IsScriptUri(const char* uri) { return HasScheme(uri, "javascript") || HasScheme(uri, "vbscript"); }

namespace {

// True when `value`, a picture's width or height, is a length of at most one
// pixel: a number, perhaps followed by "px", without a percent sign.
bool AtMostOnePixel(const char* value) {
  if (value == nullptr) return false;
  constexpr std::string_view kBlanks = " \t\n\f\r";
  std::string_view length(value);
  const std::size_t first = length.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return false;
  length = length.substr(first, length.find_last_not_of(kBlanks) - first + 1);
  if (length.ends_with("px")) length.remove_suffix(2);
  if (length.empty() || length.find_first_not_of("0123456789") != std::string_view::npos) return false;
  const std::size_t digit = length.find_first_not_of('0');
  return digit == std::string_view::npos || length.substr(digit) == "1";
}

}  // namespace

void RewriteImg(CXmlNode* node, RewriteContext& walk) {
  // Read as HTML reads the page, a picture comes from its `src` or its
  // `srcset`; one held in its own source, or with none, is no picture a
  // phone fetches, and its alt text stands in its place.
  CXmlObject& img = *node->GetElement();
  const bool asHtml = walk.ReadsAsHtml() && node->IsClosedTag() && node->IsStartTag();
  if (asHtml) {
    const std::string source = PictureSource(img);
    if (source.empty() || HasScheme(source.c_str(), "data")) {
      const char* alt = img.GetAttribute("alt");
      if (alt != nullptr && *alt != '\0')
        node->InsertAfter(node->CreateNode(AttributeValueText(alt, walk.References()).c_str()));
      Suppress(node);
      return;
    }
    // A spacer or a counter, one pixel wide or high, shows nothing in a
    // browser; on a phone it costs a fetch, or shows its file name. One
    // wider than that still parts the words beside it.
    const bool narrow = AtMostOnePixel(img.GetAttribute("width"));
    if (narrow || AtMostOnePixel(img.GetAttribute("height"))) {
      if (!narrow) node->InsertAfter(node->CreateNode(" "));
      Suppress(node);
      return;
    }
    if (const char* src = img.GetAttribute("src"); src == nullptr || source != src) img.SetAttribute("src", source.c_str());
  }
  CXmlObject* element = PairAtClosedTag(node, wml::kImg);
  if (element == nullptr) return;
  DefaultToEmpty(*element, "src");
  // The file name is read from the target as a browser reads it.
  ReadTargetAsHtml(*element, "src", walk);
  if (element->GetAttribute("alt") == nullptr) {
    const char* src = element->GetAttribute("src");
    element->SetAttribute("alt", (asHtml ? ReadableFileNameOf(src) : FileNameOf(src)).c_str());
  }
  element->NormalizeEnumAttribute("align", "top\0middle\0bottom\0", "bottom", 0);
}

void RewriteA(CXmlNode* node, RewriteContext& walk) {
  const char* name = node->IsStartTag() ? node->GetElement()->GetAttribute("name") : nullptr;
  if (name != nullptr && *name != '\0') {
    // Read as HTML reads the page, a named anchor marks where its section
    // begins, which becomes a card once the deck stands; the anchor is a
    // link, or its text, as any other.
    if (walk.ReadsAsHtml()) {
      walk.Sections().Mark(node, name);
    } else {
      if (IsOpenStartTag(node)) MoveToNamedCard(node, name, walk);
      if (CXmlNode* end = node->IsClosedTag() ? nullptr : EndTagOf(node)) Suppress(end);
      Suppress(node);
      return;
    }
  }
  // Read as HTML reads the page, an element without a target (a place a
  // link lands on, named by its id or its name) is no link, and a link
  // that runs a script leads nowhere on a phone: their text stays without
  // them.
  CXmlNode* start = walk.ReadsAsHtml() && node->IsClosedTag() ? StartTagOf(node) : nullptr;
  // The target is read as a browser reads it first: "java&#9;script:" runs
  // a script too.
  if (start != nullptr) ReadTargetAsHtml(*start->GetElement(), "href", walk);
  const char* href = start != nullptr ? start->GetElement()->GetAttribute("href") : nullptr;
  if ((start != nullptr && href == nullptr) || IsScriptUri(href)) return RewriteUnknownTag(node);
  // A phone calls a number through WTAI, which knows no tel: link.
  if (HasScheme(href, "tel")) {
    const std::string call = CallTarget(href);
    if (!call.empty()) start->GetElement()->SetAttribute("href", call.c_str());
  }
  CXmlObject* element = PairAtClosedTag(node, wml::kA);
  if (element == nullptr) return;
  if (walk.ReadsAsHtml()) LinkToSectionCard(*element);
  EscapeHref(*element, walk.Settings());
}

void RewriteArea(CXmlNode* node, RewriteContext& walk) {
  CXmlObject& area = *node->GetElement();
  const char* href = node->IsStartTag() && walk.ReadsAsHtml() ? area.GetAttribute("href") : nullptr;
  if (href != nullptr && *href != '\0' && area.GetAttribute("nohref") == nullptr && !IsScriptUri(href)) {
    const char* alt = area.GetAttribute("alt");
    CXmlNode* link = NewLink(*node, href, alt != nullptr && *alt != '\0' ? alt : href, walk);
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

namespace {

// `number` in letters: 1 is "a", 26 "z", 27 "aa"; `upper` for capitals.
std::string LetterNumber(int64_t number, bool upper) {
  std::string letters;
  // `letters` holds the digits already taken off `number`, the last first.
  for (; number > 0; number = (number - 1) / 26) letters += static_cast<char>((upper ? 'A' : 'a') + (number - 1) % 26);
  return {letters.rbegin(), letters.rend()};
}

// `number` (1 to 3999) in Roman numerals; `upper` for capitals.
std::string RomanNumber(int64_t number, bool upper) {
  struct Numeral {
    int64_t value;
    const char* lower;
    const char* upper;
  };
  static constexpr Numeral kNumerals[] = {{1000, "m", "M"}, {900, "cm", "CM"}, {500, "d", "D"}, {400, "cd", "CD"},
                                          {100, "c", "C"},  {90, "xc", "XC"},  {50, "l", "L"},  {40, "xl", "XL"},
                                          {10, "x", "X"},   {9, "ix", "IX"},   {5, "v", "V"},   {4, "iv", "IV"},
                                          {1, "i", "I"}};
  std::string roman;
  for (const Numeral& numeral : kNumerals) {
    for (; number >= numeral.value; number -= numeral.value) roman += upper ? numeral.upper : numeral.lower;
  }
  return roman;
}

// The label of item `number` in a list numbered `numbering`: letters from
// 1 on, Roman numerals from 1 to 3999, decimal digits otherwise.
std::string ItemLabel(int64_t number, char numbering) {
  const bool upper = numbering == 'A' || numbering == 'I';
  if ((numbering == 'a' || numbering == 'A') && number >= 1) return LetterNumber(number, upper);
  if ((numbering == 'i' || numbering == 'I') && number >= 1 && number <= 3999) return RomanNumber(number, upper);
  return std::to_string(number);
}

// Puts `label` before the first content of `item`: past the soft breaks and
// blank text that open it, and inside the blocks it opens with (which open
// with soft breaks of their own), a few levels deep, so that a break never
// stands between an item's number and its text.
void PlaceBeforeContent(CXmlNode* label, CXmlNode* item, const SoftBreaks& breaks) {
  constexpr int kDeepestBlock = 8;
  const auto passed = [&](const CXmlNode* node) {
    return breaks.IsSoft(node) || (!node->IsTag() && !node->IsComment() && IsBlank(node->GetText()) != 0);
  };
  CXmlNode* parent = item;
  // parent's content begins the item's content.
  for (int depth = 0;; ++depth) {
    CXmlNode* first = parent->GetFirstChild();
    while (first != nullptr && passed(first)) first = first->GetNext();
    const bool opensBlock = first != nullptr && IsOpenStartTag(first) && first->GetFirstChild() != nullptr &&
                            breaks.IsSoft(first->GetFirstChild());
    if (opensBlock && depth < kDeepestBlock) {
      parent = first;
      continue;
    }
    if (first == nullptr) return parent->AppendChild(label);
    return first->InsertBefore(label);
  }
}

// The items of `list` (its li children).
int64_t ItemCount(const CXmlNode* list) {
  int64_t items = 0;
  for (const CXmlNode* child = list->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    items += child->IsStartTag() && child->IsTagNamed("li") ? 1 : 0;
  }
  return items;
}

}  // namespace

void RewriteOrderedList(CXmlNode* node, RewriteContext& walk) {
  std::vector<RewriteContext::OrderedList>& lists = walk.OrderedLists();
  if (walk.ReadsAsHtml() && IsOpenStartTag(node)) {
    const CXmlObject& list = *node->GetElement();
    const bool reversed = list.GetAttribute("reversed") != nullptr;
    const char* start = list.GetAttribute("start");
    const char* type = list.GetAttribute("type");
    const char numbering =
        type != nullptr && type[0] != '\0' && type[1] == '\0' && std::strchr("aAiI", type[0]) ? type[0] : '1';
    const int64_t first = start != nullptr ? LeadingInteger(start) : reversed ? ItemCount(node) : 1;
    lists.push_back({node, first, reversed ? -1 : 1, numbering});
  } else if (node->IsClosedTag() && !lists.empty() && lists.back().start == StartTagOf(node)) {
    lists.pop_back();
  }
  RewriteUnknownTag(node);
}

void RewriteListItem(CXmlNode* node, RewriteContext& walk) {
  std::vector<RewriteContext::OrderedList>& lists = walk.OrderedLists();
  const bool numbered = walk.ReadsAsHtml() && IsOpenStartTag(node) && !lists.empty() &&
                        node->GetParent() == lists.back().start;
  if (numbered) {
    RewriteContext::OrderedList& list = lists.back();
    if (const char* value = node->GetElement()->GetAttribute("value")) list.next = LeadingInteger(value);
    PlaceBeforeContent(node->CreateNode((ItemLabel(list.next, list.numbering) + ". ").c_str()), node, walk.Breaks());
    list.next += list.step;
  }
  RewriteUnknownTag(node);
}

void RewriteQuotation(CXmlNode* node, RewriteContext& walk) {
  if (walk.ReadsAsHtml() && IsOpenStartTag(node)) {
    // Browsers show a quotation between quotation marks, which are its
    // text's, not the style's: "He said <q>no</q>" reads otherwise without.
    node->PrependChild(node->CreateNode("\""));
    node->AppendChild(node->CreateNode("\""));
  }
  RewriteUnknownTag(node);
}

void RewriteSuperscript(CXmlNode* node, RewriteContext& walk) {
  // WML sets no text higher: "2<sup>32</sup>" would read "232".
  if (walk.ReadsAsHtml() && IsOpenStartTag(node)) node->PrependChild(node->CreateNode("^"));
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
  // A heading's own attributes (align, style) are none of bold text's, nor
  // is a paragraph inside it ("<h2>T<p>x</p></h2>"), which WML's bold text
  // cannot hold: read as HTML, it keeps only what bold text does.
  if (walk.ReadsAsHtml()) ApplyContentModel(node, wml::kFormatting);
  if (walk.HasTextBefore(node)) start->InsertBefore(walk.NewLineBreak(node));
  node->InsertAfter(walk.NewLineBreak(node));
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
  const int32_t size = sizeText != nullptr ? FontSizeOf(sizeText, walk.ReadsAsHtml()) : 0;
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

namespace {

// A link to the document of `frame` (a frame or an inline frame), named by
// its title, else its name, else its target; null when it names no target
// or one that runs a script. Not linked yet: its end tag is the caller's.
CXmlNode* FrameLink(CXmlNode& frame, const RewriteContext& walk) {
  const CXmlObject& element = *frame.GetElement();
  const char* src = element.GetAttribute("src");
  if (src == nullptr || *src == '\0' || IsScriptUri(src)) return nullptr;
  const char* label = src;
  if (const char* name = element.GetAttribute("name"); name != nullptr && *name != '\0') label = name;
  if (const char* title = element.GetAttribute("title"); title != nullptr && *title != '\0') label = title;
  return NewLink(frame, src, label, walk);
}

// The body that a page of frames holds after `frameset` for browsers
// without frames (as in "<frameset>…</frameset><noframes><body>"), or null:
// looked for among the nodes that follow, a few hundred at most.
CXmlNode* LaterBody(CXmlNode* frameset) {
  constexpr int kMostLooked = 256;
  int looked = 0;
  // Every node before `node` after the frameset, in document order, is no body.
  for (CXmlNode* node = NextAfterSubtree(frameset, frameset->GetParent()); node != nullptr && looked < kMostLooked;
       node = NextInSubtree(node, frameset->GetParent()), ++looked) {
    if (IsOpenStartTag(node) && node->IsTagNamed("body")) return node;
  }
  return nullptr;
}

// A deck's card is its page's body: the content of a frameset outside it
// goes to the start of a body that comes later, which the walk is still to
// visit.
void MoveIntoLaterBody(CXmlNode* frameset) {
  if (frameset->GetFirstChild() == nullptr) return;
  CXmlNode* body = LaterBody(frameset);
  if (body == nullptr) return;
  if (body->GetFirstChild() == nullptr) return MoveChildrenInto(frameset, body);
  MoveChildrenBefore(frameset, body->GetFirstChild());
}

// Moves the content of `noframes` to the end of `to`'s children. A body it
// holds ("<noframes><body>…") gives its content: the deck's card is the
// page's body, which would then leave out the frames' links before it.
void TakeContentWithoutFrames(CXmlNode* noframes, CXmlNode* to) {
  // Every child of noframes before `child` is no open body, or was unwrapped.
  for (CXmlNode* child = noframes->GetFirstChild(); child != nullptr;) {
    CXmlNode* next = child->GetNext();
    if (IsOpenStartTag(child) && child->IsTagNamed("body")) {
      if (CXmlNode* end = EndTagOf(child)) end->Destroy();
      next = child->GetFirstChild() != nullptr ? child->GetFirstChild() : next;
      Unwrap(child);
    }
    child = next;
  }
  MoveChildrenInto(noframes, to);
}

}  // namespace

void RewriteFrameset(CXmlNode* node, RewriteContext& walk) {
  if (!walk.ReadsAsHtml()) return RemoveWithContent(node, walk);
  if (IsOpenStartTag(node)) {
    // The frames' links, in the page's order, take the place of the frames;
    // what the frameset holds for browsers without frames (a phone is one)
    // follows them, as in "<frameset><frame><noframes><p>…</noframes>".
    std::vector<CXmlNode*> links;
    CXmlNode* withoutFrames = node->CreateNode("<noframes>");
    // Every node before `frame` in the pre-order walk of the frameset has
    // been looked at; the content of every noframes before it moved.
    for (CXmlNode* frame = node->GetFirstChild(); frame != nullptr;) {
      if (IsOpenStartTag(frame) && frame->IsTagNamed("noframes")) {
        TakeContentWithoutFrames(frame, withoutFrames);
        frame = NextAfterSubtree(frame, node);
        continue;
      }
      if (CXmlNode* link = frame->IsStartTag() && frame->IsTagNamed("frame") ? FrameLink(*frame, walk) : nullptr) {
        links.push_back(link);
      }
      frame = NextInSubtree(frame, node);
    }
    DestroyChildren(node);
    for (CXmlNode* link : links) {
      node->AppendChild(link);
      node->AppendChild(node->CreateNode("</a>"));
      node->AppendChild(walk.Breaks().Make(node));
    }
    MoveChildrenInto(withoutFrames, node);
    MoveIntoLaterBody(node);
  }
  RewriteUnknownTag(node);
}

void RewriteInlineFrame(CXmlNode* node, RewriteContext& walk) {
  if (!walk.ReadsAsHtml() || !node->IsStartTag()) return RewriteUnknownTag(node);
  // What the frame holds is for browsers that show no frames.
  if (IsOpenStartTag(node)) DestroyChildren(node);
  if (CXmlNode* link = FrameLink(*node, walk)) {
    node->InsertAfter(link);
    link->InsertAfter(node->CreateNode("</a>"));
  }
  RewriteUnknownTag(node);
}

void RemoveStyleSheet(CXmlNode* node, RewriteContext& walk) {
  if (!walk.ReadsAsHtml()) return RewriteUnknownTag(node);
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
