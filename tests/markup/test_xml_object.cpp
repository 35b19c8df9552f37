// Element record: token kinds, name and attribute parsing, attribute edits,
// marker words, name lists and the writer half.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "markup/element_names.h"
#include "markup/name_list.h"
#include "markup/xml_object.h"

namespace quillmark {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// A record parsed from the whole of `text` (embedded NULs included).
std::unique_ptr<CXmlObject> Parsed(const std::string& text,
                                   const MarkerWords& words = DefaultMarkerWords()) {
  auto record = std::make_unique<CXmlObject>();
  record->Parse(text.data(), static_cast<int32_t>(text.size()), words);
  return record;
}

Attributes AttributesOf(const CXmlObject& record) {
  Attributes attributes;
  for (int32_t i = 0; i < record.GetAttributeCount(); ++i) {
    attributes.emplace_back(record.GetAttributeName(i), record.GetAttributeValue(i));
  }
  return attributes;
}

constexpr char kAbsent[] = "(absent)";

// The value of the named attribute, or kAbsent.
std::string ValueOrAbsent(const CXmlObject& record, const char* name) {
  const char* value = record.GetAttribute(name);
  return value == nullptr ? kAbsent : value;
}

// What WriteTo writes, checked against GetWriteLength on the way.
std::string Written(const CXmlObject& record) {
  const size_t length = record.GetWriteLength();
  std::string buffer(length + 16, '#');
  const char* result = record.WriteTo(buffer.data());
  EXPECT_EQ(result, buffer.data());
  EXPECT_EQ(std::strlen(buffer.data()), length) << buffer.data();
  return buffer.substr(0, std::strlen(buffer.data()));
}

struct KindCase {
  const char* text;
  int32_t comment;
  int32_t tag;
  int32_t startTag;
  int32_t closedTag;
};

TEST(XmlObjectKinds, ReadFromTextAlone) {
  const KindCase cases[] = {
      {"<!---->", 1, 0, 0, 0},
      {"<!-- x -->", 1, 0, 0, 0},
      {"<!--->", 0, 1, 1, 1},
      {"<!-->", 0, 1, 1, 1},
      {"<>", 0, 0, 0, 0},
      {"< >", 0, 1, 1, 0},
      {"<p>", 0, 1, 1, 0},
      {"</p>", 0, 1, 0, 1},
      {"<br/>", 0, 1, 1, 1},
      {"<?xml version=\"1.0\"?>", 0, 1, 1, 1},
      {"<!DOCTYPE wml>", 0, 1, 1, 1},
      {"Hello", 0, 0, 0, 0},
      {"<p", 0, 0, 0, 0},
      {"", 0, 0, 0, 0},
  };
  for (const KindCase& c : cases) {
    const auto record = Parsed(c.text);
    EXPECT_EQ(record->IsComment(), c.comment) << c.text;
    EXPECT_EQ(record->IsTag(), c.tag) << c.text;
    EXPECT_EQ(record->IsStartTag(), c.startTag) << c.text;
    EXPECT_EQ(record->IsClosedTag(), c.closedTag) << c.text;
  }
}

TEST(XmlObjectKinds, NeverParsedRecordIsNothing) {
  const CXmlObject record;
  EXPECT_EQ(record.GetText(), nullptr);
  EXPECT_EQ(record.GetName(), nullptr);
  EXPECT_EQ(record.IsTag(), 0);
  EXPECT_EQ(record.IsComment(), 0);
  EXPECT_EQ(record.GetMarkerKind(), 0);
  EXPECT_EQ(record.IsStopMarker(), 0);
  EXPECT_EQ(record.GetWriteLength(), 0u);
  EXPECT_EQ(record.Clone().GetText(), nullptr);
}

struct ParseCase {
  std::string text;
  const char* name;  // null: the record has no name
  Attributes attributes;
};

TEST(XmlObjectParse, NameAndAttributes) {
  const ParseCase cases[] = {
      {"</p>", "p", {}},
      {"<P>", "P", {}},
      {"<!DOCTYPE wml PUBLIC>", "DOCTYPE", {{"wml", ""}, {"PUBLIC", ""}}},
      {"<?xml version=\"1.0\"?>", "?xml", {{"version", "1.0"}, {"?", ""}}},
      {"<br/>", "br", {}},
      {"<BR />", "BR", {}},
      {"<my-tag>", "my", {{"tag", ""}}},
      {"< >", "", {}},
      {"</>", "", {}},
      {"<!+>", "", {}},
      {"<!-- DINCL A -->", "DINCL", {{"A", ""}}},
      {"<!-- /DINCL -->", "DINCL", {}},
      {"<!-- DINCL A,B C -->", "DINCL", {{"A,B", ""}, {"C", ""}}},
      {"<!-- DINCL DEVICE=\"P1,P2\" -->", "DINCL", {{"DEVICE", "P1,P2"}}},
      {"<!-- plain -->", nullptr, {}},
      {"just text", nullptr, {}},
      {"", nullptr, {}},
      {"<input type=checkbox checked>", "input", {{"type", "checkbox"}, {"checked", ""}}},
      {"<td width=50% nowrap>", "td", {{"width", "50"}, {"nowrap", ""}}},
      {"<img src=\"a.gif\"/>", "img", {{"src", "a.gif"}}},
      {"<a HREF=\"x\" href=\"y\">", "a", {{"href", "y"}}},
      {"<a href=pages/a.wml>", "a", {{"href", "pages"}, {"a.wml", ""}}},
      {"<a href=x.html#top>", "a", {{"href", "x.html"}, {"top", ""}}},
      {"<a title=\"x>y\">", "a", {{"title", "x>y"}}},
      {"<a title=\"it's\">", "a", {{"title", "it's"}}},
      {"<a title='say \"hi\"'>", "a", {{"title", "say \"hi\""}}},
      {"<a title=\"x y\" alt='p q'>", "a", {{"title", "x y"}, {"alt", "p q"}}},
      {"<a =x>", "a", {{"", "x"}}},
      {"<a b = c>", "a", {{"b", "c"}}},
      {"<a b= >", "a", {{"b", ""}}},
      {"<a b=>", "a", {{"b", ""}}},
      {"<a b=\">", "a", {{"b", ""}}},
      {"<a b c>", "a", {{"b", ""}, {"c", ""}}},
      {"<a b=\"1\" B='2'>", "a", {{"B", "2"}}},
      {"<a b=x\"y z\">", "a", {{"b", "x\"y z\""}}},
      {"<a\tb=1\r\nc=2>", "a", {{"b", "1"}, {"c", "2"}}},
      {"<a b=&amp;>", "a", {{"b", ""}, {"amp;", ""}}},
      {"<a\xA0" "b>", "a", {{"b", ""}}},
      {"<\xA0p>", "p", {}},
      {"<a x=1\xA0y>", "a", {{"x", "1"}, {"y", ""}}},
      {"<a x=\"1\xA0\">", "a", {{"x", "1\xA0"}}},
  };
  for (const ParseCase& c : cases) {
    const auto record = Parsed(c.text);
    ASSERT_NE(record->GetText(), nullptr);
    EXPECT_EQ(std::string(record->GetText()), c.text);
    if (c.name == nullptr) {
      EXPECT_EQ(record->GetName(), nullptr) << c.text;
    } else {
      ASSERT_NE(record->GetName(), nullptr) << c.text;
      EXPECT_STREQ(record->GetName(), c.name) << c.text;
    }
    EXPECT_EQ(AttributesOf(*record), c.attributes) << c.text;
  }
}

// Read as HTML reads them, unquoted values run to white space or the tag's
// end; a slash they take in does not close the tag. Quoted values, names and
// valueless attributes read as in the record's own reading.
TEST(XmlObjectParse, UnquotedValuesReadAsHtml) {
  struct HtmlCase {
    std::string text;
    Attributes attributes;
    int32_t closed;
  };
  const HtmlCase cases[] = {
      {"<a href=pages/a.wml>", {{"href", "pages/a.wml"}}, 0},
      {"<a href=x.html#top title=T>", {{"href", "x.html#top"}, {"title", "T"}}, 0},
      {"<a href=/q?a=1&b=2,3+4%20-5>", {{"href", "/q?a=1&b=2,3+4%20-5"}}, 0},
      {"<td width=50% nowrap>", {{"width", "50%"}, {"nowrap", ""}}, 0},
      {"<font size=+1\tcolor=#f00\r\nface=x>", {{"size", "+1"}, {"color", "#f00"}, {"face", "x"}}, 0},
      {"<a href=caf\xC3\xA9.html>", {{"href", "caf\xC3\xA9.html"}}, 0},
      {"<a href=http://x.org/>", {{"href", "http://x.org/"}}, 0},
      {"<img src=a.gif />", {{"src", "a.gif"}}, 1},
      {"<br/>", {}, 1},
      {"<a b=\"x/\"/>", {{"b", "x/"}}, 1},
      {"<a title=\"x y\" alt='p/q'>", {{"title", "x y"}, {"alt", "p/q"}}, 0},
      {"<a b= c>", {{"b", "c"}}, 0},
      {"<a b=>", {{"b", ""}}, 0},
  };
  for (const HtmlCase& c : cases) {
    CXmlObject record;
    record.Parse(c.text.data(), static_cast<int32_t>(c.text.size()), DefaultMarkerWords(), UnquotedValues::kEndAtSpace);
    EXPECT_EQ(AttributesOf(record), c.attributes) << c.text;
    EXPECT_EQ(record.IsClosedTag(), c.closed) << c.text;
    const CXmlObject clone = record.Clone();
    EXPECT_EQ(AttributesOf(clone), c.attributes) << c.text;
    EXPECT_EQ(clone.IsClosedTag(), c.closed) << c.text;
  }
}

TEST(XmlObjectParse, NulCutsEveryStoredString) {
  const std::string withNul("ab\0cd", 5);
  const auto data = Parsed(withNul);
  EXPECT_STREQ(data->GetText(), "ab");
  EXPECT_EQ(data->TextLength(), 2u);
  EXPECT_EQ(data->GetName(), nullptr);

  // Name and attributes are still read from the token's full length.
  const std::string tagThenNul("<a>\0x=\"1\0002\">", 12);
  const auto tag = Parsed(tagThenNul);
  EXPECT_STREQ(tag->GetText(), "<a>");
  EXPECT_EQ(tag->TextLength(), 3u);
  EXPECT_EQ(AttributesOf(*tag), (Attributes{{">", ""}, {"x", "1"}}));
  EXPECT_EQ(Written(*tag), "<a >=\"\" x=\"1\">");

  CXmlObject record;
  record.SetText(std::string("x\0y", 3));
  EXPECT_EQ(record.TextLength(), 1u);
  record.SetAttribute("n", "v");
  EXPECT_EQ(record.GetAttributeCount(), 1);
}

TEST(XmlObjectParse, LengthBoundsTheToken) {
  const char text[] = "<p>tail";
  const auto record = std::make_unique<CXmlObject>();
  record->Parse(text, 3);
  EXPECT_STREQ(record->GetText(), "<p>");
  EXPECT_STREQ(record->GetName(), "p");
  record->Parse(text, 0);
  EXPECT_STREQ(record->GetText(), "");
  EXPECT_EQ(record->GetName(), nullptr);
  record->Parse(text, -5);
  EXPECT_STREQ(record->GetText(), "");
}

TEST(XmlObjectParse, ReparseClearsPreviousAttributes) {
  CXmlObject record;
  const std::string first = "<a b=1 c=2>";
  record.Parse(first.data(), static_cast<int32_t>(first.size()));
  ASSERT_EQ(record.GetAttributeCount(), 2);
  const std::string second = "<p>";
  record.Parse(second.data(), static_cast<int32_t>(second.size()));
  EXPECT_EQ(record.GetAttributeCount(), 0);
  EXPECT_STREQ(record.GetName(), "p");
  const std::string third = "text";
  record.Parse(third.data(), static_cast<int32_t>(third.size()));
  EXPECT_EQ(record.GetName(), nullptr);
}

TEST(XmlObjectAttributes, SetAttributeReplacesInPlaceOrAppends) {
  const auto record = Parsed("<a x=1 href=\"a\" y=2>");
  record->SetAttribute("HREF", "b");
  EXPECT_EQ(AttributesOf(*record), (Attributes{{"x", "1"}, {"HREF", "b"}, {"y", "2"}}));
  record->SetAttribute("z", "3");
  EXPECT_EQ(record->GetAttributeCount(), 4);
  EXPECT_STREQ(record->GetAttributeName(3), "z");
  record->SetAttribute("x", nullptr);
  record->SetAttribute("absent", nullptr);
  EXPECT_EQ(AttributesOf(*record),
            (Attributes{{"x", "1"}, {"HREF", "b"}, {"y", "2"}, {"z", "3"}}));
}

TEST(XmlObjectAttributes, LookupIgnoresCaseAndIndexPastEndIsNull) {
  const auto record = Parsed("<a Href=x>");
  EXPECT_STREQ(record->GetAttribute("HREF"), "x");
  EXPECT_STREQ(record->GetAttribute("href"), "x");
  EXPECT_EQ(record->GetAttribute("hre"), nullptr);
  EXPECT_EQ(record->GetAttribute(nullptr), nullptr);
  EXPECT_EQ(record->GetAttributeName(1), nullptr);
  EXPECT_EQ(record->GetAttributeValue(1), nullptr);
  EXPECT_EQ(record->GetAttributeName(-1), nullptr);
}

TEST(XmlObjectAttributes, WritableValueChangesInPlace) {
  const auto record = Parsed("<a title=abc>");
  char* value = record->GetAttribute("TITLE");
  ASSERT_NE(value, nullptr);
  value[1] = 'X';
  EXPECT_STREQ(record->GetAttributeValue(0), "aXc");
}

TEST(XmlObjectAttributes, RetainAttributes) {
  struct Case {
    const char* list;
    std::size_t listSize;
    Attributes expected;
  };
  static constexpr char kNone[] = "";
  static constexpr char kAll[] = "a\0B\0c\0";
  static constexpr char kSome[] = "c\0a\0";
  const Case cases[] = {
      {kNone, sizeof kNone, {}},
      {kAll, sizeof kAll, {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
      {kSome, sizeof kSome, {{"a", "1"}, {"c", "3"}}},
      {nullptr, 0, {}},
  };
  for (const Case& c : cases) {
    const auto record = Parsed("<x a=1 b=2 c=3>");
    record->RetainAttributes(c.list);
    EXPECT_EQ(AttributesOf(*record), c.expected) << c.listSize;
  }
}

TEST(XmlObjectAttributes, GetBoolAttribute) {
  const struct {
    const char* tag;
    int32_t defaultValue;
    int32_t expected;
  } cases[] = {
      {"<o v>", 0, 1},        {"<o v=\"\">", 0, 1},  {"<o v=TRUE>", 0, 1}, {"<o v=true>", 0, 1},
      {"<o v=yes>", 1, 0},    {"<o v=1>", 1, 0},     {"<o v=false>", 1, 0}, {"<o>", 7, 7},
      {"<o w=true>", -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parsed(c.tag)->GetBoolAttribute("V", c.defaultValue), c.expected) << c.tag;
  }
}

TEST(XmlObjectAttributes, NormalizeBoolAttribute) {
  const struct {
    const char* tag;
    const char* expected;
  } cases[] = {
      {"<select multiple>", "true"},        {"<select multiple=FALSE>", "false"},
      {"<select multiple=yes>", "false"},   {"<select multiple=True>", "true"},
      {"<select>", kAbsent},
  };
  for (const auto& c : cases) {
    const auto record = Parsed(c.tag);
    record->NormalizeBoolAttribute("multiple", "false");
    EXPECT_EQ(ValueOrAbsent(*record, "multiple"), c.expected) << c.tag;
  }
}

TEST(XmlObjectAttributes, NormalizeEnumAttribute) {
  static constexpr char kAlign[] = "left\0center\0right\0";
  const struct {
    const char* tag;
    int32_t addIfMissing;
    const char* expected;
  } cases[] = {
      {"<p align=CENTER>", 0, "center"}, {"<p align=middle>", 0, "left"},
      {"<p align=\"\">", 0, "left"},     {"<p>", 1, "left"},
      {"<p>", 0, kAbsent},
  };
  for (const auto& c : cases) {
    const auto record = Parsed(c.tag);
    record->NormalizeEnumAttribute("ALIGN", kAlign, "left", c.addIfMissing);
    EXPECT_EQ(ValueOrAbsent(*record, "align"), c.expected) << c.tag;
  }
}

TEST(XmlObjectAttributes, ManyAttributesStayUniqueAndOrdered) {
  std::string tag = "<x";
  for (int i = 0; i < 40; ++i) {
    tag += " a" + std::to_string(i) + "=" + std::to_string(i);
  }
  tag += " A7=again>";
  const auto record = Parsed(tag);
  ASSERT_EQ(record->GetAttributeCount(), 40);
  EXPECT_STREQ(record->GetAttributeName(7), "A7");
  EXPECT_STREQ(record->GetAttributeValue(7), "again");
  EXPECT_STREQ(record->GetAttribute("A39"), "39");

  static constexpr char kKeep[] = "a39\0a3\0a20\0";
  record->RetainAttributes(kKeep);
  EXPECT_EQ(AttributesOf(*record), (Attributes{{"a3", "3"}, {"a20", "20"}, {"a39", "39"}}));
  record->SetAttribute("A20", "z");
  EXPECT_EQ(AttributesOf(*record), (Attributes{{"a3", "3"}, {"A20", "z"}, {"a39", "39"}}));
  record->ClearAttributes();
  EXPECT_EQ(record->GetAttribute("a3"), nullptr);
  record->SetAttribute("a3", "new");
  EXPECT_EQ(record->GetAttributeCount(), 1);
}

TEST(XmlObjectAttributes, HugeAttributeListParsesInLinearTime) {
  std::string tag = "<x";
  constexpr int kCount = 100000;
  for (int i = 0; i < kCount; ++i) {
    tag += " n" + std::to_string(i) + "=v";
  }
  tag += " N5=last>";
  const auto record = Parsed(tag);
  ASSERT_EQ(record->GetAttributeCount(), kCount);
  EXPECT_STREQ(record->GetAttributeValue(5), "last");
  EXPECT_STREQ(record->GetAttribute("n99999"), "v");
}

TEST(XmlObjectAttributes, HugeValueIsKeptWhole) {
  const std::string value(10 * 1024 * 1024, 'v');
  const auto record = Parsed("<a title=\"" + value + "\" b>");
  ASSERT_EQ(record->GetAttributeCount(), 2);
  EXPECT_EQ(std::strlen(record->GetAttribute("title")), value.size());
  EXPECT_EQ(record->GetWriteLength(), Written(*record).size());
}

TEST(XmlObjectNames, SetName) {
  const struct {
    const char* given;
    const char* stored;
  } cases[] = {{"/p", "p"}, {"//p", "/p"}, {"", ""}, {"card", "card"}, {"/", ""}};
  for (const auto& c : cases) {
    const auto record = Parsed("<x>");
    record->SetName(c.given);
    EXPECT_STREQ(record->GetName(), c.stored) << c.given;
  }
}

// Text and name share one block: each edit of one keeps the other, on its
// own and in a document's arena, which never takes a block back.
TEST(XmlObjectNames, EditsOfTextAndNameKeepEachOther) {
  using Edit = void (*)(CXmlObject&);
  const struct {
    Edit edit;
    const char* text;
    const char* name;
  } steps[] = {
      {[](CXmlObject& r) { r.Parse("<td class=x>", 12); }, "<td class=x>", "td"},
      {[](CXmlObject& r) { r.SetName("blockquote"); }, "<td class=x>", "blockquote"},
      {[](CXmlObject& r) { r.SetName("b"); }, "<td class=x>", "b"},
      {[](CXmlObject& r) { r.SetText("<a much longer text than before>"); }, "<a much longer text than before>", "b"},
      {[](CXmlObject& r) { r.EditText([](char*, size_t) -> size_t { return 3; }); }, "<a ", "b"},
      {[](CXmlObject& r) { r.SetText("<i>"); }, "<i>", "b"},
      {[](CXmlObject& r) { r.MakeSelfClosing(); }, "<i/>", "b"},
      {[](CXmlObject& r) { r.SetName("//ab"); }, "<i/>", "/ab"},
      // The new name is part of the old one.
      {[](CXmlObject& r) { r.SetName(r.GetName()); }, "<i/>", "ab"},
  };
  RecordArena documentArena;
  for (RecordArena* arena : {&RecordArena::Heap(), &documentArena}) {
    CXmlObject record(arena);
    for (const auto& step : steps) {
      step.edit(record);
      EXPECT_STREQ(record.GetText(), step.text);
      EXPECT_EQ(record.TextLength(), std::strlen(step.text));
      EXPECT_STREQ(record.GetName(), step.name) << step.text;
    }
    // An attribute's name and value share a block the same way.
    record.SetAttribute("title", "a longer value");
    record.SetAttribute("TITLE", record.GetAttribute("title") + 2);
    record.SetAttribute("t", "v");
    const CXmlObject copy = record.Copy();
    EXPECT_STREQ(copy.GetText(), "<i/>");
    EXPECT_STREQ(copy.GetName(), "ab");
    EXPECT_EQ(Written(copy), "<ab class=\"x\" TITLE=\"longer value\" t=\"v\"/>");
  }
}

TEST(XmlObjectNames, ElementLists) {
  const struct {
    const char* text;
    int32_t formatting;
    int32_t empty;
  } cases[] = {
      {"<Font>", 1, 0},          {"<b>", 1, 0},       {"</MARQUEE>", 1, 0}, {"<BR>", 0, 1},
      {"<postfield/>", 0, 1},    {"<p>", 0, 0},       {"<bold>", 0, 0},     {"<!DOCTYPE wml>", 0, 1},
      {"<?xml version=\"1.0\"?>", 0, 1},
  };
  for (const auto& c : cases) {
    const auto record = Parsed(c.text);
    EXPECT_EQ(record->IsFormattingElement(), c.formatting) << c.text;
    EXPECT_EQ(record->IsEmptyElement(), c.empty) << c.text;
  }
}

TEST(XmlObjectNames, MakeSelfClosing) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {{"<br>", "<br/>"}, {"<img src=a>", "<img src=a/>"}};
  for (const auto& c : cases) {
    const auto record = Parsed(c.text);
    record->MakeSelfClosing();
    EXPECT_STREQ(record->GetText(), c.expected);
    EXPECT_EQ(record->IsClosedTag(), 1);
  }
  CXmlObject empty;
  empty.SetText("");
  empty.MakeSelfClosing();
  EXPECT_STREQ(empty.GetText(), "");
}

TEST(XmlObjectMarkers, DefaultWords) {
  const struct {
    const char* text;
    int32_t kind;
    int32_t stop;
  } cases[] = {
      {"<!--   /DEXCL x -->", 2, 1}, {"<!-- DINCLUDE -->", 1, 0}, {"<!-- dincl -->", 0, 0},
      {"<!--/DINCL-->", 2, 1},      {"<!-- DINCL -->", 1, 0},    {"<!--DEXCL DEVICE=\"A\"-->", 1, 0},
      {"<!--\tDINCL -->", 0, 0},    {"<!-- x DINCL -->", 0, 0},  {"<p>", 0, 0},
      {"<DINCL>", 0, 0},            {"xxxx/DINCL", 0, 1},
  };
  for (const auto& c : cases) {
    const auto record = Parsed(c.text);
    EXPECT_EQ(record->GetMarkerKind(), c.kind) << c.text;
    EXPECT_EQ(record->IsStopMarker(), c.stop) << c.text;
  }
}

TEST(XmlObjectMarkers, WordsComeFromTheParseAndSurviveClone) {
  MarkerWords words;
  words.includeStart = "ONLY";
  words.includeStop = "/ONLY";
  words.excludeStart = "";
  words.excludeStop = "";
  const struct {
    const char* text;
    int32_t kind;
  } cases[] = {
      {"<!-- ONLY A -->", 1}, {"<!-- /ONLY -->", 2}, {"<!-- DINCL -->", 0}, {"<!-- other -->", 0},
  };
  for (const auto& c : cases) {
    const auto record = Parsed(c.text, words);
    EXPECT_EQ(record->GetMarkerKind(), c.kind) << c.text;
    EXPECT_EQ(record->Clone().GetMarkerKind(), c.kind) << c.text;
    EXPECT_EQ(&record->Clone().Words(), &words);
  }
  EXPECT_STREQ(Parsed("<!-- ONLY A -->", words)->GetName(), "ONLY");
}

TEST(XmlObjectClone, ReparsesTheTextAndDropsEdits) {
  const auto record = Parsed("<a href=x>");
  record->SetName("b");
  record->SetAttribute("title", "t");
  const auto clone = record->Clone();
  EXPECT_STREQ(clone.GetText(), "<a href=x>");
  EXPECT_STREQ(clone.GetName(), "a");
  EXPECT_EQ(AttributesOf(clone), (Attributes{{"href", "x"}}));
}

TEST(NameList, Membership) {
  static constexpr char kEmpty[] = "";
  const struct {
    const char* name;
    const char* list;
    int32_t expected;
  } cases[] = {
      {"Font", kFormattingElementList, 1}, {"MARQUEE", kFormattingElementList, 1},
      {"fon", kFormattingElementList, 0},  {"fonts", kFormattingElementList, 0},
      {"", kFormattingElementList, 0},     {"setvar", kEmptyElementList, 1},
      {"b", kEmpty, 0},                    {"b", nullptr, 0},
      {nullptr, kEmptyElementList, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNameInList(c.name, c.list), c.expected) << (c.name ? c.name : "(null)");
  }
}

// An element set decides as IsNameInList does for its list, over every
// known name, its case variants and near misses (one letter changed, added
// or dropped); and every known name interns to its own id in any case.
TEST(NameList, ElementSetsDecideAsTheirLists) {
  static constexpr ElementSet kFormatting{kFormattingElementList};
  static constexpr ElementSet kEmpty{kEmptyElementList};
  static constexpr char kShort[] = "a\0p\0";
  static constexpr ElementSet kShortSet{kShort};
  const std::pair<const char*, const ElementSet*> sets[] = {
      {kFormattingElementList, &kFormatting}, {kEmptyElementList, &kEmpty}, {kShort, &kShortSet}};
  std::vector<std::string> names = {"", "x", "blinkingx", "postfieldss"};
  for (size_t id = 1; id < kElementIdCount; ++id) {
    const std::string name(kElementNames[id]);
    std::string upper = name;
    for (char& c : upper) c = ToUpperAscii(c);
    EXPECT_EQ(ElementIdOf(name), id);
    EXPECT_EQ(ElementIdOf(upper), id);
    names.insert(names.end(), {name, upper, name + "s", name.substr(1), "q" + name.substr(1)});
  }
  for (const auto& [list, set] : sets) {
    for (const std::string& name : names) {
      EXPECT_EQ(set->Holds(ElementIdOf(name)), IsNameInList(name.c_str(), list) != 0) << name;
    }
  }
  // The word-at-a-time match agrees with the lookup and the exact spelling,
  // also where one byte differs from a name's only in its 0x20 bit ("1"
  // against 0x11, "@" against "`").
  for (const std::string& name : names) {
    for (size_t flipped = 0; flipped <= name.size(); ++flipped) {
      std::string variant = name;
      if (flipped < name.size()) variant[flipped] = static_cast<char>(variant[flipped] ^ 0x20);
      const ElementMatch match = MatchElementName(variant);
      EXPECT_EQ(match.id, ElementIdOf(variant)) << variant;
      EXPECT_EQ(match.exact, match.id != kOtherElement && variant == kElementNames[match.id]) << variant;
    }
  }
  // Two records' names are equal by id as their bytes are ignoring case.
  std::vector<CXmlObject> records(names.size());
  for (size_t i = 0; i < names.size(); ++i) records[i].SetName(names[i].c_str());
  for (size_t i = 0; i < names.size(); ++i) {
    for (size_t j = 0; j < names.size(); ++j) {
      ASSERT_EQ(records[i].NameEquals(records[j]), EqualsIgnoringCase(names[i].c_str(), names[j].c_str()))
          << names[i] << " " << names[j];
    }
  }
}

TEST(NameList, IsBlank) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {
      {" \t\r\n ", 1}, {"", 1}, {"a", 0}, {"  x ", 0}, {"\x01\x1f\x20", 1}, {"\xA0", 0}, {"!", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsBlank(c.text), c.expected) << c.text;
  }
}

TEST(NameList, EqualsIgnoringCase) {
  EXPECT_TRUE(EqualsIgnoringCase("HrEf", "href"));
  EXPECT_FALSE(EqualsIgnoringCase("href", "hre"));
  EXPECT_FALSE(EqualsIgnoringCase(nullptr, "a"));
  EXPECT_FALSE(EqualsIgnoringCase("\xE9", "\xC9"));  // only ASCII letters fold
}

TEST(XmlObjectWriter, WritesRecordsAsMarkup) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"</p>", "</p>"},
      {"</P >", "</P>"},
      {"<br/>", "<br/>"},
      {"<BR />", "<BR/>"},
      {"<p>", "<p>"},
      {"< >", "<>"},
      {"<input checked>", "<input checked=\"\">"},
      {"<a  href = 'x.wml'  title=T >", "<a href=\"x.wml\" title=\"T\">"},
      {"<img src=a.gif alt=''/>", "<img src=\"a.gif\" alt=\"\"/>"},
      {"</br/>", "<br/>"},
      {"<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\">",
       "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\">"},
      {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\"?>"},
      {"<!-- keep  as is -->", "<!-- keep  as is -->"},
      {"<!-- DINCL A -->", "<!-- DINCL A -->"},
      {"a &amp; b\r\n", "a &amp; b\r\n"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Written(*Parsed(c.text)), c.expected) << c.text;
  }
}

