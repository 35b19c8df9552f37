#include "tools/http_server.h"

#include <chrono>
#include <optional>

#include "tools/media_types.h"
#include "tools/page_converter.h"

namespace quillmark::tools {

namespace {

constexpr time_t kKeepAliveSeconds = 2;
constexpr size_t kKeepAliveRequests = 100;
constexpr auto kStopRetry = std::chrono::milliseconds(20);

// The request's User-Agent, or none when it sent none.
std::optional<std::string> UserAgentOf(const httplib::Request& request) {
  if (!request.has_header("User-Agent")) return std::nullopt;
  return request.get_header_value("User-Agent");
}

Answer FromContent(SourceContent content) {
  Answer answer{content.status, std::move(content.mediaType), std::move(content.body), {}, "-"};
  if (!content.location.empty()) answer.headers.emplace("Location", content.location);
  return answer;
}

// The page in `answer` replaced by its deck for `userAgent`.
Answer Converted(Answer answer, const std::optional<std::string>& userAgent) {
  std::optional<std::string> deck = ConvertToDeck(answer.body, userAgent);
  if (!deck) return FromContent(ErrorContent(500));
  const std::string name = SelectedDeviceName(userAgent);
  answer.device = name.empty() ? "(default)" : name;
  answer.mediaType = std::string(kDeckMediaType);
  answer.body = std::move(*deck);
  // Caches must keep one deck per device text.
  answer.headers.emplace("Vary", "User-Agent");
  return answer;
}

}  // namespace

Answer AnswerRequest(const ContentSource& source, const httplib::Request& request) {
  if (request.method != "GET" && request.method != "HEAD") {
    Answer refused = FromContent(ErrorContent(405));
    refused.headers.emplace("Allow", "GET, HEAD");
    return refused;
  }
  const std::optional<std::string> userAgent = UserAgentOf(request);
  Answer answer = FromContent(source.Fetch({request.path, request.target, userAgent.value_or("")}));
  if (!IsConvertedMediaType(answer.mediaType)) return answer;
  return Converted(std::move(answer), userAgent);
}

ConversionServer::ConversionServer(const ContentSource& source, const ServerSettings& settings,
                                   AccessLog& log)
    : source_(source), settings_(settings), log_(log) {
  const int threads = settings_.threads;
  server_.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  // Headers and body leave in separate writes; without this a small deck
  // waits for the client's delayed acknowledgement (about 40 ms).
  server_.set_tcp_nodelay(true);
  server_.set_keep_alive_timeout(kKeepAliveSeconds);
  server_.set_keep_alive_max_count(kKeepAliveRequests);
  // Every request, whatever its method, is answered here.
  server_.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) { return Handle(request, response); });
}

int ConversionServer::Bind() {
  if (settings_.port == 0) return server_.bind_to_any_port(settings_.bind);
  return server_.bind_to_port(settings_.bind, settings_.port) ? settings_.port : -1;
}

bool ConversionServer::Serve() {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (stopRequested_) return true;
    serving_ = true;
  }
  const bool served = server_.listen_after_bind();
  std::lock_guard<std::mutex> lock(stateMutex_);
  serving_ = false;
  stateChanged_.notify_all();
  return served;
}

// The server may not be listening yet when Stop() comes, and stopping a
// server that is not listening does nothing: repeat until Serve() returns.
void ConversionServer::Stop() {
  std::unique_lock<std::mutex> lock(stateMutex_);
  stopRequested_ = true;
  while (serving_) {
    server_.stop();
    stateChanged_.wait_for(lock, kStopRetry);
  }
}

httplib::Server::HandlerResponse ConversionServer::Handle(const httplib::Request& request,
                                                          httplib::Response& response) {
  const auto start = std::chrono::steady_clock::now();
  Answer answer = AnswerRequest(source_, request);
  const uint64_t bytes = request.method == "HEAD" ? 0 : answer.body.size();
  response.status = answer.status;
  for (const auto& header : answer.headers) response.set_header(header.first, header.second);
  response.set_header("Content-Type", answer.mediaType);
  response.body = std::move(answer.body);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  log_.Write(AccessRecord{request.method, request.path, answer.status, bytes, elapsed.count(), answer.device});
  return httplib::Server::HandlerResponse::Handled;
}

}  // namespace quillmark::tools
