// Many threads converting at once while the configuration file is rewritten:
// every deck must be exactly the deck of its page under one whole
// configuration, the one it saw.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/page_generator.h"
#include "device/configuration.h"
#include "interface/conversion.h"
#include "interface/quillmark.h"

namespace quillmark {
namespace {

constexpr int kVersions = 6;
constexpr int kThreads = 8;
constexpr int kRewrites = 25;  // not a multiple of kVersions: the last version is not the first
constexpr int kLeastConversions = 150;

// Version `k` of the configuration file. The version shows in the deck's
// first line, and the versions differ in what they replace and which
// content their marker words keep.
std::string ConfigurationText(int k) {
  std::string text = "DEVICE_GROUP=G\n";
  text += "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"v" + std::to_string(k) + "\\\"?>\"\n";
  if (k % 2 == 1) text += "TAG_REPLACE=b=<strong>|</strong>, i=|\n";
  if (k % 3 == 2) text += "DEFAULT_EXCLUDE=false\n";
  // Padding makes every version's size differ, so a rewrite is always seen.
  text += "// " + std::string(static_cast<size_t>(k) * 7, 'x') + "\n";
  return text;
}

std::shared_ptr<const DeviceConfiguration> ParsedConfiguration(int k) {
  auto configuration = std::make_shared<DeviceConfiguration>();
  std::string text = ConfigurationText(k);
  configuration->parseText(text.data());
  configuration->finish();
  return configuration;
}

// Writes version k so that readers see either the old or the new file whole.
void WriteConfiguration(const std::string& path, int k) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << ConfigurationText(k);
  }
  std::filesystem::rename(temporary, path);
}

std::string ConvertWith(const std::shared_ptr<const DeviceConfiguration>& configuration,
                        const std::string& page) {
  std::vector<char> buffer(page.size() * 8 + 4096);
  const int32_t written = ConvertPage(configuration, "Concurrent/1.0", page.data(),
                                      static_cast<int32_t>(page.size()), buffer.data(),
                                      static_cast<int32_t>(buffer.size()));
  return written > 0 ? std::string(buffer.data(), static_cast<size_t>(written)) : std::string();
}

std::string ConvertThroughEntryPoint(const std::string& page) {
  std::string copy = page;
  std::vector<char> buffer(page.size() * 8 + 4096);
  char* caller = nullptr;
  char* device = const_cast<char*>("Concurrent/1.0");
  char* pageText = copy.data();
  int32_t length = static_cast<int32_t>(copy.size());
  char* output = buffer.data();
  int32_t capacity = static_cast<int32_t>(buffer.size());
  const int32_t written = WapConvert(&caller, &device, &pageText, &length, &output, &capacity);
  return written > 0 ? std::string(buffer.data(), static_cast<size_t>(written)) : std::string();
}

// The version a deck names in its XML declaration, or -1.
int VersionOf(const std::string& deck) {
  const size_t at = deck.find("encoding=\"v");
  if (at == std::string::npos) return -1;
  return std::atoi(deck.c_str() + at + 11);
}

TEST(Concurrency, DecksMatchTheConfigurationTheySaw) {
  // A file of this process's own: the one beside the library is read by the
  // other tests, which may run at the same time in other processes.
  const std::string path =
      (std::filesystem::temp_directory_path() / ("quillmark-concurrency-" + std::to_string(getpid()) + ".cfg")).string();
  setConfigurationFile(path);
  ASSERT_EQ(configurationPath(), path);
  WriteConfiguration(path, 0);

  std::vector<std::string> pages;
  for (int t = 0; t < kThreads; ++t) {
    pages.push_back("<!-- DINCL DEVICE=\"*\" -->" + bench::RealisticPage(3000 + 500 * t, t + 1) +
                    "<!-- /DINCL --><p>tail <b>b</b><i>i</i></p>");
  }
  // What each page must give under each version, converted alone.
  std::vector<std::vector<std::string>> expected(kThreads, std::vector<std::string>(kVersions));
  for (int k = 0; k < kVersions; ++k) {
    const auto configuration = ParsedConfiguration(k);
    for (int t = 0; t < kThreads; ++t) expected[t][k] = ConvertWith(configuration, pages[t]);
  }

  // The writer starts once every converter has a deck of version 0, and the
  // converters go on until the writer is through; each one's last deck starts
  // after the last rewrite. So both the first and the last version are seen
  // however fast conversions run.
  std::atomic<int> started{0};
  std::atomic<bool> rewritten{false};
  std::thread writer([&] {
    while (started.load() < kThreads) std::this_thread::yield();
    for (int round = 1; round <= kRewrites; ++round) {
      WriteConfiguration(path, round % kVersions);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    rewritten.store(true);
  });

  std::vector<std::map<int, int>> seen(kThreads);
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> converters;
  for (int t = 0; t < kThreads; ++t) {
    converters.emplace_back([&, t] {
      for (int i = 0;; ++i) {
        const bool last = rewritten.load() && i >= kLeastConversions;
        const std::string deck = ConvertThroughEntryPoint(pages[t]);
        if (i == 0) started.fetch_add(1);
        const int k = VersionOf(deck);
        if (k < 0 || k >= kVersions || deck != expected[t][k]) {
          ++mismatches[t];
        } else {
          ++seen[t][k];
        }
        if (last) break;
      }
    });
  }
  for (std::thread& converter : converters) converter.join();
  writer.join();
  // Leave the library with the configuration it had for later tests.
  setConfigurationFile("");
  refreshConfiguration();
  std::filesystem::remove(path);

  std::map<int, int> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    for (const auto& [k, count] : seen[t]) all[k] += count;
  }
  // The rewrites were noticed while converting: the first version and the
  // last one were both seen.
  EXPECT_GT(all[0], 0);
  EXPECT_GT(all[kRewrites % kVersions], 0);
}

}  // namespace
}  // namespace quillmark
