#include "transform/section_cards.h"

#include <span>
#include <utility>
#include <vector>

#include "base/control_bytes.h"
#include "base/xml_name.h"
#include "markup/element_names.h"
#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/escape_text.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// A mark deeper than this below its card makes no card, so that each mark
// costs bounded steps however deep the page nests.
constexpr int kDeepestMark = 64;

// The elements that a cut closes and opens again around the cut point.
constexpr ElementSet kCutThrough{"b\0big\0em\0i\0p\0small\0strong\0u\0"};
// The document's own elements, whose ids their cards take.
constexpr ElementSet kDocumentOwn{"body\0card\0head\0html\0wml\0"};
// The tags that show something of their own; other tags show their content.
constexpr ElementSet kShownTags{"do\0img\0input\0select\0"};

bool CutsThrough(const CXmlNode* node) {
  return IsOpenStartTag(node) && kCutThrough.Holds(node->GetElement()->GetElementId());
}

// True when the node shows something on the phone by itself.
bool Shows(const CXmlNode* node) {
  if (node->IsComment()) return false;
  if (!node->IsTag()) return IsBlank(node->GetText()) == 0;
  return node->IsStartTag() && kShownTags.Holds(node->GetElement()->GetElementId());
}

// The elements from `node`'s parent up to the child of `card` that holds
// it, innermost first; false when `card` is not reached within the bound.
bool AncestorsBelow(const CXmlNode* card, CXmlNode* node, std::vector<CXmlNode*>& ancestors) {
  ancestors.clear();
  for (CXmlNode* parent = node->GetParent(); parent != card; parent = parent->GetParent()) {
    if (parent == nullptr || ancestors.size() == kDeepestMark) return false;
    ancestors.push_back(parent);
  }
  return true;
}

// True when `ancestor` holds `node`, looking up at most the bound.
bool Holds(const CXmlNode* ancestor, const CXmlNode* node) {
  int steps = 0;
  for (const CXmlNode* at = node; at != nullptr && steps <= kDeepestMark; at = at->GetParent(), ++steps) {
    if (at == ancestor) return true;
  }
  return false;
}

// The card's paragraph: its first child that is an open p element.
CXmlNode* ParagraphOf(const CXmlNode* card) {
  for (CXmlNode* child = card->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (IsOpenStartTag(child) && IsTagNamedExactly(child, "p")) return child;
  }
  return nullptr;
}

}  // namespace

std::string SectionCardId(std::string_view name) {
  const auto byte = [](char c) { return static_cast<unsigned char>(c); };
  bool valid = !name.empty() && IsNameStartByte(byte(name[0]));
  for (std::size_t i = 1; i < name.size() && valid; ++i) valid = IsNameByte(byte(name[i]));
  if (valid) return std::string(name);
  std::string id = "_";
  for (const char c : name) id += IsNameByte(byte(c)) ? c : '_';
  return id;
}

bool SectionCards::Mark(CXmlNode* anchor, std::string_view name) {
  std::string id = SectionCardId(name);
  if (!names_.emplace(id).second) return false;
  CXmlNode* mark = anchor->CreateNode("<!---->");
  anchor->InsertBefore(mark);
  marks_.emplace(mark, std::move(id));
  return true;
}

namespace {

// The elements a link to its own place stands in: a heading's line, with
// the text around it.
constexpr ElementSet kLinkLine{"a\0b\0big\0code\0em\0font\0i\0small\0span\0strong\0sub\0sup\0tt\0u\0"
                               "h1\0h2\0h3\0h4\0h5\0h6\0"};

// True when `link` names its own place: it has the id `id`, or an element
// of its line has it (`<h2 id=x><a href=#x>`), or the element that holds
// that line does (`<div id=x><a href=#x>[x]</a>`, `<section id=x><h2>T
// <a href=#x>`). A link further down (a chapter's "Up" to the top that
// holds it) leads somewhere, as do all links outside. A few levels at most.
bool NamesItsOwnPlace(const CXmlNode* link, std::string_view id) {
  constexpr int kMostLevels = 8;
  const CXmlNode* node = link;
  // No element below `node` on the way up has the id, and all are of the line.
  for (int level = 0; node != nullptr && !node->IsRoot() && level <= kMostLevels; ++level) {
    const char* own = node->GetElement()->GetAttribute("id");
    if (own != nullptr && own == id) return true;
    if (!kLinkLine.Holds(node->GetElement()->GetElementId())) return false;
    node = node->GetParent();
  }
  return false;
}

}  // namespace

void SectionCards::NoteLink(const CXmlNode* link) {
  const char* href = link->GetElement()->GetAttribute("href");
  if (href == nullptr) return;
  const std::string_view target = TrimControlBytes(href);
  if (target.size() < 2 || target.front() != '#' || NamesItsOwnPlace(link, target.substr(1))) return;
  targets_.emplace(target.substr(1));
}

void SectionCards::MarkLinkTarget(CXmlNode* node) {
  if (targets_.empty() || kDocumentOwn.Holds(node->GetElement()->GetElementId())) return;
  const char* id = node->GetElement()->GetAttribute("id");
  if (id != nullptr && targets_.contains(id)) Mark(node, id);
}

void SectionCards::Alias(CXmlNode* mark, std::string_view cardId) {
  auto found = marks_.find(mark);
  aliases_.emplace(found->second, cardId);
  marks_.erase(found);
  mark->Destroy();
}

