#include "tools/link_rewriter.h"

#include <cctype>

namespace quillmark::tools {

namespace {

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':'; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsLinkAttribute(std::string_view name) {
  auto equals = [name](std::string_view other) {
    if (name.size() != other.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(name[i])) != other[i]) return false;
    }
    return true;
  };
  return equals("href") || equals("src");
}

// Walks one deck, copying it to `out_` and rewriting link values on the way.
class DeckScanner {
 public:
  DeckScanner(std::string_view deck, const LinkMapper& map) : deck_(deck), map_(map) { out_.reserve(deck.size()); }

  std::string Run() {
    while (at_ < deck_.size()) {
      const size_t open = deck_.find('<', at_);
      if (open == std::string_view::npos) break;
      Copy(open + 1);
      ScanTag();
    }
    Copy(deck_.size());
    return std::move(out_);
  }

 private:
  // Copies the deck up to `end`.
  void Copy(size_t end) {
    out_.append(deck_.substr(at_, end - at_));
    at_ = end;
  }

  // From after "<" to after the tag's ">": names, "=" and values.
  void ScanTag() {
    while (at_ < deck_.size() && deck_[at_] != '>') {
      if (deck_[at_] == '"' || deck_[at_] == '\'') {
        // A quoted text without a name (as in a document type): passed over whole.
        const size_t close = deck_.find(deck_[at_], at_ + 1);
        Copy(close == std::string_view::npos ? deck_.size() : close + 1);
        continue;
      }
      if (!IsNameChar(deck_[at_])) {
        Copy(at_ + 1);
        continue;
      }
      const size_t nameStart = at_;
      while (at_ < deck_.size() && IsNameChar(deck_[at_])) ++at_;
      const std::string_view name = deck_.substr(nameStart, at_ - nameStart);
      at_ = nameStart;
      Copy(nameStart + name.size());
      size_t equals = at_;
      while (equals < deck_.size() && IsBlank(deck_[equals])) ++equals;
      if (equals >= deck_.size() || deck_[equals] != '=') continue;
      size_t value = equals + 1;
      while (value < deck_.size() && IsBlank(deck_[value])) ++value;
      Copy(value);
      ScanValue(IsLinkAttribute(name));
    }
    Copy(at_ < deck_.size() ? at_ + 1 : at_);
  }

  // A quoted or unquoted value at `at_`, rewritten when `isLink`.
  void ScanValue(bool isLink) {
    if (at_ >= deck_.size()) return;
    const char quote = deck_[at_];
    const bool quoted = quote == '"' || quote == '\'';
    const size_t start = quoted ? at_ + 1 : at_;
    size_t end = start;
    if (quoted) {
      end = deck_.find(quote, start);
      if (end == std::string_view::npos) end = deck_.size();
    } else {
      while (end < deck_.size() && !IsBlank(deck_[end]) && deck_[end] != '>') ++end;
    }
    Copy(start);
    const std::optional<std::string> replaced = isLink ? map_(deck_.substr(start, end - start)) : std::nullopt;
    if (replaced) {
      out_.append(*replaced);
      at_ = end;
    } else {
      Copy(end);
    }
    if (quoted && at_ < deck_.size()) Copy(at_ + 1);
  }

  std::string_view deck_;
  const LinkMapper& map_;
  std::string out_;
  size_t at_ = 0;
};

}  // namespace

std::string RewriteLinks(std::string_view deck, const LinkMapper& map) { return DeckScanner(deck, map).Run(); }

}  // namespace quillmark::tools
