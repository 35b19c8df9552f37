// What a deck holds once written: references as WML knows them, dollar
// signs, charsets, well-formed XML whatever the page, and the keys that
// restore the page's own bytes.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "interface/conversion.h"
#include "interface/page_charset.h"
#include "markup/character_references.h"
#include "markup/html_entities.h"
#include "platform/transcoder.h"
#include "transform/forms_tables_support.h"

namespace quillmark {
namespace {

using testing::IsWellFormedXml;
using testing::ParagraphOf;

// The deck of `page` under a configuration whose default device is set up
// by `settingsLines` (group section lines), for the host charset given.
std::string DeckUnder(const std::string& settingsLines, const std::string& page,
                      const std::string& hostCharset = "") {
  std::string text = "DEVICE_GROUP=G\n" + settingsLines + "\nDEVICE=DEFAULT\nGROUP=G\n";
  auto configuration = std::make_shared<DeviceConfiguration>();
  configuration->parseText(text.data());
  configuration->finish();
  return MakeDeck(configuration, nullptr, page, hostCharset);
}

constexpr char kKeepAll[] = "ENTITIES=keep\nDOLLAR=keep\nCHARSET=bytes";

struct TextCase {
  const char* page;
  const char* paragraph;
};

void ExpectParagraphsUnder(const std::string& settings, const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) {
    const std::string deck = DeckUnder(settings, c.page);
    EXPECT_EQ(ParagraphOf(deck), c.paragraph) << c.page;
    EXPECT_TRUE(IsWellFormedXml(deck)) << c.page << "\n" << deck;
  }
}

TEST(DeckReferences, BecomeWhatWmlKnows) {
  ExpectParagraphsUnder("", {
      // One name of each entity set, in its own case.
      {"Premi&egrave;re", "Premi&#232;re"},
      {"&Eacute;t&eacute;", "&#201;t&#233;"},
      {"wait&hellip; &thetasym; &Alpha;", "wait&#8230; &#977; &#913;"},
      {"&ldquo;q&rdquo; &euro; &OElig;", "&#8220;q&#8221; &#8364; &#338;"},
      // The lower-cased name when the exact one is unknown.
      {"&COPY; &Hellip;", "&#169; &#8230;"},
      // WML's own names stay names.
      {"a&nbsp;b&shy;c &apos; &NBSP;", "a&nbsp;b&shy;c &apos; &nbsp;"},
      {"&amp; &lt; &gt; &quot;", "&amp; &lt; &gt; &quot;"},
      // Names read without ";" as browsers read them.
      {"J&eacuterome &nbsp&nbsp; x&copy y", "J&#233;rome &nbsp;&nbsp; x&#169; y"},
      // Numbers: kept when XML allows the character, else text.
      {"&#169;&#x263A;&#X41;", "&#169;&#9786;&#65;"},
      {"&#150;", "&#8211;"},
      {"&#; &#abc; &#0; &#1; &#xD800; &#x110000; &#99999999999999999999;",
       "&amp;#; &amp;#abc; &amp;#0; &amp;#1; &amp;#xD800; &amp;#x110000; &amp;#99999999999999999999;"},
      // Unknown names are text.
      {"&foo; &bogus a&;b", "&amp;foo; &amp;bogus a&amp;;b"},
  });
}

TEST(DeckReferences, AttributeValuesReadLegacyNamesOnlyWhole) {
  const std::string deck = DeckUnder("", "<img src='a.gif?x=1&copy=2&reg;&eacute' alt='&copy;&Eacute'>");
  EXPECT_NE(deck.find("src=\"a.gif?x=1&amp;copy=2&#174;&#233;\""), std::string::npos) << deck;
  EXPECT_NE(deck.find("alt=\"&#169;&#201;\""), std::string::npos) << deck;
}

TEST(DeckReferences, KeepPassesThemThrough) {
  ExpectParagraphsUnder(kKeepAll, {
      {"Premi&egrave;re &Copy;", "Premi&egrave;re &#169;"},
      {"&thetasym;", "&amp;thetasym;"},
  });
}

TEST(DeckReferences, TableMatchesTheEntitySets) {
  EXPECT_EQ(std::size(kHtmlEntities), 252u);
  const std::vector<std::pair<const char*, uint32_t>> samples = {
      {"nbsp", 160}, {"yuml", 255}, {"fnof", 402}, {"alefsym", 8501}, {"diams", 9830},
      {"quot", 34},  {"Yuml", 376}, {"rsaquo", 8250}, {"euro", 8364}, {"apos", 0}};
  for (const auto& [name, codePoint] : samples) EXPECT_EQ(HtmlEntityCodePoint(name), codePoint) << name;
  // The checked-in table is what the generator makes from the sets Debian ships.
  const char* folder = "/usr/share/xml/w3c-sgml-lib/schema/dtd/REC-xhtml-modularization-20100729";
  if (std::ifstream(std::string(folder) + "/xhtml-lat1.ent").good()) {
    const std::string command = std::string("python3 ") + QUILLMARK_SOURCE_DIR +
                                "/markup/generate_html_entities.py " + folder + " | cmp -s - " +
                                QUILLMARK_SOURCE_DIR + "/markup/html_entities.h";
    EXPECT_EQ(std::system(command.c_str()), 0) << "markup/html_entities.h is out of date";
  }
}

TEST(DeckDollars, DoubledUnlessTheyStartAVariable) {
  ExpectParagraphsUnder("", {
      {"$5 and $0.50", "$$5 and $$0.50"},
      {"$name $_x1 $(name) $(name:e) $(n:escape) $(n:N) $(n:unesc) $(n:u)",
       "$name $_x1 $(name) $(name:e) $(n:escape) $(n:N) $(n:unesc) $(n:u)"},
      {"$(1a) $(n:x) $(n $ $$ end$", "$$(1a) $$(n:x) $$(n $$ $$$$ end$$"},
  });
  const std::string deck = DeckUnder("", "<a href='/buy?price=$5&amp;v=$(v)'>x</a>");
  EXPECT_NE(deck.find("href=\"/buy?price=$$5&amp;v=$(v)\""), std::string::npos) << deck;
  ExpectParagraphsUnder("DOLLAR=keep", {{"$5 $$", "$5 $$"}});
}

TEST(DeckCharsets, PageCharsetFirstMatchWins) {
  struct Case {
    std::string page;
    const char* host;
    const char* charset;
    size_t mark;
  };
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBF<meta charset=iso-8859-2>x", "koi8-r", "UTF-8", 3},
      {"\xFF\xFEx\0", "", "UTF-16LE", 2},
      {std::string("<\0p\0>\0", 6), "", "UTF-16LE", 0},
      {std::string("\0<\0p\0>", 6), "iso-8859-1", "UTF-16BE", 0},
      {"<meta charset=\"ISO-8859-2\">\xE9", "utf-8", "ISO-8859-2", 0},
      {"<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=koi8-r'>", "", "KOI8-R", 0},
      {"<?xml version='1.0' encoding='iso-8859-7'?><p>x", "", "ISO-8859-7", 0},
      {"<meta charset=no-such-charset>\xE9", "ISO-8859-2", "ISO-8859-2", 0},
      {"<meta charset=iso-8859-1>", "", "WINDOWS-1252", 0},
      // What a browser's scan passes over declares nothing.
      {"<!-- <meta charset=shift_jis> --><meta charset=koi8-r>", "", "KOI8-R", 0},
      {"<!--> <meta charset=koi8-r>", "", "KOI8-R", 0},
      {"<!-- <meta charset=shift_jis>caf\xC3\xA9", "", "UTF-8", 0},
      {"<metadata charset=koi8-r>caf\xC3\xA9", "", "UTF-8", 0},
      {"<meta name=description content='charset=koi8-r'>caf\xC3\xA9", "", "UTF-8", 0},
      {"<meta content=\"a <b> charset=x\" name=x><meta/charset='koi8-r'>", "", "KOI8-R", 0},
      {"<meta content='text/html; charset=iso-8859-2' http-equiv=content-type>", "", "ISO-8859-2", 0},
      // A declaration read in ASCII cannot name UTF-16: the page is UTF-8.
      {"<meta charset=utf-16>caf\xC3\xA9", "", "UTF-8", 0},
      {"<?xml version='1.0' encoding='UTF-16LE'?><p>x", "", "UTF-8", 0},
      {"<meta charset=iso-2022-jp>", "", "ISO-2022-JP", 0},
      {"caf\xC3\xA9", "", "UTF-8", 0},
      {"caf\xE9", "", "WINDOWS-1252", 0},
      {"plain", "", "UTF-8", 0},
  };
  for (const Case& c : cases) {
    const PageCharset found = DetectPageCharset(c.page, c.host);
    EXPECT_EQ(found.name, c.charset) << c.page;
    EXPECT_EQ(found.byteOrderMark, c.mark) << c.page;
  }
}

