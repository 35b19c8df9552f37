// The conversion entry point and the version text.

#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "device/configuration.h"
#include "interface/conversion.h"
#include "interface/page_charset.h"
#include "markup/conversion_budget.h"
#include "markup/deck_writer.h"
#include "platform/transcoder.h"
#include "interface/library_version.h"
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

}  // namespace

namespace {

// Why the last exported conversion on this thread returned 0.
enum class ConversionFailure { kNone, kDidNotFit, kBudget, kOutOfMemory, kInvalidArguments };
thread_local ConversionFailure lastFailure = ConversionFailure::kNone;

const char* FailureText(ConversionFailure failure) {
  switch (failure) {
    case ConversionFailure::kNone: return "";
    case ConversionFailure::kDidNotFit: return "did not fit";
    case ConversionFailure::kBudget: return "page exceeds the conversion budget";
    case ConversionFailure::kOutOfMemory: return "out of memory";
    case ConversionFailure::kInvalidArguments: return "invalid arguments";
  }
  return "";
}

// The page as the pipeline reads it: UTF-8 without a byte-order mark when
// the device's charset handling is on, else the page's own bytes.
std::string_view PageText(std::string_view page, const CWmlSettings& settings, std::string_view hostCharset,
                          std::string& decoded) {
  if (settings.transcode == 0) return page;
  const PageCharset charset = DetectPageCharset(page, hostCharset);
  page.remove_prefix(charset.byteOrderMark);
  if (IsUtf8Name(charset.name) && IsValidUtf8(page)) return page;
  std::optional<std::string> text = DecodeToUtf8(page, charset.name);
  if (!text) text = DecodeToUtf8(page, "WINDOWS-1252");
  decoded = text ? std::move(*text) : std::string(page);
  return decoded;
}

// The deck in the encoding its XML declaration names.
std::string EncodedDeck(std::string deck, const CWmlSettings& settings) {
  if (settings.transcode == 0) return deck;
  const std::string encoding = DeclaredEncoding(settings.xmlVersion);
  if (IsUtf8Name(encoding)) return deck;
  if (std::optional<std::string> encoded = EncodeFromUtf8(deck, encoding)) return std::move(*encoded);
  // An encoding iconv does not know: keep to ASCII, which every charset a
  // deck may name holds.
  return *EncodeFromUtf8(deck, "US-ASCII");
}

}  // namespace

std::string MakeDeck(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                     std::string_view page, std::string_view hostCharset) {
  // The document's records read the configuration's marker words until the
  // root is gone; `configuration` outlives it.
  CXmlNode root;
  auto context = std::make_unique<CWorkingVariables>(configuration);
  context->device = configuration->findDevice(deviceText);
  const CWmlSettings& settings = settingsOf(context->device);
  root.SetContext(std::move(context));
  std::string decoded;
  const std::string_view text = PageText(page, settings, hostCharset, decoded);
  if (!text.empty()) root.ParseMarkup(text.data(), static_cast<int32_t>(text.size()));
  NormalizeTree(&root);
  XHtmlToWml(&root);
  EscapeRules rules;
  rules.convertReferences = settings.convertEntities != 0;
  rules.doubleDollars = settings.doubleDollars != 0;
  std::string deck = EncodedDeck(WriteDeck(root, kBreakList, rules, page.size() + 1024), settings);
  if (static_cast<int64_t>(deck.size()) > ConversionBudgetFor(static_cast<int64_t>(page.size()))) {
    throw ConversionBudgetExceeded();
  }
  return deck;
}

int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity, const char* hostCharset) {
  const std::string_view pageText =
      page != nullptr && pageLength > 0 ? std::string_view(page, static_cast<size_t>(pageLength)) : std::string_view();
  const std::string deck =
      MakeDeck(configuration, deviceText, pageText, hostCharset != nullptr ? hostCharset : "");
  if (output == nullptr || capacity < 0 || static_cast<uint64_t>(capacity) < deck.size() + 1) {
    lastFailure = ConversionFailure::kDidNotFit;
    return 0;
  }
  std::memcpy(output, deck.data(), deck.size());
  output[deck.size()] = '\0';
  return static_cast<int32_t>(deck.size());
}

