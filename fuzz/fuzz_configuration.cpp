// Fuzzes the configuration reader: the input is the whole configuration
// file; the configuration it builds then converts a fixed page for a few
// device texts, so tag replacements, markers and settings are exercised too;
// the notes a tool asks for are taken on the same text.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device/configuration.h"
#include "interface/conversion.h"
#include "markup/conversion_budget.h"

namespace {

constexpr char kPage[] =
    "<html><head><title>T</title></head><body><!-- DINCL DEVICE=\"P1,WAP\" -->"
    "<h1>H</h1><p>a<b>b</b><i>i</i><br><font size=1>f</font></p><!-- /DINCL -->"
    "<!-- DEXCL -->x<!-- /DEXCL --><table><tr><td>c<td><table><tr><td>n</table></table>"
    "<form action=/s><input name=q><input type=submit></form><a href=\"a?b&c\">l</a></body></html>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string notedText = text;
  auto configuration = std::make_shared<quillmark::DeviceConfiguration>();
  configuration->parseText(text.data());
  configuration->finish();
  // Taking notes for a tool reads the file exactly as the library does.
  quillmark::DeviceConfiguration noted;
  std::vector<quillmark::ConfigurationNote> notes;
  noted.parseText(notedText.data(), &notes);
  noted.finish();
  if (notedText != text || noted.deviceTable.size() != configuration->deviceTable.size() ||
      noted.groupTable.size() != configuration->groupTable.size()) {
    std::abort();
  }
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (notes[i].line < 1 || (i > 0 && notes[i].line < notes[i - 1].line)) std::abort();
  }
  std::shared_ptr<const quillmark::DeviceConfiguration> snapshot = configuration;

  std::vector<char> buffer(1 << 16);
  for (const char* device : {static_cast<const char*>(nullptr), "", "P1/1.0", "Kestrel71", "*"}) {
    try {
      quillmark::ConvertPage(snapshot, device, kPage, static_cast<int32_t>(sizeof kPage - 1), buffer.data(),
                             static_cast<int32_t>(buffer.size()));
    } catch (const quillmark::ConversionBudgetExceeded&) {
      // Tag replacements that expand without end fail by budget, as the export fails them.
    }
  }
  return 0;
}
