// The conversion entry point and the version text.

#include <cstring>
#include <exception>

#include "device/configuration.h"
#include "interface/conversion.h"
#include "interface/library_version.h"
#include "interface/quillmark.h"
#include "markup/working_variables.h"
#include "markup/xml_node.h"
#include "transform/normalize_tree.h"
#include "transform/xhtml_to_wml.h"

namespace quillmark {
namespace {

// Elements that the writer puts on lines of their own.
constexpr char kBreakList[] = "wml\0card\0table\0tr\0select\0p\0input\0postfield\0go\0do\0";

}  // namespace

int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity) {
  // The document's records read the configuration's marker words until the
  // root is gone; `configuration` outlives it.
  CXmlNode root;
  auto context = std::make_unique<CWorkingVariables>(configuration);
  context->device = configuration->findDevice(deviceText);
  root.SetContext(std::move(context));
  if (page != nullptr && pageLength > 0) root.ParseMarkup(page, pageLength);
  NormalizeTree(&root);
  XHtmlToWml(&root);

  const uint32_t measured = root.MeasureText(kBreakList);
  if (output == nullptr || capacity < 0 ||
      static_cast<uint64_t>(capacity) < static_cast<uint64_t>(measured) + 1) {
    return 0;
  }
  root.WriteText(output, kBreakList);
  return static_cast<int32_t>(std::strlen(output));
}

namespace {

// Runs one conversion with the configuration current after the freshness
// check; the snapshot stays alive for the whole conversion.
int32_t Convert(const char* deviceText, const char* page, int32_t pageLength, char* output,
                int32_t capacity) {
  refreshConfiguration();
  return ConvertPage(currentConfiguration(), deviceText, page, pageLength, output, capacity);
}

}  // namespace
}  // namespace quillmark

extern "C" int32_t WapConvert(char** callerText, char** deviceText, char** pageText,
                              int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  if (callerText == nullptr || deviceText == nullptr || pageText == nullptr ||
      pageLength == nullptr || outputBuffer == nullptr || capacity == nullptr) {
    return 0;
  }
  int32_t written = 0;
  try {
    written = quillmark::Convert(*deviceText, *pageText, *pageLength, *outputBuffer, *capacity);
  } catch (const std::exception&) {
    // Out of memory (or a size past what the library can hold): report "did
    // not fit"; the tree was released on unwind and nothing was written.
    written = 0;
  }
  *capacity = written;
  return written;
}

extern "C" const char* LibraryVersion(void) { return quillmark::kVersionText; }
