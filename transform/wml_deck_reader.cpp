#include "transform/wml_deck_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "base/case_folding.h"
#include "transform/wmlc_encoder.h"
#include "transform/wmlc_string_index.h"

namespace quillmark::wmlc {
namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// Elements that flow with the text around them: white space next to them
// is a word space. Every other element starts or ends a line of its own.
constexpr std::string_view kInlineElements[] = {"b", "i", "em", "u", "strong", "big", "small"};

// Their tag tokens as bits (every tag token is below 64), so that asking
// about an element read already is a shift.
constexpr uint64_t kInlineTokens = [] {
  uint64_t bits = 0;
  for (const TagToken& tag : kTagTokens) {
    for (std::string_view name : kInlineElements) {
      if (tag.name == name) bits |= uint64_t{1} << tag.token;
    }
  }
  return bits;
}();
static_assert(std::size(kInlineElements) == static_cast<std::size_t>(std::popcount(kInlineTokens)), "every inline element has a tag token");

bool IsInline(const DeckNode& node) { return node.tagToken < 64 && ((kInlineTokens >> node.tagToken) & 1) != 0; }

// The element of a text that holds none.
constexpr std::string_view kEmptyDeckName = "wml";

// The name of the placeholder a comment leaves among the nodes.
constexpr std::string_view kCommentName = "!--";

bool IsUrlAttribute(std::string_view name) {
  return std::find(std::begin(kUrlAttributes), std::end(kUrlAttributes), name) != std::end(kUrlAttributes);
}

// What a byte is to the reading of a tag, as bits: white space, and the end
// of a name.
constexpr uint8_t kSpaceBit = 1;
constexpr uint8_t kNameEndBit = 2;
constexpr auto kTagBytes = [] {
  std::array<uint8_t, 256> kinds{};
  for (unsigned char c : {' ', '\t', '\r', '\n'}) kinds[c] = kSpaceBit | kNameEndBit;
  for (unsigned char c : {'>', '/', '='}) kinds[c] = kNameEndBit;
  return kinds;
}();

bool IsSpace(char c) { return (kTagBytes[static_cast<unsigned char>(c)] & kSpaceBit) != 0; }
bool EndsName(char c) { return (kTagBytes[static_cast<unsigned char>(c)] & kNameEndBit) != 0; }

// The tag token of `name`, or LITERAL when WML has none for it.
uint8_t TagTokenOf(std::string_view name) {
  // The tags under their first byte: a few names to compare, no hashing.
  static const auto byFirstByte = [] {
    std::array<std::vector<TagToken>, 256> buckets;
    for (const TagToken& tag : kTagTokens) buckets[static_cast<unsigned char>(tag.name[0])].push_back(tag);
    return buckets;
  }();
  if (name.empty()) return kLiteral;
  for (const TagToken& tag : byFirstByte[static_cast<unsigned char>(name[0])]) {
    if (SameKey(tag.name, name)) return tag.token;
  }
  return kLiteral;
}

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The value of pseudo-attribute `key` inside a declaration's text, if any.
std::string_view DeclarationValue(std::string_view text, std::string_view key) {
  for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
    std::size_t i = at + key.size();
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i >= text.size() || text[i] != '=') continue;
    ++i;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) continue;
    const std::size_t close = text.find(text[i], i + 1);
    if (close == std::string_view::npos) return {};
    return text.substr(i + 1, close - i - 1);
  }
  return {};
}

// The reader's walk over the text: a tag or a run of text per step, with
// the elements still open on a stack (so nesting depth costs no recursion).
class DeckReader {
 public:
  // Reads into `deck` with `scratch`, emptying both first: what they hold
  // from an earlier deck is overwritten, their room is kept.
  DeckReader(std::string_view text, uint32_t charset, ReadDeck& deck, DeckReaderScratch& scratch)
      : text_(text),
        deck_(deck),
        open_(scratch.open),
        openByToken_(scratch.openByToken),
        openOthers_(scratch.openOthers),
        read_(scratch.read),
        lastAtDepth_(scratch.lastAtDepth),
        decoded_(scratch.decoded),
        split_(scratch.split),
        tokenizer_(scratch.tokenizer) {
    deck_.charset = charset;
    deck_.publicIdentifier = kWml11PublicIdentifier;
    deck_.nodes.clear();
    deck_.attributes.clear();
    deck_.pieces.clear();
    deck_.arena.Reset(text.size());
    open_.clear();
    openByToken_.fill(0);
    openOthers_.clear();
    lastAtDepth_.clear();
    read_.clear();
  }

