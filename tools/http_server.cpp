#include "tools/http_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

#include "tools/ascii_case.h"
#include "tools/configuration_watch.h"
#include "tools/percent_encoding.h"
#include "tools/request_path.h"

namespace quillmark::tools {

// One request on its way through the server. A connection carries one at
// a time; it lives in the connection's state, which the HTTP library keeps
// until the connection closes.
struct Exchange {
  std::chrono::steady_clock::time_point start;
  std::chrono::system_clock::time_point arrival;
  HttpRequest request;
  std::string receivedTarget;  // as the request line held it, for the log
  bool headRead = false;
  bool bodyTooLarge = false;
  bool working = false;  // handed to a worker
  std::optional<Answer> answer;
};

namespace {

// The pool of every connection's request line and headers, and what the
// library needs beside them; well above kMaxRequestHeadBytes, so that
// heads up to that size reach the server's own check. A larger head is
// refused by the library with 431 before it is read whole.
constexpr size_t kConnectionMemoryBytes = 64 * 1024;
constexpr int kListenBacklog = 1024;
constexpr unsigned kMostEventThreads = 16;
// How long a stop waits for answers in progress.
constexpr std::chrono::seconds kStopGrace(20);

struct ConnectionState {
  Exchange exchange;
};

ConversionServer& ServerOf(void* cls) { return *static_cast<ConversionServer*>(cls); }

// The library splits a query into its arguments in the connection's memory
// pool, where a thousand short parameters leave no room even for an error
// answer: the connection would end unanswered. The server reads the query
// from the target it copies here, never from the library's arguments, so
// the query ends at its "?" in the library's copy of the request line
// (its own writable buffer, which it passes here before it splits the
// query); the head limit then applies to the query like any other byte.
void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
  void* exchange = ServerOf(cls).RequestStarted(uri, connection);
  if (char* query = const_cast<char*>(std::strchr(uri, '?'))) query[1] = '\0';
  return exchange;
}

MHD_Result OnAccess(void* cls, MHD_Connection* connection, const char* /*url*/, const char* method,
                    const char* version, const char* upload, size_t* uploadSize, void** requestContext) {
  if (*requestContext == nullptr) return MHD_NO;
  const int result = ServerOf(cls).Access(connection, method, version, upload, uploadSize,
                                          *static_cast<Exchange*>(*requestContext));
  return result == MHD_YES ? MHD_YES : MHD_NO;
}

void OnCompleted(void* cls, MHD_Connection* connection, void** requestContext, MHD_RequestTerminationCode) {
  ServerOf(cls).RequestEnded(connection, static_cast<Exchange*>(*requestContext));
}

// Refusing new connections through the accept policy, rather than taking
// the listening socket out of the event threads' polling, cannot race with
// those threads: they poll the socket until the daemon stops.
MHD_Result OnAcceptPolicy(void* cls, const sockaddr* /*address*/, socklen_t /*length*/) {
  return ServerOf(cls).Accepting() ? MHD_YES : MHD_NO;
}

void OnConnection(void* cls, MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode code) {
  ServerOf(cls).ConnectionChanged(connection, context, code == MHD_CONNECTION_NOTIFY_STARTED);
}

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, size_t keySize, const char* value,
                         size_t valueSize) {
  static_cast<HeaderList*>(cls)->emplace_back(std::string(key, keySize),
                                              value != nullptr ? std::string(value, valueSize) : std::string());
  return MHD_YES;
}

std::string ClientAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (info == nullptr || info->client_addr == nullptr) return "-";
  char host[NI_MAXHOST];
  const socklen_t length =
      info->client_addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  if (getnameinfo(info->client_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) return "-";
  return host;
}

// Bytes of the request line (with `target` as received) and header
// lines, with their line ends.
size_t HeadSize(const HttpRequest& request, const std::string& target) {
  size_t size = request.method.size() + target.size() + request.version.size() + 4;
  for (const auto& [name, value] : request.headers) size += name.size() + value.size() + 4;
  return size + 2;
}

std::optional<uint64_t> ContentLength(const HttpRequest& request) {
  const std::optional<std::string> text = request.Header("Content-Length");
  uint64_t length = 0;
  if (!text || std::from_chars(text->data(), text->data() + text->size(), length).ec != std::errc()) {
    return std::nullopt;
  }
  return length;
}

// True when `name` is an HTTP token: letters, digits and !#$%&'*+-.^_`|~.
bool IsToken(std::string_view name) {
  constexpr std::string_view kSigns = "!#$%&'*+-.^_`|~";
  const auto tokenByte = [&](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kSigns.find(c) != std::string_view::npos;
  };
  return !name.empty() && std::all_of(name.begin(), name.end(), tokenByte);
}

