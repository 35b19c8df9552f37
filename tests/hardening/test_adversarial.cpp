// Pages and configurations built to break a converter: each must convert in
// seconds, on a small stack, with the buffer contract intact.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/page_generator.h"
#include "device/configuration.h"
#include "interface/conversion.h"
#include "markup/conversion_budget.h"
#include "tests/interface/convert_helpers.h"

namespace quillmark {
namespace {

using bench::Repeated;

struct Outcome {
  int32_t written = 0;
  bool pastBudget = false;  // the conversion failed by its budget
  std::string deck;
  double seconds = 0;
};

// Converts `page` with `configuration` on a 256 KiB stack and a buffer that
// always fits (32 times the page plus slack covers every measured bound
// below, which the assertions confirm).
Outcome ConvertHostile(const std::string& page,
                       std::shared_ptr<const DeviceConfiguration> configuration = nullptr,
                       const char* device = nullptr) {
  if (!configuration) configuration = currentConfiguration();
  Outcome outcome;
  std::vector<char> buffer(page.size() * 32 + (1 << 16));
  const bool ran = testing::RunWithStack(256 * 1024, [&] {
    const auto start = std::chrono::steady_clock::now();
    try {
      outcome.written = ConvertPage(configuration, device, page.data(),
                                    static_cast<int32_t>(page.size()), buffer.data(),
                                    static_cast<int32_t>(buffer.size()));
    } catch (const ConversionBudgetExceeded&) {
      outcome.pastBudget = true;
    }
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  });
  EXPECT_TRUE(ran);
  outcome.deck = buffer.data();
  return outcome;
}

struct HostilePage {
  const char* name;
  std::string (*make)();
};

std::string AllBytes() {
  std::string page;
  for (int round = 0; round < 4000; ++round) {
    for (int byte = 0; byte < 256; ++byte) page.push_back(static_cast<char>(byte));
  }
  return page;
}

const HostilePage kHostilePages[] = {
    {"million nested b", [] { return Repeated("<b>", 1000000, "x"); }},
    {"million nested p", [] { return Repeated("<p>", 1000000, "x"); }},
    {"million nested div", [] { return Repeated("<div>", 1000000, "x"); }},
    {"million nested td", [] { return Repeated("<td>", 1000000, "x"); }},
    {"million nested font", [] { return Repeated("<font size=1>", 1000000, "x"); }},
    {"million siblings", [] { return Repeated("<br/>y", 1000000); }},
    {"10 MB attribute value", [] { return "<a href=\"" + std::string(10 << 20, 'v') + "\">x</a>"; }},
    {"tag that never closes", [] { return "text<a href=\"" + std::string(10 << 20, 'v'); }},
    {"unmatched end tags", [] { return Repeated("<div>", 100000) + Repeated("</span>", 100000); }},
    {"end tags of outer elements", [] { return Repeated("<i><u>", 100000) + Repeated("</i>", 100000); }},
    {"only open brackets", [] { return std::string(1 << 20, '<'); }},
    {"only close brackets", [] { return std::string(1 << 20, '>'); }},
    {"bytes 0 to 255", AllBytes},
    {"nested tables", [] { return Repeated("<table><tr><td>", 100000, "x"); }},
    {"nested named anchors", [] { return Repeated("<a name=n>", 20000, "x"); }},
    // Each space that goes is passed by the walks of the spaces after it.
    {"spaced images", [] { return Repeated(" <img src=a.gif>", 100000); }},
    {"spaced named anchors", [] { return Repeated("<a name=n>x</a> ", 100000); }},
    // A heading asks whether text comes before it, past the links before.
    {"linked headings", [] { return Repeated("<a href=x><h3>t</h3></a>", 100000); }},
    // Each option gives its text to the bold around it, which gives it on.
    {"options nested in bold", [] { return Repeated("<b><option>q", 100000); }},
    // Text filtered again at each depth draws from the budget, but a
    // thousand depths of it stay within.
    {"refiltered options a thousand deep", [] { return Repeated("<p>p<option>q", 1000); }},
    {"nested headings", [] { return Repeated("<h1>", 100000, "x"); }},
    {"flat forms", [] { return Repeated("<form><input name=q><input type=submit></form>", 20000); }},
    // Each form posts the fields of the forms nested in it.
    {"nested forms", [] { return Repeated("<form><input type=submit>", 50000); }},
    {"many buttons in one form",
     // Each button posts the five fields: the deck grows with buttons times
     // fields, the work must not grow with buttons times the whole form.
     [] { return "<form>" + Repeated("<input name=q>", 5) + Repeated("<input type=submit>", 20000) +
                 "</form>"; }},
    {"unclosed quote", [] { return "<a title=\"" + Repeated("x>y ", 500000); }},
    {"server block never ends", [] { return "<% " + Repeated("a > b ", 500000); }},
};

class Hostile : public ::testing::TestWithParam<HostilePage> {};

TEST_P(Hostile, ConvertsQuicklyOnASmallStack) {
  const std::string page = GetParam().make();
  const Outcome outcome = ConvertHostile(page);
  ASSERT_GT(outcome.written, 0) << GetParam().name;
  EXPECT_EQ(outcome.written, static_cast<int32_t>(outcome.deck.size()));
  EXPECT_EQ(outcome.deck.rfind("<?xml", 0), 0u);
  EXPECT_NE(outcome.deck.find("</wml>"), std::string::npos);
  // A generous bound: the point is seconds, not the minutes a quadratic
  // step would take, even under sanitizers on a busy machine.
  EXPECT_LT(outcome.seconds, 60.0) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Hardening, Hostile, ::testing::ValuesIn(kHostilePages),
                         [](const ::testing::TestParamInfo<HostilePage>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c != '\0'; ++c) {
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           }
                           return name;
                         });

// A configuration read from `text`, as the file reader would build it.
std::shared_ptr<const DeviceConfiguration> ConfigurationFrom(std::string text) {
  auto configuration = std::make_shared<DeviceConfiguration>();
  configuration->parseText(text.data());
  configuration->finish();
  return configuration;
}

TEST(Hardening, ReplacementsThatContainTheirOwnTagEnd) {
  struct Case {
    const char* file;
    const char* page;
    const char* expected;  // in the deck's paragraph
  };
  const Case cases[] = {
      {"DEVICE_GROUP=G\nTAG_REPLACE=b=<b>x|</b>\n", "<b>y</b>", "<b>xy</b>"},
      {"DEVICE_GROUP=G\nTAG_REPLACE=b=<i><b></i>|,i=<b>|\n", "<b>y", "y"},
      {"DEVICE_GROUP=G\nTAG_REPLACE=a=<b>|</b>,b=<a>|</a>\n", "<a href=x>y</a>", "y"},
      {"DEVICE_GROUP=G\nTAG_REPLACE=br=<br/><br/>|\n", "a<br>b", "a<br/><br/>b"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = ConvertHostile(c.page, ConfigurationFrom(c.file));
    ASSERT_GT(outcome.written, 0) << c.file;
    EXPECT_NE(outcome.deck.find(c.expected), std::string::npos) << c.file << outcome.deck;
  }
}

TEST(Hardening, ReplacementsThatMultiplyStayBounded) {
  // Each entry doubles the next: without a bound the expansion is 2^40.
  std::string list;
  for (int i = 0; i < 40; ++i) {
    const std::string tag = "t" + std::to_string(i);
    const std::string next = "t" + std::to_string(i + 1);
    list += (i ? "," : "") + tag + "=<" + next + "/><" + next + "/>|";
  }
  const Outcome outcome = ConvertHostile("<t0/>", ConfigurationFrom("DEVICE_GROUP=G\nTAG_REPLACE=" + list + "\n"));
  EXPECT_TRUE(outcome.pastBudget);
  EXPECT_EQ(outcome.written, 0);
  EXPECT_LT(outcome.seconds, 10.0);
}

TEST(Hardening, PagesThatExpandPastTheBudgetFail) {
  // Entries that each expand four-fold, and every field posted by every button.
  const std::string fourFold = "DEVICE_GROUP=G\nTAG_REPLACE=b=<i/><i/><i/><i/>|,i=<u/><u/><u/><u/>|,"
                               "u=<s/><s/><s/><s/>|,s=<em/><em/><em/><em/>|,em=<br/><br/><br/><br/>|\n";
  const std::string fields = "<form>" + Repeated("<input name=field>", 400) + Repeated("<input type=submit>", 400);
  const Outcome replaced = ConvertHostile(Repeated("<b>", 8000), ConfigurationFrom(fourFold));
  // At 800 KB the budget allows tens of megabytes of markup: counted by its
  // bytes alone, its millions of nodes took seconds and a gigabyte.
  const Outcome replacedLarge = ConvertHostile(Repeated("<b>", 270000), ConfigurationFrom(fourFold));
  const Outcome posted = ConvertHostile(fields);
  // Each button of nested forms passes the unnamed fields of all the forms inside its own.
  const Outcome nested = ConvertHostile(Repeated("<form><input>", 20000) + Repeated("<input type=submit></form>", 20000));
  // An option's text rises through every depth, and each depth leaves a
  // rule among it that the next option refuses. Links nest so only when the
  // page is read by its tags alone; read as HTML, each ends the one before.
  const Outcome refiltered = ConvertHostile(Repeated("<anchor><hr><option>q", 100000));
  const Outcome refilteredLinks = ConvertHostile(Repeated("<a href=x><hr><option>q", 100000),
                                                 ConfigurationFrom("DEVICE_GROUP=G\nBLOCK_BREAKS=false\n"));
  // A long base resolves every link after it into a long target.
  const Outcome based =
      ConvertHostile("<base href=\"http://h/" + std::string(200000, 'x') + "/\">" + Repeated("<a href=y>l</a>", 100000));
  for (const Outcome* outcome : {&replaced, &replacedLarge, &posted, &nested, &refiltered, &refilteredLinks, &based}) {
    EXPECT_TRUE(outcome->pastBudget);
    EXPECT_LT(outcome->seconds, 60.0);
  }
}

TEST(Hardening, MegabyteOfRandomConfigurationBytes) {
  std::mt19937 random(99);
  for (int round = 0; round < 3; ++round) {
    std::string text(1 << 20, '\0');
    for (char& c : text) c = static_cast<char>(random() % 256);
    // The file ends at its first NUL byte: start past them to read it all.
    for (char& c : text) {
      if (c == '\0') c = '=';
    }
    const Outcome outcome = ConvertHostile("<p>Hello</p>", ConfigurationFrom(text), "x");
    EXPECT_GT(outcome.written, 0);
    EXPECT_NE(outcome.deck.find("Hello"), std::string::npos);
  }
}

}  // namespace
}  // namespace quillmark
