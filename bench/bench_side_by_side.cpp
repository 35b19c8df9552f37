// Quillmark beside libxml2's HTML parser and serializer, on the same bytes
// in the same run: a real document of 1.5 MB (every page of Debian's
// valgrind manual, one after another) and a real page of 3.5 KB, the size a
// gateway converts per request. Also the peak heap use of one conversion per
// page byte, for those pages and for hostile shapes.
//
// The manual's folder is found when the build is configured
// (QUILLMARK_BENCH_PAGES); without it the real-page benchmarks are skipped.

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/conversion_call.h"
#include "bench/page_generator.h"
#include "interface/quillmark.h"
#include "markup/conversion_budget.h"
#include "transform/wmlc_encoder.h"

namespace {

using quillmark::bench::PeakAllocation;
using quillmark::bench::Repeated;

const char kPagesFolder[] = QUILLMARK_BENCH_PAGES;

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every page of the manual in name order; empty without the folder.
const std::string& WholeManual() {
  static const std::string text = [] {
    std::string all;
    if (kPagesFolder[0] == '\0' || !std::filesystem::is_directory(kPagesFolder)) return all;
    std::vector<std::filesystem::path> pages;
    for (const auto& entry : std::filesystem::directory_iterator(kPagesFolder)) {
      if (entry.path().extension() == ".html") pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    for (const auto& page : pages) all += FileText(page);
    return all;
  }();
  return text;
}

// The manual's quick-start page, 3.5 KB; empty without the folder.
const std::string& OneRealPage() {
  static const std::string text =
      kPagesFolder[0] == '\0' ? std::string() : FileText(std::filesystem::path(kPagesFolder) / "QuickStart.html");
  return text;
}

// One conversion through the exported call into a buffer that is large
// enough; returns the written length.
int32_t Quillmark(const std::string& page, std::vector<char>& buffer) {
  return quillmark::bench::ConvertOnce(page, buffer);
}

// libxml2's HTML parser builds the document, its serializer writes it out;
// returns the written length.
int Libxml2(const std::string& page) {
  htmlDocPtr document = htmlReadMemory(page.data(), static_cast<int>(page.size()), "page.html", nullptr,
                                       HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  if (document == nullptr) return 0;
  xmlChar* text = nullptr;
  int size = 0;
  htmlDocDumpMemory(document, &text, &size);
  xmlFree(text);
  xmlFreeDoc(document);
  return size;
}

std::vector<char> BufferFor(const std::string& page) { return std::vector<char>(page.size() * 8 + (1 << 20)); }

// Seconds `work` takes once.
template <typename Work>
double Seconds(Work&& work) {
  const auto begin = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// True, with the benchmark skipped, when `page` is empty: the real pages are
// read from the valgrind manual, which may not be installed.
bool SkippedWithoutPage(benchmark::State& state, const std::string& page) {
  if (!page.empty()) return false;
  state.SkipWithError("the valgrind manual (Debian package valgrind) is not installed");
  return true;
}

// Each iteration converts the page with both; the counters give each one's
// throughput in MB/s and how many times libxml2's Quillmark runs at.
void BM_BesideLibxml2(benchmark::State& state, const std::string& (*page)()) {
  const std::string& text = page();
  if (SkippedWithoutPage(state, text)) return;
  std::vector<char> buffer = BufferFor(text);
  double ours = 0;
  double theirs = 0;
  for (auto _ : state) {
    ours += Seconds([&] { benchmark::DoNotOptimize(Quillmark(text, buffer)); });
    theirs += Seconds([&] { benchmark::DoNotOptimize(Libxml2(text)); });
  }
  const double megabytes = static_cast<double>(text.size()) * static_cast<double>(state.iterations()) / 1e6;
  state.counters["quillmark_MBps"] = megabytes / ours;
  state.counters["libxml2_MBps"] = megabytes / theirs;
  state.counters["ratio"] = theirs / ours;
  state.counters["page_bytes"] = static_cast<double>(text.size());
}
BENCHMARK_CAPTURE(BM_BesideLibxml2, valgrind_manual, WholeManual)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BesideLibxml2, quick_start_page, OneRealPage)->Unit(benchmark::kMicrosecond);

const std::string& RealisticPage100K() {
  static const std::string page = quillmark::bench::RealisticPage(100 << 10);
  return page;
}
const std::string& RealisticPage1M() {
  static const std::string page = quillmark::bench::RealisticPage(1 << 20);
  return page;
}
const std::string& StructuredPage100K() {
  static const std::string page = quillmark::bench::StructuredPage(100 << 10);
  return page;
}

// The WMLC compiler's share of a conversion to WMLC: each iteration converts
// the page to WML and compiles that deck; `compile_share` is the compiling
// time over the whole.
void BM_CompileShare(benchmark::State& state, const std::string& (*page)()) {
  const std::string& text = page();
  if (SkippedWithoutPage(state, text)) return;
  std::vector<char> buffer = BufferFor(text);
  double converting = 0;
  double compiling = 0;
  for (auto _ : state) {
    int32_t length = 0;
    converting += Seconds([&] { length = Quillmark(text, buffer); });
    const std::string_view deck(buffer.data(), static_cast<size_t>(length));
    compiling += Seconds([&] { benchmark::DoNotOptimize(quillmark::CompileWmlc(deck)); });
  }
  state.counters["compile_share"] = compiling / (converting + compiling);
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["convert_ms"] = 1e3 * converting / iterations;
  state.counters["compile_ms"] = 1e3 * compiling / iterations;
}
BENCHMARK_CAPTURE(BM_CompileShare, valgrind_manual, WholeManual)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompileShare, quick_start_page, OneRealPage)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CompileShare, realistic_100k, RealisticPage100K)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompileShare, realistic_1m, RealisticPage1M)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompileShare, structured_100k, StructuredPage100K)->Unit(benchmark::kMillisecond);

