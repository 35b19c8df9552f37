// Token values of compiled WML: the WBXML 1.3 global tokens and the WML 1.1
// tag, attribute-start and attribute-value tokens of code page 0, and the
// public identifiers and character-set numbers a compiled deck names.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillmark::wmlc {

// Global tokens, the same on every code page.
inline constexpr uint8_t kSwitchPage = 0x00;
inline constexpr uint8_t kEnd = 0x01;
inline constexpr uint8_t kEntity = 0x02;
inline constexpr uint8_t kStrI = 0x03;
inline constexpr uint8_t kLiteral = 0x04;
inline constexpr uint8_t kExtI0 = 0x40;
inline constexpr uint8_t kExtT0 = 0x80;
inline constexpr uint8_t kStrT = 0x83;

// Bits of a tag token: the element has content, has attributes.
inline constexpr uint8_t kContentBit = 0x40;
inline constexpr uint8_t kAttributesBit = 0x80;

inline constexpr uint8_t kVersion13 = 0x03;

// Variable references: EXT_I_n / EXT_T_n with n = the conversion.
enum class Conversion : uint8_t { kEscape = 0, kUnescape = 1, kNone = 2 };

struct TagToken {
  std::string_view name;
  uint8_t token;
};

inline constexpr TagToken kTagTokens[] = {
    {"a", 0x1C},        {"anchor", 0x22}, {"access", 0x23},   {"b", 0x24},
    {"big", 0x25},      {"br", 0x26},     {"card", 0x27},     {"do", 0x28},
    {"em", 0x29},       {"fieldset", 0x2A}, {"go", 0x2B},     {"head", 0x2C},
    {"i", 0x2D},        {"img", 0x2E},    {"input", 0x2F},    {"meta", 0x30},
    {"noop", 0x31},     {"p", 0x20},      {"postfield", 0x21}, {"prev", 0x32},
    {"onevent", 0x33},  {"optgroup", 0x34}, {"option", 0x35}, {"refresh", 0x36},
    {"select", 0x37},   {"setvar", 0x3E}, {"small", 0x38},    {"strong", 0x39},
    {"table", 0x1F},    {"td", 0x1D},     {"template", 0x3B}, {"timer", 0x3C},
    {"tr", 0x1E},       {"u", 0x3D},      {"wml", 0x3F},
};

// An attribute-start token stands for the name and the start of the value.
struct AttributeStartToken {
  std::string_view name;
  std::string_view valuePrefix;
  uint8_t token;
};