  void Run() {
    // Written decks hold about a node per 16 bytes: room for that at once,
    // and the vectors grow past it only for denser decks.
    const std::size_t most = text_.size() / 16 + 2;
    deck_.nodes.reserve(most);
    read_.reserve(most);
    while (at_ < text_.size()) {
      const std::size_t next = text_.find('<', at_);
      if (next != at_) {
        AddText(text_.substr(at_, std::min(next, text_.size()) - at_));
        at_ = std::min(next, text_.size());
        continue;
      }
      ReadMarkup();
    }
    while (!open_.empty()) CloseTop();
    // A text without elements is still one document: an empty deck.
    if (root_ == kNone) {
      DeckNode deck;
      deck.name = kEmptyDeckName;
      deck.tagToken = TagTokenOf(kEmptyDeckName);
      AddNode(deck);
    }
    DecodeTexts();
  }

 private:
  // Moves past `end` (or to the end of the text); returns where `end` began.
  std::size_t SkipPast(std::string_view end) {
    const std::size_t found = text_.find(end, at_);
    const std::size_t stop = found == std::string_view::npos ? text_.size() : found;
    at_ = found == std::string_view::npos ? text_.size() : found + end.size();
    return stop;
  }

  void ReadMarkup() {
    const std::string_view rest = text_.substr(at_);
    // Tags first: they are nearly everything.
    if (rest.size() > 1 && IsNameStart(rest[1])) {
      ReadStartTag();
    } else if (rest.size() > 2 && rest[1] == '/' && IsNameStart(rest[2])) {
      ReadEndTag();
    } else if (rest.starts_with("<!--")) {
      at_ += 4;
      SkipPast("-->");
      AddComment();
    } else if (rest.starts_with("<![CDATA[")) {
      const std::size_t start = at_ += 9;
      const std::size_t stop = SkipPast("]]>");
      AddCharacterData(text_.substr(start, stop - start));
    } else if (rest.starts_with("<?")) {
      const std::size_t start = at_;
      const std::size_t stop = SkipPast("?>");
      ReadProcessingInstruction(text_.substr(start, stop - start));
    } else if (rest.starts_with("<!")) {
      ReadDocumentType();
    } else {
      AddText(rest.substr(0, 1));
      at_ += 1;
    }
  }

  void ReadProcessingInstruction(std::string_view text) {
    if (!text.starts_with("<?xml") || sawDeclaration_) return;
    sawDeclaration_ = true;
    deck_.charset = WmlcCharsetOf(DeclarationValue(text, "encoding"));
  }