const std::string& NestedBold() {
  static const std::string page = Repeated("<b>", 100000);
  return page;
}
const std::string& NestedTableCells() {
  static const std::string page = Repeated("<table><tr><td>", 100000);
  return page;
}

// Peak heap use per page byte of one conversion, ours and libxml2's, then
// the time of ours.
void BM_PeakMemory(benchmark::State& state, const std::string& (*page)()) {
  const std::string& text = page();
  if (SkippedWithoutPage(state, text)) return;
  std::vector<char> buffer = BufferFor(text);
  const std::string copy = text;
  int64_t ours = 0;
  int64_t theirs = 0;
  {
    PeakAllocation peak;
    benchmark::DoNotOptimize(Quillmark(copy, buffer));
    ours = peak.PeakBytes();
  }
  {
    PeakAllocation peak;
    benchmark::DoNotOptimize(Libxml2(copy));
    theirs = peak.PeakBytes();
  }
  for (auto _ : state) benchmark::DoNotOptimize(Quillmark(text, buffer));
  const auto bytes = static_cast<double>(text.size());
  state.counters["quillmark_peak_per_byte"] = static_cast<double>(ours) / bytes;
  state.counters["libxml2_peak_per_byte"] = static_cast<double>(theirs) / bytes;
  state.counters["page_bytes"] = bytes;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK_CAPTURE(BM_PeakMemory, valgrind_manual, WholeManual)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, quick_start_page, OneRealPage)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PeakMemory, nested_b_1e5, NestedBold)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, nested_table_cells_1e5, NestedTableCells)->Unit(benchmark::kMillisecond);

