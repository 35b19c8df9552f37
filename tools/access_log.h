// One line per request, in the combined log format that log analysers read,
// and a line for each event of note (a configuration reload).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace quillmark::tools {

struct AccessRecord {
  std::string clientAddress = "-";
  std::chrono::system_clock::time_point time;  // the request's arrival
  std::string method;
  std::string target;  // path and query as the client sent them
  std::string version = "HTTP/1.1";
  int status = 0;
  uint64_t bytes = 0;        // body bytes sent
  std::string referrer;      // "" when none was sent
  std::string userAgent;     // "" when none was sent
  double milliseconds = 0;   // from the request's arrival to its answer
  std::string device = "-";  // "-" when nothing was converted
};

// ADDRESS - - [TIME] "METHOD TARGET VERSION" STATUS BYTES "REFERRER"
// "USER-AGENT" MILLISECONDSms DEVICE, the time as "10/Oct/2000:13:55:36
// -0700" in local time, milliseconds to one decimal place. Inside quotes `"`
// and `\` are escaped with `\`, and every byte outside " " to "~" is written
// as \xHH; the address and device have their blanks and such bytes written
// as %XX: a line stays one line whatever a client sends.
std::string FormatAccessRecord(const AccessRecord& record);

// Writes whole lines to a stream from many threads at once.
class AccessLog {
 public:
  // Writes to `stream`, which the caller keeps open while the log is used.
  explicit AccessLog(std::FILE* stream) : stream_(stream) {}
  ~AccessLog();
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  // Appends to the file `path` from now on (opened anew, so that a file
  // moved away by log rotation is left), and closes the file the log wrote
  // to before when it was one it opened. False, the log writing on where it
  // did, when `path` cannot be opened.
  bool AppendTo(const std::string& path);
  void Write(const AccessRecord& record);
  // A line of its own, "quillmark: " and `text`.
  void Note(const std::string& text);

 private:
  void WriteLine(const std::string& line);

  std::mutex mutex_;
  std::FILE* stream_;
  bool ownsStream_ = false;
};

}  // namespace quillmark::tools