CXmlNode* SectionCards::CutOffFirstSection(CXmlNode* card) {
  if (marks_.empty()) return nullptr;
  const char* cardIdText = card->GetElement()->GetAttribute("id");
  std::string cardId = cardIdText != nullptr ? cardIdText : "";
  const CXmlNode* firstShown = nullptr;  // the first node before the marks that shows something
  // The marks met since the last node that shows something, first first.
  std::vector<CXmlNode*> run;
  std::vector<CXmlNode*> ancestors;
  const auto endRun = [&](std::string_view to) {
    for (CXmlNode* mark : run) Alias(mark, to);
    run.clear();
  };
  // Marks before anything the card shows name the card itself, so that a
  // link from another page finds it: the first gives the card its name.
  const auto endRunInCard = [&] {
    if (firstShown == nullptr && !run.empty()) {
      const std::string name = marks_.at(run.front());
      aliases_.emplace(cardId, name);
      card->GetElement()->SetAttribute("id", name.c_str());
      cardId = name;
    }
    endRun(cardId);
  };
  // Everything before node in the walk of the card has been looked at; run
  // holds the marks after the last node shown.
  for (CXmlNode* node = card->GetFirstChild(); node != nullptr;) {
    if (marks_.contains(node)) {
      run.push_back(node);
      node = NextAfterSubtree(node, card);
      continue;
    }
    if (!Shows(node)) {
      node = NextInSubtree(node, card);
      continue;
    }
    if (!run.empty()) {
      // The cut falls before the first mark of the run, or before the
      // outermost element around it that it cannot pass.
      CXmlNode* first = run.front();
      CXmlNode* at = first;
      std::size_t above = 0;  // where the ancestors of `at` begin
      const bool reached = AncestorsBelow(card, first, ancestors);
      for (std::size_t i = 0; i < ancestors.size(); ++i) {
        if (CutsThrough(ancestors[i])) continue;
        at = ancestors[i];
        above = i + 1;
      }
      // Something must show before the cut, outside what moves.
      if (reached && firstShown != nullptr && !Holds(at, firstShown)) {
        const std::string id = marks_.at(first);
        run.erase(run.begin());
        endRun(id);
        marks_.erase(first);
        CXmlNode* made = CutBefore(card, at, std::span(ancestors).subspan(above), id);
        first->Destroy();
        return made;
      }
      endRunInCard();
    }
    if (firstShown == nullptr) firstShown = node;
    node = NextInSubtree(node, card);
  }
  endRunInCard();
  return nullptr;
}

CXmlNode* SectionCards::CutBefore(CXmlNode* card, CXmlNode* at, std::span<CXmlNode* const> through,
                                  const std::string& id) {
  // What stands before the cut goes to a copy of the card before it, so
  // that a cut moves only what the walk has passed.
  CXmlNode* made = card->CreateNode(card->GetElement()->Copy());
  card->InsertBefore(made);
  made->InsertAfter(made->CreateNode("</card>"));
  // The elements that the cut passes through, innermost first, each open
  // again in the card before, inside the one around it.
  std::vector<CXmlNode*> copies(through.size());
  CXmlNode* into = made;
  for (std::size_t i = through.size(); i-- > 0;) {
    copies[i] = card->CreateNode(through[i]->GetElement()->Copy());
    into->AppendChild(copies[i]);
    copies[i]->InsertAfter(card->CreateNode(copies[i]->GetElement()->MakeEndTag()));
    into = copies[i];
  }
  MovePrecedingSiblingsInto(at, into);
  // What precedes each element passed through goes before its copy.
  for (std::size_t i = 0; i < through.size(); ++i) {
    MovePrecedingSiblingsInto(through[i], i + 1 < through.size() ? copies[i + 1] : made);
  }
  card->GetElement()->SetAttribute("id", id.c_str());
  next_.emplace(made, id);
  if (chained_.contains(card)) chained_.insert(made);
  chained_.insert(card);
  return made;
}

void SectionCards::LinkInChain(CXmlNode* card, std::string_view nextLabel, std::string_view backLabel) const {
  if (auto next = next_.find(card); next != next_.end()) {
    if (CXmlNode* paragraph = ParagraphOf(card)) {
      CXmlNode* last = paragraph->GetLastChild();
      if (last == nullptr || !IsTagNamedExactly(last, "br")) paragraph->AppendChild(card->CreateNode("<br/>"));
      CXmlNode* link = card->CreateNode("<a>");
      link->GetElement()->SetAttribute("href", ("#" + next->second).c_str());
      paragraph->AppendChild(link);
      link->InsertAfter(card->CreateNode("</a>"));
      link->AppendChild(card->CreateNode(EscapeText(nextLabel, kTextSpecials, kAmpersandEntity)
                                             .value_or(std::string(nextLabel))
                                             .c_str()));
    }
  }
  if (!chained_.contains(card)) return;
  CXmlNode* back = card->CreateNode("<do type=\"prev\">");
  back->GetElement()->SetAttribute("label", AttributeValueText(backLabel).c_str());
  card->AppendChild(back);
  back->InsertAfter(card->CreateNode("</do>"));
  back->AppendChild(card->CreateNode("<prev/>"));
}

void SectionCards::RemoveMarksLeft() {
  for (const auto& [mark, name] : marks_) {
    if (!mark->IsRemoved()) mark->Destroy();
  }
  marks_.clear();
}

std::string_view SectionCards::CardOf(std::string_view id) const {
  auto alias = aliases_.find(std::string(id));
  return alias != aliases_.end() ? std::string_view(alias->second) : id;
}

}  // namespace quillmark
