// Device markers: the keep decision for the tokens of a page, per device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/configuration.h"
#include "device/markers.h"
#include "markup/xml_object.h"

namespace quillmark {
namespace {

constexpr char kDevices[] =
    "DEVICE_GROUP=WAP_SMALL\nDEVICE_GROUP=WAP_LARGE\nDEVICE_GROUP=Mixed\n"
    "DEVICE=PHONE1;GROUP=WAP_SMALL\n"
    "DEVICE=PHONE2;GROUP=WAP_SMALL\n"
    "DEVICE=Phone3;GROUP=WAP_LARGE\n"
    "DEVICE=LOOSE\n"
    "DEVICE=MIXER;GROUP=Mixed\n";

std::unique_ptr<DeviceConfiguration> Configured(std::string text) {
  auto configuration = std::make_unique<DeviceConfiguration>();
  configuration->parseText(text.data());
  configuration->finish();
  return configuration;
}

// The device named `name`, or the built default device for "".
const CDevice* DeviceNamed(const DeviceConfiguration& configuration, const std::string& name) {
  if (name.empty()) return configuration.defaultDevice;
  for (const auto& device : configuration.deviceTable) {
    if (device->name == name) return device.get();
  }
  return nullptr;
}

// Cuts a page into tag tokens ("<...>") and text tokens.
std::vector<std::string> Tokens(const std::string& page) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at < page.size()) {
    const size_t end = page[at] == '<' ? page.find('>', at) + 1 : page.find('<', at);
    const size_t stop = end == std::string::npos ? page.size() : end;
    tokens.push_back(page.substr(at, stop - at));
    at = stop;
  }
  return tokens;
}

// Feeds the page's tokens to the marker state the way tree building does and
// returns the tokens kept, concatenated.
std::string Kept(const std::string& page, const DeviceConfiguration& configuration,
                 const CDevice* device) {
  CPrePocessControl state(configuration.defaultInclude);
  std::string kept;
  for (const std::string& token : Tokens(page)) {
    CXmlObject record;
    record.Parse(token.c_str(), static_cast<int32_t>(token.size()), configuration.markerWords);
    if (record.GetMarkerKind() != 0) {
      processMarker(state, record);
    } else if (keepContent(state, record, device) == 1) {
      kept += token;
    }
  }
  return kept;
}

struct MarkerCase {
  const char* page;
  bool excludeByDefault;
  const char* device;
  const char* expected;
};

