#include "markup/deck_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "base/utf8.h"
#include "base/xml_name.h"
#include "markup/character_references.h"
#include "markup/name_list.h"
#include "markup/xml_node.h"

namespace quillmark {
namespace {

// Bytes the escaper stops at: kStopText in character data, kStopValue in
// attribute values; every other byte is copied in runs.
constexpr uint8_t kStopText = 1;
constexpr uint8_t kStopValue = 2;
// The lead byte of U+FFFE and U+FFFF in UTF-8 (of other characters too).
constexpr uint8_t kStopUtf8 = 4;
// Every byte of a multi-byte character, where text that should be UTF-8 is
// checked to be so.
constexpr uint8_t kStopMultiByte = 8;
constexpr unsigned char kNoncharacterLead = 0xEF;

constexpr std::array<uint8_t, 256> kStops = [] {
  std::array<uint8_t, 256> stops{};
  for (int c = 0; c < 0x20; ++c) {
    if (c != '\t' && c != '\n' && c != '\r') stops[c] = kStopText | kStopValue;
  }
  for (unsigned char c : {'<', '>', '&', '$'}) stops[c] = kStopText | kStopValue;
  stops['"'] = kStopValue;
  for (int c = 0x80; c < 0x100; ++c) stops[c] = kStopMultiByte;
  stops[kNoncharacterLead] = kStopUtf8 | kStopMultiByte;
  return stops;
}();

// The replacement character, written for a byte that starts no character.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool IsForbiddenControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

// The length of the UTF-8 form of U+FFFE or U+FFFF at text[0], else 0.
size_t NoncharacterLength(std::string_view text) {
  const bool found = text.size() >= 3 && static_cast<unsigned char>(text[0]) == kNoncharacterLead &&
                     static_cast<unsigned char>(text[1]) == 0xBF &&
                     (static_cast<unsigned char>(text[2]) & 0xFE) == 0xBE;
  return found ? 3 : 0;
}

// The bytes XML forbids at text[0]: a control, or in UTF-8 text U+FFFE or
// U+FFFF; 0 when the character there may stand.
size_t ForbiddenLength(std::string_view text, bool utf8) {
  if (IsForbiddenControl(static_cast<unsigned char>(text[0]))) return 1;
  return utf8 ? NoncharacterLength(text) : 0;
}

// Appends the reference or bare "&" at text[0]; returns the bytes taken.
size_t AppendAmpersand(std::string& out, std::string_view text, bool attribute, const EscapeRules& rules) {
  if (rules.convertReferences) {
    const ResolvedReference reference =
        ResolveReference(text, attribute ? ReferenceContext::kAttribute : ReferenceContext::kText);
    if (reference.length == 0) {
      out += "&amp;";
      return 1;
    }
    AppendReference(out, reference);
    return reference.length;
  }
  const size_t length = WellFormedReferenceLength(text);
  if (length == 0) {
    out += "&amp;";
    return 1;
  }
  out.append(text.data(), length);
  return length;
}

// Appends the variable or lone "$" at text[0]; returns the bytes taken.
size_t AppendDollar(std::string& out, std::string_view text, const EscapeRules& rules) {
  if (!rules.doubleDollars) {
    out += '$';
    return 1;
  }
  const size_t length = VariableReferenceLength(text);
  if (length == 0) {
    out += "$$";
    return 1;
  }
  out.append(text.data(), length);
  return length;
}

// Appends a declaration, comment or other verbatim text without the
// characters XML forbids.
void AppendVerbatim(std::string& out, std::string_view text, bool utf8) {
  for (size_t i = 0; i < text.size();) {
    size_t run = i;
    size_t forbidden = 0;
    while (run < text.size() && (forbidden = ForbiddenLength(text.substr(run), utf8)) == 0) ++run;
    out.append(text.data() + i, run - i);
    i = run + forbidden;
  }
}

// Appends the well-formed characters that start at text[0], up to the next
// byte that is not part of one, leaving out U+FFFE and U+FFFF; a byte that
// starts no character becomes U+FFFD. Returns the bytes taken (at least 1).
size_t AppendCheckedUtf8(std::string& out, std::string_view text) {
  size_t end = 0;
  // text[0, end) is well-formed and holds no noncharacter.
  while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) {
    const size_t length = Utf8SequenceLength(text, end);
    if (length == 0 || NoncharacterLength(text.substr(end)) != 0) break;
    end += length;
  }
  out.append(text.data(), end);
  if (end > 0) return end;
  if (const size_t noncharacter = NoncharacterLength(text); noncharacter != 0) return noncharacter;
  out += kReplacementCharacter;
  return 1;
}

// True when `name` can stand as an XML element or attribute name (in UTF-8
// text U+FFFE and U+FFFF cannot).
bool IsXmlName(std::string_view name, bool utf8) {
  if (name.empty() || !IsNameStartByte(static_cast<unsigned char>(name[0]))) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i != 0 && !IsNameByte(static_cast<unsigned char>(name[i]))) return false;
    if (utf8 && NoncharacterLength(name.substr(i)) != 0) return false;
  }
  return true;
}

