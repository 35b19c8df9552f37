// The reader's tokenising rules and key effects, driven through parseText on
// texts as they would stand in a configuration file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/configuration.h"

namespace quillmark {
namespace {

// A configuration built from `text` the way a load builds it.
std::unique_ptr<DeviceConfiguration> Parsed(std::string text) {
  auto configuration = std::make_unique<DeviceConfiguration>();
  configuration->parseText(text.data());
  configuration->finish();
  return configuration;
}

std::vector<std::string> GroupNames(const DeviceConfiguration& configuration) {
  std::vector<std::string> names;
  for (const auto& group : configuration.groupTable) names.push_back(group->name);
  return names;
}

struct ValueCase {
  const char* text;
  const char* expected;  // the value INCLUDE_TAG_START ends up with
};

// Every value rule, observed through the include-start marker word.
const ValueCase kValueCases[] = {
    {"INCLUDE_TAG_START=plain", "plain"},
    {"include_tag_start=lower", "lower"},
    {"INCLUDE_TAG_START  =blanks", "blanks"},
    {"INCLUDE_TAG_START= lead", " lead"},
    {"INCLUDE_TAG_START=trail  \t", "trail"},
    {"INCLUDE_TAG_START=cut // comment", "cut"},
    {"INCLUDE_TAG_START=a/b", "a/b"},
    {"INCLUDE_TAG_START=\"x;y\"", "x;y"},
    {"INCLUDE_TAG_START=\"keep // this\"", "keep // this"},
    {"INCLUDE_TAG_START=\"say \\\"hi\\\"\"", "say \"hi\""},
    {"INCLUDE_TAG_START=\"unclosed\nNEXT=1", "unclosed"},
    {"INCLUDE_TAG_START=a\\;b", "a;b"},
    {"INCLUDE_TAG_START=two\\\\one", "two\\one"},
    {"INCLUDE_TAG_START=tab\\tin", "tab\tin"},
    {"INCLUDE_TAG_START=end\\n", "end"},
    {"INCLUDE_TAG_START=crlf\r\n", "crlf"},
    {"INCLUDE_TAG_START=cr\rINCLUDE_TAG_STOP=x", "cr"},
    {"INCLUDE_TAG_START=lone\\", "lone"},
    {"INCLUDE_TAG_START=", ""},
    {"INCLUDE_TAG_START=first;INCLUDE_TAG_START=second", "second"},
    {"INCLUDE_TAG_START=\"quoted\"INCLUDE_TAG_START=after", "after"},
    {"// INCLUDE_TAG_START=commented", "DINCL"},
    {"INCLUDE_TAG_START // no equals sign\n", "DINCL"},
    {"INCLUDE;_TAG_START=x", "DINCL"},
    {"INCLUDE_TAG_START\n=x", "DINCL"},
    {"INCLUDE_TAG_START=\xe9t\xe9", "\xe9t\xe9"},
    {"INCLUDE_TAG_START=\x01\x02", ""},
};

TEST(ConfigurationText, ValuesFollowTheTokenisingRules) {
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Parsed(c.text)->markerWords.includeStart, c.expected);
  }
}

TEST(ConfigurationText, ScanningStopsAtTheFirstNulByte) {
  const std::string text("DEVICE_GROUP=A\n\0DEVICE_GROUP=B\n", 32);
  EXPECT_EQ(GroupNames(*Parsed(text)), std::vector<std::string>{"A"});
}

struct GroupCase {
  const char* text;
  std::vector<std::string> expected;
};

TEST(ConfigurationText, SplitsPairsAtLineEndsAndSemicolons) {
  const GroupCase cases[] = {
      {"", {"WAP_SMALL", "WAP_MEDIUM", "WAP_LARGE"}},
      {"DEVICE_GROUP=SMALL", {"SMALL"}},
      {"device_group=x // comment", {"x"}},
      {"DEVICE_GROUP=A;DEVICE_GROUP=B", {"A", "B"}},
      {"DEVICE_GROUP=A\r\nDEVICE_GROUP=B\r\n", {"A", "B"}},
      {";;  DEVICE_GROUP=A ;\n\n\tDEVICE_GROUP = B", {"A", " B"}},
      {"DEVICE_GROUP=\"A;B\"", {"A;B"}},
      {"UNKNOWN=1\nDEVICE_GROUP=A", {"A"}},
      // A byte-order mark, as Windows editors write one, is no part of the first key.
      {"\xEF\xBB\xBF" "DEVICE_GROUP=A\r\nDEVICE_GROUP=B", {"A", "B"}},
      {"DEVICE_GROUP=A\n\xEF\xBB\xBF" "DEVICE_GROUP=B", {"A"}},
  };
  for (const GroupCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(GroupNames(*Parsed(c.text)), c.expected);
  }
}

