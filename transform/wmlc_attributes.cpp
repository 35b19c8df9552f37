#include "transform/wmlc_attributes.h"

#include <array>
#include <limits>
#include <unordered_map>
#include <vector>

namespace quillmark::wmlc {
namespace {

constexpr uint32_t kNever = std::numeric_limits<uint32_t>::max() / 2;

// The token tables indexed for lookups: start tokens by attribute name,
// value tokens by their first byte.
struct TokenIndex {
  std::unordered_map<std::string_view, std::vector<const AttributeStartToken*>> startsByName;
  std::array<std::vector<const AttributeValueToken*>, 256> valuesByFirstByte;

  TokenIndex() {
    for (const AttributeStartToken& start : kAttributeStartTokens) startsByName[start.name].push_back(&start);
    for (const AttributeValueToken& value : kAttributeValueTokens) {
      valuesByFirstByte[static_cast<unsigned char>(value.text[0])].push_back(&value);
    }
  }

  const std::vector<const AttributeValueToken*>& ValuesAt(std::string_view text, std::size_t i) const {
    return valuesByFirstByte[static_cast<unsigned char>(text[i])];
  }
};

const TokenIndex& Tokens() {
  static const TokenIndex index;
  return index;
}

// True when `value` spells `text` from `i` on. The second byte rules out
// most tokens before a whole comparison.
bool SpellsAt(std::string_view text, std::size_t i, std::string_view value) {
  if (text.size() - i < value.size()) return false;
  if (value.size() > 1 && text[i + 1] != value[1]) return false;
  return text.substr(i, value.size()) == value;
}

// True when some value token spells part of `text`.
bool HoldsValueToken(std::string_view text) {
  const TokenIndex& tokens = Tokens();
  for (std::size_t i = 0; i < text.size(); ++i) {
    for (const AttributeValueToken* value : tokens.ValuesAt(text, i)) {
      if (SpellsAt(text, i, value->text)) return true;
    }
  }
  return false;
}

// What an inline string of `length` bytes costs.
uint32_t InlineCost(std::size_t length) { return length == 0 ? 0 : static_cast<uint32_t>(length) + 2; }

// The cheapest split of one value text into value tokens and inline
// strings, by dynamic programming from the end: `closed[i]` is the cost of
// text[i..] when no inline string is open at i, `open[i]` when one is open
// (its STR_I paid, its terminator not yet).
class ValueSplitter {
 public:
  explicit ValueSplitter(std::string_view text)
      : text_(text),
        closed_(text.size() + 1),
        open_(text.size() + 1),
        token_(text.size() + 1),
        extends_(text.size() + 1) {
    const std::size_t n = text.size();
    closed_[n] = 0;
    open_[n] = 1;
    for (std::size_t i = n; i-- > 0;) {
      // An inline string that starts here costs STR_I and the character.
      uint32_t best = 2 + open_[i + 1];
      for (const AttributeValueToken* value : Tokens().ValuesAt(text, i)) {
        if (!SpellsAt(text, i, value->text)) continue;
        const uint32_t cost = 1 + closed_[i + value->text.size()];
        if (cost >= best) continue;
        best = cost;
        token_[i] = value;
      }
      closed_[i] = best;
      extends_[i] = 1 + open_[i + 1] <= 1 + closed_[i];
      open_[i] = extends_[i] ? 1 + open_[i + 1] : 1 + closed_[i];
    }
  }

  uint32_t Cost() const { return closed_[0]; }

  // Appends the chosen pieces to `out`.
  void AppendTo(Pieces& out) const {
    bool inString = false;
    for (std::size_t i = 0; i < text_.size();) {
      if (inString && !extends_[i]) {
        inString = false;
      } else if (inString) {
        out.back().text = std::string_view(out.back().text.data(), out.back().text.size() + 1);
        ++i;
      } else if (token_[i] != nullptr) {
        out.push_back(Piece{PieceKind::kValueToken, token_[i]->token, {}});
        i += token_[i]->text.size();
      } else {
        out.push_back(Piece{PieceKind::kText, 0, text_.substr(i++, 1)});
        inString = true;
      }
    }
  }

 private:
  std::string_view text_;
  std::vector<uint32_t> closed_;
  std::vector<uint32_t> open_;
  std::vector<const AttributeValueToken*> token_;  // null: an inline string starts here
  std::vector<bool> extends_;                      // an open string takes text_[i]
};

// Appends `value` to `out` with value tokens inside its text pieces.
void AppendWithValueTokens(const Piece* value, const Piece* end, Pieces& out) {
  for (; value != end; ++value) {
    if (value->kind != PieceKind::kText || !HoldsValueToken(value->text)) {
      out.push_back(*value);
      continue;
    }
    ValueSplitter(value->text).AppendTo(out);
  }
}

}  // namespace

uint8_t TokenizeAttribute(std::string_view name, const Pieces& value, Pieces& out) {
  uint8_t startToken = kLiteral;
  const std::string_view first =
      !value.empty() && value.front().kind == PieceKind::kText ? value.front().text : std::string_view();
  std::size_t bestPrefix = 0;
  const TokenIndex& tokens = Tokens();
  const auto starts = tokens.startsByName.find(name);
  if (starts != tokens.startsByName.end()) {
    const bool holdsToken = HoldsValueToken(first);
    uint32_t bestCost = kNever;
    for (const AttributeStartToken* start : starts->second) {
      if (first.substr(0, start->valuePrefix.size()) != start->valuePrefix) continue;
      const std::string_view rest = first.substr(start->valuePrefix.size());
      const uint32_t cost = holdsToken ? ValueSplitter(rest).Cost() : InlineCost(rest.size());
      if (cost < bestCost || (cost == bestCost && start->valuePrefix.size() > bestPrefix)) {
        bestCost = cost;
        bestPrefix = start->valuePrefix.size();
        startToken = start->token;
      }
    }
  }
  const Piece* rest = value.data();
  if (bestPrefix > 0) {
    // The start token spells the prefix; what is left of the first text follows.
    Piece remainder = value.front();
    remainder.text.remove_prefix(bestPrefix);
    if (!remainder.text.empty()) AppendWithValueTokens(&remainder, &remainder + 1, out);
    ++rest;
  }
  AppendWithValueTokens(rest, value.data() + value.size(), out);
  return startToken;
}

}  // namespace quillmark::wmlc