TEST(XmlObjectWriter, WritesEditedNameAndValuesAsStored) {
  const auto record = Parsed("<a href=x>");
  record->SetName("anchor");
  record->SetAttribute("title", "say \"hi\"");
  record->SetAttribute("HREF", "");
  EXPECT_EQ(Written(*record), "<anchor HREF=\"\" title=\"say \"hi\"\">");

  CXmlObject retyped;
  retyped.SetText("<b>");
  EXPECT_EQ(Written(retyped), "<>");
}

TEST(XmlObjectWriter, MakeEndTag) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {{"<p class=x>", "</p>"}, {"<Card id=c1>", "</Card>"}, {"< >", "</>"}};
  for (const auto& c : cases) {
    const auto endTag = Parsed(c.text)->MakeEndTag();
    EXPECT_STREQ(endTag.GetText(), c.expected);
    EXPECT_EQ(endTag.IsTag(), 1);
    EXPECT_EQ(endTag.IsStartTag(), 0);
    EXPECT_EQ(endTag.IsClosedTag(), 1);
    EXPECT_EQ(Written(endTag), c.expected);
  }
  const auto renamed = Parsed("<p>");
  renamed->SetName("/td");
  EXPECT_STREQ(renamed->MakeEndTag().GetName(), "td");
}

}  // namespace
}  // namespace quillmark