bool IsDeclarationText(const char* text) {
  return text != nullptr && text[0] == '<' && (text[1] == '!' || text[1] == '?');
}

// A comment XML accepts: "<!--", a body without "--", "-->".
bool IsWellFormedComment(std::string_view text) {
  if (text.size() < 7 || text.substr(0, 4) != "<!--" || text.substr(text.size() - 3) != "-->") return false;
  const std::string_view body = text.substr(4, text.size() - 7);
  return body.find("--") == std::string_view::npos && (body.empty() || body.back() != '-');
}

enum class TagForm { kStart, kEmpty, kEnd };

// How a tag node is written; declarations never come here.
TagForm FormOf(const CXmlNode& node) {
  if (!node.IsClosedTag()) return TagForm::kStart;
  const std::string_view text = node.GetElement()->GetTextView();
  const bool endsSelfClosed = text.size() >= 2 && text[text.size() - 2] == '/';
  return endsSelfClosed ? TagForm::kEmpty : TagForm::kEnd;
}

// The elements of a break list by their ids, so that asking about a tag
// compares no names; a list that names an element without an id is asked
// by name instead.
class BreakElements {
 public:
  explicit BreakElements(const char* list) : list_(list), ids_(ElementSet::OfList(list)) {}

  // Whether the list names `element`, ignoring case.
  bool Holds(const CXmlObject& element) const {
    if (!ids_) return IsNameInList(element.GetName(), list_) != 0;
    return ids_->Holds(element.GetElementId());
  }

 private:
  const char* list_;
  std::optional<ElementSet> ids_;  // none when the list is asked by name
};

class DeckWriter {
 public:
  DeckWriter(const char* breakList, const EscapeRules& rules, size_t expectedSize, size_t pieceSize)
      : breakElements_(breakList), rules_(rules), pieceSize_(std::max<size_t>(pieceSize, 1)) {
    out_.reserve(std::min(expectedSize, pieceSize_));
  }

  WrittenDeck Write(const CXmlNode& root) {
    const CXmlNode* node = root.GetFirstChild();
    // Everything before node in document order is written; open_ holds the
    // written start tags whose end is still to come, innermost last.
    while (node != nullptr) {
      if (PieceIsFull()) Cut();
      Visit(*node);
      if (node->GetFirstChild() != nullptr) {
        node = node->GetFirstChild();
        continue;
      }
      Leave(*node);
      while (node->GetNext() == nullptr) {
        node = node->GetParent();
        if (node == nullptr || node == &root) return Finish();
        Leave(*node);
      }
      node = node->GetNext();
    }
    return Finish();
  }

 private:
  // A piece is cut at its size, and also when little room is left in it:
  // a piece that grew would hold its old and new room at once, and copy
  // what it holds.
  bool PieceIsFull() const {
    constexpr size_t kLeastRoom = 256;
    return out_.size() >= pieceSize_ || (!out_.empty() && out_.capacity() - out_.size() < kLeastRoom);
  }

  // Closes the current piece and starts the next, as large as what is
  // written so far (at least 4 KB, at most the piece size): the pieces of
  // a deck that outgrows its first one hold at most twice the deck.
  void Cut() {
    constexpr size_t kLeastPiece = 4096;
    Close();
    out_.reserve(std::min(pieceSize_, std::max(deck_.size, kLeastPiece)));
  }

  void Close() {
    deck_.size += out_.size();
    deck_.pieces.push_back(std::move(out_));
    out_ = std::string();
  }

  WrittenDeck Finish() {
    if (!out_.empty() || deck_.pieces.empty()) Close();
    return std::move(deck_);
  }

  // True when something is written and it does not end a line.
  bool InsideLine() const {
    if (!out_.empty()) return out_.back() != '\n';
    return !deck_.pieces.empty() && deck_.pieces.back().back() != '\n';
  }

  void Visit(const CXmlNode& node) {
    const CXmlObject* element = node.GetElement();
    if (element == nullptr) return;
    const char* text = element->GetText();
    if (!node.IsTag()) {
      if (!node.IsComment()) {
        AppendEscaped(out_, element->GetTextView(), false, rules_);
      } else if (IsWellFormedComment(text)) {
        AppendVerbatim(out_, text, rules_.utf8Text);
      }
      return;
    }
    if (IsDeclarationText(text)) {
      // Only the deck's own declarations, at the top, can stand in XML.
      const CXmlNode* parent = node.GetParent();
      if (parent == nullptr || parent->IsRoot()) {
        OnOwnLine(node, [&] { AppendVerbatim(out_, text, rules_.utf8Text); });
      }
      return;
    }
    const std::string_view name = element->GetNameView();
    if (name.empty()) return;  // suppressed: its content stays
    switch (FormOf(node)) {
      case TagForm::kStart:
        if (!IsXmlName(name, rules_.utf8Text)) return;
        WriteTag(node, [&] { AppendStartTag(*element, false); });
        open_.push_back(&node);
        return;
      case TagForm::kEmpty:
        if (!IsXmlName(name, rules_.utf8Text)) return;
        for (int32_t copy = 0; copy < element->GetCopies(); ++copy) {
          WriteTag(node, [&] { AppendStartTag(*element, true); });
        }
        return;
      case TagForm::kEnd:
        if (open_.empty() || open_.back() != node.GetPrev()) return;  // closes nothing written
        WriteEndTag(*open_.back());
        open_.pop_back();
        return;
    }
  }

