#include "transform/block_breaks.h"

#include <string>
#include <string_view>
#include <vector>

#include "markup/name_list.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// Elements that HTML shows as blocks of their own.
constexpr char kBlockElements[] =
    "p\0div\0li\0dt\0dd\0ul\0ol\0dl\0blockquote\0address\0pre\0h1\0h2\0h3\0h4\0h5\0h6\0center\0";

constexpr char kNoBreakSpace[] = "&#160;";

bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

// Length of the line end at `at` ("\r\n", "\r" or "\n"), 0 when none.
std::size_t LineEndAt(std::string_view text, std::size_t at) {
  if (text[at] == '\n') return 1;
  if (text[at] != '\r') return 0;
  return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

// Cuts the text of a pre element at its line ends: the text node keeps the
// first line, and each further line follows as a soft break and a text node.
// A line end right after the pre start tag is not shown by HTML and goes.
// Returns the last node of the pieces.
CXmlNode* SplitPreformattedText(CXmlNode* text, bool opensPre, SoftBreaks& breaks) {
  std::string_view whole = text->GetText();
  if (opensPre && !whole.empty()) whole.remove_prefix(LineEndAt(whole, 0));
  std::vector<std::string> lines(1);
  // lines holds every line of whole before `at`, converted; the last one is
  // the line being read.
  for (std::size_t at = 0; at < whole.size();) {
    const std::size_t end = whole.find_first_of("\r\n", at);
    const std::size_t stop = end == std::string_view::npos ? whole.size() : end;
    lines.back() += PreformattedLine(whole.substr(at, stop - at));
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

bool IsBlockTag(const CXmlNode* node) { return node->IsTag() && IsNameInList(node->GetName(), kBlockElements); }

// Gives an open block element a soft break before and after its content. A
// block that opens or closes the content gets a break of its own there, and
// a second one next to it would only be dropped again: a nest of blocks
// costs a break per block, not one per level.
void MarkBlock(CXmlNode* block, SoftBreaks& breaks) {
  const CXmlNode* first = block->GetFirstChild();
  if (first == nullptr || !IsOpenStartTag(first) || !IsBlockTag(first)) block->PrependChild(breaks.Make(block));
  const CXmlNode* last = block->GetLastChild();
  if (last == nullptr || last->IsStartTag() || !IsBlockTag(last)) block->AppendChild(breaks.Make(block));
}

}  // namespace

std::string PreformattedLine(std::string_view line) {
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
    if (run - at == 1 && at != 0) {
      out += line[at];
    } else {
      for (std::size_t blank = at; blank < run; ++blank) out += kNoBreakSpace;
    }
    at = run;
  }
  return out;
}

void MarkBlockBreaks(CXmlNode* root, SoftBreaks& breaks) {
  // The entered nodes, outermost first; preDepth counts the pre elements
  // among them.
  std::vector<CXmlNode*> entered;
  int preDepth = 0;
  CXmlNode* node = root->GetFirstChild();
  // Every node before `node` in document order has been marked.
  while (node != nullptr) {
    const bool open = IsOpenStartTag(node);
    if (open && IsBlockTag(node)) MarkBlock(node, breaks);
    if (node->IsStartTag() && node->IsClosedTag() && IsTagNamedExactly(node, "hr")) breaks.Add(node);
    if (preDepth > 0 && node->GetElement() != nullptr && !node->IsTag() && !node->IsComment()) {
      const CXmlNode* parent = node->GetParent();
      const bool opensPre = parent != nullptr && IsTagNamedExactly(parent, "pre") &&
                            node->GetPrev() != nullptr && node->GetPrev()->GetPrev() == nullptr &&
                            breaks.IsSoft(node->GetPrev());
      node = SplitPreformattedText(node, opensPre, breaks);
    }
    if (open && node->GetFirstChild() != nullptr) {
      entered.push_back(node);
      if (IsTagNamedExactly(node, "pre")) ++preDepth;
      node = node->GetFirstChild();
      continue;
    }
    // Climb out of finished subtrees to the next sibling still to mark.
    while (node->GetNext() == nullptr && !entered.empty()) {
      node = entered.back();
      if (IsTagNamedExactly(node, "pre")) --preDepth;
      entered.pop_back();
    }
    node = node->GetNext();
  }
}

}  // namespace quillmark