const MarkerCase kMarkerCases[] = {
    {"<p>A</p>", false, "PHONE1", "<p>A</p>"},
    {"<p>A</p>", true, "PHONE1", ""},
    {"<!-- DINCL DEVICE=\"PHONE1\" -->A<!-- /DINCL -->B", false, "PHONE2", "AB"},
    {"<!-- DINCL DEVICE=\"PHONE1\" -->A<!-- /DINCL -->B", true, "PHONE1", "A"},
    {"<!-- DINCL DEVICE=\"PHONE1\" -->A<!-- /DINCL -->B", true, "PHONE2", ""},
    {"<!-- DEXCL DEVICE=\"WAP_SMALL\" -->X<!-- /DEXCL -->Y", false, "PHONE2", "Y"},
    {"<!-- DEXCL DEVICE=\"WAP_SMALL\" -->X<!-- /DEXCL -->Y", false, "Phone3", "XY"},
    {"<!-- DEXCL -->X<!-- /DEXCL -->Y", false, "Phone3", "Y"},
    {"<!-- DEXCL -->X<!-- /DEXCL -->Y", false, "", "Y"},
    {"<!-- DINCL DEVICE=\"*\" -->X<!-- /DINCL -->", true, "Phone3", "X"},
    {"<!-- DINCL DEVICE=\"WAP\" -->X<!-- /DINCL -->", true, "PHONE1", "X"},
    {"<!-- DINCL DEVICE=\"*\" -->X<!-- /DINCL -->", true, "LOOSE", ""},
    {"<!-- DINCL DEVICE=\"LOOSE\" -->X<!-- /DINCL -->", true, "LOOSE", "X"},
    // Lists are upper-cased, names are not: "Phone3" is never named.
    {"<!-- DINCL DEVICE=\"Phone3\" -->X<!-- /DINCL -->", true, "Phone3", ""},
    {"<!-- DINCL DEVICE=\"PHONE1\" -->X<!-- /DINCL -->", true, "PHONE1", "X"},
    {"<!-- DINCL DEVICE=\"mixed\" -->X<!-- /DINCL -->", true, "MIXER", ""},
    // The built default device has no name, so every list names it.
    {"<!-- DINCL DEVICE=\"NOBODY\" -->X<!-- /DINCL -->", true, "", "X"},
    {"<!-- DEXCL DEVICE=\"NOBODY\" -->X<!-- /DEXCL -->Y", false, "", "Y"},
    // Separators: blanks, commas and semicolons are equivalent.
    {"<!-- DINCL DEVICE=\"A PHONE2;C\" -->X<!-- /DINCL -->", true, "PHONE2", "X"},
    {"<!-- DINCL DEVICE=\"A,PHONE2,C\" -->X<!-- /DINCL -->", true, "PHONE2", "X"},
    {"<!-- DINCL DEVICE=\"APHONE2\" -->X<!-- /DINCL -->", true, "PHONE2", ""},
    // The innermost matching region decides.
    {"<!-- DINCL DEVICE=\"PHONE1\" -->A<!-- DEXCL DEVICE=\"PHONE1\" -->B<!-- /DEXCL -->C"
     "<!-- /DINCL -->D",
     true, "PHONE1", "AC"},
    {"<!-- DEXCL DEVICE=\"PHONE1\" -->A<!-- DINCL DEVICE=\"PHONE1\" -->B<!-- /DINCL -->C"
     "<!-- /DEXCL -->D",
     false, "PHONE1", "BD"},
    // Closing an include closes the exclude opened inside it.
    {"<!-- DINCL DEVICE=\"A\" --><!-- DEXCL DEVICE=\"PHONE1\" -->X<!-- /DINCL -->Y", false,
     "PHONE1", "Y"},
    // Both spellings of a stop comment close the region.
    {"<!--DEXCL-->X<!--/DEXCL-->Y", false, "PHONE1", "Y"},
    {"<!-- DEXCL -->X<!--   /DEXCL -->Y", false, "PHONE1", "Y"},
    // A stop comment without an open region of its kind changes nothing.
    {"<!-- DEXCL -->X<!-- /DINCL -->Y<!-- /DEXCL -->Z", false, "PHONE1", "Z"},
    {"A<!-- /DEXCL -->B", false, "PHONE1", "AB"},
    // Unclosed regions last to the end of the page.
    {"A<!-- DEXCL DEVICE=\"PHONE1\" -->B<p>C</p>", false, "PHONE1", "A"},
    // Plain comments are content, not markers.
    {"<!-- dincl -->A<!-- other -->", true, "PHONE1", ""},
    {"<!-- dincl -->A<!-- other -->", false, "PHONE1", "<!-- dincl -->A<!-- other -->"},
};

TEST(DeviceMarkers, KeepOrDropContentPerDevice) {
  for (const MarkerCase& c : kMarkerCases) {
    const std::string text =
        std::string(kDevices) + (c.excludeByDefault ? "DEFAULT_EXCLUDE=false\n" : "");
    auto configuration = Configured(text);
    const CDevice* device = DeviceNamed(*configuration, c.device);
    ASSERT_NE(device, nullptr) << c.device;
    SCOPED_TRACE(std::string(c.page) + " for " + c.device);
    EXPECT_EQ(Kept(c.page, *configuration, device), c.expected);
  }
}

TEST(DeviceMarkers, ConfiguredMarkerWordsReplaceTheDefaults) {
  auto configuration = Configured(std::string(kDevices) +
                                  "INCLUDE_TAG_START=ONLY\nINCLUDE_TAG_STOP=/ONLY\n"
                                  "EXCLUDE_TAG_START=SKIP\nEXCLUDE_TAG_STOP=ENDSKIP\n");
  const CDevice* phone = DeviceNamed(*configuration, "PHONE1");
  EXPECT_EQ(Kept("<!-- SKIP DEVICE=\"PHONE1\" -->X<!-- ENDSKIP -->Y", *configuration, phone),
            "Y");
  EXPECT_EQ(Kept("<!-- DEXCL -->X<!-- /DEXCL -->Y", *configuration, phone),
            "<!-- DEXCL -->X<!-- /DEXCL -->Y");
}