inline constexpr AttributeStartToken kAttributeStartTokens[] = {
    {"accept-charset", "", 0x05},
    {"align", "bottom", 0x06},
    {"align", "center", 0x07},
    {"align", "left", 0x08},
    {"align", "middle", 0x09},
    {"align", "right", 0x0A},
    {"align", "top", 0x0B},
    {"alt", "", 0x0C},
    {"content", "", 0x0D},
    {"domain", "", 0x0F},
    {"emptyok", "false", 0x10},
    {"emptyok", "true", 0x11},
    {"format", "", 0x12},
    {"height", "", 0x13},
    {"hspace", "", 0x14},
    {"ivalue", "", 0x15},
    {"iname", "", 0x16},
    {"label", "", 0x18},
    {"localsrc", "", 0x19},
    {"maxlength", "", 0x1A},
    {"method", "get", 0x1B},
    {"method", "post", 0x1C},
    {"mode", "nowrap", 0x1D},
    {"mode", "wrap", 0x1E},
    {"multiple", "false", 0x1F},
    {"multiple", "true", 0x20},
    {"name", "", 0x21},
    {"newcontext", "false", 0x22},
    {"newcontext", "true", 0x23},
    {"onpick", "", 0x24},
    {"onenterbackward", "", 0x25},
    {"onenterforward", "", 0x26},
    {"ontimer", "", 0x27},
    {"optional", "false", 0x28},
    {"optional", "true", 0x29},
    {"path", "", 0x2A},
    {"scheme", "", 0x2E},
    {"sendreferer", "false", 0x2F},
    {"sendreferer", "true", 0x30},
    {"size", "", 0x31},
    {"src", "", 0x32},
    {"ordered", "true", 0x33},
    {"ordered", "false", 0x34},
    {"tabindex", "", 0x35},
    {"title", "", 0x36},
    {"type", "", 0x37},
    {"type", "accept", 0x38},
    {"type", "delete", 0x39},
    {"type", "help", 0x3A},
    {"type", "password", 0x3B},
    {"type", "onpick", 0x3C},
    {"type", "onenterbackward", 0x3D},
    {"type", "onenterforward", 0x3E},
    {"type", "ontimer", 0x3F},
    {"type", "options", 0x45},
    {"type", "prev", 0x46},
    {"type", "reset", 0x47},
    {"type", "text", 0x48},
    {"type", "vnd.", 0x49},
    {"href", "", 0x4A},
    {"href", "http://", 0x4B},
    {"href", "https://", 0x4C},
    {"value", "", 0x4D},
    {"vspace", "", 0x4E},
    {"width", "", 0x4F},
    {"xml:lang", "", 0x50},
    {"align", "", 0x52},
    {"columns", "", 0x53},
    {"class", "", 0x54},
    {"id", "", 0x55},
    {"forua", "false", 0x56},
    {"forua", "true", 0x57},
    {"src", "http://", 0x58},
    {"src", "https://", 0x59},
    {"http-equiv", "", 0x5A},
    {"http-equiv", "Content-Type", 0x5B},
    {"content", "application/vnd.wap.wmlc;charset=", 0x5C},
    {"http-equiv", "Expires", 0x5D},
};

// Attribute-value tokens, usable anywhere inside a value.
struct AttributeValueToken {
  std::string_view text;
  uint8_t token;
};

inline constexpr AttributeValueToken kAttributeValueTokens[] = {
    {".com/", 0x85},    {".edu/", 0x86},          {".net/", 0x87},
    {".org/", 0x88},    {"accept", 0x89},         {"bottom", 0x8A},
    {"clear", 0x8B},    {"delete", 0x8C},         {"help", 0x8D},
    {"http://", 0x8E},  {"http://www.", 0x8F},    {"https://", 0x90},
    {"https://www.", 0x91}, {"middle", 0x93},     {"nowrap", 0x94},
    {"onpick", 0x95},   {"onenterbackward", 0x96}, {"onenterforward", 0x97},
    {"ontimer", 0x98},  {"options", 0x99},        {"password", 0x9A},
    {"reset", 0x9B},    {"text", 0x9D},           {"top", 0x9E},
    {"unknown", 0x9F},  {"wrap", 0xA0},           {"www.", 0xA1},
};

// Well-known public identifiers of WML document types.
struct PublicIdentifier {
  std::string_view text;
  uint8_t token;
};

inline constexpr PublicIdentifier kPublicIdentifiers[] = {
    {"-//WAPFORUM//DTD WML 1.0//EN", 0x02},
    {"-//WAPFORUM//DTD WML 1.1//EN", 0x04},
    {"-//WAPFORUM//DTD WML 1.2//EN", 0x09},
    {"-//WAPFORUM//DTD WML 1.3//EN", 0x0A},
};
inline constexpr uint8_t kWml11PublicIdentifier = 0x04;

// IANA MIBenum numbers of the character sets a deck may be written in,
// under their registered names and aliases and the names iconv also
// knows them by; names compare without regard to case.
struct CharsetNumber {
  std::string_view name;
  uint32_t mib;
};

