#include "transform/block_breaks.h"

#include <string>
#include <string_view>
#include <vector>

#include "markup/name_list.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// True for the elements that HTML shows as blocks of their own and that the
// rewrite unwraps: p div li dt dd ul ol dl blockquote address pre center,
// and the sections, figures, disclosures and legends of newer pages (names
// are lower case by now). Headings are blocks too, but their own rule
// already puts them on a line of their own. Every tag of the page asks, so
// the first letter picks the few names to compare.
bool IsBlockName(std::string_view name) {
  if (name.empty()) return false;
  switch (name[0]) {
    case 'p': return name == "p" || name == "pre";
    case 'd':
      return name == "div" || name == "dt" || name == "dd" || name == "dl" || name == "details" || name == "dialog" ||
             name == "dir";
    case 'l': return name == "li" || name == "legend";
    case 'u': return name == "ul";
    case 'o': return name == "ol";
    case 'b': return name == "blockquote";
    case 'a': return name == "address" || name == "article" || name == "aside";
    case 'c': return name == "center";
    case 'f': return name == "figure" || name == "figcaption" || name == "footer";
    case 'h': return name == "header" || name == "hgroup";
    case 'm': return name == "main" || name == "menu";
    case 'n': return name == "nav";
    case 's': return name == "section" || name == "summary" || name == "search";
    default: return false;
  }
}

bool IsBlockTag(const CXmlNode* node) {
  const char* name = node->GetName();
  return name != nullptr && node->IsTag() && IsBlockName(name);
}

constexpr char kNoBreakSpace[] = "&#160;";

bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

// Length of the line end at `at` ("\r\n", "\r" or "\n"), 0 when none.
std::size_t LineEndAt(std::string_view text, std::size_t at) {
  if (text[at] == '\n') return 1;
  if (text[at] != '\r') return 0;
  return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

bool IsHeadingName(std::string_view name) {
  return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

// True when a block or a heading ends right before `node`, apart from blank
// text: the block's own closing break, or the break that the heading rule
// puts after a heading, then stands there already.
bool FollowsBlock(const CXmlNode* node) {
  const CXmlNode* before = node->GetPrev();
  // Every sibling between `before` and node is blank text.
  while (before != nullptr && before->GetName() == nullptr && !before->IsComment() && IsBlank(before->GetText())) {
    before = before->GetPrev();
  }
  if (before == nullptr || before->IsStartTag() || !before->IsTag()) return false;
  const char* name = before->GetName();
  return name != nullptr && (IsBlockName(name) || IsHeadingName(name));
}

// Gives an open block element a soft break before and after its content. A
// block that opens or closes the content, or ends right before this one,
// has put a break of its own there, and a second one next to it would only
// be dropped again: nests and runs of blocks cost a break per boundary.
void MarkOpenBlock(CXmlNode* block, SoftBreaks& breaks) {
  const CXmlNode* first = block->GetFirstChild();
  const bool opensWithBlock = first != nullptr && IsOpenStartTag(first) && IsBlockTag(first);
  if (!opensWithBlock && !FollowsBlock(block)) block->PrependChild(breaks.Make(block));
  const CXmlNode* last = block->GetLastChild();
  if (last == nullptr || last->IsStartTag() || !IsBlockTag(last)) block->AppendChild(breaks.Make(block));
}

}  // namespace

// A line end right after the pre start tag is not shown by HTML and goes.
CXmlNode* SplitPreformattedText(CXmlNode* text, SoftBreaks& breaks) {
  const CXmlNode* parent = text->GetParent();
  const CXmlNode* before = text->GetPrev();
  // The pre's own leading soft break stands before its first text.
  const bool opensPre = parent != nullptr && IsTagNamedExactly(parent, "pre") && before != nullptr &&
                        before->GetPrev() == nullptr && breaks.IsSoft(before);
  std::string_view whole = text->GetText();
  if (opensPre && !whole.empty()) whole.remove_prefix(LineEndAt(whole, 0));
  // The text's first line begins a line of the pre when nothing but a break
  // stands before it.
  const bool firstStartsLine = opensPre || (before != nullptr && IsTagNamedExactly(before, "br"));
  std::vector<std::string> lines(1);
  // lines holds every line of whole before `at`, converted; the last one is
  // the line being read.
  for (std::size_t at = 0; at < whole.size();) {
    const std::size_t end = whole.find_first_of("\r\n", at);
    const std::size_t stop = end == std::string_view::npos ? whole.size() : end;
    lines.back() += PreformattedLine(whole.substr(at, stop - at), lines.size() > 1 || firstStartsLine);
    if (stop == whole.size()) break;
    at = stop + LineEndAt(whole, stop);
    lines.emplace_back();
  }
  text->GetElement()->SetText(lines.front());
  CXmlNode* last = text;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    CXmlNode* lineBreak = breaks.Make(text);
    last->InsertAfter(lineBreak);
    last = lineBreak;
    if (lines[i].empty()) continue;
    CXmlNode* piece = text->CreateNode("x");
    piece->GetElement()->SetText(std::move(lines[i]));
    last->InsertAfter(piece);
    last = piece;
  }
  return last;
}

std::string PreformattedLine(std::string_view line, bool startsLine) {
  std::string out;
  out.reserve(line.size());
  // out holds the converted text of line before `at`.
  for (std::size_t at = 0; at < line.size();) {
    if (!IsBlankByte(line[at])) {
      out += line[at++];
      continue;
    }
    std::size_t run = at;
    while (run < line.size() && IsBlankByte(line[run])) ++run;
    if (run - at == 1 && (at != 0 || !startsLine)) {
      out += line[at];
    } else {
      for (std::size_t blank = at; blank < run; ++blank) out += kNoBreakSpace;
    }
    at = run;
  }
  return out;
}

void MarkBlock(CXmlNode* tag, std::string_view name, bool inCell, SoftBreaks& breaks) {
  if (name == "hr") {
    if (!tag->IsStartTag()) return;
    breaks.Add(tag);
    // A cell's content model drops the rule before its own rule makes it a
    // break: a break of its own stands in for it.
    if (inCell) tag->InsertAfter(breaks.Make(tag));
    return;
  }
  // In a cell, likewise, a heading is unwrapped before its rule sets it on
  // a line of its own, so it is marked like the other blocks.
  const bool block = IsBlockName(name) || (inCell && IsHeadingName(name));
  if (block && IsOpenStartTag(tag)) MarkOpenBlock(tag, breaks);
}

}  // namespace quillmark