TEST(DeckCharsets, DecksAreWrittenInTheDeclaredEncoding) {
  const std::string latin1 = "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-1\\\"?>\"";
  const std::string ascii = "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"US-ASCII\\\"?>\"";
  struct Case {
    std::string settings;
    std::string page;
    const char* host;
    std::string paragraph;
  };
  const std::vector<Case> cases = {
      {"", "caf\xE9 \x80", "", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"", "caf\xC3\xA9", "", "caf\xC3\xA9"},
      {"", "caf\xE9", "iso-8859-1", "caf\xC3\xA9"},
      {"", "\xEA\xF3\xF2", "koi8-r", "\xD0\x99\xD0\xA1\xD0\xA0"},
      {"", "ok\xFF\xFE bad", "utf-8", "ok\xEF\xBF\xBD\xEF\xBF\xBD bad"},
      // Four bytes past U+10FFFF are four unreadable bytes, not a character.
      {"", "a\xF4\xBF\xBF\xBF" "b", "utf-8", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
      {latin1, "caf\xC3\xA9 \xE2\x82\xAC &euro;", "", "caf\xE9 &#8364; &#8364;"},
      {ascii, "caf\xC3\xA9", "", "caf&#233;"},
      {"CHARSET=bytes", "caf\xE9", "", "caf\xE9"},
  };
  for (const Case& c : cases) {
    const std::string deck = DeckUnder(c.settings, c.page, c.host);
    EXPECT_EQ(ParagraphOf(deck), c.paragraph) << c.page;
    if (c.settings != "CHARSET=bytes") {
      EXPECT_TRUE(IsWellFormedXml(deck)) << deck;
    }
  }
}

TEST(DeckCharsets, ThePagesCharsetDeclarationsNameTheDecksEncoding) {
  const std::string latin1 = "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-1\\\"?>\"";
  const std::string page =
      "<html><head><meta charset='koi8-r'><META HTTP-EQUIV='Content-Type' CONTENT='text/html; Charset=KOI8-R'>"
      "<meta name=author content=x data-v=1><meta name=robots><meta property=og:title content=T></head>"
      "<body><p>x</p></body></html>";
  struct Case {
    std::string settings;
    std::string head;
  };
  const std::vector<Case> cases = {
      // The header the meta stands for names the deck's media type.
      {"", "<head><meta http-equiv=\"Content-Type\" content=\"text/vnd.wap.wml; Charset=UTF-8\"/>"
           "<meta name=\"author\" content=\"x\"/></head>"},
      {latin1, "<head><meta http-equiv=\"Content-Type\" content=\"text/vnd.wap.wml; Charset=ISO-8859-1\"/>"
               "<meta name=\"author\" content=\"x\"/></head>"},
      // The page's bytes, and so its declarations, pass as they are.
      {"CHARSET=bytes", "<head><meta charset=\"koi8-r\"/><meta http-equiv=\"Content-Type\" "
                        "content=\"text/vnd.wap.wml; Charset=KOI8-R\"/><meta name=\"author\" content=\"x\"/></head>"},
  };
  for (const Case& c : cases) {
    const std::string deck = DeckUnder(c.settings, page, "");
    EXPECT_NE(deck.find(c.head), std::string::npos) << c.settings << "\n" << deck;
  }
  // Read by its tags alone, the page's other metas pass as they stand, and
  // its media type with them.
  const std::string byTags = DeckUnder("BLOCK_BREAKS=false", page, "");
  EXPECT_NE(byTags.find("content=\"text/html; Charset=UTF-8\""), std::string::npos) << byTags;
  EXPECT_NE(byTags.find("<meta name=\"author\" content=\"x\" data-v=\"1\"/>"
                                                          "<meta name=\"robots\"/><meta property=\"og:title\" "
                                                          "content=\"T\"/></head>"),
            std::string::npos);
}

TEST(DeckCharsets, ADeckIsCompiledInItsEncodingOnlyWhereTheCompilerReadsIt) {
  const std::string body = "<wml><card><p>caf\xC3\xA9</p></card></wml>";
  const auto declared = [&](const std::string& encoding) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>" + body;
  };
  struct Case {
    std::string deck;
    std::string compilable;
  };
  const std::vector<Case> cases = {
      {body, body},
      {"\xEF\xBB\xBF" + body, "\xEF\xBB\xBF" + body},
      {EncodeFromUtf8(declared("KOI8-U"), "KOI8-U").value(), EncodeFromUtf8(declared("KOI8-U"), "KOI8-U").value()},
      {"\xFE\xFF" + EncodeFromUtf8(declared("UTF-16"), "UTF-16BE").value(), declared("UTF-8")},
      {EncodeFromUtf8(declared("UTF-16LE"), "UTF-16LE").value(), declared("UTF-8")},
      // A charset WBXML has no number for (and no "\xC3\xA9" in it).
      {EncodeFromUtf8(declared("ARMSCII-8"), "ARMSCII-8").value(),
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wml><card><p>caf&#233;</p></card></wml>"},
      {declared("x-no-such-charset"), declared("x-no-such-charset")},
  };
  for (const Case& c : cases) EXPECT_EQ(CompilableDeck(c.deck), c.compilable) << c.deck;
}

TEST(DeckCharsets, HostCharsetReachesTheExport) {
  std::string page = "caf\xE9";
  char* caller = nullptr;
  char* device = nullptr;
  char* text = page.data();
  int32_t length = static_cast<int32_t>(page.size());
  char buffer[512];
  char* output = buffer;
  int32_t capacity = sizeof buffer;
  ASSERT_GT(WapConvertCharset(&caller, &device, &text, &length, "KOI8-R", &output, &capacity), 0);
  EXPECT_NE(std::string(buffer).find("caf\xD0\x98"), std::string::npos) << buffer;
}

TEST(DeckStructure, TheDeviceDeclarationHeadsEveryDeck) {
  for (const char* page : {"<?xml foo?><p>x</p>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p>x</p>",
                           "<p>x</p><?xml version='1.1'?>"}) {
    const std::string deck = testing::DeckOf(page);
    EXPECT_EQ(deck.substr(0, deck.find("\r\n")), "<?xml version=\"1.0\"?>") << page;
    EXPECT_EQ(deck.find("<?xml", 1), std::string::npos) << deck;
  }
  // A page's own WML document type stays only when XML can read it.
  const std::string own = "<!DOCTYPE wml PUBLIC \"-//PHONE//DTD WML 1.1//EN\" \"http://x/y.dtd\"><wml><card><p>x</p></card></wml>";
  EXPECT_NE(testing::DeckOf(own).find("-//PHONE//"), std::string::npos);
  const std::string broken = "<!DOCTYPE wml PtitlC \"-//PHONE//DTD WML 1.1//EN\" \"x\"><wml><card><p>x</p></card></wml>";
  EXPECT_EQ(testing::DeckOf(broken).find("PtitlC"), std::string::npos);
  EXPECT_TRUE(IsWellFormedXml(testing::DeckOf(broken)));
}

TEST(DeckStructure, MendedPagesKeepTheirWords) {
  testing::ExpectParagraphs({
      {"own name self-closing", "<center><center/>x", "x"},
      {"formatting closed by itself", "<u><u/>", ""},
      {"closed by itself after content", "<b><i>y</i><b/>", "<b><i>y</i></b>"},
      {"textarea closed by itself", "<textarea><textarea/>", "<input type=\"text\" name=\"field\"/>"},
      {"empty elements stay two", "<br><br/>x", "<br/><br/>x"},
      {"self-closing paragraph", "<p/>x", "x"},
      {"self-closing document", "<html/><p>x", "x"},
      {"self-closing body", "<html><body/>y</html>", "y"},
      {"self-closing card", "<wml/><card/>z", "z"},
      {"document closed by more than one slash", "<wml a=1//><card ///>z", "z"},
      {"empty element and its end tag", "<br></br>x<br/></br>", "<br/>x<br/>"},
      {"document end tags that end in a slash", "<html><body>x</body/></html/>", "x"},
      {"deck end tags that end in slashes", "<wml><card>y</card//></wml />", "y"},
      {"greater-than inside a comment", "a<!-- a > b -->c", "ac"},
      {"quote inside a comment", "a<!-- don't -->b", "ab"},
  });
  // The NUL goes, the words stay; the paragraphs stand on lines of their own.
  EXPECT_EQ(ParagraphOf(testing::DeckOf(std::string("<p>a\0b</p><p>c</p>", 18))), "ab<br/>c");
}

// U+FFFE and U+FFFF can stand nowhere in XML: in text and attribute values
// they are left out (in a tag they end the name), whether the page held them
// as UTF-8 or as UTF-16; the characters around them, U+FF21 and U+FFFD among
// them, stay.
TEST(DeckCharsets, NoncharactersAreLeftOut) {
  ExpectParagraphsUnder("", {
      {"a\xEF\xBF\xBF" "b\xEF\xBF\xBE c", "ab c"},
      {"\xEF\xBC\xA1\xEF\xBF\xBD", "\xEF\xBC\xA1\xEF\xBF\xBD"},
      {"<a href='x\xEF\xBF\xBFy'>l</a>", "<a href=\"xy\">l</a>"},
      {"<b\xEF\xBF\xBF>x</b\xEF\xBF\xBF>", "<b>x</b>"},
  });
  // Copied bytes of a Latin-1 deck are no UTF-8: they stay as they are.
  const std::string latin1 = "CHARSET=bytes\nXMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-1\\\"?>\"";
  EXPECT_EQ(ParagraphOf(DeckUnder(latin1, "a\xEF\xBF\xBF" "b")), "a\xEF\xBF\xBF" "b");
  const std::string utf16 = std::string("\xFE\xFF\0<\0p\0>\0a\xFF\xFF\0b", 14);
  const std::string deck = DeckUnder("", utf16);
  EXPECT_EQ(ParagraphOf(deck), "ab");
  EXPECT_TRUE(IsWellFormedXml(deck)) << deck;
}

// A value whose quote never closes loses its last byte; where that byte
// ends a character, the bytes left of it are written as U+FFFD, so that the
// deck stays UTF-8. Copied bytes (CHARSET=bytes) stay as they are.
TEST(DeckCharsets, ACharacterCutInTwoBecomesTheReplacementCharacter) {
  const std::string page = std::string("<p><img src=x alt=\"ab") + '\0' + "\r\xC3\xA9>f</p>";
  const std::string deck = DeckUnder("", page);
  EXPECT_NE(deck.find("alt=\"ab\r\xEF\xBF\xBD\""), std::string::npos) << deck;
  EXPECT_TRUE(IsWellFormedXml(deck)) << deck;
  EXPECT_NE(DeckUnder("CHARSET=bytes", page).find("alt=\"ab\r\xC3\""), std::string::npos);
}

// Random pages of hostile fragments: quotes, "<", "&", "]]>", control and
// 8-bit bytes, dollar signs, in text and attribute values.
std::string HostilePage(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "<p>", "</p>", "<b>", "</b>", "<br>", "text ", "&", "&amp;", "&eacute;", "&#;", "&#1;",
      "&#x110000;", "&bogus;", "$", "$(v)", "$$", "]]>", "<", ">", "\"", "'", "\x01", "\x1F",
      std::string(1, '\0'), "\xE9", "\xC3\xA9", "\xE2\x82\xAC", "\xFF", "<a href='x?a=1&b=$2'>",
      "</a>", "<img alt='a\"b<c&d' src=\"s&t\">", "<p class='a\"b'>", "<input name=q value='$x\"'>",
      "<form action='/f?a&b'>", "</form>", "<select name=s>", "<option>o&", "<!-- c > d -->",
      "<center/>", "<u/>", "<table><tr><td>c</td></tr></table>", "<h1>h</h1>", "<title>t&u\"</title>",
      "<?xml x?>", "<![CDATA[ x ]]>", "<%= y %>", "<!)html>", "<body!>", "<?pi x?>", "<br></br>", "&nbsp&nbsp", "&#150;"};
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::string page;
  const int count = 1 + static_cast<int>(random() % 80);
  for (int i = 0; i < count; ++i) page += pieces[pick(random)];
  return page;
}

TEST(DeckProperties, EveryDeckParsesAsItsDeclarationSays) {
  std::mt19937 random(20261208);
  const std::vector<std::string> devices = {
      "", "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-1\\\"?>\"",
      "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"US-ASCII\\\"?>\"", "DOLLAR=keep",
      "AMPERSAND=&amp;"};
  for (int round = 0; round < 600; ++round) {
    const std::string page = HostilePage(random);
    const std::string& settings = devices[static_cast<size_t>(round) % devices.size()];
    const std::string deck = DeckUnder(settings, page, round % 3 == 0 ? "iso-8859-1" : "");
    ASSERT_TRUE(IsWellFormedXml(deck)) << settings << "\npage: " << page << "\ndeck:\n" << deck;
  }
}

}  // namespace
}  // namespace quillmark
