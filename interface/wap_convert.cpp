// The conversion entry point and the version text.

#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "base/utf8.h"
#include "device/configuration.h"
#include "interface/conversion.h"
#include "interface/page_charset.h"
#include "markup/conversion_budget.h"
#include "markup/deck_writer.h"
#include "platform/transcoder.h"
#include "interface/library_version.h"
#include "interface/quillmark.h"
#include "device/working_variables.h"
#include "markup/xml_node.h"
#include "transform/conversion.h"
#include "transform/deck_splitter.h"
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
enum class ConversionFailure { kNone, kDidNotFit, kBudget, kOutOfMemory, kInvalidArguments, kNoSuchPart };
thread_local ConversionFailure lastFailure = ConversionFailure::kNone;

const char* FailureText(ConversionFailure failure) {
  switch (failure) {
    case ConversionFailure::kNone: return "";
    case ConversionFailure::kDidNotFit: return "did not fit";
    case ConversionFailure::kBudget: return "page exceeds the conversion budget";
    case ConversionFailure::kOutOfMemory: return "out of memory";
    case ConversionFailure::kInvalidArguments: return "invalid arguments";
    case ConversionFailure::kNoSuchPart: return "no such part";
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
  return MakeDeckFor(configuration, configuration->findDevice(deviceText), page, hostCharset);
}

namespace {

// A deck this long is past the conversion budget of `page`: throws.
void CheckBudget(const std::string& deck, std::string_view page) {
  if (static_cast<int64_t>(deck.size()) > ConversionBudgetFor(static_cast<int64_t>(page.size()))) {
    throw ConversionBudgetExceeded();
  }
}

// The deck for `page` in UTF-8, whatever encoding its declaration names;
// MakeDeckFor encodes it.
std::string MakeUtf8DeckFor(const std::shared_ptr<const DeviceConfiguration>& configuration, const CDevice* device,
                            std::string_view page, std::string_view hostCharset) {
  const CWmlSettings& settings = settingsOf(device);
  WrittenDeck written;
  {
    // The document's records read the configuration's marker words until
    // the root is gone; `configuration` outlives it. The tree is released
    // before the deck's pieces are joined.
    CXmlNode root;
    std::string decoded;
    {
      auto context = std::make_unique<CWorkingVariables>(configuration);
      context->device = device;
      Conversion conversion(root, *context);
      root.SetContext(std::move(context));
      const std::string_view text = PageText(page, settings, hostCharset, decoded);
      if (!text.empty()) root.ParseMarkup(text.data(), static_cast<int32_t>(text.size()));
      NormalizeTree(conversion);
      XHtmlToWml(conversion);
    }
    // The deck is written from the tree alone.
    root.SetContext(nullptr);
    EscapeRules rules;
    rules.convertReferences = settings.convertEntities != 0;
    rules.doubleDollars = settings.doubleDollars != 0;
    // Copied bytes in another charset are no UTF-8 to filter.
    rules.utf8Text = settings.transcode != 0 || IsUtf8Name(DeclaredEncoding(settings.xmlVersion));
    rules.checkUtf8 = settings.transcode != 0;
    // A deck is mostly smaller than its page: half the page is room enough
    // for most, and the writer adds pieces for the rest.
    written = WriteDeckPieces(root, kBreakList, rules, page.size() / 2 + 1024);
  }
  return std::move(written).Joined();
}

// A deck's parts as CutDeck leaves them: in the encoding the deck's
// declaration names, or, where the compiler cannot read that encoding's
// bytes (UTF-16, ISO-2022-JP, one WBXML has no number for: see
// CompilesAsItStands), in UTF-8 until each part is finished, since the
// splitter and the compiler read bytes.
struct CutParts {
  std::vector<std::string> parts;
  const CWmlSettings* settings = nullptr;
  bool utf8 = false;
};

// The page's deck for the device `deviceText` selects, cut to that
// device's limits: one part, the whole deck, for a device without limits.
CutParts CutDeck(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                 std::string_view page, const DeckRequest& request) {
  const CDevice* device = configuration->findDevice(deviceText);
  const CWmlSettings& settings = settingsOf(device);
  DeckLimits limits;
  limits.maxCardSize = settings.maxCardSize;
  limits.maxDeckSize = settings.maxDeckSize;
  limits.nextLabel = settings.nextLabel;
  limits.backLabel = settings.backLabel;
  CutParts cut;
  cut.settings = &settings;
  // A whole deck in text reads the same made either way.
  const bool readByBytes = limits.Any() || request.compiled;
  cut.utf8 = settings.transcode != 0 && readByBytes && !CompilesAsItStands(DeclaredEncoding(settings.xmlVersion));
  std::string deck;
  if (cut.utf8) {
    deck = MakeUtf8DeckFor(configuration, device, page, request.hostCharset);
    CheckBudget(deck, page);
  } else {
    deck = MakeDeckFor(configuration, device, page, request.hostCharset);
  }
  if (limits.Any()) {
    cut.parts = SplitDeck(deck, limits, request.links);
  } else {
    cut.parts.push_back(std::move(deck));
  }
  return cut;
}

// A part of `cut` in the form asked for: compiled, or text. A part held in
// UTF-8 is compiled as a UTF-8 deck, whose strings are then in the charset
// its header names, and written as text in the encoding it names.
std::string FinishedPart(std::string part, const CutParts& cut, bool compiled) {
  if (!cut.utf8) return compiled ? CompileWmlc(part) : std::move(part);
  if (compiled) return CompileWmlc(WithUtf8Declaration(std::move(part)));
  return EncodedDeck(std::move(part), *cut.settings);
}

}  // namespace

std::string MakeDeckFor(const std::shared_ptr<const DeviceConfiguration>& configuration, const CDevice* device,
                        std::string_view page, std::string_view hostCharset) {
  std::string deck = EncodedDeck(MakeUtf8DeckFor(configuration, device, page, hostCharset), settingsOf(device));
  CheckBudget(deck, page);
  return deck;
}

DeckAnswer MakeDeckPart(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                        std::string_view page, const DeckRequest& request) {
  CutParts cut = CutDeck(configuration, deviceText, page, request);
  DeckAnswer answer;
  answer.parts = static_cast<int32_t>(std::min<size_t>(cut.parts.size(), INT32_MAX));
  if (request.part < 1 || request.part > answer.parts) return answer;
  answer.found = true;
  answer.bytes = FinishedPart(std::move(cut.parts[static_cast<size_t>(request.part - 1)]), cut, request.compiled);
  return answer;
}

std::vector<std::string> MakeDeckParts(const std::shared_ptr<const DeviceConfiguration>& configuration,
                                       const char* deviceText, std::string_view page, const DeckRequest& request) {
  CutParts cut = CutDeck(configuration, deviceText, page, request);
  for (std::string& part : cut.parts) part = FinishedPart(std::move(part), cut, request.compiled);
  return std::move(cut.parts);
}

namespace {

// The page's bytes as a view; empty for a null page or a length below 1.
std::string_view PageView(const char* page, int32_t pageLength) {
  return page != nullptr && pageLength > 0 ? std::string_view(page, static_cast<size_t>(pageLength))
                                           : std::string_view();
}

// Copies `bytes` to `output` when they fit in `capacity`, with a
// terminating zero when `terminated`; returns their length, or 0 (writing
// nothing) when they do not fit. Capacity is at most INT32_MAX, so every
// length that fits is one too.
int32_t WriteOut(std::string_view bytes, bool terminated, char* output, int32_t capacity) {
  const uint64_t needed = bytes.size() + (terminated ? 1 : 0);
  if (output == nullptr || capacity < 0 || static_cast<uint64_t>(capacity) < needed) {
    lastFailure = ConversionFailure::kDidNotFit;
    return 0;
  }
  std::memcpy(output, bytes.data(), bytes.size());
  if (terminated) output[bytes.size()] = '\0';
  return static_cast<int32_t>(bytes.size());
}

}  // namespace

int32_t ConvertPart(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                    const char* page, int32_t pageLength, const DeckRequest& request, char* output,
                    int32_t capacity, int32_t* partCount) {
  const DeckAnswer answer = MakeDeckPart(configuration, deviceText, PageView(page, pageLength), request);
  if (partCount != nullptr) *partCount = answer.parts;
  if (!answer.found) {
    lastFailure = ConversionFailure::kNoSuchPart;
    return 0;
  }
  // Text decks carry a terminating zero; compiled ones are binary and fit exactly.
  return WriteOut(answer.bytes, !request.compiled, output, capacity);
}

int32_t ConvertParts(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                     const char* page, int32_t pageLength, const DeckRequest& request, char* output,
                     int32_t capacity, int32_t* partEnds, int32_t partSlots, int32_t* partCount) {
  const std::vector<std::string> parts = MakeDeckParts(configuration, deviceText, PageView(page, pageLength), request);
  *partCount = static_cast<int32_t>(std::min<size_t>(parts.size(), INT32_MAX));
  // Text parts carry a terminating zero each; compiled ones are binary.
  const uint64_t terminator = request.compiled ? 0 : 1;
  uint64_t needed = 0;
  for (const std::string& part : parts) needed += part.size() + terminator;
  if (output == nullptr || partEnds == nullptr || capacity < 0 || static_cast<uint64_t>(capacity) < needed ||
      partSlots < 0 || static_cast<uint64_t>(partSlots) < parts.size()) {
    lastFailure = ConversionFailure::kDidNotFit;
    return 0;
  }
  // output[0, end) holds the parts before `i`; capacity bounds every end.
  int32_t end = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    end += WriteOut(parts[i], !request.compiled, output + end, capacity - end) + static_cast<int32_t>(terminator);
    partEnds[i] = end;
  }
  return end;
}