int32_t ConvertPageToWmlc(const std::shared_ptr<const DeviceConfiguration>& configuration,
                          const char* deviceText, const char* page, int32_t pageLength, char* output,
                          int32_t capacity, const char* hostCharset) {
  const std::string_view pageText =
      page != nullptr && pageLength > 0 ? std::string_view(page, static_cast<size_t>(pageLength)) : std::string_view();
  const std::string compiled =
      CompileWmlc(MakeDeck(configuration, deviceText, pageText, hostCharset != nullptr ? hostCharset : ""));
  // The compiled deck is binary: it fits exactly, with no terminating zero.
  if (output == nullptr || capacity < 0 || static_cast<uint64_t>(capacity) < compiled.size()) {
    lastFailure = ConversionFailure::kDidNotFit;
    return 0;
  }
  std::memcpy(output, compiled.data(), compiled.size());
  return static_cast<int32_t>(compiled.size());
}

namespace {

// Runs one conversion with the configuration current after the freshness
// check; the snapshot stays alive for the whole conversion.
using PageConverter = int32_t (*)(const std::shared_ptr<const DeviceConfiguration>&, const char*, const char*,
                                  int32_t, char*, int32_t, const char*);

int32_t Convert(PageConverter convert, const char* deviceText, const char* page, int32_t pageLength,
                char* output, int32_t capacity, const char* charset) {
  refreshConfiguration();
  return convert(currentConfiguration(), deviceText, page, pageLength, output, capacity, charset);
}

// The exported conversion: checks the by-reference arguments, converts, and
// returns 0 for every failure, recording why for WapLastError.
int32_t ConvertExported(PageConverter convert, char** callerText, char** deviceText, char** pageText,
                        int32_t* pageLength, const char* charset, char** outputBuffer, int32_t* capacity) {
  lastFailure = ConversionFailure::kNone;
  if (callerText == nullptr || deviceText == nullptr || pageText == nullptr ||
      pageLength == nullptr || outputBuffer == nullptr || capacity == nullptr) {
    lastFailure = ConversionFailure::kInvalidArguments;
    return 0;
  }
  int32_t written = 0;
  try {
    written = Convert(convert, *deviceText, *pageText, *pageLength, *outputBuffer, *capacity, charset);
  } catch (const ConversionBudgetExceeded&) {
    lastFailure = ConversionFailure::kBudget;
  } catch (const std::exception&) {
    // Out of memory (or a size past what the library can hold): the tree was
    // released on unwind and nothing was written.
    lastFailure = ConversionFailure::kOutOfMemory;
  }
  *capacity = written;
  return written;
}

}  // namespace
}  // namespace quillmark

extern "C" int32_t WapConvert(char** callerText, char** deviceText, char** pageText,
                              int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  return quillmark::ConvertExported(quillmark::ConvertPage, callerText, deviceText, pageText, pageLength,
                                    nullptr, outputBuffer, capacity);
}

extern "C" int32_t WapConvertWmlc(char** callerText, char** deviceText, char** pageText,
                                  int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  return quillmark::ConvertExported(quillmark::ConvertPageToWmlc, callerText, deviceText, pageText,
                                    pageLength, nullptr, outputBuffer, capacity);
}

extern "C" int32_t WapConvertCharset(char** callerText, char** deviceText, char** pageText,
                                     int32_t* pageLength, const char* pageCharset, char** outputBuffer,
                                     int32_t* capacity) {
  return quillmark::ConvertExported(quillmark::ConvertPage, callerText, deviceText, pageText, pageLength,
                                    pageCharset, outputBuffer, capacity);
}

extern "C" const char* WapLastError(void) { return quillmark::FailureText(quillmark::lastFailure); }

extern "C" const char* LibraryVersion(void) { return quillmark::kVersionText; }
