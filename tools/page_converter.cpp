#include "tools/page_converter.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "interface/page_charset.h"
#include "interface/quillmark.h"
#include "tools/accept_lists.h"
#include "tools/ascii_case.h"
#include "tools/media_types.h"
#include "tools/request_path.h"

namespace quillmark::tools {

namespace {

namespace fs = std::filesystem;

constexpr int64_t kLargestBuffer = INT32_MAX;

// First buffer size: decks are rarely more than twice their page.
int64_t FirstBufferSize(size_t pageSize) {
  return std::min<int64_t>(static_cast<int64_t>(pageSize) * 2 + 4096, kLargestBuffer);
}

// The texts of one conversion as the C interface takes them: writable
// pointers, of which it changes none; the page, which it only reads, is
// passed as it is, the device text as a copy.
struct CallTexts {
  CallTexts(const std::string& page, const std::optional<std::string>& device)
      : deviceCopy(device.value_or("")),
        deviceText(device ? deviceCopy.data() : nullptr),
        pageText(const_cast<char*>(page.data())),
        pageLength(static_cast<int32_t>(page.size())) {}
  std::string deviceCopy;
  char* caller = nullptr;
  char* deviceText;
  char* pageText;
  int32_t pageLength;
};

// Calls `convert(buffer)` with a buffer of FirstBufferSize(pageSize) bytes
// that doubles, up to kLargestBuffer, for as long as the conversion did not
// fit; returns the first answer, or nullopt when the conversion failed
// otherwise or never fit (WapLastError says why).
template <typename Result, typename Convert>
std::optional<Result> WithGrowingBuffer(size_t pageSize, Convert convert) {
  std::vector<char> buffer;
  for (int64_t size = FirstBufferSize(pageSize);; size = std::min(size * 2, kLargestBuffer)) {
    buffer.resize(static_cast<size_t>(size));
    if (std::optional<Result> result = convert(buffer)) return result;
    // Only a conversion that did not fit is worth a larger buffer.
    if (size == kLargestBuffer || std::string_view(WapLastError()) != "did not fit") return std::nullopt;
  }
}

// The text, or null when it is empty (the interface's "none given").
const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

std::optional<ConvertedDeck> ConvertDeck(const std::string& page, const std::optional<std::string>& device,
                                         const std::string& charset, const DeckForm& form) {
  if (page.size() > static_cast<size_t>(INT32_MAX)) return std::nullopt;
  CallTexts texts(page, device);
  const int32_t format = form.wmlc ? WAP_FORMAT_WMLC : WAP_FORMAT_WML;
  return WithGrowingBuffer<ConvertedDeck>(page.size(), [&](std::vector<char>& buffer) -> std::optional<ConvertedDeck> {
    char* output = buffer.data();
    int32_t capacity = static_cast<int32_t>(buffer.size());
    int32_t parts = 0;
    const int32_t written =
        WapConvertPart(&texts.caller, &texts.deviceText, &texts.pageText, &texts.pageLength, OrNull(charset), format,
                       form.part, OrNull(form.partLink), OrNull(form.firstPartLink), &output, &capacity, &parts);
    if (written == 0) return std::nullopt;
    return ConvertedDeck{std::string(output, static_cast<size_t>(written)), parts};
  });
}

std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device,
                                         const std::string& charset) {
  std::optional<ConvertedDeck> deck = ConvertDeck(page, device, charset, DeckForm{});
  if (!deck) return std::nullopt;
  return std::move(deck->body);
}

std::string PartFileName(const std::string& name, int32_t part) {
  if (part == 1) return name;
  const fs::path path(name);
  return (path.parent_path() / (path.stem().string() + "-" + std::to_string(part) + path.extension().string())).string();
}

std::optional<std::vector<std::string>> ConvertDeckParts(const std::string& page,
                                                        const std::optional<std::string>& device,
                                                        const std::string& charset, const DeckForm& form) {
  if (page.size() > static_cast<size_t>(INT32_MAX)) return std::nullopt;
  CallTexts texts(page, device);
  const int32_t format = form.wmlc ? WAP_FORMAT_WMLC : WAP_FORMAT_WML;
  std::vector<int32_t> ends(1);
  using Bodies = std::vector<std::string>;
  return WithGrowingBuffer<Bodies>(page.size(), [&](std::vector<char>& buffer) -> std::optional<Bodies> {
    char* output = buffer.data();
    int32_t capacity = static_cast<int32_t>(buffer.size());
    int32_t parts = 0;
    const int32_t written = WapConvertParts(&texts.caller, &texts.deviceText, &texts.pageText, &texts.pageLength,
                                            OrNull(charset), format, OrNull(form.partLink),
                                            OrNull(form.firstPartLink), &output, &capacity, ends.data(),
                                            static_cast<int32_t>(ends.size()), &parts);
    if (written == 0) {
      // The next try has room for every part's offset.
      if (static_cast<size_t>(parts) > ends.size()) ends.resize(static_cast<size_t>(parts));
      return std::nullopt;
    }
    Bodies bodies;
    // Text parts end with their terminating zero, which the file leaves out.
    const int32_t terminator = form.wmlc ? 0 : 1;
    for (int32_t part = 0, start = 0; part < parts; start = ends[static_cast<size_t>(part)], ++part) {
      bodies.emplace_back(output + start, static_cast<size_t>(ends[static_cast<size_t>(part)] - start - terminator));
    }
    return bodies;
  });
}

std::optional<std::vector<DeckFile>> ConvertToDeckFiles(const std::string& page, const std::optional<std::string>& device,
                                                         const std::string& charset, bool wmlc,
                                                         const std::string& target) {
  const fs::path path(target);
  DeckForm form;
  form.wmlc = wmlc;
  // A file beside the deck, as a relative link names it ("my%20page.wml").
  form.firstPartLink = EncodedSegment(path.filename().string(), true);
  form.partLink =
      EncodedSegment(path.stem().string(), true) + "-{n}" + EncodedSegment(path.extension().string(), true);
  std::optional<std::vector<std::string>> parts = ConvertDeckParts(page, device, charset, form);
  if (!parts) return std::nullopt;
  std::vector<DeckFile> files;
  for (size_t part = 0; part < parts->size(); ++part) {
    files.push_back(DeckFile{PartFileName(target, static_cast<int32_t>(part + 1)), std::move((*parts)[part])});
  }
  return files;
}

std::optional<std::string> PartsOverwritingOthers(const std::vector<DeckFile>& files,
                                                  const std::set<std::string>& taken) {
  // Part 1 has the name planned for the page itself.
  for (std::size_t part = 1; part < files.size(); ++part) {
    if (taken.count(files[part].path) == 0) continue;
    return "its part " + std::to_string(part + 1) + " would be written to " + files[part].path +
           ", which another file is written to: no part written (rename one of the two)";
  }
  return std::nullopt;
}

std::string SelectedDeviceName(const std::optional<std::string>& device) {
  const char* text = device ? device->c_str() : nullptr;
  std::string name(64, '\0');
  int32_t length = WapDeviceName(text, name.data(), static_cast<int32_t>(name.size()));
  if (static_cast<size_t>(length) >= name.size()) {
    name.assign(static_cast<size_t>(length) + 1, '\0');
    length = WapDeviceName(text, name.data(), static_cast<int32_t>(name.size()));
    // A reload between the two calls may have lengthened the name again.
    if (static_cast<size_t>(length) >= name.size()) return std::string();
  }
  name.resize(static_cast<size_t>(length));
  return name;
}

std::optional<ConvertedPage> ConvertPage(const std::string& page, const std::optional<std::string>& userAgent,
                                         const std::string& accept, const std::string& charset,
                                         const DeckForm& parts) {
  DeckForm form = parts;
  form.wmlc = ListPrefers(accept, kCompiledDeckMediaType, kDeckMediaType);
  std::optional<ConvertedDeck> deck = ConvertDeck(page, userAgent, charset, form);
  if (!deck) return std::nullopt;
  const std::string name = SelectedDeviceName(userAgent);
  std::string mediaType = form.wmlc ? std::string(kCompiledDeckMediaType) : DeckMediaType(deck->body);
  return ConvertedPage{std::move(mediaType), std::move(deck->body), name.empty() ? "(default)" : name};
}

std::string ConversionFailureText() {
  const std::string_view reason = WapLastError();
  // A deck that never fit, even at the largest buffer, is past 2 GiB.
  if (reason.empty() || reason == "did not fit") return "the page or its deck is larger than 2 GiB";
  return std::string(reason);
}

std::string CharsetOfContentType(std::string_view contentType) {
  // Parameters follow ";": name=value, the value possibly quoted.
  for (size_t at = contentType.find(';'); at != std::string_view::npos; at = contentType.find(';', at + 1)) {
    std::string_view parameter = contentType.substr(at + 1);
    parameter = parameter.substr(0, parameter.find(';'));
    const size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    std::string name(parameter.substr(0, equals));
    std::erase_if(name, [](char c) { return c == ' ' || c == '\t'; });
    if (!EqualIgnoringCase(name, "charset")) continue;
    std::string value(parameter.substr(equals + 1));
    std::erase_if(value, [](char c) { return c == ' ' || c == '\t' || c == '"'; });
    return value;
  }
  return "";
}

std::string DeckMediaType(std::string_view deck) {
  // The declaration's ASCII characters: a deck in UTF-16 or UTF-32 writes
  // each in two or four bytes, all zero but one, after a byte-order mark
  // whose bytes lie beyond ASCII.
  std::string line;
  for (char c : deck.substr(0, 512)) {
    if (c == '\n') break;
    if (c != '\0' && static_cast<unsigned char>(c) < 0x80) line.push_back(c);
  }
  // Read as the library read it to write the deck.
  return std::string(kDeckMediaType) + "; charset=" + Lowered(DeclaredEncoding(line));
}

}  // namespace quillmark::tools
