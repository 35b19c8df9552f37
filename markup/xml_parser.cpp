// The tokenizer: one left-to-right pass that cuts page text into tokens.
//
// Conventions of this file:
// - A token is the half-open range [tokenStart, end) of the page text; it is
//   handed out as those characters, which the parser parses into a record
//   for OnElement. The tokenizer never emits an empty token.
// - Outside a tag everything is character data; "<" opens a tag (emitting
//   the data before it) and the first ">" that is not shielded ends it.
// - "<!--" opens a comment that only "-->" ends: nothing inside it shields
//   or cuts. A comment still open at the end is dropped like a tag.
// - NUL bytes are not text: a token is parsed without them.
// - Quotes, server blocks ("<%" ... "%>") and the comments of the script in
//   a server block only shield ">" and "<": inside them neither cuts.
// - A quoted string ends at a line break, unless the page is read as HTML:
//   then a quoted attribute value spans lines, as HTML's do, where its
//   closing quote comes before the next ">" after the line break (a value
//   whose quote closes only past one more likely lacks its closing quote,
//   and ends at the line break as before). In a server block, and for "'"
//   and "//" script comments, a line break always ends it; "/*" comments
//   end at "*/", every script comment at "%>".
// - The character before the current one is "previous"; at position 0 there
//   is none, and every rule that reads it then does not apply.
// - The last character of the text ends the final data token when no tag is
//   open; a tag still open at the end is dropped.
// Each handler below is one character rule; none looks further back than the
// previous two characters, except the REM rule's walk over spaces.
#include "markup/xml_parser.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "markup/tree_builder.h"
#include "markup/xml_node.h"

namespace quillmark {

namespace {

enum class ScriptComment { kNone, kLine, kBlock };  // "'"/"//" end at a line break

// The bytes that Tokenizer::Examine has a rule for.
constexpr auto kHasRule = [] {
  std::array<bool, 256> rule{};
  for (unsigned char c : {'<', '>', '%', '"', '\'', '/', '*', 'M', '\r', '\n'}) rule[c] = true;
  return rule;
}();

class Tokenizer {
 public:
  Tokenizer(const char* text, int32_t length, bool quotesSpanLines)
      : text_(text), length_(length), quotesSpanLines_(quotesSpanLines) {}

  // Runs the whole pass; `onToken` receives the characters of every token in
  // order (start and length, NUL bytes left out).
  template <typename OnToken>
  void Run(OnToken&& onToken) {
    for (position_ = 0; position_ < length_; ++position_) {
      if (!inTag_) {
        SkipData();
      } else {
        SkipPlainTagBytes();
      }
      if (position_ == length_ - 1 && !inTag_) {
        EmitToken(length_, onToken);
        break;
      }
      Examine(text_[position_], onToken);
    }
  }

 private:
  template <typename OnToken>
  void Examine(char c, OnToken& onToken) {
    switch (c) {
      case '<': OnOpen(onToken); break;
      case '>': OnClose(onToken); break;
      case '%': OnPercent(); break;
      case '"': OnDoubleQuote(); break;
      case '\'': OnApostrophe(); break;
      case '/': OnSlash(); break;
      case '*': OnStar(); break;
      case 'M': OnRem(); break;
      case '\r':
      case '\n': OnLineBreak(); break;
      default: break;
    }
  }

  // Outside a tag only "<" has a rule: quotes, server blocks and script
  // comments exist only inside one (each state is set only while a tag is
  // open and cleared when it ends). So the scan moves straight to the next
  // "<" before the last character, or to the last character.
  void SkipData() {
    if (position_ >= length_ - 1) return;
    const void* open = std::memchr(text_ + position_, '<', static_cast<size_t>(length_ - 1 - position_));
    position_ = open != nullptr ? static_cast<int32_t>(static_cast<const char*>(open) - text_) : length_ - 1;
  }

  // Inside a tag only the bytes that Examine has a rule for change the
  // state, and the rules read the bytes before them from the text itself:
  // the scan moves to the next such byte before the last character, or to
  // the last character.
  void SkipPlainTagBytes() {
    while (position_ < length_ - 1 && !kHasRule[static_cast<unsigned char>(text_[position_])]) ++position_;
  }

  // Emits [tokenStart, end) when it holds at least one character.
  template <typename OnToken>
  void EmitToken(int32_t end, OnToken& onToken) {
    if (end <= tokenStart_) {
      return;
    }
    const char* start = text_ + tokenStart_;
    const int32_t length = end - tokenStart_;
    if (std::memchr(start, '\0', static_cast<size_t>(length)) == nullptr) {
      onToken(start, length);
    } else {
      std::string kept(start, static_cast<size_t>(length));
      std::erase(kept, '\0');
      onToken(kept.data(), static_cast<int32_t>(kept.size()));
    }
  }

  bool Shielded() const { return inQuote_ || inComment_ != ScriptComment::kNone; }
  bool InComment() const { return inComment_ != ScriptComment::kNone; }
  bool PreviousIs(char c) const { return position_ > 0 && text_[position_ - 1] == c; }

  // "<" ends the data (or unfinished tag) before it and opens a tag.
  template <typename OnToken>
  void OnOpen(OnToken& onToken) {
    if (Shielded() || inServer_) {
      return;
    }
    EmitToken(position_, onToken);
    tokenStart_ = position_;
    inTag_ = true;
    if (std::string_view(text_ + position_, static_cast<size_t>(length_ - position_)).starts_with("<!--")) {
      SkipComment(onToken);
    }
  }

