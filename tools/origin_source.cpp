#include "tools/origin_source.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "tools/ascii_case.h"
#include "tools/base_href.h"
#include "tools/media_types.h"
#include "tools/request_path.h"

namespace quillmark::tools {

namespace {

// What one transfer collects while it runs.
struct Transfer {
  uint64_t maxBytes = 0;
  bool tooLarge = false;
  std::string body;
  HeaderList headers;  // names in lower case, of the last answer only
};

constexpr long kConnectMilliseconds = 5000;
constexpr char kAccept[] = "Accept: text/html, application/xhtml+xml, text/vnd.wap.wml, image/*;q=0.8, */*;q=0.5";
// An origin's headers that a client or cache needs as they are; the
// session, credentials and language of a page hold for its deck as well.
constexpr std::string_view kPassedHeaders[] = {"etag",       "last-modified",    "cache-control",   "expires",
                                               "vary",       "set-cookie",       "www-authenticate",
                                               "content-language"};

struct CurlDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// One transfer handle per worker thread: kept across fetches so that the
// origin's connections are used again.
CURL* ThreadHandle() {
  thread_local std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (handle) curl_easy_reset(handle.get());
  return handle.get();
}

size_t ReceiveBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  const size_t length = size * count;
  if (transfer.body.size() + length > transfer.maxBytes) {
    transfer.tooLarge = true;
    return 0;  // ends the transfer
  }
  transfer.body.append(data, length);
  return length;
}

size_t ReceiveHeader(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  const std::string_view line(data, size * count);
  // An interim answer (100 Continue) is followed by the real one.
  if (line.rfind("HTTP/", 0) == 0) transfer.headers.clear();
  const size_t colon = line.find(':');
  if (colon != std::string_view::npos) {
    transfer.headers.emplace_back(Lowered(TrimmedBlanks(line.substr(0, colon))),
                                  std::string(TrimmedBlanks(line.substr(colon + 1))));
  }
  return size * count;
}

void InitializeCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

SourceContent ContentOf(CURL* easy, Transfer& transfer) {
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  SourceContent content;
  content.status = static_cast<int>(status);
  content.mediaType = FindHeader(transfer.headers, "content-type").value_or("");
  if (content.mediaType.empty()) content.mediaType = "application/octet-stream";
  content.body = std::move(transfer.body);
  for (const auto& [name, value] : transfer.headers) {
    if (std::find(std::begin(kPassedHeaders), std::end(kPassedHeaders), name) != std::end(kPassedHeaders)) {
      content.headers.emplace_back(name, value);
    }
  }
  return content;
}

void SetTransferOptions(CURL* easy, const std::string& url, const SourceRequest& request, curl_slist* headers,
                        const OriginSettings& settings, Transfer& transfer) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::min<long>(kConnectMilliseconds, settings.timeout.count()));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.timeout.count()));
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxBytes));
  // Origins may send a content coding unasked, and the server passes no
  // Content-Encoding on: the body is decoded here, every coding libcurl
  // reads offered, and its decoded bytes are what the page limit counts.
  // A coding it cannot read fails the transfer (502).
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  if (!request.userAgent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
  if (!settings.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, settings.caFile.c_str());
  if (request.method == "POST") {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
  }
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, ReceiveBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReceiveHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
}

}  // namespace

OriginSource::OriginSource(const std::string& url, const OriginSettings& settings) : settings_(settings) {
  InitializeCurlOnce();
  const std::optional<UrlParts> parts = ParseHttpUrl(url);
  if (!parts) throw std::invalid_argument("the origin must be an http:// URL or an https:// one, not " + url);
  if (parts->rest.find_first_of("?# ") != std::string::npos) {
    throw std::invalid_argument("the origin URL " + url + " has a query");
  }
  origin_ = *parts;
  schemeHostPort_ = url.substr(0, url.size() - parts->rest.size());
  prefix_ = parts->rest;
  while (!prefix_.empty() && prefix_.back() == '/') prefix_.pop_back();
}

SourceContent OriginSource::Fetch(const SourceRequest& request) const {
  if (ParseRequestPath(request.path).refused) return ErrorContent(403);
  if (request.target.empty() || request.target[0] != '/') return ErrorContent(400);
  CURL* easy = ThreadHandle();
  if (easy == nullptr) return ErrorContent(502);
  std::unique_ptr<curl_slist, CurlDeleter> headers(curl_slist_append(nullptr, kAccept));
  // A POST body goes at once, without waiting for "100 Continue".
  headers.reset(curl_slist_append(headers.release(), "Expect:"));
  if (!request.contentType.empty()) {
    headers.reset(curl_slist_append(headers.release(), ("Content-Type: " + request.contentType).c_str()));
  }
  for (const auto& [name, value] : request.forwarded) {
    headers.reset(curl_slist_append(headers.release(), (name + ": " + value).c_str()));
  }
  Transfer transfer;
  transfer.maxBytes = settings_.maxBytes;
  const std::string url = schemeHostPort_ + prefix_ + request.target;
  SetTransferOptions(easy, url, request, headers.get(), settings_, transfer);
  const CURLcode result = curl_easy_perform(easy);
  // The handle outlives this call; it must not keep pointers into it.
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED) return ErrorContent(413);
  if (result == CURLE_OPERATION_TIMEDOUT) return ErrorContent(504);
  if (result != CURLE_OK) return ErrorContent(502);
  SourceContent content = ContentOf(easy, transfer);
  content.location = LocalLocation(FindHeader(transfer.headers, "location").value_or(""));
  // A page's base naming the origin would resolve its links to the origin,
  // which a phone then reaches past this server: it names this server's
  // path for it instead, as a Location does.
  if (IsConvertedMediaType(content.mediaType)) {
    const auto local = [this](const std::string& base) { return LocalLocation(base); };
    content.body = WithMappedBaseHref(std::move(content.body), local);
  }
  return content;
}

std::optional<std::string> OriginSource::BelowPrefix(const std::string& path) const {
  if (path.compare(0, prefix_.size(), prefix_) != 0) return std::nullopt;
  std::string rest = path.substr(prefix_.size());
  if (rest.empty() || rest[0] == '?' || rest[0] == '#') return "/" + rest;
  if (rest[0] != '/') return std::nullopt;  // "/basement" is not below "/base"
  // "//host/x" would name another server to the client.
  if (rest.size() > 1 && rest[1] == '/') return std::nullopt;
  return rest;
}

std::string OriginSource::LocalLocation(const std::string& location) const {
  if (location.empty()) return location;
  if (location[0] == '/') {
    if (location.size() > 1 && location[1] == '/') return location;
    return BelowPrefix(location).value_or(location);
  }
  const std::optional<UrlParts> parts = ParseHttpUrl(location);
  if (!parts || parts->scheme != origin_.scheme || parts->host != origin_.host || parts->port != origin_.port) {
    return location;
  }
  return BelowPrefix(parts->rest).value_or(location);
}

}  // namespace quillmark::tools
