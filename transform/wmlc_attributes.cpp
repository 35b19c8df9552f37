#include "transform/wmlc_attributes.h"

#include <limits>
#include <vector>

namespace quillmark::wmlc {
namespace {

constexpr uint32_t kNever = std::numeric_limits<uint32_t>::max() / 2;

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
      for (const AttributeValueToken& value : kAttributeValueTokens) {
        if (text.substr(i, value.text.size()) != value.text) continue;
        const uint32_t cost = 1 + closed_[i + value.text.size()];
        if (cost >= best) continue;
        best = cost;
        token_[i] = &value;
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
        out.back().text += text_[i++];
      } else if (token_[i] != nullptr) {
        out.push_back(Piece{PieceKind::kValueToken, token_[i]->token, {}});
        i += token_[i]->text.size();
      } else {
        out.push_back(Piece{PieceKind::kText, 0, std::string(1, text_[i++])});
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

// `value` with value tokens inside its text pieces.
Pieces WithValueTokens(const Pieces& value) {
  Pieces out;
  for (const Piece& piece : value) {
    if (piece.kind != PieceKind::kText) {
      out.push_back(piece);
      continue;
    }
    ValueSplitter(piece.text).AppendTo(out);
  }
  return out;
}

}  // namespace

TokenizedAttribute TokenizeAttribute(std::string_view name, Pieces value) {
  TokenizedAttribute best{name, kLiteral, {}};
  const std::string_view first =
      !value.empty() && value.front().kind == PieceKind::kText ? std::string_view(value.front().text) : "";
  uint32_t bestCost = kNever;
  std::size_t bestPrefix = 0;
  for (const AttributeStartToken& start : kAttributeStartTokens) {
    if (start.name != name || first.substr(0, start.valuePrefix.size()) != start.valuePrefix) continue;
    const uint32_t cost = ValueSplitter(first.substr(start.valuePrefix.size())).Cost();
    if (cost < bestCost || (cost == bestCost && start.valuePrefix.size() > bestPrefix)) {
      bestCost = cost;
      bestPrefix = start.valuePrefix.size();
      best.startToken = start.token;
    }
  }
  if (best.startToken != kLiteral && bestPrefix > 0) {
    value.front().text.erase(0, bestPrefix);
    if (value.front().text.empty()) value.erase(value.begin());
  }
  best.value = WithValueTokens(value);
  return best;
}

}  // namespace quillmark::wmlc
