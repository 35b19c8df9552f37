#include "tools/request_answer.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "interface/page_charset.h"
#include "tools/accept_lists.h"
#include "tools/gzip_coding.h"
#include "tools/http_validators.h"
#include "tools/media_types.h"
#include "tools/page_converter.h"
#include "tools/percent_encoding.h"
#include "transform/wmlc_encoder.h"

namespace quillmark::tools {

namespace {

// Smaller decks gain too little from compression to be worth it.
constexpr size_t kSmallestCompressedBody = 256;

// Headers that a 304 answer repeats from the answer it stands for.
constexpr std::string_view kNotModifiedHeaders[] = {"ETag", "Last-Modified", "Cache-Control", "Expires", "Vary"};

void RemoveHeader(HeaderList& headers, std::string_view name) {
  std::erase_if(headers, [&](const auto& header) { return EqualIgnoringCase(header.first, name); });
}

// "User-Agent, Accept" and the names an origin's Vary gave, each once.
std::string VaryWithUserAgent(const std::optional<std::string>& originVary) {
  std::string vary = "User-Agent, Accept";
  const std::string header = originVary.value_or("");
  std::string_view rest = header;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view name = TrimmedBlanks(rest.substr(0, comma));
    if (!name.empty() && !EqualIgnoringCase(name, "User-Agent") && !EqualIgnoringCase(name, "Accept")) {
      vary += ", " + std::string(name);
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return vary;
}

std::string ErrorDeck(int status) {
  const std::string title = std::to_string(status) + " " + ReasonPhrase(status);
  return "<?xml version=\"1.0\"?>\n"
         "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" \"http://www.wapforum.org/DTD/wml_1.1.xml\">\n"
         "<wml><card id=\"error\" title=\"" +
         title + "\"><p>" + title + "</p><p>" + StatusSentence(status) + "</p></card></wml>\n";
}

// The server's own content rendered for the client that asked.
Answer Rendered(const SourceContent& content, const HttpRequest& request) {
  Answer answer = ErrorAnswer(content.status, request);
  if (!content.location.empty()) answer.headers.emplace_back("Location", content.location);
  return answer;
}

// Validators of a file from a root folder; `variant` names what else the
// answer was made from.
void AddFileValidators(Answer& answer, const FileIdentity& file, const std::string& variant) {
  answer.headers.emplace_back("ETag", FileTag(file, variant));
  answer.headers.emplace_back("Last-Modified", HttpDate(static_cast<std::time_t>(file.mtimeNanoseconds / 1000000000)));
}

// The validators and Location of `answer`, made from `content` (a deck
// converted or compiled) rather than sent as it is: the origin's tag names
// what the origin sent, so the answer gets a tag of its own, from the file
// and `variant`, which names what else the answer was made from, or from
// its body.
void AddMadeValidators(Answer& answer, const SourceContent& content, const std::string& variant) {
  RemoveHeader(answer.headers, "ETag");
  if (content.file) {
    AddFileValidators(answer, *content.file, variant);
  } else if (answer.status == 200) {
    answer.headers.emplace_back("ETag", BodyTag(answer.body));
  }
  if (!content.location.empty()) answer.headers.emplace_back("Location", content.location);
}

// `answer` in the gzip coding when the client takes it and it is worth it;
// its tag then names the coded bytes.
Answer Compressed(Answer answer, const HttpRequest& request) {
  if (answer.body.size() < kSmallestCompressedBody ||
      !ListAccepts(request.Header("Accept-Encoding").value_or(""), "gzip")) {
    return answer;
  }
  std::optional<std::string> coded = Gzipped(answer.body);
  if (!coded) return answer;
  answer.body = std::move(*coded);
  answer.headers.emplace_back("Content-Encoding", "gzip");
  for (auto& [name, value] : answer.headers) {
    if (EqualIgnoringCase(name, "Vary")) value += ", Accept-Encoding";
    if (EqualIgnoringCase(name, "ETag") && value.size() >= 2) value.insert(value.size() - 1, "-gzip");
  }
  return answer;
}

Answer Converted(SourceContent content, const HttpRequest& request, const std::string& generation,
                 const DeckForm& parts) {
  const std::optional<std::string> userAgent = request.Header("User-Agent");
  std::optional<ConvertedPage> page = ConvertPage(content.body, userAgent, request.Header("Accept").value_or(""),
                                                  CharsetOfContentType(content.mediaType), parts);
  if (!page) {
    Answer failed = ErrorAnswer(ConversionFailureText() == "no such part" ? 404 : 500, request);
    // How many parts a page has depends on the device.
    RemoveHeader(failed.headers, "Vary");
    failed.headers.emplace_back("Vary", VaryWithUserAgent(std::nullopt));
    return failed;
  }
  Answer answer{content.status, std::move(page->mediaType), std::move(page->body), std::move(content.headers),
                std::move(page->device)};
  const std::optional<std::string> originVary = FindHeader(answer.headers, "Vary");
  RemoveHeader(answer.headers, "Vary");
  // Caches must keep one deck per device text.
  answer.headers.emplace_back("Vary", VaryWithUserAgent(originVary));
  AddMadeValidators(answer, content,
                    generation + "\n" + answer.device + "\n" + answer.mediaType + "\n" + std::to_string(parts.part));
  return Compressed(std::move(answer), request);
}

Answer AsIs(SourceContent content) {
  Answer answer{content.status, std::move(content.mediaType), std::move(content.body), std::move(content.headers), "-"};
  if (content.file) {
    AddFileValidators(answer, *content.file, "");
    answer.headers.emplace_back("Accept-Ranges", "bytes");
  }
  if (!content.location.empty()) answer.headers.emplace_back("Location", content.location);
  return answer;
}

// A WML deck sent as it is (a .wml file, or an origin's deck), compiled for
// a client that prefers WMLC, as converted pages are; either form varies
// with Accept. A deck whose charset, other than UTF-8, only the
// Content-Type names, which the compiler does not read, is sent as it is to
// everyone.
Answer PassedDeck(SourceContent content, const HttpRequest& request) {
  const std::string charset = CharsetOfContentType(content.mediaType);
  const bool charsetOutside = !charset.empty() && !IsUtf8Name(charset) && !OwnDeckEncoding(content.body);
  const bool compiled =
      !charsetOutside && ListPrefers(request.Header("Accept").value_or(""), kCompiledDeckMediaType, kDeckMediaType);
  if (!compiled) {
    Answer answer = AsIs(std::move(content));
    if (!charsetOutside) answer.headers.emplace_back("Vary", "Accept");
    return answer;
  }
  Answer answer{content.status, std::string(kCompiledDeckMediaType), CompileWmlc(CompilableDeck(content.body)),
                std::move(content.headers), "-"};
  answer.headers.emplace_back("Vary", "Accept");
  AddMadeValidators(answer, content, std::string(kCompiledDeckMediaType));
  return answer;
}

// `earlier`, a header's value the client sent or "", with `added` after it.
std::string Appended(const std::string& earlier, const std::string& added) {
  return earlier.empty() ? added : earlier + ", " + added;
}

// What an origin is asked with besides the request (see SourceRequest):
// the client's session, credentials and languages, and, as a gateway
// sends them, this server in Via and the client in X-Forwarded-For.
HeaderList ForwardedHeaders(const HttpRequest& request) {
  HeaderList forwarded;
  for (const auto& [name, value] : request.headers) {
    const auto named = [&](std::string_view wanted) { return EqualIgnoringCase(name, wanted); };
    if (std::any_of(std::begin(kForwardedHeaders), std::end(kForwardedHeaders), named)) {
      forwarded.emplace_back(name, value);
    }
  }
  const std::string version = request.version.rfind("HTTP/", 0) == 0 ? request.version.substr(5) : request.version;
  forwarded.emplace_back("Via", Appended(request.Header("Via").value_or(""), version + " quillmark"));
  if (request.clientAddress.empty() || request.clientAddress == "-") return forwarded;
  forwarded.emplace_back("X-Forwarded-For",
                         Appended(request.Header("X-Forwarded-For").value_or(""), request.clientAddress));
  return forwarded;
}

// The answer for what the source gave: a page converted, a deck sent as it
// is or compiled, anything else as it is.
Answer AnswerFor(SourceContent content, const HttpRequest& request, const std::string& generation,
                 const DeckForm& parts) {
  if (IsConvertedMediaType(content.mediaType)) return Converted(std::move(content), request, generation, parts);
  if (EqualIgnoringCase(MediaTypeEssence(content.mediaType), kDeckMediaType)) {
    return PassedDeck(std::move(content), request);
  }
  return AsIs(std::move(content));
}

// True when the client's copy, named by its conditional headers, is current.
bool ClientCopyIsCurrent(const Answer& answer, const HttpRequest& request) {
  const std::optional<std::string> tag = FindHeader(answer.headers, "ETag");
  if (const std::optional<std::string> noneMatch = request.Header("If-None-Match")) {
    return tag && NoneMatchNames(*noneMatch, *tag);
  }
  const std::optional<std::string> since = request.Header("If-Modified-Since");
  const std::optional<std::string> modified = FindHeader(answer.headers, "Last-Modified");
  if (!since || !modified) return false;
  const std::optional<std::time_t> sinceTime = ParseHttpDate(*since);
  const std::optional<std::time_t> modifiedTime = ParseHttpDate(*modified);
  return sinceTime && modifiedTime && *modifiedTime <= *sinceTime;
}

Answer NotModified(const Answer& answer) {
  Answer kept{304, "", "", {}, answer.device};
  for (std::string_view name : kNotModifiedHeaders) {
    if (std::optional<std::string> value = FindHeader(answer.headers, name)) kept.headers.emplace_back(name, *value);
  }
  return kept;
}

// True when an If-Range header lets the range apply to this answer.
bool RangeStillApplies(const Answer& answer, const HttpRequest& request) {
  const std::optional<std::string> ifRange = request.Header("If-Range");
  if (!ifRange) return true;
  return *ifRange == FindHeader(answer.headers, "ETag").value_or("") ||
         *ifRange == FindHeader(answer.headers, "Last-Modified").value_or("");
}

// The part of a file that a Range header asks for; only files sent as they
// are (those that accept ranges) are cut.
Answer WithRange(Answer answer, const HttpRequest& request) {
  const std::optional<std::string> range = request.Header("Range");
  if (!range || !FindHeader(answer.headers, "Accept-Ranges") || !RangeStillApplies(answer, request)) return answer;
  const std::optional<ByteRange> bytes = ParseByteRange(*range, answer.body.size());
  if (!bytes) return answer;
  const std::string size = std::to_string(answer.body.size());
  if (bytes->first > bytes->last) {
    Answer refused = ErrorAnswer(416, request);
    refused.headers.emplace_back("Content-Range", "bytes */" + size);
    return refused;
  }
  answer.status = 206;
  answer.headers.emplace_back("Content-Range", "bytes " + std::to_string(bytes->first) + "-" +
                                                   std::to_string(bytes->last) + "/" + size);
  answer.body = answer.body.substr(bytes->first, bytes->last - bytes->first + 1);
  return answer;
}

bool IsReadMethod(const std::string& method) { return method == "GET" || method == "HEAD"; }

// A request target with the part parameter taken off its query.
struct PartTarget {
  std::string target;  // what the source is asked for
  int32_t part = 1;    // 0 for a part parameter that is no number from 1
  bool hasQuery = false;
};

// The part a parameter's value names: a decimal number from 1; 0 for
// anything else.
int32_t PartNumber(std::string_view value) {
  if (value.empty() || value.size() > 10) return 0;
  int64_t part = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    part = part * 10 + (c - '0');
  }
  return part >= 1 && part <= INT32_MAX ? static_cast<int32_t>(part) : 0;
}

PartTarget TakePartParameter(const std::string& target, const std::string& name) {
  const size_t question = target.find('?');
  PartTarget taken{target.substr(0, question), 1, false};
  if (question == std::string::npos) return taken;
  std::string_view query = std::string_view(target).substr(question + 1);
  std::string kept;
  // Invariant: `kept` holds the parameters before `query` other than the part's.
  while (true) {
    const size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    // Percent-encoded octets of a name or value mean the octets themselves.
    const std::size_t equals = item.find('=');
    if (PercentDecoded(item.substr(0, equals)) == name) {
      const std::string_view value = equals != std::string_view::npos ? item.substr(equals + 1) : std::string_view();
      taken.part = PartNumber(PercentDecoded(value));
    } else if (!item.empty()) {
      kept.append(kept.empty() ? "" : "&").append(item);
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  taken.hasQuery = !kept.empty();
  if (taken.hasQuery) taken.target += "?" + kept;
  return taken;
}

}  // namespace

Answer ErrorAnswer(int status, const HttpRequest& request) {
  // The form of the body follows Accept, as a deck's does: a cache keeps
  // one answer for each.
  const HeaderList vary{{"Vary", "Accept"}};
  const std::string accept = request.Header("Accept").value_or("");
  if (ListPrefers(accept, kCompiledDeckMediaType, kDeckMediaType)) {
    return Answer{status, std::string(kCompiledDeckMediaType), CompileWmlc(ErrorDeck(status)), vary, "-"};
  }
  if (ListAccepts(accept, kDeckMediaType)) {
    return Answer{status, std::string(kDeckMediaType), ErrorDeck(status), vary, "-"};
  }
  SourceContent plain = ErrorContent(status);
  return Answer{status, std::move(plain.mediaType), std::move(plain.body), vary, "-"};
}

Answer AnswerRequest(const ContentSource& source, const HttpRequest& request, const std::string& generation,
                     const std::string& partParameter) {
  if (!IsReadMethod(request.method) && !(request.method == "POST" && source.AcceptsPost())) {
    Answer refused = ErrorAnswer(405, request);
    refused.headers.emplace_back("Allow", source.AcceptsPost() ? "GET, HEAD, POST" : "GET, HEAD");
    return refused;
  }
  const PartTarget target = TakePartParameter(request.target, partParameter);
  if (target.part == 0) return ErrorAnswer(404, request);
  SourceRequest fetch{request.method, request.path, target.target, request.Header("User-Agent").value_or(""),
                      request.body, request.Header("Content-Type").value_or(""), {}};
  fetch.forwarded = ForwardedHeaders(request);
  SourceContent content = source.Fetch(fetch);
  if (content.generated) return Rendered(content, request);
  DeckForm parts;
  parts.part = target.part;
  parts.firstPartLink = target.target;
  parts.partLink = target.target + (target.hasQuery ? "&" : "?") + partParameter + "={n}";
  Answer answer = AnswerFor(std::move(content), request, generation, parts);
  if (answer.status != 200 || !IsReadMethod(request.method)) return answer;
  if (ClientCopyIsCurrent(answer, request)) return NotModified(answer);
  return WithRange(std::move(answer), request);
}

}  // namespace quillmark::tools