  void ReadDocumentType() {
    const std::size_t start = at_;
    // An internal subset may hold ">" of its own.
    const std::size_t bracket = text_.find('[', at_);
    const std::size_t close = text_.find('>', at_);
    if (bracket != std::string_view::npos && bracket < close) {
      at_ = bracket;
      SkipPast("]");
    }
    SkipPast(">");
    const std::string_view declaration = text_.substr(start, at_ - start);
    if (!declaration.starts_with("<!DOCTYPE")) return;
    const std::size_t publicKeyword = declaration.find("PUBLIC");
    if (publicKeyword == std::string_view::npos) return;
    std::size_t i = declaration.find_first_of("\"'", publicKeyword);
    if (i == std::string_view::npos) return;
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos) return;
    const std::string_view identifier = declaration.substr(i + 1, end - i - 1);
    for (const PublicIdentifier& known : kPublicIdentifiers) {
      if (known.text == identifier) deck_.publicIdentifier = known.token;
    }
  }

  std::string_view ReadName() {
    const std::size_t start = at_;
    while (at_ < text_.size() && !EndsName(text_[at_])) ++at_;
    return text_.substr(start, at_ - start);
  }

  void SkipSpaces() {
    while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
  }

  std::string_view ReadAttributeValue() {
    SkipSpaces();
    if (at_ >= text_.size()) return {};
    const char quote = text_[at_];
    if (quote == '"' || quote == '\'') {
      const std::size_t start = ++at_;
      const std::size_t stop = SkipPast(std::string_view(&quote, 1));
      return text_.substr(start, stop - start);
    }
    const std::size_t start = at_;
    while (at_ < text_.size() && !IsSpace(text_[at_]) && text_[at_] != '>') ++at_;
    return text_.substr(start, at_ - start);
  }

  void ReadStartTag() {
    ++at_;
    // A compiled deck has one root: what follows the first element's end
    // goes inside it, as if that end tag had been missing.
    if (open_.empty() && root_ != kNone) Open(root_);
    DeckNode element;
    element.name = ReadName();
    element.tagToken = TagTokenOf(element.name);
    element.first = static_cast<uint32_t>(deck_.attributes.size());
    bool empty = false;
    while (true) {
      SkipSpaces();
      if (at_ >= text_.size()) break;
      if (text_[at_] == '>') {
        ++at_;
        break;
      }
      if (text_.substr(at_, 2) == "/>") {
        at_ += 2;
        empty = true;
        break;
      }
      const std::string_view name = ReadName();
      if (name.empty()) {
        ++at_;  // a stray "/", "=" or quote
        continue;
      }
      SkipSpaces();
      std::string_view value;
      if (at_ < text_.size() && text_[at_] == '=') {
        ++at_;
        value = ReadAttributeValue();
      }
      AddAttribute(name, value);
    }
    element.end = static_cast<uint32_t>(deck_.attributes.size());
    const uint32_t index = AddNode(element);
    if (root_ == kNone) root_ = index;
    Open(index);
    if (empty) CloseTop();
  }

  void AddAttribute(std::string_view name, std::string_view raw) {
    decoded_.clear();
    split_.clear();
    if (DecodesToItself(raw, WhitespaceRule{})) {
      split_.push_back(Piece{PieceKind::kText, 0, raw});
    } else {
      DecodeCharacters(raw, deck_.charset, WhitespaceRule{}, deck_.arena, decoded_);
      SplitVariables(decoded_, IsUrlAttribute(name) ? Conversion::kEscape : Conversion::kNone, split_);
    }
    TokenizedAttribute attribute{name, kLiteral, PieceCount(), 0};
    attribute.startToken = tokenizer_.Tokenize(name, split_, deck_.pieces);
    attribute.endPiece = PieceCount();
    deck_.attributes.push_back(attribute);
  }

  uint32_t PieceCount() const { return static_cast<uint32_t>(deck_.pieces.size()); }

  void ReadEndTag() {
    at_ += 2;
    const std::string_view name = ReadName();
    SkipPast(">");
    // Only an open element of that name is closed, with those inside it:
    // nearly always the innermost. Otherwise the counts tell whether one is
    // open at all, so that the search below finds one and what it passes
    // is closed; each element is passed once.
    if (!open_.empty() && SameKey(deck_.nodes[open_.back()].name, name)) {
      CloseTop();
      return;
    }
    if (OpenCount(TagTokenOf(name), name) == 0) return;
    auto match = std::find_if(open_.rbegin(), open_.rend(),
                              [&](uint32_t index) { return SameKey(deck_.nodes[index].name, name); });
    if (match == open_.rend()) return;
    const std::size_t keep = static_cast<std::size_t>(open_.rend() - match) - 1;
    while (open_.size() > keep) CloseTop();
  }

  uint32_t& OpenCount(uint8_t token, std::string_view name) {
    return token != kLiteral && token < openByToken_.size() ? openByToken_[token] : openOthers_[name];
  }

  void Open(uint32_t index) {
    const DeckNode& node = deck_.nodes[index];
    ++OpenCount(node.tagToken, node.name);
    open_.push_back(index);
  }

  void CloseTop() {
    const DeckNode& top = deck_.nodes[open_.back()];
    --OpenCount(top.tagToken, top.name);
    deck_.nodes[open_.back()].subtreeEnd = static_cast<uint32_t>(deck_.nodes.size());
    open_.pop_back();
  }

  uint32_t AddNode(const DeckNode& node) {
    const uint32_t index = static_cast<uint32_t>(deck_.nodes.size());
    deck_.nodes.push_back(node);
    deck_.nodes.back().subtreeEnd = index + 1;
    // The last node added at this depth is the previous sibling; none has
    // been added below it yet.
    const std::size_t depth = open_.size();
    if (lastAtDepth_.size() < depth + 2) lastAtDepth_.resize(depth + 2, kNone);
    read_.push_back(ReadNode{{}, lastAtDepth_[depth], open_.empty() ? kNone : open_.back()});
    lastAtDepth_[depth] = index;
    lastAtDepth_[depth + 1] = kNone;
    return index;
  }

  void AddText(std::string_view raw) {
    if (open_.empty()) return;  // text outside the deck's element
    // A stray "<" continues the text before it.
    if (!read_.empty() && deck_.nodes.back().name.empty() && !read_.back().raw.characterData &&
        read_.back().raw.text.data() + read_.back().raw.text.size() == raw.data()) {
      RawText& last = read_.back().raw;
      last.text = std::string_view(last.text.data(), last.text.size() + raw.size());
      return;
    }
    const uint32_t index = AddNode(DeckNode{});
    read_[index].raw = RawText{raw, false};
  }

  // A comment is written nowhere, but the text beside it ends there as it
  // would beside an element of its own.
  void AddComment() {
    if (open_.empty()) return;
    DeckNode comment;
    comment.name = kCommentName;
    comment.dropped = true;
    AddNode(comment);
  }

  void AddCharacterData(std::string_view raw) {
    if (open_.empty() || raw.empty()) return;
    const uint32_t index = AddNode(DeckNode{});
    read_[index].raw = RawText{raw, true};
  }

  // The node after text run `i` when it has the same parent, else none: a
  // text run holds no nodes, so what follows it is its next sibling or lies
  // past its parent's end.
  uint32_t NextSiblingOfText(uint32_t i) const {
    const uint32_t parent = read_[i].parent;
    return parent != kNone && i + 1 < deck_.nodes[parent].subtreeEnd ? i + 1 : kNone;
  }

  // A neighbour that ends or starts a line, or none, leaves the white space
  // beside it without meaning.
  bool BreaksLine(uint32_t neighbour) const {
    return neighbour == kNone || (!deck_.nodes[neighbour].name.empty() && !IsInline(deck_.nodes[neighbour]));
  }

  void DecodeTexts() {
    for (uint32_t i = 0; i < deck_.nodes.size(); ++i) {
      DeckNode& node = deck_.nodes[i];
      if (!node.name.empty()) continue;
      decoded_.clear();
      const RawText& raw = read_[i].raw;
      if (raw.characterData) {
        char* start = deck_.arena.End();
        deck_.arena.Append(raw.text);
        decoded_.push_back(Piece{PieceKind::kText, 0, std::string_view(start, raw.text.size())});
      } else {
        // Between two line breaks white space is insignificant at both ends,
        // so a text of nothing else (the line ends between elements) goes.
        const bool isolated = BreaksLine(read_[i].previous) && BreaksLine(NextSiblingOfText(i));
        if (isolated && IsRawWhitespace(raw.text)) {
          node.first = node.end = PieceCount();
          node.dropped = true;
          continue;
        }
        const WhitespaceRule rule{true, isolated, isolated};
        if (DecodesToItself(raw.text, rule)) {
          node.first = PieceCount();
          deck_.pieces.push_back(Piece{PieceKind::kText, 0, raw.text});
          node.end = PieceCount();
          continue;
        }
        DecodeCharacters(raw.text, deck_.charset, rule, deck_.arena, decoded_);
      }
      node.first = PieceCount();
      SplitVariables(decoded_, Conversion::kNone, deck_.pieces);
      node.end = PieceCount();
      node.dropped = node.first == node.end;
    }
    for (uint32_t i = 0; i < deck_.nodes.size(); ++i) {
      if (!deck_.nodes[i].dropped && read_[i].parent != kNone) deck_.nodes[read_[i].parent].hasContent = true;
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  bool sawDeclaration_ = false;
  uint32_t root_ = kNone;
  ReadDeck& deck_;
  std::vector<uint32_t>& open_;
  std::array<uint32_t, 64>& openByToken_;
  std::unordered_map<std::string_view, uint32_t>& openOthers_;
  std::vector<ReadNode>& read_;
  std::vector<uint32_t>& lastAtDepth_;
  Pieces& decoded_;
  Pieces& split_;
  AttributeTokenizer& tokenizer_;
};

}  // namespace

const ReadDeck& WmlDeckReader::Read(std::string_view deckText, uint32_t charset) {
  DeckReader(deckText, charset, deck_, scratch_).Run();
  return deck_;
}

}  // namespace quillmark::wmlc
