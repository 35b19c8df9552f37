// The element rules of the rewrite walk for document structure, WML
// elements already in the page, images, links, formatting, headings, rules,
// fonts and removed elements. Element names are lower case when a rule runs.
//
// "At the closed tag" below means: when the walk reaches the element's end
// tag, or the tag itself when it is self-closing; the rule then works on the
// start tag.
#pragma once

#include "markup/xml_node.h"
#include "transform/content_model.h"
#include "transform/rewrite_context.h"

namespace quillmark {

// At the closed tag: applies the element's pair.
void ApplyPairAtClosedTag(CXmlNode* node, const ContentModel& model);

// html, wml: renamed "wml"; at the closed tag the pair of the walk's root.
void RewriteDocumentElement(CXmlNode* node, RewriteContext& walk);
// title: at the start tag, filters to text and stores the trimmed title.
// Read as HTML reads the page, only the first title is stored, and every
// title goes with its content: none shows in a card.
void RewriteTitle(CXmlNode* node, RewriteContext& walk);
// body, card: renamed "card"; counts cards; at the end tag the card pair and
// the id, title, newcontext and ordered attributes.
void RewriteCard(CXmlNode* node, RewriteContext& walk);
// do: at the closed tag the pair, a lower-case type ("accept" by default)
// and a boolean optional.
void RewriteDo(CXmlNode* node, RewriteContext& walk);
// meta: left as it stands for its parent's content model; but when the
// deck is written in its own encoding (CHARSET=convert), the page's charset
// declarations would misname it: a meta with a charset attribute goes, and
// a Content-Type meta's charset names the deck's encoding. Read as HTML
// reads the page, a meta without content or without a name or HTTP header
// goes, and a meta keeps only the attributes WML's has.
void RewriteMeta(CXmlNode* node, RewriteContext& walk);
// base: read as HTML reads the page, the first one's href is the base that
// links, pictures, forms and a refresh are resolved against (see
// ReadTargetAsHtml); the tag goes as any unknown element's.
void RewriteBase(CXmlNode* node, RewriteContext& walk);
// Read as HTML reads the page: sets the attribute `name` of `element`,
// when it has one, to the target it holds as browsers read it
// (TargetAsBrowsersRead), resolved against the page's base
// (ResolveUriReference), which draws its length from the conversion's
// budget.
void ReadTargetAsHtml(CXmlObject& element, const char* name, const RewriteContext& walk);
// True when `uri` (null for none) is a target that runs a script
// (javascript:, vbscript:), which no phone does.
bool IsScriptUri(const char* uri);
// Sets `element`'s attribute `name` to the page's link target `target`,
// read as ReadTargetAsHtml reads one and with its bare ampersands written
// as the device's ampersand text, as a link's href is.
void SetLinkTarget(CXmlObject& element, const char* name, const char* target, const RewriteContext& walk);
// go: at the closed tag the pair, method, sendreferer and an escaped href.
void RewriteGo(CXmlNode* node, RewriteContext& walk);
// img: at the closed tag the pair, src, alt from the file name, and align.
// Read as HTML reads the page, a picture held in a data: source becomes its
// alt text.
void RewriteImg(CXmlNode* node, RewriteContext& walk);
// a: a named anchor's content becomes a card of its own; a link gets its
// pair and an escaped href at the closed tag. Read as HTML reads the page,
// a link to a javascript: or vbscript: target is its text alone, and a tel:
// link calls its number through WTAI (wtai://wp/mc;number).
void RewriteA(CXmlNode* node, RewriteContext& walk);
// area: read as HTML reads the page, a link of an image map becomes a link
// titled with its alt text (else its target), followed by a space; the tags
// go as any unknown element's.
void RewriteArea(CXmlNode* node, RewriteContext& walk);
// ol: read as HTML reads the page, its items are numbered (see li); the
// tags go as any unknown element's.
void RewriteOrderedList(CXmlNode* node, RewriteContext& walk);
// li: read as HTML reads the page, an item of an ordered list begins with
// its number and ". " ("3. ", "c. ", "iii. ", as the list's type, start and
// the item's value say); the tags go as any unknown element's.
void RewriteListItem(CXmlNode* node, RewriteContext& walk);
// q: read as HTML reads the page, the quotation stands between quotation
// marks; the tags go as any unknown element's.
void RewriteQuotation(CXmlNode* node, RewriteContext& walk);
// sup: read as HTML reads the page, a superscript begins with "^" ("2^32");
// the tags go as any unknown element's.
void RewriteSuperscript(CXmlNode* node, RewriteContext& walk);
// Gives `card`, whose paragraph stands, the page's refresh: an ontimer event
// that goes to `target` (escaped as a link) and a timer of `delay` tenths
// of a second, before its paragraph.
void AddRefreshTimer(CXmlNode* card, const std::string& target, int32_t delay, const CWmlSettings& settings);
// p: at the closed tag the pair, align and mode.
void RewriteP(CXmlNode* node, RewriteContext& walk);
// h1 to h6: at the end tag, bold text on a line of its own; read as HTML,
// with bold text's attributes alone.
void RewriteHeading(CXmlNode* node, RewriteContext& walk);
// hr: a line break without attributes.
void RewriteHr(CXmlNode* node, RewriteContext& walk);
// center: a centred paragraph.
void RewriteCenter(CXmlNode* node, RewriteContext& walk);
// font: small or big text by size (a signed size, read as HTML reads it,
// is relative to the base size 3), otherwise only the content stays.
void RewriteFont(CXmlNode* node, RewriteContext& walk);
// frameset: read as HTML reads the page, a link to each of its frames (named
// by its title, else its name, else its target), each on a line, takes the
// place of its content; otherwise, as script and nowap, removed with its
// content.
void RewriteFrameset(CXmlNode* node, RewriteContext& walk);
// iframe: read as HTML reads the page, a link to the frame's document (named
// as a frameset's) takes the place of its content, which is for browsers
// without frames; otherwise the tags go as any unknown element's.
void RewriteInlineFrame(CXmlNode* node, RewriteContext& walk);
// script, nowap: removed with their content.
void RemoveWithContent(CXmlNode* node, RewriteContext& walk);
// A style element: RemoveWithContent, or with BLOCK_BREAKS=false an element
// like any the rules do not know.
void RemoveStyleSheet(CXmlNode* node, RewriteContext& walk);
// A tag that no rule names: an element is unwrapped at its end tag; a closed
// start tag is suppressed; an open start tag is left to its parent.
void RewriteUnknownTag(CXmlNode* node);

// Escapes a text node's character data in place, treating references as
// `references` says.
void EscapeTextNode(CXmlNode* node, ReferenceMode references);

}  // namespace quillmark