TEST(DeviceMarkers, MarkerMatchesReadsTheDeviceList) {
  auto configuration = Configured(kDevices);
  CPreProcObj marker;
  EXPECT_EQ(markerMatches(marker, DeviceNamed(*configuration, "LOOSE")), 1);
  marker.hasDevices = true;
  marker.devices = ",WAP_SMALL,";
  EXPECT_EQ(markerMatches(marker, DeviceNamed(*configuration, "PHONE2")), 1);
  EXPECT_EQ(markerMatches(marker, DeviceNamed(*configuration, "Phone3")), 0);
  EXPECT_EQ(markerMatches(marker, DeviceNamed(*configuration, "LOOSE")), 0);
  EXPECT_EQ(markerMatches(marker, configuration->defaultDevice), 1);
}

TEST(DeviceMarkers, KeepDecisionIsCachedUntilTheNextMarker) {
  auto configuration = Configured(kDevices);
  CPrePocessControl state(1);
  CXmlObject text;
  text.Parse("x", 1);
  const CDevice* phone = DeviceNamed(*configuration, "PHONE1");
  EXPECT_EQ(keepContent(state, text, phone), 1);
  EXPECT_EQ(state.decision, 1);
  CXmlObject exclude;
  const std::string comment = "<!-- DEXCL DEVICE=\"PHONE1\" -->";
  exclude.Parse(comment.c_str(), static_cast<int32_t>(comment.size()));
  processMarker(state, exclude);
  EXPECT_EQ(state.decision, 0);
  EXPECT_EQ(keepContent(state, text, phone), 0);
  EXPECT_EQ(state.decision, 2);
  EXPECT_EQ(keepContent(state, text, phone), 0);
  ASSERT_NE(state.markers, nullptr);
  EXPECT_EQ(state.markers->devices, ",PHONE1,");
  EXPECT_EQ(state.last, state.markers.get());
}

TEST(DeviceMarkers, ManyOpenRegionsAreReleasedWithoutRecursion) {
  auto state = std::make_unique<CPrePocessControl>(1);
  CXmlObject open;
  const std::string comment = "<!-- DINCL -->";
  open.Parse(comment.c_str(), static_cast<int32_t>(comment.size()));
  for (int i = 0; i < 200000; ++i) processMarker(*state, open);
  EXPECT_NE(state->last, state->markers.get());
  state.reset();
}

TEST(DeviceMarkers, ClosingAnOuterRegionReleasesManyInnerOnes) {
  CPrePocessControl state(1);
  CXmlObject include;
  CXmlObject exclude;
  CXmlObject stop;
  const std::string includeText = "<!-- DINCL -->";
  const std::string excludeText = "<!-- DEXCL DEVICE=\"A\" -->";
  const std::string stopText = "<!-- /DINCL -->";
  include.Parse(includeText.c_str(), static_cast<int32_t>(includeText.size()));
  exclude.Parse(excludeText.c_str(), static_cast<int32_t>(excludeText.size()));
  stop.Parse(stopText.c_str(), static_cast<int32_t>(stopText.size()));
  processMarker(state, exclude);
  processMarker(state, include);
  for (int i = 0; i < 200000; ++i) processMarker(state, exclude);
  processMarker(state, stop);
  ASSERT_NE(state.markers, nullptr);
  EXPECT_EQ(state.last, state.markers.get());
  EXPECT_EQ(state.markers->next, nullptr);
  EXPECT_EQ(state.markers->kind, 2);
}

// Many regions that do not name the device, each followed by content and
// then closed one by one: every region is examined once, not once per token.
TEST(DeviceMarkers, ManyRegionsAreDecidedInLinearTime) {
  auto configuration = Configured(kDevices);
  const CDevice* phone = DeviceNamed(*configuration, "PHONE1");
  std::string page = "<!-- DEXCL DEVICE=\"PHONE1\" -->";
  constexpr int kRegions = 100000;
  for (int i = 0; i < kRegions; ++i) page += "<!-- DINCL DEVICE=\"OTHER\" -->x";
  for (int i = 0; i < kRegions; ++i) page += "<!-- /DINCL -->y";
  page += "<!-- /DEXCL -->z";
  EXPECT_EQ(Kept(page, *configuration, phone), "z");
}

}  // namespace
}  // namespace quillmark
