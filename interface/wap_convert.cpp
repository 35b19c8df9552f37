// The conversion entry point and the version text.

#include <cstring>
#include <exception>
#include <string>

#include "device/configuration.h"
#include "interface/conversion.h"
#include "interface/quillmark.h"
#include "markup/working_variables.h"
#include "markup/xml_node.h"
#include "transform/normalize_tree.h"
#include "transform/wmlc_encoder.h"
#include "transform/xhtml_to_wml.h"

namespace quillmark {
namespace {

// Elements that the writer puts on lines of their own.
constexpr char kBreakList[] = "wml\0card\0table\0tr\0select\0p\0input\0postfield\0go\0do\0";

constexpr char kVersionText[] = "Quillmark, v0.9.21";

// Builds the deck of `page` below `root`.
void BuildDeck(CXmlNode& root, const std::shared_ptr<const DeviceConfiguration>& configuration,
               const char* deviceText, const char* page, int32_t pageLength) {
  auto context = std::make_unique<CWorkingVariables>(configuration);
  context->device = configuration->findDevice(deviceText);
  root.SetContext(std::move(context));
  if (page != nullptr && pageLength > 0) root.ParseMarkup(page, pageLength);
  NormalizeTree(&root);
  XHtmlToWml(&root);
}

}  // namespace

int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity) {
  // The document's records read the configuration's marker words until the
  // root is gone; `configuration` outlives it.
  CXmlNode root;
  BuildDeck(root, configuration, deviceText, page, pageLength);
  const uint32_t measured = root.MeasureText(kBreakList);
  if (output == nullptr || capacity < 0 ||
      static_cast<uint64_t>(capacity) < static_cast<uint64_t>(measured) + 1) {
    return 0;
  }
  root.WriteText(output, kBreakList);
  return static_cast<int32_t>(std::strlen(output));
}

int32_t ConvertPageToWmlc(const std::shared_ptr<const DeviceConfiguration>& configuration,
                          const char* deviceText, const char* page, int32_t pageLength, char* output,
                          int32_t capacity) {
  std::string deck;
  {
    CXmlNode root;
    BuildDeck(root, configuration, deviceText, page, pageLength);
    deck.resize(static_cast<std::size_t>(root.MeasureText(kBreakList)) + 1);
    root.WriteText(deck.data(), kBreakList);
    deck.resize(std::strlen(deck.c_str()));
  }
  const std::string compiled = CompileWmlc(deck);
  // The compiled deck is binary: it fits exactly, with no terminating zero.
  if (output == nullptr || capacity < 0 || static_cast<uint64_t>(capacity) < compiled.size()) return 0;
  std::memcpy(output, compiled.data(), compiled.size());
  return static_cast<int32_t>(compiled.size());
}

namespace {

using PageConverter = int32_t (*)(const std::shared_ptr<const DeviceConfiguration>&, const char*, const char*,
                                  int32_t, char*, int32_t);

// Runs one conversion with the configuration current after the freshness
// check; the snapshot stays alive for the whole conversion.
int32_t Convert(PageConverter convert, const char* deviceText, const char* page, int32_t pageLength,
                char* output, int32_t capacity) {
  refreshConfiguration();
  return convert(currentConfiguration(), deviceText, page, pageLength, output, capacity);
}

// The by-reference calling convention of the exported conversions.
int32_t ConvertByReference(PageConverter convert, char** callerText, char** deviceText, char** pageText,
                           int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  if (callerText == nullptr || deviceText == nullptr || pageText == nullptr || pageLength == nullptr ||
      outputBuffer == nullptr || capacity == nullptr) {
    return 0;
  }
  int32_t written = 0;
  try {
    written = Convert(convert, *deviceText, *pageText, *pageLength, *outputBuffer, *capacity);
  } catch (const std::exception&) {
    // Out of memory (or a size past what the library can hold): report "did
    // not fit"; the tree was released on unwind and nothing was written.
    written = 0;
  }
  *capacity = written;
  return written;
}

}  // namespace
}  // namespace quillmark

extern "C" int32_t WapConvert(char** callerText, char** deviceText, char** pageText,
                              int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  return quillmark::ConvertByReference(quillmark::ConvertPage, callerText, deviceText, pageText, pageLength,
                                       outputBuffer, capacity);
}

extern "C" int32_t WapConvertWmlc(char** callerText, char** deviceText, char** pageText,
                                  int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  return quillmark::ConvertByReference(quillmark::ConvertPageToWmlc, callerText, deviceText, pageText,
                                       pageLength, outputBuffer, capacity);
}

extern "C" const char* LibraryVersion(void) { return quillmark::kVersionText; }
