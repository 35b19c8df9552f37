// The deck writer: a finished document tree as well-formed WML text.
//
// It lays out lines as the tree writer does (break-list elements and
// declarations on lines of their own, CR LF line ends) and owns every escape
// the deck needs, whatever the rules stored:
// - character data: "<" and ">" as "&lt;" and "&gt;";
// - attribute values: also '"' as "&quot;";
// - both: an "&" that opens no reference as "&amp;", a "$" that starts no
//   WML variable as "$$", and characters XML forbids (controls other than
//   tab, CR and LF; in UTF-8 text U+FFFE and U+FFFF) left out;
// - every element it opens it closes exactly once: an end tag that closes
//   nothing written is left out, and an element whose end tag is missing or
//   suppressed is closed after its content;
// - declarations ("<!...>", "<?...?>") only at the top level, where the
//   deck's XML declaration and document type stand.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class CXmlNode;

struct EscapeRules {
  // Read references as HTML does and write them as WML knows them; false
  // keeps every reference that XML can parse as it stands.
  bool convertReferences = true;
  // Double a "$" that starts no WML variable; false copies it.
  bool doubleDollars = true;
  // The text is UTF-8 (as the page is once decoded): the two characters
  // XML forbids above the controls, U+FFFE and U+FFFF, are left out too.
  bool utf8Text = true;
  // The text should be well-formed UTF-8 (the page was decoded to it), so
  // a byte that starts no character, as a cut made inside one leaves, is
  // written as U+FFFD; false copies such bytes.
  bool checkUtf8 = false;
};

// Appends `text` escaped as character data (`attribute` false) or as a
// double-quoted attribute value. Escaping is idempotent: text the writer
// wrote comes out unchanged, except for "$$" when dollars are doubled.
void AppendEscaped(std::string& out, std::string_view text, bool attribute, const EscapeRules& rules);

// A written deck in the pieces the writer made, in order (at least one).
struct WrittenDeck {
  std::vector<std::string> pieces;
  size_t size = 0;  // of all pieces
  // The deck in one string: the only piece itself, or the pieces joined.
  std::string Joined() &&;
};

// Pieces are cut once they reach this size: room is never held for much
// more than the deck, and nothing written is copied while writing.
inline constexpr size_t kDeckPieceSize = size_t{64} << 10;

// Writes the deck below `root`; `expectedSize` is a guess of its length,
// which sizes the first piece. The pieces let the caller release the tree
// before the deck is joined.
WrittenDeck WriteDeckPieces(const CXmlNode& root, const char* breakList, const EscapeRules& rules,
                            size_t expectedSize = 0, size_t pieceSize = kDeckPieceSize);
// Writes the tree below `root` (its children and everything after them) and
// returns the text; `breakList` names the elements put on lines of their own.
// `expectedSize` is a guess of its length.
std::string WriteDeck(const CXmlNode& root, const char* breakList, const EscapeRules& rules,
                      size_t expectedSize = 0);

}  // namespace quillmark
