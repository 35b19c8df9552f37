// Conversion throughput on realistic and adversarial pages, and with one
// and two converting threads.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/page_generator.h"
#include "device/configuration.h"
#include "interface/quillmark.h"

namespace {

using quillmark::bench::RealisticPage;
using quillmark::bench::Repeated;
using quillmark::bench::StructuredPage;

// Converts `page` once with a buffer that is large enough.
void ConvertOnce(const std::string& page, std::vector<char>& buffer) {
  std::string copy = page;
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = copy.data();
  int32_t length = static_cast<int32_t>(copy.size());
  char* output = buffer.data();
  int32_t capacity = static_cast<int32_t>(buffer.size());
  benchmark::DoNotOptimize(WapConvert(&caller, &device, &pageText, &length, &output, &capacity));
}

void RunConversions(benchmark::State& state, const std::string& page) {
  std::vector<char> buffer(page.size() * 4 + (1 << 16));
  for (auto _ : state) ConvertOnce(page, buffer);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_Realistic(benchmark::State& state) {
  static std::string page;
  if (state.thread_index() == 0) page = RealisticPage(static_cast<size_t>(state.range(0)));
  RunConversions(state, page);
}
BENCHMARK(BM_Realistic)->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Realistic)->Arg(100 << 10)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Block breaks, linearised tables and choices: the time per byte stays the
// same from 100 KB to 10 MB.
void BM_Structured(benchmark::State& state) {
  const std::string page = StructuredPage(static_cast<size_t>(state.range(0)));
  RunConversions(state, page);
}
BENCHMARK(BM_Structured)->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_Adversarial(benchmark::State& state, const std::string& (*make)()) { RunConversions(state, make()); }

const std::string& NestedUnclosed() {
  static const std::string page = Repeated("<p>", 200000, "x");
  return page;
}
const std::string& NestedUnknown() {
  static const std::string page = Repeated("<div>", 200000, "x");
  return page;
}
const std::string& FlatSiblings() {
  static const std::string page = Repeated("<b>x</b>y", 500000);
  return page;
}
const std::string& StrayEndTags() {
  static const std::string page = Repeated("<div>", 100000) + Repeated("</span>", 100000);
  return page;
}
const std::string& HugeAttribute() {
  static const std::string page = "<a href=\"" + std::string(10 << 20, 'a') + "\">x</a>";
  return page;
}
const std::string& OnlyOpenBrackets() {
  static const std::string page(1 << 20, '<');
  return page;
}

BENCHMARK_CAPTURE(BM_Adversarial, nested_unclosed_p, NestedUnclosed)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, nested_unknown_div, NestedUnknown)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, flat_siblings, FlatSiblings)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, stray_end_tags, StrayEndTags)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, huge_attribute, HugeAttribute)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, only_open_brackets, OnlyOpenBrackets)->Unit(benchmark::kMillisecond);

// Reading a configuration of many groups and devices, each device naming its
// group: linear in the file.
void BM_ConfigurationLoad(benchmark::State& state) {
  std::string text;
  for (int64_t i = 0; i < state.range(0); ++i) text += "DEVICE_GROUP=G" + std::to_string(i) + "\n";
  for (int64_t i = 0; i < state.range(0); ++i) {
    text += "DEVICE=D" + std::to_string(i) + ";USERAGENT=*Phone" + std::to_string(i) + "*;GROUP=G" +
            std::to_string(i) + "\n";
  }
  for (auto _ : state) {
    std::string copy = text;
    quillmark::DeviceConfiguration configuration;
    configuration.parseText(copy.data());
    configuration.finish();
    benchmark::DoNotOptimize(configuration.deviceTable.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ConfigurationLoad)->Arg(6000)->Arg(60000)->Unit(benchmark::kMillisecond);

// Choosing the device for a long user-agent text that no pattern matches.
void BM_DeviceLookup(benchmark::State& state) {
  std::string text = "DEVICE_GROUP=G\n";
  for (int64_t i = 0; i < state.range(0); ++i) text += "DEVICE=D" + std::to_string(i) + ";USERAGENT=*P*h*o*n*e*" + std::to_string(i) + "*\n";
  quillmark::DeviceConfiguration configuration;
  configuration.parseText(text.data());
  configuration.finish();
  const std::string userAgent = "Mozilla/5.0 " + std::string(8192, 'a');
  for (auto _ : state) benchmark::DoNotOptimize(configuration.findDevice(userAgent.c_str()));
}
BENCHMARK(BM_DeviceLookup)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