inline constexpr CharsetNumber kCharsetNumbers[] = {
    {"utf-8", 106}, {"utf8", 106},
    {"iso-8859-1", 4}, {"iso_8859-1", 4}, {"iso8859-1", 4}, {"latin1", 4}, {"l1", 4}, {"ibm819", 4},
    {"cp819", 4}, {"iso-ir-100", 4}, {"iso_8859-1:1987", 4}, {"csisolatin1", 4},
    {"us-ascii", 3}, {"ascii", 3}, {"us", 3}, {"iso646-us", 3}, {"ansi_x3.4-1968", 3}, {"ibm367", 3},
    {"cp367", 3}, {"csascii", 3},
    {"iso-8859-2", 5}, {"iso_8859-2", 5}, {"latin2", 5}, {"l2", 5},
    {"iso-8859-3", 6}, {"iso_8859-3", 6}, {"latin3", 6}, {"l3", 6},
    {"iso-8859-4", 7}, {"iso_8859-4", 7}, {"latin4", 7}, {"l4", 7},
    {"iso-8859-5", 8}, {"iso_8859-5", 8}, {"cyrillic", 8},
    {"iso-8859-6", 9}, {"iso_8859-6", 9}, {"arabic", 9},
    {"iso-8859-7", 10}, {"iso_8859-7", 10}, {"greek", 10},
    {"iso-8859-8", 11}, {"iso_8859-8", 11}, {"hebrew", 11},
    {"iso-8859-9", 12}, {"iso_8859-9", 12}, {"latin5", 12}, {"l5", 12},
    {"iso-8859-10", 13}, {"latin6", 13}, {"l6", 13},
    {"iso-8859-13", 109}, {"iso-8859-14", 110}, {"latin8", 110}, {"l8", 110},
    {"iso-8859-15", 111}, {"iso_8859-15", 111}, {"latin-9", 111},
    {"iso-8859-16", 112}, {"latin10", 112}, {"l10", 112},
    {"shift_jis", 17}, {"shift-jis", 17}, {"sjis", 17}, {"ms_kanji", 17}, {"csshiftjis", 17},
    {"windows-31j", 2024}, {"cp932", 2024},
    {"euc-jp", 18}, {"eucjp", 18},
    {"iso-2022-kr", 37}, {"euc-kr", 38}, {"euckr", 38},
    {"iso-2022-jp", 39}, {"iso-2022-jp-2", 40},
    {"gb2312", 2025}, {"gbk", 113}, {"cp936", 113}, {"gb18030", 114},
    {"big5", 2026}, {"big5-hkscs", 2101},
    {"koi8-r", 2084}, {"koi8-u", 2088}, {"ibm866", 2086}, {"cp866", 2086},
    {"tis-620", 2259}, {"windows-874", 2109},
    {"macintosh", 2027}, {"mac", 2027},
    {"windows-1250", 2250}, {"windows-1251", 2251}, {"windows-1252", 2252}, {"windows-1253", 2253},
    {"windows-1254", 2254}, {"windows-1255", 2255}, {"windows-1256", 2256}, {"windows-1257", 2257},
    {"windows-1258", 2258}, {"cp1250", 2250}, {"cp1251", 2251}, {"cp1252", 2252}, {"cp1253", 2253},
    {"cp1254", 2254}, {"cp1255", 2255}, {"cp1256", 2256}, {"cp1257", 2257}, {"cp1258", 2258},
    {"utf-16", 1015}, {"utf-16be", 1013}, {"utf-16le", 1014},
    {"utf-32", 1017}, {"utf-32be", 1018}, {"utf-32le", 1019}, {"utf-7", 1012},
};
inline constexpr uint32_t kUtf8Mib = 106;
inline constexpr uint32_t kLatin1Mib = 4;
inline constexpr uint32_t kAsciiMib = 3;
inline constexpr uint32_t kUnknownCharset = 0;

// Attributes whose variables are escaped unless the reference says
// otherwise: the ones that hold a URL.
inline constexpr std::string_view kUrlAttributes[] = {
    "href", "src", "onpick", "onenterforward", "onenterbackward", "ontimer",
};

}  // namespace quillmark::wmlc
