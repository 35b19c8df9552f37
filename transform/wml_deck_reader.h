// Reading a WML deck's text into the flat node list that the compiler
// encodes: elements with their tokenized attributes and text runs with
// their decoded content, in document order.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "transform/wmlc_attributes.h"

namespace quillmark::wmlc {

// A node of the deck in 32 bytes, so that the walks over all of them stay
// in cache.
struct DeckNode {
  std::string_view name;  // empty for a text run
  uint32_t first = 0;     // an element's attributes in ReadDeck::attributes,
  uint32_t end = 0;       // a text run's content in ReadDeck::pieces
  uint32_t subtreeEnd = 0;  // one past the last node inside this element
  uint8_t tagToken = kLiteral;  // an element's tag token, LITERAL when WML has none
  bool hasContent = false;      // some node inside is written
  bool dropped = false;         // a text run that white-space handling removed
};

struct ReadDeck {
  uint32_t charset = kUtf8Mib;
  uint8_t publicIdentifier = kWml11PublicIdentifier;
  std::vector<DeckNode> nodes;
  std::vector<TokenizedAttribute> attributes;
  Pieces pieces;
  TextArena arena;  // the texts of the pieces
};

// A run of text as the deck holds it, before its references are decoded.
struct RawText {
  std::string_view text;
  bool characterData = false;
};

// What the reader keeps of a node until its text is decoded.
struct ReadNode {
  RawText raw;        // empty for elements
  uint32_t previous;  // its previous sibling and its parent, UINT32_MAX for none
  uint32_t parent;
};

// What reading a deck needs beside the deck itself.
struct DeckReaderScratch {
  std::vector<uint32_t> open;  // the elements open at the reading point, innermost last
  // How many of them have each tag token, and each name without one, so
  // that an end tag that closes nothing is passed over at once.
  std::array<uint32_t, 64> openByToken;
  std::unordered_map<std::string_view, uint32_t> openOthers;
  std::vector<ReadNode> read;  // for each node of the deck
  std::vector<uint32_t> lastAtDepth;  // the last node read at each depth
  Pieces decoded;                     // one run's pieces
  Pieces split;
  AttributeTokenizer tokenizer;
};

// Reads decks one after another into storage that it keeps, so that a
// reader used for many decks allocates for the largest of them only.
class WmlDeckReader {
 public:
  // Reads `deckText`. The XML declaration names the charset (UTF-8 when it
  // names none, 0 when its name is unknown; without a declaration `charset`
  // is used), the document type the public identifier; both, comments and
  // processing instructions are not kept. The reader never rejects a deck: a
  // stray "<" is text, an end tag that matches no open element is ignored,
  // elements left open end with the deck, elements after the first one's end
  // go inside it, and a text without elements reads as an empty `wml`
  // element. Names in the result point into `deckText`; the result is the
  // reader's and stays valid until the next Read.
  const ReadDeck& Read(std::string_view deckText, uint32_t charset = kUtf8Mib);

 private:
  ReadDeck deck_;
  DeckReaderScratch scratch_;
};

}  // namespace quillmark::wmlc
