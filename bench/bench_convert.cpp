// Conversion throughput on realistic and adversarial pages, and with one
// and two converting threads; compiling realistic decks into WMLC, alone and
// as part of the conversion.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/conversion_call.h"
#include "bench/page_generator.h"
#include "device/configuration.h"
#include "interface/quillmark.h"
#include "transform/deck_splitter.h"
#include "transform/wmlc_encoder.h"

namespace {

using quillmark::bench::RealisticPage;
using quillmark::bench::Repeated;
using quillmark::bench::StructuredPage;

using quillmark::bench::Conversion;
using quillmark::bench::ConvertOnce;

void RunConversions(benchmark::State& state, const std::string& page, Conversion convert = WapConvert) {
  std::vector<char> buffer(page.size() * 4 + (1 << 16));
  for (auto _ : state) benchmark::DoNotOptimize(ConvertOnce(page, buffer, convert));
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

// The deck of `page`, as text.
std::string DeckOf(const std::string& page) {
  std::vector<char> buffer(page.size() * 4 + (1 << 16));
  const int32_t written = ConvertOnce(page, buffer);
  return std::string(buffer.data(), static_cast<size_t>(written));
}

// Compiling alone: compare with BM_Realistic of the same size for the
// compiler's share of a conversion to WMLC.
void BM_CompileRealisticDeck(benchmark::State& state) {
  const std::string page = RealisticPage(static_cast<size_t>(state.range(0)));
  const std::string deck = DeckOf(page);
  for (auto _ : state) benchmark::DoNotOptimize(quillmark::CompileWmlc(deck));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
  state.counters["deck_bytes"] = static_cast<double>(deck.size());
  state.counters["wmlc_bytes"] = static_cast<double>(quillmark::CompileWmlc(deck).size());
}
BENCHMARK(BM_CompileRealisticDeck)->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

// Compiling decks that no conversion writes but the compiler still repairs:
// deep nesting closed by end tags of other names, and by end tags that each
// close everything; and one text of letters and signs (U+00A9) in turn,
// one long run of word bytes that the signs cut into words. bytes_per_second
// stays flat across the sizes when the cost is linear.
void BM_CompileHostileDeck(benchmark::State& state) {
  const size_t count = static_cast<size_t>(state.range(1));
  std::string inside;
  switch (state.range(0)) {
    case 0:
      inside = Repeated("<b>", count) + Repeated("</i>", count);
      state.SetLabel("end tags closing nothing");
      break;
    case 1:
      inside = "<i>" + Repeated("<b>", count) + Repeated("</i><i>", count);
      state.SetLabel("end tags closing everything");
      break;
    default:
      inside = Repeated("a\xC2\xA9", count);
      state.SetLabel("letters and signs in turn");
      break;
  }
  const std::string deck = "<wml><card><p>" + inside + "</p></card></wml>";
  for (auto _ : state) benchmark::DoNotOptimize(quillmark::CompileWmlc(deck));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(deck.size()));
}
BENCHMARK(BM_CompileHostileDeck)->ArgsProduct({{0, 1, 2}, {10000, 100000, 1000000}})->Unit(benchmark::kMillisecond);

// The whole conversion to WMLC through the exported call.
void BM_RealisticWmlc(benchmark::State& state) {
  const std::string page = RealisticPage(static_cast<size_t>(state.range(0)));
  std::vector<char> buffer(page.size() * 4 + (1 << 16));
  for (auto _ : state) benchmark::DoNotOptimize(ConvertOnce(page, buffer, WapConvertWmlc));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_RealisticWmlc)->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

// Cutting a realistic deck to a first-generation phone's limits (cards of
// 1,400 compiled bytes, parts of 8,000): the time per byte stays the same
// as the deck grows.
void RunSplits(benchmark::State& state, const std::string& deck, const quillmark::DeckLimits& limits) {
  size_t parts = 0;
  for (auto _ : state) {
    parts = quillmark::SplitDeck(deck, limits, quillmark::PartLinks{"", "?qm-part={n}"}).size();
    benchmark::DoNotOptimize(parts);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(deck.size()));
  state.counters["parts"] = static_cast<double>(parts);
}

void BM_SplitRealisticDeck(benchmark::State& state) {
  RunSplits(state, DeckOf(RealisticPage(static_cast<size_t>(state.range(0)))), quillmark::DeckLimits{1400, 8000});
}
BENCHMARK(BM_SplitRealisticDeck)->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// Cards that compile far smaller together than alone: one long word again
// and again, each word a card of its own under 300 compiled bytes, which the
// string table then shares across a part of 1,400. The guess from each
// card's size alone is far too short, so the search for each part's end
// must not measure the rest of the deck: bytes_per_second stays flat.
void BM_SplitSharedWords(benchmark::State& state) {
  const std::string page = Repeated(std::string(400, 'x') + " ", static_cast<size_t>(state.range(0)));
  RunSplits(state, DeckOf(page), quillmark::DeckLimits{300, 1400});
}
BENCHMARK(BM_SplitSharedWords)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

void BM_Adversarial(benchmark::State& state, const std::string& (*make)()) { RunConversions(state, make()); }
void BM_AdversarialWmlc(benchmark::State& state, const std::string& (*make)()) {
  RunConversions(state, make(), WapConvertWmlc);
}

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

// Hostile shapes at 1, 10 and 100 times their smallest size: when a
// conversion's cost is linear in its page, bytes_per_second stays flat
// across the three sizes of a shape.
struct HostileShape {
  const char* piece;
  const char* tail;
  const char* head = "";
};
constexpr HostileShape kHostileShapes[] = {
    {"<b>", ""},       {"<table><tr><td>", "x"}, {"<p>", "x"},      {"<div>", "x"},        {"<h1>", "x"},
    {"<font size=2>", "x"}, {"<center>", "x"},   {"<a name=n>t", ""}, {"<body>", "x"},      {"<i> x ", ""},
    // Stop markers of a kind that no open region has, after regions of the other.
    {"<!--/DEXCL--><!--DINCL-->", "x"},
    // Buttons of a form whose named anchor moved its content out of it.
    {"<b>x</b><input type=submit>", "", "<html><body><form action=/f><a name=n><input name=q></a>"},
    // Fields that each need a variable name of their own, and links that show nothing.
    {"<input><a href=x></a>", ""},
};

void BM_HostileScaling(benchmark::State& state) {
  const HostileShape& shape = kHostileShapes[state.range(0)];
  const std::string page = shape.head + Repeated(shape.piece, static_cast<size_t>(state.range(1)), shape.tail);
  state.SetLabel(shape.piece);
  RunConversions(state, page);
}
BENCHMARK(BM_HostileScaling)
    ->ArgsProduct({benchmark::CreateDenseRange(0, static_cast<int64_t>(std::size(kHostileShapes)) - 1, 1),
                   {10000, 100000, 1000000}})
    ->Unit(benchmark::kMillisecond);

// A page of `count` sections, each begun by a named anchor of its own and
// one word, so that every anchor cuts a card: the time per byte stays flat.
void BM_Sections(benchmark::State& state) {
  std::string page = "<html><body>";
  for (int64_t i = 0; i < state.range(0); ++i) page += "<a name=s" + std::to_string(i) + "></a>w ";
  page += "</body></html>";
  // Each section's card, link and back key take ten times its bytes.
  std::vector<char> buffer(page.size() * 16 + (1 << 20));
  int32_t written = 0;
  for (auto _ : state) benchmark::DoNotOptimize(written = ConvertOnce(page, buffer));
  state.counters["deck_bytes"] = written;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Sections)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Adversarial, nested_unclosed_p, NestedUnclosed)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, nested_unknown_div, NestedUnknown)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, flat_siblings, FlatSiblings)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, stray_end_tags, StrayEndTags)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, huge_attribute, HugeAttribute)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Adversarial, only_open_brackets, OnlyOpenBrackets)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AdversarialWmlc, nested_unclosed_p, NestedUnclosed)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AdversarialWmlc, nested_unknown_div, NestedUnknown)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AdversarialWmlc, flat_siblings, FlatSiblings)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AdversarialWmlc, stray_end_tags, StrayEndTags)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AdversarialWmlc, huge_attribute, HugeAttribute)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AdversarialWmlc, only_open_brackets, OnlyOpenBrackets)->Unit(benchmark::kMillisecond);

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