TEST(ConfigurationText, DocTypeMustBeQuotedToKeepItsIdentifier) {
  auto unquoted = Parsed(
      "DEVICE_GROUP=G\n"
      "DOCTYPE=<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.2//EN\">\n");
  EXPECT_STREQ(unquoted->groupTable[0]->settings->docType, "<!DOCTYPE wml PUBLIC \"-");
  auto quoted = Parsed(
      "DEVICE_GROUP=G\n"
      "DOCTYPE=\"<!DOCTYPE wml PUBLIC \\\"-//WAPFORUM//DTD WML 1.2//EN\\\">\"\n");
  EXPECT_STREQ(quoted->groupTable[0]->settings->docType,
               "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.2//EN\">");
}

TEST(ConfigurationKeys, FlagKeysReadTheirWords) {
  struct FlagCase {
    const char* value;
    int32_t defaultInclude;  // and blockBreaks: only "false" turns them off
    int32_t tables;
  };
  const FlagCase cases[] = {
      {"False", 0, 0}, {"false", 0, 0}, {"true", 1, 1}, {"TRUE", 1, 1},
      {"no", 1, 0},    {"yes", 1, 0},   {"", 1, 0},     {"falsey", 1, 0},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.value);
    const std::string text = std::string("DEFAULT_EXCLUDE=") + c.value + "\nDEVICE_GROUP=G\nTABLES=" + c.value +
                             "\nBLOCK_BREAKS=" + c.value + "\nDEVICE=D\nBLOCK_BREAKS=" + c.value;
    auto configuration = Parsed(text);
    EXPECT_EQ(configuration->defaultInclude, c.defaultInclude);
    EXPECT_EQ(configuration->groupTable[0]->settings->tables, c.tables);
    EXPECT_EQ(configuration->groupTable[0]->settings->blockBreaks, c.defaultInclude);
    EXPECT_EQ(configuration->deviceTable[0]->settings->blockBreaks, c.defaultInclude);
  }
}

TEST(ConfigurationKeys, MarkerWordsAreSetAndTruncated) {
  auto configuration = Parsed(
      "INCLUDE_TAG_START=IN\nINCLUDE_TAG_STOP=/IN\nEXCLUDE_TAG_START=EX\n"
      "EXCLUDE_TAG_STOP=" +
      std::string(100, 'Z'));
  EXPECT_EQ(configuration->markerWords.includeStart, "IN");
  EXPECT_EQ(configuration->markerWords.includeStop, "/IN");
  EXPECT_EQ(configuration->markerWords.excludeStart, "EX");
  EXPECT_EQ(configuration->markerWords.excludeStop, std::string(63, 'Z'));
}

TEST(ConfigurationKeys, TagReplaceStoresACompactCommaList) {
  auto configuration = Parsed(
      "DEVICE_GROUP=G\nTAG_REPLACE=x=<x>|</x>\nTAG_REPLACE=b=<b>|</b>, i=<i>|</i>\n");
  EXPECT_STREQ(configuration->groupTable[0]->settings->tagReplace, ",b=<b>|</b>,i=<i>|</i>,");
}

TEST(ConfigurationKeys, LongTextsAreTruncatedToTheirFields) {
  const std::string text = "DEVICE_GROUP=G\nXMLVERSION=" + std::string(300, 'x') +
                           "\nDOCTYPE=" + std::string(300, 'd') + "\nTAG_REPLACE=" +
                           std::string(2000, 't');
  auto configuration = Parsed(text);
  const CWmlSettings& settings = *configuration->groupTable[0]->settings;
  EXPECT_EQ(std::string(settings.xmlVersion), std::string(127, 'x'));
  EXPECT_EQ(std::string(settings.docType), std::string(255, 'd'));
  EXPECT_EQ(std::string(settings.tagReplace), "," + std::string(1045, 't') + ",");
}

