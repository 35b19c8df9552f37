// The notes the reader takes for a file's author: which lines it ignores,
// cuts or reads otherwise than they seem to say, and that taking them
// leaves the reading as it is.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/configuration.h"

namespace quillmark {
namespace {

std::vector<ConfigurationNote> NotesOn(std::string text) {
  DeviceConfiguration configuration;
  std::vector<ConfigurationNote> notes;
  configuration.parseText(text.data(), &notes);
  return notes;
}

struct NoteCase {
  std::string text;
  // "LINE: part of the note", one per note expected, in order.
  std::vector<std::string> notes;
};

const NoteCase kNoteCases[] = {
    // What the reader's rules allow reads without a note.
    {"// a comment\n# another\ndevice_group=G // the group\nTABLES=TRUE\nBLOCK_BREAKS=false\n"
     "DOCTYPE=\"<!DOCTYPE wml PUBLIC \\\"-//WAPFORUM//DTD WML 1.1//EN\\\">\"\nAMPERSAND=&amp;\n"
     "MAX_CARD_SIZE=1400;MAX_DECK_SIZE=8000\nTAG_REPLACE=b=<b>|</b>, i=<i>|</i>\nENTITIES=keep\n"
     "DEVICE=P; USERAGENT=*Phone*; GROUP=g\n#DEVICE=OLD\nDEVICE=DEFAULT\n",
     {}},
    {"DEVICE_GROUP=G\nMAX_CARD_SIZE=1,400\nMAX_DECK_SIZE=big\nMAX_DECK_SIZE=99999999999\n",
     {"2: MAX_CARD_SIZE=\"1,400\" is not a number of bytes: read as 1",
      "3: MAX_DECK_SIZE=\"big\" is not a number of bytes: read as 0 (no limit)",
      "4: is too large: read as 2147483647"}},
    {"DEVICE_GROUP=G\nTABLES=yes\nBLOCK_BREAKS=no\nENTITIES=drop\nDOLLAR=single\nCHARSET=latin1\nDEFAULT_EXCLUDE=1\n",
     {"2: TABLES=\"yes\" is neither true nor false: read as false", "3: read as true",
      "4: is neither convert nor keep: read as convert", "5: read as double", "6: read as convert",
      "7: DEFAULT_EXCLUDE=\"1\" is neither true nor false: read as true"}},
    {"MAX_CARD_SIZE 1400\nMAX_CARDSIZE=1400\nTABLES=false\n=5\nUSERAGENT=*x*\n",
     {"1: \"MAX_CARD_SIZE 1400\" is no KEY=value pair", "2: unknown key \"MAX_CARDSIZE\": ignored (MAX_CARD_SIZE?)",
      "3: TABLES before any DEVICE_GROUP or DEVICE line", "4: a value without a key",
      "5: USERAGENT before any DEVICE line"}},
    {"DEVICE_GROUP=A\nGROUP=A\nDEVICE=D\nGROUP=B\nDEVICE_GROUP=B\nDEVICE_GROUP=a\nDEVICE=E;USERAGENT=*e*;GROUP=none\n"
     "DEVICE=LAST;USERAGENT=*l*\n",
     {"2: GROUP in the section of group \"A\"", "3: device \"D\" has no USERAGENT",
      "4: GROUP=\"B\" names no group defined above it: device \"D\" keeps no group (that group is defined on line 5",
      "6: group \"a\" is defined again: GROUP=a finds the group of line 1",
      "7: GROUP=\"none\" names no group defined above it: device \"E\" keeps no group",
      "8: device \"LAST\" is the last one, whose USERAGENT is never tried"}},
    {"DEVICE=DEFAULT\nDEVICE=default\nDEVICE=X;USERAGENT=*\n",
     {"1: device \"DEFAULT\" has no USERAGENT",
      "2: a second DEVICE=DEFAULT: it replaces the default device of line 1"}},
    {"DEVICE_GROUP=G\nDOCTYPE=<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\">\n"
     "DOCTYPE=\"<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\">\"\nNEXT_LABEL=\"More\" ; BACK_LABEL=\"Up\" // "
     "c\n",
     {"2: the value of DOCTYPE is cut at \"//\", which begins a comment",
      "3: text after the closing quote of the value of DOCTYPE is read as further pairs"}},
    {"DEVICE_GROUP=G\nNEXT_LABEL=\"More\nBACK_LABEL=\"Up \\\"x\\\"\"\nXMLVERSION=\"<?xml version='1.0'?>\\",
     {"2: the quoted value of NEXT_LABEL has no closing quote: it runs to the end of its line",
      "4: the quoted value of XMLVERSION has no closing quote"}},
    {"DEVICE_GROUP=G\nXMLVERSION=" + std::string(130, 'x') + "\nINCLUDE_TAG_START=" + std::string(64, 'w') +
         "\nNEXT_LABEL=" + std::string(63, 'n') + "\n",
     {"2: the value of XMLVERSION is 130 characters long: only its first 127 are kept",
      "3: the value of INCLUDE_TAG_START is 64 characters long: only its first 63"}},
    {"DEVICE_GROUP=G\nNEXT_LABEL=More\nDEVICE=D;USERAGENT=*d*;GROUP=G\nNEXT_LABEL=\"  \"\nBACK_LABEL=\nDEVICE=X\n",
     {"4: NEXT_LABEL=\"\" would leave the link to the next card or part without text: ignored"}},
    {"DEVICE_GROUP=G\nXMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-l\\\"?>\"\n"
     "XMLVERSION=\"<?xml version='1.0' encoding=' utf-16 '?>\"\nXMLVERSION=<?xml version='1.0'?>\n",
     {"2: XMLVERSION names the encoding \"ISO-8859-l\", which iconv does not know"}},
};

TEST(ConfigurationNotes, NameTheLinesReadOtherwiseThanTheySeem) {
  for (const NoteCase& c : kNoteCases) {
    const std::vector<ConfigurationNote> notes = NotesOn(c.text);
    std::vector<std::string> seen;
    for (const ConfigurationNote& note : notes) seen.push_back(std::to_string(note.line) + ": " + note.text);
    ASSERT_EQ(seen.size(), c.notes.size()) << c.text << "\nnotes:\n" << testing::PrintToString(seen);
    for (std::size_t i = 0; i < seen.size(); ++i) {
      const std::string& expected = c.notes[i];
      const std::string line = expected.substr(0, expected.find(':') + 2);
      EXPECT_EQ(seen[i].rfind(line, 0), 0u) << seen[i] << " should be on line " << line;
      EXPECT_NE(seen[i].find(expected.substr(line.size())), std::string::npos) << seen[i] << "\nexpected: " << expected;
    }
  }
}

// The groups, devices and settings a configuration holds, as one text.
std::string Summary(const DeviceConfiguration& configuration) {
  std::ostringstream out;
  out << configuration.defaultInclude << configuration.markerWords.includeStart
      << configuration.markerWords.excludeStop;
  for (const auto& group : configuration.groupTable) {
    out << "|G" << group->name;
    if (group->settings) out << group->settings->tagReplace << group->settings->maxCardSize << group->settings->docType;
  }
  for (const auto& device : configuration.deviceTable) {
    out << "|D" << device->name << device->hasUserAgent << device->userAgent
        << (device->group ? device->group->name : "-");
    const CWmlSettings& settings = settingsOf(device.get());
    out << settings.xmlVersion << settings.tables << settings.maxDeckSize << settings.nextLabel
        << settings.ampersandText;
  }
  return out.str();
}

TEST(ConfigurationNotes, TakingThemLeavesTheReadingAsItIs) {
  std::ifstream file(std::string(QUILLMARK_SOURCE_DIR) + "/examples/devices.cfg");
  std::stringstream example;
  example << file.rdbuf();
  std::vector<std::string> texts = {example.str()};
  for (const NoteCase& c : kNoteCases) texts.push_back(c.text);
  for (const std::string& text : texts) {
    DeviceConfiguration plain;
    std::string plainText = text;
    plain.parseText(plainText.data());
    plain.finish();
    DeviceConfiguration noted;
    std::string notedText = text;
    std::vector<ConfigurationNote> notes;
    noted.parseText(notedText.data(), &notes);
    noted.finish();
    EXPECT_EQ(Summary(noted), Summary(plain)) << text;
    EXPECT_EQ(notedText, plainText) << text;
  }
  EXPECT_TRUE(NotesOn(example.str()).empty()) << "the sample configuration reads as it says";
}

// A link without text cannot be chosen: such a label leaves the one the
// section had, its group's or the default.
TEST(ConfigurationNotes, ANextLabelThatShowsNothingLeavesTheLabelBefore) {
  for (const char* blank : {"", "   ", "\" \""}) {
    DeviceConfiguration configuration;
    std::string text = std::string("DEVICE_GROUP=G\nNEXT_LABEL=More\nDEVICE=D;USERAGENT=*d*;GROUP=G\nNEXT_LABEL=") +
                       blank + "\nDEVICE_GROUP=H\nNEXT_LABEL=" + blank + "\nDEVICE=E;USERAGENT=*e*;GROUP=H\n";
    configuration.parseText(text.data());
    configuration.finish();
    ASSERT_EQ(configuration.deviceTable.size(), 2u);
    EXPECT_STREQ(settingsOf(configuration.deviceTable[0].get()).nextLabel, "More") << blank;
    EXPECT_STREQ(settingsOf(configuration.deviceTable[1].get()).nextLabel, "Next") << blank;
  }
}

}  // namespace
}  // namespace quillmark