// The shapes that expand a page, at 1, 10 and 100 times their stated
// size: tag replacements that each expand four-fold (8 KB of <b>), every
// field posted by every button (400 of each, 14 KB), rows padded to a
// table's widest row (80 cells of colspan=64 and 80 one-cell rows, 3 KB).
// Each converts or fails by the conversion budget; the time and the peak
// heap per page byte stay flat, or fall, as the page grows.
struct ExpandingShape {
  std::string (*page)(size_t scale);
  const char* configuration;  // the configuration file's text
};
const ExpandingShape kExpandingShapes[] = {
    {[](size_t scale) { return Repeated("<b>", 2700 * scale); },
     "DEVICE_GROUP=G\nTAG_REPLACE=b=<i/><i/><i/><i/>|,i=<u/><u/><u/><u/>|,u=<s/><s/><s/><s/>|,"
     "s=<em/><em/><em/><em/>|,em=<br/><br/><br/><br/>|\n"},
    {[](size_t scale) {
       return "<form>" + Repeated("<input name=field>", 400 * scale) + Repeated("<input type=submit>", 400 * scale) +
              "</form>";
     },
     ""},
    {[](size_t scale) {
       return "<table><tr>" + Repeated("<td colspan=64>x</td>", 80 * scale) + "</tr>" +
              Repeated("<tr><td>y</td></tr>", 80 * scale) + "</table>";
     },
     ""},
};

void BM_ExpandingShape(benchmark::State& state) {
  const ExpandingShape& shape = kExpandingShapes[state.range(0)];
  const std::string page = shape.page(static_cast<size_t>(state.range(1)));
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "quillmark-bench-expanding.cfg";
  std::ofstream(file, std::ios::binary) << shape.configuration;
  WapSetConfigurationFile(file.c_str());
  // Room for the largest deck the budget lets a page write.
  std::vector<char> buffer(static_cast<size_t>(quillmark::ConversionBudgetFor(static_cast<int64_t>(page.size()))));
  int64_t peak = 0;
  {
    PeakAllocation counted;
    benchmark::DoNotOptimize(Quillmark(page, buffer));
    peak = counted.PeakBytes();
  }
  int32_t written = 0;
  for (auto _ : state) benchmark::DoNotOptimize(written = Quillmark(page, buffer));
  WapSetConfigurationFile(nullptr);
  std::filesystem::remove(file);
  const auto bytes = static_cast<double>(page.size());
  state.SetLabel(written > 0 ? "converted" : WapLastError());
  state.counters["peak_per_byte"] = static_cast<double>(peak) / bytes;
  state.counters["page_bytes"] = bytes;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_ExpandingShape)
    ->ArgsProduct({benchmark::CreateDenseRange(0, static_cast<int64_t>(std::size(kExpandingShapes)) - 1, 1),
                   {1, 10, 100}})
    ->Unit(benchmark::kMillisecond);

// Shapes where each element looks back over, or filters again, what the
// elements before it left: spaces between images, headings in links,
// forms nested in forms, options nested in bold; at 1, 10 and 100 times
// 1,000 repeats. The time per page byte stays flat as the page grows.
const char* const kLookBackShapes[] = {" <img src=a.gif>", "<a href=x><h3>t</h3></a>", "<form><input type=submit>",
                                       "<b><option>q"};

void BM_LookBackShape(benchmark::State& state) {
  const std::string page = Repeated(kLookBackShapes[state.range(0)], 1000 * static_cast<size_t>(state.range(1)));
  std::vector<char> buffer = BufferFor(page);
  for (auto _ : state) benchmark::DoNotOptimize(Quillmark(page, buffer));
  state.counters["page_bytes"] = static_cast<double>(page.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_LookBackShape)
    ->ArgsProduct({benchmark::CreateDenseRange(0, static_cast<int64_t>(std::size(kLookBackShapes)) - 1, 1),
                   {1, 10, 100}})
    ->Unit(benchmark::kMillisecond);

// libxml2 allocates through the counted functions from the start.
const bool kLibxml2Counted = [] {
  quillmark::bench::CountLibxml2Allocations();
  return true;
}();

}  // namespace