// The status that refuses a request whose body's length its headers do not
// state plainly, or none. A request sent through a proxy that reads the
// length otherwise than the library would leave the rest of the body to be
// read as a request of its own, so neither guesses: a Content-Length beside
// a Transfer-Encoding, or two that differ, is refused (400), and so is any
// transfer coding but "chunked" alone, which the library cannot read (501).
//
// A field name is a token: the library keeps "Content-Length : 5" as a
// field of another name, and reads the body as the next request, where a
// proxy that drops the space reads a body. So a name that is no token, such
// as one with white space before its colon, is refused as well (400).
std::optional<int> FramingFault(const HttpRequest& request) {
  std::optional<std::string_view> length;
  bool lengthsDiffer = false;
  int codings = 0;
  std::string_view coding;
  for (const auto& [name, value] : request.headers) {
    if (!IsToken(name)) return 400;
    if (EqualIgnoringCase(name, "Content-Length")) {
      lengthsDiffer = lengthsDiffer || (length && *length != value);
      length = value;
    } else if (EqualIgnoringCase(name, "Transfer-Encoding")) {
      ++codings;
      coding = value;
    }
  }
  if (lengthsDiffer || (length && codings != 0)) return 400;
  if (codings == 0) return std::nullopt;
  // As the library compares it: the value whole, case ignored.
  const bool chunkedAlone = codings == 1 && EqualIgnoringCase(coding, "chunked");
  return chunkedAlone ? std::nullopt : std::optional<int>(501);
}

// True when the request's Host lines are not as HTTP/1.1 demands: one in
// every HTTP/1.1 request, never two (a proxy and this server could take
// different ones).
bool HostFault(const HttpRequest& request) {
  const auto hosts = std::count_if(request.headers.begin(), request.headers.end(),
                                   [](const auto& header) { return EqualIgnoringCase(header.first, "Host"); });
  return hosts > 1 || (hosts == 0 && request.version == "HTTP/1.1");
}

void FreeBody(void* body) { delete static_cast<std::string*>(body); }

// As many event threads as workers (within bounds): when other work shares
// the processors, reading requests and sending answers keeps pace with
// converting them. Idle event threads cost nothing but their stacks.
unsigned EventThreads(int workers) { return std::clamp(static_cast<unsigned>(workers), 1u, kMostEventThreads); }

}  // namespace

ConversionServer::ConversionServer(const ContentSource& source, const ServerSettings& settings, AccessLog& log,
                                   ConfigurationWatch* configuration)
    : source_(source),
      settings_(settings),
      log_(log),
      configuration_(configuration) {}

ConversionServer::~ConversionServer() {
  Stop();
  workers_.reset();
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

int ConversionServer::Bind() {
  listening_ = OpenListeningSocket(settings_.bind, settings_.port, kListenBacklog);
  bindError_ = listening_.error;
  return listening_.port;
}

bool ConversionServer::Serve() {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (stopRequested_) return true;
  }
  if (!listening_.socket.Valid() && Bind() < 0) return false;
  // Threads start here, not earlier: a caller may block signals first.
  workers_ = std::make_unique<WorkerPool>(settings_.threads);
  deadlines_ = std::make_unique<HeadDeadlines>(settings_.headTimeout);
  const unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
  daemon_ = MHD_start_daemon(
      flags, 0, &OnAcceptPolicy, this, &OnAccess, this,
      MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(listening_.socket.Get()),
      MHD_OPTION_THREAD_POOL_SIZE, EventThreads(settings_.threads),
      MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(settings_.maxConnections),
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(settings_.maxPerAddress),
      MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(settings_.idleSeconds),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,
      MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, this,
      MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, this,
      MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, this,
      MHD_OPTION_END);
  if (daemon_ == nullptr) return false;
  listening_.socket.Release();  // the library closes it now
  std::unique_lock<std::mutex> lock(stateMutex_);
  stateChanged_.wait(lock, [this] { return stopRequested_; });
  lock.unlock();
  // No new connections or requests; those handed to workers are answered.
  accepting_.store(false);
  {
    std::lock_guard<std::mutex> stopping(stateMutex_);
    dispatching_ = false;
  }
  WaitForAnswersInProgress();
  workers_.reset();  // no worker resumes a connection after this
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  return true;
}

void ConversionServer::Stop() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  stopRequested_ = true;
  stateChanged_.notify_all();
}

void ConversionServer::WaitForAnswersInProgress() {
  std::unique_lock<std::mutex> lock(stateMutex_);
  stateChanged_.wait_for(lock, kStopGrace, [this] { return answering_ == 0; });
}

void ConversionServer::ConnectionChanged(MHD_Connection* connection, void** context, bool opened) {
  if (opened) {
    *context = new ConnectionState;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info != nullptr) deadlines_->Opened(connection, info->connect_fd);
    return;
  }
  deadlines_->Closed(connection);
  delete static_cast<ConnectionState*>(*context);
  *context = nullptr;
}