  // Called when node's subtree is written: closes it now unless its own end
  // tag follows and will close it.
  void Leave(const CXmlNode& node) {
    if (open_.empty() || open_.back() != &node) return;
    const CXmlNode* next = node.GetNext();
    const bool endFollows = next != nullptr && next->IsTag() && !IsDeclarationText(next->GetText()) &&
                            FormOf(*next) == TagForm::kEnd && next->GetName() != nullptr &&
                            EqualsIgnoringCase(next->GetName(), node.GetName());
    if (endFollows) return;
    WriteEndTag(node);
    open_.pop_back();
  }

  void WriteEndTag(const CXmlNode& start) {
    WriteTag(start, [&] {
      out_ += "</";
      out_ += start.GetElement()->GetNameView();
      out_ += '>';
    });
  }

  void AppendStartTag(const CXmlObject& element, bool empty) {
    out_ += '<';
    out_ += element.GetNameView();
    for (int32_t i = 0; i < element.GetAttributeCount(); ++i) {
      const std::string_view name = element.GetAttributeNameView(i);
      if (!IsXmlName(name, rules_.utf8Text)) continue;
      out_ += ' ';
      out_ += name;
      out_ += "=\"";
      AppendEscaped(out_, element.GetAttributeValueView(i), true, rules_);
      out_ += '"';
    }
    out_ += empty ? "/>" : ">";
  }

  // Writes a tag, on a line of its own when its name is in the break list.
  template <typename Append>
  void WriteTag(const CXmlNode& node, Append append) {
    if (!breakElements_.Holds(*node.GetElement())) {
      append();
      return;
    }
    OnOwnLine(node, append);
  }

  // A line of its own: a break before unless at the top level or at the
  // start of a line, and one after.
  template <typename Append>
  void OnOwnLine(const CXmlNode& node, Append append) {
    const CXmlNode* parent = node.GetParent();
    if (parent != nullptr && !parent->IsRoot() && InsideLine()) out_ += "\r\n";
    append();
    out_ += "\r\n";
  }

  const BreakElements breakElements_;
  const EscapeRules& rules_;
  const size_t pieceSize_;
  std::vector<const CXmlNode*> open_;
  WrittenDeck deck_;  // the pieces before out_
  std::string out_;   // the piece being written
};

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, bool attribute, const EscapeRules& rules) {
  const uint8_t stop = static_cast<uint8_t>((attribute ? kStopValue : kStopText) | (rules.utf8Text ? kStopUtf8 : 0) |
                                            (rules.checkUtf8 ? kStopMultiByte : 0));
  // out holds text[0, i) escaped.
  for (size_t i = 0; i < text.size();) {
    size_t run = i;
    while (run < text.size() && (kStops[static_cast<unsigned char>(text[run])] & stop) == 0) ++run;
    out.append(text.data() + i, run - i);
    if (run == text.size()) return;
    const std::string_view rest = text.substr(run);
    switch (rest[0]) {
      case '<': out += "&lt;"; i = run + 1; break;
      case '>': out += "&gt;"; i = run + 1; break;
      case '"': out += "&quot;"; i = run + 1; break;
      case '&': i = run + AppendAmpersand(out, rest, attribute, rules); break;
      case '$': i = run + AppendDollar(out, rest, rules); break;
      default: {
        if (rules.checkUtf8 && static_cast<unsigned char>(rest[0]) >= 0x80) {
          i = run + AppendCheckedUtf8(out, rest);
          break;
        }
        // A control byte XML forbids, or 0xEF: left out where it begins
        // U+FFFE or U+FFFF, copied otherwise.
        const size_t forbidden = ForbiddenLength(rest, rules.utf8Text);
        if (forbidden == 0) out += rest[0];
        i = run + (forbidden == 0 ? 1 : forbidden);
        break;
      }
    }
  }
}

std::string WrittenDeck::Joined() && {
  if (pieces.size() == 1) return std::move(pieces.front());
  std::string deck;
  deck.reserve(size);
  // Each piece is freed once copied, so the two copies overlap by one piece.
  for (std::string& piece : pieces) {
    deck += piece;
    std::string().swap(piece);
  }
  return deck;
}

WrittenDeck WriteDeckPieces(const CXmlNode& root, const char* breakList, const EscapeRules& rules,
                            size_t expectedSize, size_t pieceSize) {
  return DeckWriter(breakList, rules, expectedSize, pieceSize).Write(root);
}

std::string WriteDeck(const CXmlNode& root, const char* breakList, const EscapeRules& rules,
                      size_t expectedSize) {
  return WriteDeckPieces(root, breakList, rules, expectedSize).Joined();
}

}  // namespace quillmark
