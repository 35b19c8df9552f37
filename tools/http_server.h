// The HTTP server of "quillmark serve": answers requests from a content
// source, converts pages into decks for the requesting device, and logs one
// line per request.
//
// Connections are served by event threads that never wait on a client:
// idle and slow connections cost memory only, within fixed limits. Each
// whole request goes to one of a fixed number of workers, and its
// connection is set aside until the worker's answer is ready.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "tools/access_log.h"
#include "tools/content_source.h"
#include "tools/head_deadlines.h"
#include "tools/listen_socket.h"
#include "tools/request_answer.h"
#include "tools/worker_pool.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace quillmark::tools {

class ConfigurationWatch;

struct ServerSettings {
  std::string bind = "127.0.0.1";
  int port = 8080;  // 0: any free port
  int threads = 8;  // workers that answer requests
  int maxConnections = 1024;
  int maxPerAddress = 64;
  uint64_t maxBodyBytes = 64 * 1024;  // larger request bodies give 413
  std::chrono::milliseconds headTimeout{10000};  // to send a whole request
  int idleSeconds = 5;                           // keep-alive without traffic
  std::string partParameter = "qm-part";         // the query parameter naming a deck's part
};

// What a request's line and headers may take; larger ones give 431.
inline constexpr size_t kMaxRequestHeadBytes = 16 * 1024;

struct Exchange;

// Borrows the source, the log and the watch (which may be null), which must
// outlive it.
class ConversionServer {
 public:
  ConversionServer(const ContentSource& source, const ServerSettings& settings, AccessLog& log,
                   ConfigurationWatch* configuration = nullptr);
  ~ConversionServer();
  ConversionServer(const ConversionServer&) = delete;
  ConversionServer& operator=(const ConversionServer&) = delete;

  // Opens the listening socket; the port it listens on, or -1 (see
  // BindError()).
  int Bind();
  const std::string& BindError() const { return bindError_; }
  // Serves until Stop(); false when it could not serve at all.
  bool Serve();
  // Ends Serve() after the requests in progress are answered; safe from any
  // thread, before or during Serve().
  void Stop();

  // The event threads' entry points, called by the HTTP library.
  void* RequestStarted(const char* target, MHD_Connection* connection);
  int Access(MHD_Connection* connection, const char* method, const char* version, const char* upload,
             size_t* uploadSize, Exchange& exchange);
  void RequestEnded(MHD_Connection* connection, Exchange* exchange);
  void ConnectionChanged(MHD_Connection* connection, void** context, bool opened);
  bool Accepting() const { return accepting_.load(); }

 private:
  // Reads the request line and headers; an answer when they are refused.
  void ReadHead(MHD_Connection* connection, const char* method, const char* version, Exchange& exchange);
  // Hands a whole request to a worker and sets its connection aside; false
  // once the server is stopping.
  bool Dispatch(MHD_Connection* connection, Exchange& exchange);
  int Send(MHD_Connection* connection, Exchange& exchange);
  std::string Generation() const;
  void WaitForAnswersInProgress();

  const ContentSource& source_;
  ServerSettings settings_;
  AccessLog& log_;
  ConfigurationWatch* configuration_;
  ListeningSocket listening_;
  std::string bindError_;
  std::unique_ptr<WorkerPool> workers_;
  std::unique_ptr<HeadDeadlines> deadlines_;
  MHD_Daemon* daemon_ = nullptr;
  std::mutex stateMutex_;
  std::condition_variable stateChanged_;
  bool stopRequested_ = false;
  bool dispatching_ = true;  // false once Serve() ends the workers
  std::atomic<bool> accepting_{true};  // false once Serve() is stopping
  int answering_ = 0;  // requests handed to workers and not yet sent
};

}  // namespace quillmark::tools
