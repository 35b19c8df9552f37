#include "transform/block_breaks.h"

#include <string>
#include <string_view>
#include <vector>

#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// Elements that HTML shows as blocks of their own (names are lower case by
// now).
constexpr std::string_view kBlockElements[] = {"p",  "div", "li", "dt", "dd", "ul", "ol", "dl", "blockquote",
                                               "address", "pre", "h1", "h2", "h3", "h4", "h5", "h6", "center"};

bool IsBlockName(std::string_view name) {
  for (std::string_view block : kBlockElements) {
    if (name == block) return true;
  }
  return false;
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

// Gives an open block element a soft break before and after its content. A
// block that opens or closes the content gets a break of its own there, and
// a second one next to it would only be dropped again: a nest of blocks
// costs a break per block, not one per level.
void MarkOpenBlock(CXmlNode* block, SoftBreaks& breaks) {
  const CXmlNode* first = block->GetFirstChild();
  if (first == nullptr || !IsOpenStartTag(first) || !IsBlockTag(first)) block->PrependChild(breaks.Make(block));
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

void MarkBlock(CXmlNode* tag, std::string_view name, SoftBreaks& breaks) {
  if (name == "hr") {
    if (tag->IsStartTag()) breaks.Add(tag);
    return;
  }
  if (IsBlockName(name) && IsOpenStartTag(tag)) MarkOpenBlock(tag, breaks);
}

}  // namespace quillmark
