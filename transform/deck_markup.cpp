#include "transform/deck_markup.h"

#include <cstring>

namespace quillmark {
namespace {

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == ':' || c == '.';
}

// The end of the markup that starts at `at` (a "<"), one past its ">"; npos
// when the deck ends first. Quoted attribute values may hold ">".
std::size_t MarkupEnd(std::string_view deck, std::size_t at) {
  if (deck.compare(at, 4, "<!--") == 0) {
    const std::size_t close = deck.find("-->", at + 4);
    return close == std::string_view::npos ? close : close + 3;
  }
  char quote = '\0';
  for (std::size_t i = at + 1; i < deck.size(); ++i) {
    const char c = deck[i];
    if (quote != '\0') {
      if (c == quote) quote = '\0';
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

MarkupToken TagToken(std::string_view text) {
  MarkupToken token;
  token.text = text;
  std::size_t nameStart = 1;
  token.kind = MarkupKind::kStart;
  if (text.size() > 1 && text[1] == '/') {
    token.kind = MarkupKind::kEnd;
    nameStart = 2;
  } else if (text.size() > 1 && (text[1] == '!' || text[1] == '?')) {
    token.kind = MarkupKind::kOther;
    return token;
  } else if (text.size() > 2 && text[text.size() - 2] == '/') {
    token.kind = MarkupKind::kEmpty;
  }
  std::size_t nameEnd = nameStart;
  while (nameEnd < text.size() && IsNameByte(text[nameEnd])) ++nameEnd;
  token.name = text.substr(nameStart, nameEnd - nameStart);
  if (token.name.empty()) token.kind = MarkupKind::kText;
  return token;
}

}  // namespace

std::vector<MarkupToken> ReadDeckMarkup(std::string_view deck) {
  std::vector<MarkupToken> tokens;
  std::vector<std::size_t> open;  // indices of the start tags not yet closed
  std::size_t at = 0;
  // Invariant: tokens cover deck[0, at).
  while (at < deck.size()) {
    const char* next = static_cast<const char*>(std::memchr(deck.data() + at, '<', deck.size() - at));
    const std::size_t tagAt = next == nullptr ? deck.size() : static_cast<std::size_t>(next - deck.data());
    const std::size_t tagEnd = tagAt < deck.size() ? MarkupEnd(deck, tagAt) : std::string_view::npos;
    const std::size_t textEnd = tagEnd == std::string_view::npos ? deck.size() : tagAt;
    if (textEnd > at) tokens.push_back(MarkupToken{MarkupKind::kText, {}, deck.substr(at, textEnd - at), 0});
    if (tagEnd == std::string_view::npos) break;
    MarkupToken token = TagToken(deck.substr(tagAt, tagEnd - tagAt));
    const std::size_t index = tokens.size();
    token.end = index;
    tokens.push_back(token);
    at = tagEnd;
    if (token.kind == MarkupKind::kStart) open.push_back(index);
    if (token.kind != MarkupKind::kEnd) continue;
    // An end tag closes the innermost open element of its name.
    for (std::size_t depth = open.size(); depth > 0; --depth) {
      if (tokens[open[depth - 1]].name != token.name) continue;
      tokens[open[depth - 1]].end = index;
      open.resize(depth - 1);
      break;
    }
  }
  return tokens;
}

std::string_view AttributeOf(std::string_view tag, std::string_view name) {
  std::size_t at = tag.find(' ');
  // Invariant: `at` is before the next attribute name or the tag's end.
  while (at != std::string_view::npos && at < tag.size()) {
    while (at < tag.size() && tag[at] == ' ') ++at;
    const std::size_t equals = tag.find('=', at);
    if (equals == std::string_view::npos || equals + 1 >= tag.size()) return {};
    const char quote = tag[equals + 1];
    const std::size_t close = tag.find(quote, equals + 2);
    if (close == std::string_view::npos) return {};
    if (tag.substr(at, equals - at) == name) return tag.substr(equals + 2, close - equals - 2);
    at = close + 1;
  }
  return {};
}

}  // namespace quillmark
