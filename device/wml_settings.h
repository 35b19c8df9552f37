// CWmlSettings: how the deck for one kind of telephone is written.
#pragma once

#include <cstdint>

namespace quillmark {

// Field sizes include the terminating zero.
inline constexpr int kXmlVersionSize = 128;
inline constexpr int kDocTypeSize = 256;
inline constexpr int kTagReplaceSize = 1048;
inline constexpr int kShortTextSize = 64;

inline constexpr char kDefaultXmlVersion[] = "<?xml version=\"1.0\"?>";
inline constexpr char kDefaultDocType[] =
    "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
    "\"http://www.wapforum.org/DTD/wml_1.1.xml\">";

// Settings keys that a device inherits from its group unless it sets them
// itself (one bit each in CWmlSettings::ownKeys).
enum OwnKey : uint32_t {
  kOwnEntities = 1u << 0,
  kOwnDollar = 1u << 1,
  kOwnCharset = 1u << 2,
  kOwnAmpersand = 1u << 3,
  kOwnBlockBreaks = 1u << 4,
  kOwnMaxCardSize = 1u << 5,
  kOwnMaxDeckSize = 1u << 6,
  kOwnNextLabel = 1u << 7,
  kOwnBackLabel = 1u << 8,
};

inline constexpr char kDefaultNextLabel[] = "Next";
inline constexpr char kDefaultBackLabel[] = "Back";

// A settings record; the constructor gives all defaults. Text fields are
// fixed-size, zero-terminated buffers inside the record.
struct CWmlSettings {
  CWmlSettings();

  char xmlVersion[kXmlVersionSize];
  char docType[kDocTypeSize];
  char tagReplace[kTagReplaceSize];
  int32_t tables;
  char cellLeadText[kShortTextSize];
  char cellBreakText[kShortTextSize];
  int32_t breakBefore;
  int32_t breakAfter;
  int32_t submitAsLink;
  char ampersandText[kShortTextSize];
  int32_t stripComments;
  // ENTITIES: 1 turns HTML character references that WML does not define
  // into numeric ones; 0 (ENTITIES=keep) passes references as they stand.
  int32_t convertEntities;
  // DOLLAR: 1 doubles a "$" that starts no WML variable; 0 (DOLLAR=keep)
  // copies it.
  int32_t doubleDollars;
  // CHARSET: 1 decodes the page by its charset and encodes the deck as its
  // XML declaration names; 0 (CHARSET=bytes) copies the page's bytes.
  int32_t transcode;
  // Separate the content of block elements and the lines of preformatted
  // text with line breaks; 0 writes such content run together.
  int32_t blockBreaks;
  // MAX_CARD_SIZE and MAX_DECK_SIZE: the largest card and deck in bytes of
  // compiled WMLC; 0 sets no limit. A card is measured as a deck of its own.
  int32_t maxCardSize;
  int32_t maxDeckSize;
  // NEXT_LABEL and BACK_LABEL: the texts of the link to the next card or
  // part and of the back key that a split deck gains.
  char nextLabel[kShortTextSize];
  char backLabel[kShortTextSize];
  // The OwnKey bits of the keys this section set itself.
  uint32_t ownKeys;
};

// Copies src into the fixed field dst of `size` bytes, truncating so that the
// terminator always fits; a null src gives the empty text.
void CopyField(char* dst, int size, const char* src);

template <int N>
void CopyField(char (&dst)[N], const char* src) {
  CopyField(dst, N, src);
}

}  // namespace quillmark