  // Emits the comment that opens at position_ and moves to its last ">";
  // without "-->" the comment runs to the end and is dropped.
  template <typename OnToken>
  void SkipComment(OnToken& onToken) {
    const std::string_view rest(text_ + position_ + 4, static_cast<size_t>(length_ - position_ - 4));
    const size_t close = rest.find("-->");
    if (close == std::string_view::npos) {
      position_ = length_;
      return;
    }
    position_ += 4 + static_cast<int32_t>(close) + 2;
    EmitToken(position_ + 1, onToken);
    tokenStart_ = position_ + 1;
    inTag_ = false;
  }

  // ">" ends a tag unless quoted or in a script comment; a server block
  // needs "%>", which also ends a script comment inside it.
  template <typename OnToken>
  void OnClose(OnToken& onToken) {
    if (InComment() && inServer_ && PreviousIs('%')) {
      inComment_ = ScriptComment::kNone;
    }
    if (!inTag_ || Shielded() || (inServer_ && !PreviousIs('%'))) {
      return;
    }
    EmitToken(position_ + 1, onToken);
    tokenStart_ = position_ + 1;
    inTag_ = inServer_ = false;
    inComment_ = ScriptComment::kNone;
  }

  // "%" right after the "<" of a tag opens a server block.
  void OnPercent() {
    if (inTag_ && !Shielded() && !inServer_ && PreviousIs('<')) {
      inServer_ = true;
    }
  }

  void OnDoubleQuote() { ToggleQuote('"'); }

  // In a server block "'" starts a line comment; elsewhere it quotes.
  void OnApostrophe() {
    if (!inServer_) {
      ToggleQuote('\'');
      return;
    }
    if (!Shielded()) {
      inComment_ = ScriptComment::kLine;
    }
  }

  // Opens a quoted string in a tag, or closes one opened by the same quote.
  void ToggleQuote(char quote) {
    if (!inTag_ || InComment()) {
      return;
    }
    if (!inQuote_) {
      inQuote_ = true;
      quote_ = quote;
    } else if (quote_ == quote) {
      inQuote_ = false;
    }
  }

  // "//" starts a line comment in a server block; "*/" ends a block comment.
  void OnSlash() {
    if (inServer_ && !Shielded()) {
      if (position_ > 1 && PreviousIs('/')) {
        inComment_ = ScriptComment::kLine;
      }
      return;
    }
    if (inComment_ == ScriptComment::kBlock && position_ > 1 && PreviousIs('*')) {
      inComment_ = ScriptComment::kNone;
    }
  }

  // "/*" starts a block comment in a server block.
  void OnStar() {
    if (inServer_ && !Shielded() && position_ > 1 && PreviousIs('/')) {
      inComment_ = ScriptComment::kBlock;
    }
  }

  // "REM" at the start of a script line (after a line break or "<%", and
  // spaces) starts a line comment.
  void OnRem() {
    if (!inServer_ || Shielded() || position_ <= 1) {
      return;
    }
    const char e = text_[position_ - 1];
    const char r = text_[position_ - 2];
    if ((e != 'E' && e != 'e') || (r != 'R' && r != 'r')) {
      return;
    }
    int32_t before = position_ - 3;
    while (before >= 0 && text_[before] == ' ') {
      --before;
    }
    if (before < 0) {
      return;
    }
    const char c = text_[before];
    const bool lineStart = c == '\r' || c == '\n';
    const bool blockStart = c == '%' && before >= 2 && text_[before - 1] == '<';
    if (lineStart || blockStart) {
      inComment_ = ScriptComment::kLine;
    }
  }

  // True when the open quoted string closes before the next ">". The quote
  // found is kept, so that the line breaks before it look no further: each
  // byte is looked at by at most two such scans (one for each quote).
  bool QuoteClosesBeforeTagEnd() {
    if (position_ < quoteClosesAt_) return true;
    for (int32_t at = position_ + 1; at < length_; ++at) {
      if (text_[at] == '>') return false;
      if (text_[at] != quote_) continue;
      quoteClosesAt_ = at;
      return true;
    }
    return false;
  }

  // A line break ends a line comment, and a quoted string but one that
  // spans lines (see the top of the file).
  void OnLineBreak() {
    if (inQuote_ && (!quotesSpanLines_ || inServer_ || !QuoteClosesBeforeTagEnd())) inQuote_ = false;
    if (inComment_ == ScriptComment::kLine) {
      inComment_ = ScriptComment::kNone;
    }
  }

  const char* text_;
  int32_t length_;
  int32_t position_ = 0;
  int32_t tokenStart_ = 0;
  bool inTag_ = false;
  const bool quotesSpanLines_;
  bool inQuote_ = false;
  char quote_ = 0;
  int32_t quoteClosesAt_ = 0;  // where the quote last found ahead closes
  bool inServer_ = false;
  ScriptComment inComment_ = ScriptComment::kNone;
};

}  // namespace

void CCustomXmlParser::Parse(CXmlNode* target, const char* text, int32_t length, const MarkerWords& words,
                             UnquotedValues values) {
  if (text == nullptr || length <= 0) {
    return;
  }
  Tokenizer tokenizer(text, length, values == UnquotedValues::kEndAtSpace);
  tokenizer.Run([this, target, &words, values](const char* token, int32_t tokenLength) {
    CXmlObject& record = RecordForToken();
    record.ParseToken(token, tokenLength, words, values);
    OnElement(target, record);
  });
}

CXmlObject& CXmlParser::RecordForToken() {
  node_ = builder_.NewNode();
  return *node_->GetElement();
}

void CXmlParser::OnElement(CXmlNode* /*target*/, CXmlObject&) { builder_.Insert(node_); }

}  // namespace quillmark
