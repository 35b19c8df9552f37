// Fuzzes cutting decks to size limits: the first four bytes choose the card
// and deck limits (0 or 300 to 20,299 bytes), the rest is the page. Every
// part must parse as XML and compile to well-formed WBXML, and a part above
// the deck limit must hold a single card. Any crash, leak, hang or sanitizer
// report is a finding.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include <libxml/parser.h>

#include "interface/conversion.h"
#include "markup/conversion_budget.h"
#include "tests/support/wbxml_check.h"
#include "transform/deck_splitter.h"
#include "transform/wmlc_encoder.h"

namespace {

int64_t LimitOf(const uint8_t* bytes) {
  const int value = (bytes[0] << 8) | bytes[1];
  return value % 4 == 0 ? 0 : 300 + value % 20000;
}

bool ParsesAsXml(const std::string& deck) {
  xmlDocPtr document = xmlReadMemory(deck.data(), static_cast<int>(deck.size()), "part.wml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (document == nullptr) return false;
  xmlFreeDoc(document);
  return true;
}

size_t CountOf(std::string_view text, std::string_view piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  static const auto configuration = [] {
    auto loaded = std::make_shared<quillmark::DeviceConfiguration>();
    loaded->finish();
    return std::shared_ptr<const quillmark::DeviceConfiguration>(loaded);
  }();
  const quillmark::DeckLimits limits{LimitOf(data), LimitOf(data + 2), "Next", "Back"};
  const std::string_view page(reinterpret_cast<const char*>(data + 4), size - 4);
  std::string deck;
  try {
    deck = quillmark::MakeDeck(configuration, nullptr, page, "");
  } catch (const quillmark::ConversionBudgetExceeded&) {
    return 0;  // the exports fail such a page cleanly; nothing is left to cut
  }
  const std::vector<std::string> parts =
      quillmark::SplitDeck(deck, limits, quillmark::PartLinks{"p.wml", "p-{n}.wml?a=1&b=$x"});
  if (parts.empty()) std::abort();
  if (!limits.Any() && parts.front() != deck) std::abort();
  const bool deckParses = ParsesAsXml(deck);
  for (const std::string& part : parts) {
    if (deckParses && !ParsesAsXml(part)) std::abort();
    const std::string compiled = quillmark::CompileWmlc(part);
    if (quillmark::WbxmlFault(compiled) != nullptr) std::abort();
    const bool over = limits.maxDeckSize > 0 && compiled.size() > static_cast<size_t>(limits.maxDeckSize);
    if (over && CountOf(part, "<card") > 1) std::abort();
  }
  return 0;
}