TEST(ConfigurationKeys, SectionKeysOutsideTheirSectionAreIgnored) {
  auto configuration = Parsed(
      "XMLVERSION=early\nUSERAGENT=*\nGROUP=WAP_SMALL\n"
      "DEVICE_GROUP=G\nUSERAGENT=*\nGROUP=G\n"
      "DEVICE=D\nGROUP=NOWHERE\nUSERAGENT=first*\nUSERAGENT=second*\n");
  ASSERT_EQ(configuration->groupTable.size(), 1u);
  EXPECT_FALSE(configuration->groupTable[0]->settings);
  ASSERT_EQ(configuration->deviceTable.size(), 1u);
  const CDevice& device = *configuration->deviceTable[0];
  EXPECT_STREQ(device.Name(), "D");
  EXPECT_STREQ(device.UserAgent(), "second*");
  EXPECT_EQ(device.group, nullptr);
  EXPECT_FALSE(device.settings);
}

TEST(ConfigurationKeys, GroupFindsTheFirstEarlierGroupIgnoringCase) {
  auto configuration = Parsed(
      "DEVICE_GROUP=Alpha\nDEVICE_GROUP=ALPHA\n"
      "DEVICE=EARLY\nGROUP=later\nGROUP=alpha\n"
      "DEVICE_GROUP=Later\n");
  const CDevice& device = *configuration->deviceTable[0];
  EXPECT_EQ(device.group, configuration->groupTable[0].get());
}

TEST(ConfigurationKeys, DeviceSettingsCopyTheGroupTextsAtEverySettingsKey) {
  auto configuration = Parsed(
      "DEVICE_GROUP=G\nXMLVERSION=<?xml group?>\nDOCTYPE=group-doctype\n"
      "TAG_REPLACE=b=<strong>|</strong>\nTABLES=false\n"
      "DEVICE=D\nGROUP=G\nXMLVERSION=A\nDOCTYPE=B\n"
      "DEVICE=E\nGROUP=G\nXMLVERSION=A\nTABLES=true\n");
  const CDevice& d = *configuration->deviceTable[0];
  ASSERT_TRUE(d.settings);
  EXPECT_STREQ(d.settings->xmlVersion, "<?xml group?>");
  EXPECT_STREQ(d.settings->docType, "B");
  EXPECT_STREQ(d.settings->tagReplace, "");
  EXPECT_EQ(d.settings->tables, 1);
  EXPECT_EQ(&settingsOf(&d), d.settings.get());
  const CDevice& e = *configuration->deviceTable[1];
  EXPECT_STREQ(e.settings->xmlVersion, "<?xml group?>");
  EXPECT_STREQ(e.settings->docType, "group-doctype");
}

TEST(ConfigurationKeys, DeviceSettingsOnlyForXmlVersionKeepOtherDefaults) {
  auto configuration = Parsed("DEVICE=D\nXMLVERSION=<?xml version=\"1.1\"?>\n");
  const CDevice& device = *configuration->deviceTable[0];
  const CWmlSettings& settings = settingsOf(&device);
  EXPECT_EQ(&settings, device.settings.get());
  EXPECT_STREQ(settings.xmlVersion, "<?xml version=\"1.1\"?>");
  EXPECT_STREQ(settings.docType, LibraryDefaultSettings().docType);
}

TEST(ConfigurationFinish, NoFileGivesThreeGroupsAndABuiltDefaultDevice) {
  auto configuration = Parsed("");
  EXPECT_EQ(GroupNames(*configuration),
            (std::vector<std::string>{"WAP_SMALL", "WAP_MEDIUM", "WAP_LARGE"}));
  EXPECT_TRUE(configuration->deviceTable.empty());
  ASSERT_NE(configuration->defaultDevice, nullptr);
  EXPECT_EQ(configuration->defaultDevice, configuration->builtDefault.get());
  EXPECT_EQ(configuration->defaultDevice->Name(), nullptr);
  EXPECT_EQ(configuration->defaultDevice->UserAgent(), nullptr);
  EXPECT_EQ(configuration->defaultDevice->group, configuration->groupTable[0].get());
  EXPECT_EQ(&settingsOf(configuration->defaultDevice), &LibraryDefaultSettings());
  EXPECT_EQ(configuration->defaultInclude, 1);
  EXPECT_EQ(configuration->markerWords.includeStart, "DINCL");
  EXPECT_EQ(configuration->markerWords.excludeStop, "/DEXCL");
}

