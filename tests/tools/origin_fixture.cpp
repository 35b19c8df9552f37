#include "origin_fixture.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <thread>

#include "tests/tools/cli_runner.h"

namespace quillmark::tools::testing {

namespace {

// One request being received.
struct Incoming {
  OriginRequest request;
  bool headRead = false;
};

// The body of a trickling reply, sent a byte at a time.
struct Trickle {
  std::string body;
  std::chrono::milliseconds pause;
};

ssize_t TrickleByte(void* cls, uint64_t position, char* buffer, size_t) {
  auto& trickle = *static_cast<Trickle*>(cls);
  if (position >= trickle.body.size()) return MHD_CONTENT_READER_END_OF_STREAM;
  std::this_thread::sleep_for(trickle.pause);
  buffer[0] = trickle.body[position];
  return 1;
}

void FreeTrickle(void* cls) { delete static_cast<Trickle*>(cls); }

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<HeaderList*>(cls)->emplace_back(key, value != nullptr ? value : "");
  return MHD_YES;
}

void* StartRequest(void*, const char* uri, MHD_Connection*) {
  auto* incoming = new Incoming;
  incoming->request.target = uri;
  return incoming;
}

void EndRequest(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
  delete static_cast<Incoming*>(*context);
  *context = nullptr;
}

MHD_Response* ResponseFor(const OriginReply& reply) {
  MHD_Response* response =
      reply.trickle.count() > 0
          ? MHD_create_response_from_callback(reply.body.size(), 1, &TrickleByte, new Trickle{reply.body, reply.trickle},
                                              &FreeTrickle)
          : MHD_create_response_from_buffer(reply.body.size(), const_cast<char*>(reply.body.data()),
                                            MHD_RESPMEM_MUST_COPY);
  for (const auto& [name, value] : reply.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
  if (!reply.mediaType.empty()) MHD_add_response_header(response, "Content-Type", reply.mediaType.c_str());
  return response;
}

MHD_Result AnswerRequest(void* cls, MHD_Connection* connection, const char*, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** context) {
  auto& incoming = *static_cast<Incoming*>(*context);
  if (!incoming.headRead) {
    incoming.headRead = true;
    incoming.request.method = method;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &incoming.request.headers);
    return MHD_YES;
  }
  if (*uploadSize != 0) {
    incoming.request.body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  const OriginReply reply = static_cast<const TestOrigin*>(cls)->Answer(incoming.request);
  MHD_Response* response = ResponseFor(reply);
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
  MHD_destroy_response(response);
  return queued;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::string OriginRequest::Header(const std::string& name) const { return FindHeader(headers, name).value_or(""); }

TestCertificate MakeTestCertificate(const TemporaryFolder& folder) {
  const fs::path certificate = folder.Path() / "origin-cert.pem";
  const fs::path key = folder.Path() / "origin-key.pem";
  const std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=127.0.0.1 "
      "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
      key.string() + "' -out '" + certificate.string() + "' 2>&1";
  const quillmark::testing::RunResult made = quillmark::testing::RunShell(command, folder.Path() / "none");
  if (made.status != 0) return {};
  return TestCertificate{certificate.string(), ReadAll(certificate), ReadAll(key)};
}

TestOrigin::TestOrigin(Handler handler, const TestCertificate* certificate) : handler_(std::move(handler)) {
  const bool tls = certificate != nullptr && !certificate->certificate.empty();
  // A thread per connection, so that a trickling answer holds only its own.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION;
  if (tls) flags |= MHD_USE_TLS;
  sockaddr_in loopback{};
  loopback.sin_family = AF_INET;
  loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  MHD_OptionItem options[] = {
      {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&StartRequest), nullptr},
      {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&EndRequest), nullptr},
      {MHD_OPTION_SOCK_ADDR, 0, &loopback},
      {tls ? MHD_OPTION_HTTPS_MEM_KEY : MHD_OPTION_END, 0, tls ? const_cast<char*>(certificate->key.c_str()) : nullptr},
      {MHD_OPTION_HTTPS_MEM_CERT, 0, tls ? const_cast<char*>(certificate->certificate.c_str()) : nullptr},
      {MHD_OPTION_END, 0, nullptr},
  };
  daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &AnswerRequest, this, MHD_OPTION_ARRAY, options, MHD_OPTION_END);
  if (daemon_ == nullptr) return;
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info != nullptr ? info->port : -1;
  url_ = std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

TestOrigin::~TestOrigin() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

}  // namespace quillmark::tools::testing
