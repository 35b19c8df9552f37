#include "transform/wmlc_attributes.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace quillmark::wmlc {
namespace {

constexpr uint32_t kNever = std::numeric_limits<uint32_t>::max() / 2;

// The start tokens of one attribute name.
struct NamedStarts {
  std::string_view name;
  std::vector<const AttributeStartToken*> starts;
};

// The token tables indexed for lookups: start tokens by attribute name
// under the name's first byte, value tokens by their first byte, and the
// first two bytes of every value token as one bit each, so that scanning a
// value for tokens looks at one bit per byte.
struct TokenIndex {
  std::array<std::vector<NamedStarts>, 256> startsByFirstByte;
  std::array<std::vector<const AttributeValueToken*>, 256> valuesByFirstByte;
  std::array<uint64_t, 65536 / 64> valueBigrams{};

  TokenIndex() {
    for (const AttributeStartToken& start : kAttributeStartTokens) {
      std::vector<NamedStarts>& bucket = startsByFirstByte[static_cast<unsigned char>(start.name[0])];
      auto named = std::find_if(bucket.begin(), bucket.end(), [&](const NamedStarts& n) { return n.name == start.name; });
      if (named == bucket.end()) named = bucket.insert(bucket.end(), NamedStarts{start.name, {}});
      named->starts.push_back(&start);
    }
    for (const AttributeValueToken& value : kAttributeValueTokens) {
      valuesByFirstByte[static_cast<unsigned char>(value.text[0])].push_back(&value);
      const unsigned bigram = Bigram(value.text, 0);
      valueBigrams[bigram / 64] |= uint64_t{1} << (bigram % 64);
    }
  }

  // Every value token is longer than one byte.
  static unsigned Bigram(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]) << 8 | static_cast<unsigned char>(text[i + 1]);
  }

  const std::vector<const AttributeStartToken*>* StartsOf(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (const NamedStarts& named : startsByFirstByte[static_cast<unsigned char>(name[0])]) {
      if (named.name == name) return &named.starts;
    }
    return nullptr;
  }

  // True when some value token may start at text[i]: its first two bytes do.
  bool MayStartAt(std::string_view text, std::size_t i) const {
    if (i + 1 >= text.size()) return false;
    const unsigned bigram = Bigram(text, i);
    return (valueBigrams[bigram / 64] >> (bigram % 64)) & 1;
  }

  const std::vector<const AttributeValueToken*>& ValuesAt(std::string_view text, std::size_t i) const {
    return valuesByFirstByte[static_cast<unsigned char>(text[i])];
  }
};

// Built when the library loads: nothing runs before it that tokenizes.
const TokenIndex kTokens;

const TokenIndex& Tokens() { return kTokens; }

// True when `value` spells `text` from `i` on.
bool SpellsAt(std::string_view text, std::size_t i, std::string_view value) {
  return text.size() - i >= value.size() && text.substr(i, value.size()) == value;
}

// True when some value token spells part of `text`.
bool HoldsValueToken(std::string_view text) {
  const TokenIndex& tokens = Tokens();
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (!tokens.MayStartAt(text, i)) continue;
    for (const AttributeValueToken* value : tokens.ValuesAt(text, i)) {
      if (SpellsAt(text, i, value->text)) return true;
    }
  }
  return false;
}

// What an inline string of `length` bytes costs.
uint32_t InlineCost(std::size_t length) { return length == 0 ? 0 : static_cast<uint32_t>(length) + 2; }

}  // namespace

void AttributeTokenizer::Split(std::string_view text) {
  const std::size_t n = text.size();
  closed_.resize(n + 1);
  open_.resize(n + 1);
  token_.assign(n + 1, nullptr);
  extends_.resize(n + 1);
  closed_[n] = 0;
  open_[n] = 1;
  const TokenIndex& tokens = Tokens();
  for (std::size_t i = n; i-- > 0;) {
    // An inline string that starts here costs STR_I and the character.
    uint32_t best = 2 + open_[i + 1];
    if (tokens.MayStartAt(text, i)) {
      for (const AttributeValueToken* value : tokens.ValuesAt(text, i)) {
        if (!SpellsAt(text, i, value->text)) continue;
        const uint32_t cost = 1 + closed_[i + value->text.size()];
        if (cost >= best) continue;
        best = cost;
        token_[i] = value;
      }
    }
    closed_[i] = best;
    extends_[i] = 1 + open_[i + 1] <= 1 + closed_[i];
    open_[i] = extends_[i] ? 1 + open_[i + 1] : 1 + closed_[i];
  }
}

void AttributeTokenizer::AppendSplit(std::string_view text, std::size_t from, Pieces& out) const {
  bool inString = false;
  for (std::size_t i = from; i < text.size();) {
    if (inString && !extends_[i]) {
      inString = false;
    } else if (inString) {
      out.back().text = std::string_view(out.back().text.data(), out.back().text.size() + 1);
      ++i;
    } else if (token_[i] != nullptr) {
      out.push_back(Piece{PieceKind::kValueToken, token_[i]->token, {}});
      i += token_[i]->text.size();
    } else {
      out.push_back(Piece{PieceKind::kText, 0, text.substr(i++, 1)});
      inString = true;
    }
  }
}

void AttributeTokenizer::AppendWithValueTokens(const Piece* value, const Piece* end, Pieces& out) {
  for (; value != end; ++value) {
    if (value->kind != PieceKind::kText || !HoldsValueToken(value->text)) {
      out.push_back(*value);
      continue;
    }
    Split(value->text);
    AppendSplit(value->text, 0, out);
  }
}

void AttributeTokenizer::AppendFirstText(std::string_view text, bool holdsToken, std::size_t from, Pieces& out) {
  if (holdsToken) {
    AppendSplit(text, from, out);
  } else if (from < text.size()) {
    out.push_back(Piece{PieceKind::kText, 0, text.substr(from)});
  }
}

uint8_t AttributeTokenizer::Tokenize(std::string_view name, const Pieces& value, Pieces& out) {
  const Piece* rest = value.data();
  const Piece* end = value.data() + value.size();
  const std::vector<const AttributeStartToken*>* starts = Tokens().StartsOf(name);
  if (starts == nullptr) {
    AppendWithValueTokens(rest, end, out);
    return kLiteral;
  }
  const std::string_view first =
      !value.empty() && value.front().kind == PieceKind::kText ? value.front().text : std::string_view();
  // One split of the first text prices what each prefix leaves of it.
  const bool holdsToken = HoldsValueToken(first);
  if (holdsToken) Split(first);
  uint8_t startToken = kLiteral;
  std::size_t bestPrefix = 0;
  uint32_t bestCost = kNever;
  for (const AttributeStartToken* start : *starts) {
    if (!first.starts_with(start->valuePrefix)) continue;
    const std::size_t prefix = start->valuePrefix.size();
    const uint32_t cost = holdsToken ? closed_[prefix] : InlineCost(first.size() - prefix);
    if (cost < bestCost || (cost == bestCost && prefix > bestPrefix)) {
      bestCost = cost;
      bestPrefix = prefix;
      startToken = start->token;
    }
  }
  // The start token spells the prefix; what is left of the first text follows.
  if (!first.empty()) {
    AppendFirstText(first, holdsToken, bestPrefix, out);
    ++rest;
  }
  AppendWithValueTokens(rest, end, out);
  return startToken;
}

}  // namespace quillmark::wmlc
