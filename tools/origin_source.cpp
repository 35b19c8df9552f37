#include "tools/origin_source.h"

#include <httplib.h>

#include <stdexcept>

#include "tools/request_path.h"

namespace quillmark::tools {

namespace {

constexpr time_t kConnectSeconds = 5;
constexpr time_t kReadSeconds = 15;
constexpr char kAccept[] = "text/html, application/xhtml+xml, text/vnd.wap.wml, image/*;q=0.8, */*;q=0.5";

// True when `url` starts with a scheme this build can fetch.
bool HasSupportedScheme(const std::string& url) {
  if (url.rfind("http://", 0) == 0) return true;
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
  if (url.rfind("https://", 0) == 0) return true;
#endif
  return false;
}

}  // namespace

OriginSource::OriginSource(const std::string& url, uint64_t maxBytes) : maxBytes_(maxBytes) {
  if (!HasSupportedScheme(url)) throw std::invalid_argument("the origin must be an http:// URL, not " + url);
  const size_t hostStart = url.find("//") + 2;
  const size_t pathStart = url.find('/', hostStart);
  schemeHostPort_ = url.substr(0, pathStart);
  if (pathStart != std::string::npos) prefix_ = url.substr(pathStart);
  while (!prefix_.empty() && prefix_.back() == '/') prefix_.pop_back();
  if (hostStart == schemeHostPort_.size() || url.find_first_of("?# ") != std::string::npos) {
    throw std::invalid_argument("the origin URL " + url + " names no host or has a query");
  }
}

SourceContent OriginSource::Fetch(const SourceRequest& request) const {
  if (ParseRequestPath(request.path).refused) return ErrorContent(403);
  if (request.target.empty() || request.target[0] != '/') return ErrorContent(400);
  httplib::Client client(schemeHostPort_);
  client.set_connection_timeout(kConnectSeconds);
  client.set_read_timeout(kReadSeconds);
  client.set_follow_location(false);
  httplib::Headers headers = {{"Accept", kAccept}};
  if (!request.userAgent.empty()) headers.emplace("User-Agent", request.userAgent);

  bool tooLarge = false;
  std::string body;
  const auto checkHead = [&](const httplib::Response& head) {
    tooLarge = head.get_header_value<uint64_t>("Content-Length") > maxBytes_;
    return !tooLarge;
  };
  const auto receive = [&](const char* data, size_t length) {
    tooLarge = body.size() + length > maxBytes_;
    if (!tooLarge) body.append(data, length);
    return !tooLarge;
  };
  const httplib::Result result = client.Get(prefix_ + request.target, headers, checkHead, receive);
  if (tooLarge) return ErrorContent(413);
  if (!result) return ErrorContent(502);
  std::string mediaType = result->get_header_value("Content-Type");
  if (mediaType.empty()) mediaType = "application/octet-stream";
  return SourceContent{result->status, std::move(mediaType), std::move(body),
                       LocalLocation(result->get_header_value("Location"))};
}

std::string OriginSource::LocalLocation(const std::string& location) const {
  const std::string origin = schemeHostPort_ + prefix_;
  if (location.rfind(origin, 0) != 0) return location;
  const std::string rest = location.substr(origin.size());
  return rest.empty() || rest[0] != '/' ? "/" + rest : rest;
}

}  // namespace quillmark::tools