TEST(ConfigurationFinish, BuiltDefaultDeviceBelongsToTheFirstGroup) {
  auto configuration = Parsed("DEVICE_GROUP=SMALL\nXMLVERSION=small-xml\nDEVICE_GROUP=BIG\n");
  EXPECT_EQ(GroupNames(*configuration), (std::vector<std::string>{"SMALL", "BIG"}));
  EXPECT_STREQ(settingsOf(configuration->defaultDevice).xmlVersion, "small-xml");
}

TEST(ConfigurationFinish, TheLastDefaultSectionIsTheDefaultDevice) {
  auto configuration = Parsed("DEVICE=default\nDEVICE=X\nDEVICE=Default\nDEVICE=Y\n");
  EXPECT_EQ(configuration->defaultDevice, configuration->deviceTable[2].get());
  EXPECT_FALSE(configuration->builtDefault);
}

TEST(ConfigurationCapacity, TablesGrowBeyondTheHistoricLimits) {
  std::string text;
  for (int i = 0; i < 150; ++i) text += "DEVICE_GROUP=G" + std::to_string(i) + "\n";
  for (int i = 0; i < 12000; ++i) text += "DEVICE=D" + std::to_string(i) + ";GROUP=G149\n";
  auto configuration = Parsed(text);
  EXPECT_EQ(configuration->groupTable.size(), 150u);
  ASSERT_EQ(configuration->deviceTable.size(), 12000u);
  EXPECT_EQ(configuration->deviceTable.back()->group, configuration->groupTable.back().get());
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// The output keys of the first device after reading `text`, as
// "ENTITIES DOLLAR CHARSET BLOCK_BREAKS AMPERSAND".
std::string OutputKeysOfFirstDevice(const std::string& text) {
  auto configuration = Parsed(text);
  const CWmlSettings& s = settingsOf(configuration->deviceTable.front().get());
  return std::to_string(s.convertEntities) + std::to_string(s.doubleDollars) + std::to_string(s.transcode) +
         std::to_string(s.blockBreaks) + " " + s.ampersandText;
}

TEST(ConfigurationOutputKeys, ValuesAndInheritance) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"DEVICE=D\nDEVICE=Z\n", "1111 ;"},
      {"DEVICE_GROUP=G\nENTITIES=KEEP\nDOLLAR=keep\nCHARSET=Bytes\nAMPERSAND=&amp;\nBLOCK_BREAKS=false\n"
       "DEVICE=D;GROUP=G\n",
       "0000 &amp;"},
      {"DEVICE_GROUP=G\nENTITIES=convert\nDOLLAR=yes\nCHARSET=utf-8\nBLOCK_BREAKS=no\nDEVICE=D;GROUP=G\n", "1111 ;"},
      // A device with settings of its own still takes the group's output keys
      // it does not set, wherever its GROUP line stands.
      {"DEVICE_GROUP=G\nENTITIES=keep\nAMPERSAND=&amp;\nBLOCK_BREAKS=false\nDEVICE=D\nTABLES=true\nGROUP=G\nDOLLAR=keep\n",
       "0010 &amp;"},
      // A reference keeps the ";" that would otherwise end the value.
      {"DEVICE=D\nAMPERSAND=&#38;\nDEVICE=Z\n", "1111 &#38;"},
      {"DEVICE=D\nAMPERSAND=\"&amp;\"\nDEVICE=Z\n", "1111 &amp;"},
      {"DEVICE=D\nAMPERSAND=+\nDEVICE=Z\n", "1111 +"},
      // Its own keys win over the group's, also over later settings keys.
      {"DEVICE_GROUP=G\nENTITIES=keep\nAMPERSAND=&amp;\nBLOCK_BREAKS=false\nDEVICE=D;GROUP=G\nAMPERSAND=/\nENTITIES=on\n"
       "BLOCK_BREAKS=true\nTABLES=true\n",
       "1111 /"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(OutputKeysOfFirstDevice(text), expected) << text;
}

}  // namespace
}  // namespace quillmark