int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity, const char* hostCharset) {
  const std::string deck =
      MakeDeck(configuration, deviceText, PageView(page, pageLength), hostCharset != nullptr ? hostCharset : "");
  return WriteOut(deck, true, output, capacity);
}

namespace {

// The exported conversion: checks the by-reference arguments, runs
// `convert` with the configuration current after the freshness check (the
// snapshot stays alive for the whole conversion), and returns 0 for every
// failure, recording why for WapLastError. `partCount` may be null.
template <typename Convert>
int32_t Exported(char** callerText, char** deviceText, char** pageText, int32_t* pageLength, char** outputBuffer,
                 int32_t* capacity, int32_t* partCount, Convert convert) {
  lastFailure = ConversionFailure::kNone;
  if (partCount != nullptr) *partCount = 0;
  if (callerText == nullptr || deviceText == nullptr || pageText == nullptr ||
      pageLength == nullptr || outputBuffer == nullptr || capacity == nullptr) {
    lastFailure = ConversionFailure::kInvalidArguments;
    return 0;
  }
  int32_t written = 0;
  try {
    refreshConfiguration();
    written = convert(currentConfiguration());
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

// One part (or the whole deck) of a page, as `request` asks.
int32_t ConvertExported(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                        const DeckRequest& request, char** outputBuffer, int32_t* capacity, int32_t* partCount) {
  return Exported(callerText, deviceText, pageText, pageLength, outputBuffer, capacity, partCount,
                  [&](const std::shared_ptr<const DeviceConfiguration>& configuration) {
                    return ConvertPart(configuration, *deviceText, *pageText, *pageLength, request, *outputBuffer,
                                       *capacity, partCount);
                  });
}

DeckRequest RequestFor(const char* charset, bool compiled) {
  DeckRequest request;
  request.hostCharset = charset != nullptr ? charset : "";
  request.compiled = compiled;
  request.links.pattern = kDefaultPartLink;
  return request;
}

// The form and links of a part request from the exported arguments; false
// (recorded as invalid arguments) for an unknown format.
bool PartRequest(const char* pageCharset, int32_t format, const char* partLink, const char* firstPartLink,
                 DeckRequest& request) {
  request = RequestFor(pageCharset, format == WAP_FORMAT_WMLC);
  request.links.pattern = partLink != nullptr && *partLink != '\0' ? partLink : kDefaultPartLink;
  request.links.first = firstPartLink != nullptr ? firstPartLink : "";
  if (format == WAP_FORMAT_WML || format == WAP_FORMAT_WMLC) return true;
  lastFailure = ConversionFailure::kInvalidArguments;
  return false;
}

}  // namespace
}  // namespace quillmark

extern "C" int32_t WapConvert(char** callerText, char** deviceText, char** pageText,
                              int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  return quillmark::ConvertExported(callerText, deviceText, pageText, pageLength,
                                    quillmark::RequestFor(nullptr, false), outputBuffer, capacity, nullptr);
}

extern "C" int32_t WapConvertWmlc(char** callerText, char** deviceText, char** pageText,
                                  int32_t* pageLength, char** outputBuffer, int32_t* capacity) {
  return quillmark::ConvertExported(callerText, deviceText, pageText, pageLength,
                                    quillmark::RequestFor(nullptr, true), outputBuffer, capacity, nullptr);
}

extern "C" int32_t WapConvertCharset(char** callerText, char** deviceText, char** pageText,
                                     int32_t* pageLength, const char* pageCharset, char** outputBuffer,
                                     int32_t* capacity) {
  return quillmark::ConvertExported(callerText, deviceText, pageText, pageLength,
                                    quillmark::RequestFor(pageCharset, false), outputBuffer, capacity, nullptr);
}

extern "C" int32_t WapConvertPart(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                                  const char* pageCharset, int32_t format, int32_t part, const char* partLink,
                                  const char* firstPartLink, char** outputBuffer, int32_t* capacity,
                                  int32_t* partCount) {
  quillmark::DeckRequest request;
  if (!quillmark::PartRequest(pageCharset, format, partLink, firstPartLink, request)) {
    if (capacity != nullptr) *capacity = 0;
    if (partCount != nullptr) *partCount = 0;
    return 0;
  }
  request.part = part;
  return quillmark::ConvertExported(callerText, deviceText, pageText, pageLength, request, outputBuffer, capacity,
                                    partCount);
}

extern "C" int32_t WapConvertParts(char** callerText, char** deviceText, char** pageText, int32_t* pageLength,
                                   const char* pageCharset, int32_t format, const char* partLink,
                                   const char* firstPartLink, char** outputBuffer, int32_t* capacity,
                                   int32_t* partEnds, int32_t partSlots, int32_t* partCount) {
  quillmark::DeckRequest request;
  if (partCount == nullptr || !quillmark::PartRequest(pageCharset, format, partLink, firstPartLink, request)) {
    if (partCount == nullptr) quillmark::lastFailure = quillmark::ConversionFailure::kInvalidArguments;
    if (capacity != nullptr) *capacity = 0;
    if (partCount != nullptr) *partCount = 0;
    return 0;
  }
  return quillmark::Exported(callerText, deviceText, pageText, pageLength, outputBuffer, capacity, partCount,
                             [&](const std::shared_ptr<const quillmark::DeviceConfiguration>& configuration) {
                               return quillmark::ConvertParts(configuration, *deviceText, *pageText, *pageLength,
                                                              request, *outputBuffer, *capacity, partEnds,
                                                              partSlots, partCount);
                             });
}

extern "C" const char* WapLastError(void) { return quillmark::FailureText(quillmark::lastFailure); }

extern "C" const char* LibraryVersion(void) { return quillmark::kVersionText; }