void* ConversionServer::RequestStarted(const char* target, MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  if (info == nullptr || info->socket_context == nullptr) return nullptr;
  Exchange& exchange = static_cast<ConnectionState*>(info->socket_context)->exchange;
  exchange = Exchange{};
  exchange.start = std::chrono::steady_clock::now();
  exchange.arrival = std::chrono::system_clock::now();
  exchange.receivedTarget = target;
  return &exchange;
}

void ConversionServer::RequestEnded(MHD_Connection* connection, Exchange* exchange) {
  if (exchange == nullptr) return;
  if (exchange->working) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    --answering_;
    stateChanged_.notify_all();
  }
  *exchange = Exchange{};
  deadlines_->Waiting(connection);
}

int ConversionServer::Access(MHD_Connection* connection, const char* method, const char* version,
                             const char* upload, size_t* uploadSize, Exchange& exchange) {
  if (!exchange.headRead) {
    ReadHead(connection, method, version, exchange);
    return exchange.answer ? Send(connection, exchange) : MHD_YES;
  }
  if (*uploadSize != 0) {
    // A body beyond the limit is read and dropped: the answer is 413.
    exchange.bodyTooLarge = exchange.bodyTooLarge || exchange.request.body.size() + *uploadSize > settings_.maxBodyBytes;
    if (!exchange.bodyTooLarge) exchange.request.body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  if (exchange.answer) return Send(connection, exchange);
  if (exchange.bodyTooLarge) {
    exchange.answer = ErrorAnswer(413, exchange.request);
    return Send(connection, exchange);
  }
  if (Dispatch(connection, exchange)) return MHD_YES;
  // The workers have stopped taking requests: the answer is at once, and
  // the connection ends with it.
  exchange.answer = ErrorAnswer(503, exchange.request);
  exchange.answer->headers.emplace_back("Connection", "close");
  return Send(connection, exchange);
}

void ConversionServer::ReadHead(MHD_Connection* connection, const char* method, const char* version,
                                Exchange& exchange) {
  exchange.headRead = true;
  HttpRequest& request = exchange.request;
  request.method = method;
  request.version = version;
  // A server takes the absolute form as well as a proxy does; the
  // sources and the part links work on the path and query.
  request.target = OriginFormTarget(exchange.receivedTarget);
  request.path = PercentDecoded(std::string_view(request.target).substr(0, request.target.find('?')));
  MHD_get_connection_values_n(connection, MHD_HEADER_KIND, &CollectHeader, &request.headers);
  request.clientAddress = ClientAddress(connection);
  if (HeadSize(request, exchange.receivedTarget) > kMaxRequestHeadBytes) {
    exchange.answer = ErrorAnswer(431, request);
    return;
  }
  std::optional<int> fault = FramingFault(request);
  if (!fault && HostFault(request)) fault = 400;
  if (fault) {
    // The body's end may be unknown: the connection carries no other request.
    exchange.answer = ErrorAnswer(*fault, request);
    exchange.answer->headers.emplace_back("Connection", "close");
    return;
  }
  const std::optional<uint64_t> length = ContentLength(request);
  if (length && *length > settings_.maxBodyBytes) exchange.answer = ErrorAnswer(413, request);
}

bool ConversionServer::Dispatch(MHD_Connection* connection, Exchange& exchange) {
  // Under the lock, so that Serve() cannot end the workers between the
  // check and the submission.
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (!dispatching_) return false;
  deadlines_->Received(connection);
  exchange.working = true;
  ++answering_;
  MHD_suspend_connection(connection);
  workers_->Submit([this, connection, &exchange] {
    exchange.answer = AnswerRequest(source_, exchange.request, Generation(), settings_.partParameter);
    MHD_resume_connection(connection);
  });
  return true;
}

int ConversionServer::Send(MHD_Connection* connection, Exchange& exchange) {
  Answer& answer = *exchange.answer;
  const HttpRequest& request = exchange.request;
  const uint64_t bytes = request.method == "HEAD" ? 0 : answer.body.size();
  auto* body = new std::string(std::move(answer.body));
  MHD_Response* response =
      MHD_create_response_from_buffer_with_free_callback_cls(body->size(), body->data(), &FreeBody, body);
  if (response == nullptr) {
    delete body;
    return MHD_NO;
  }
  for (const auto& [name, value] : answer.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
  if (!answer.mediaType.empty()) MHD_add_response_header(response, "Content-Type", answer.mediaType.c_str());
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
  MHD_destroy_response(response);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - exchange.start;
  log_.Write(AccessRecord{request.clientAddress, exchange.arrival, request.method, exchange.receivedTarget,
                          request.version, answer.status, bytes, request.Header("Referer").value_or(""),
                          request.Header("User-Agent").value_or(""), elapsed.count(), answer.device});
  return queued;
}

std::string ConversionServer::Generation() const {
  return configuration_ != nullptr ? configuration_->Generation() : std::string();
}

}  // namespace quillmark::tools
