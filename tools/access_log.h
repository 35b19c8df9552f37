// One line per request on standard error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace quillmark::tools {

struct AccessRecord {
  std::string method;
  std::string path;
  int status = 0;
  uint64_t bytes = 0;        // body bytes sent
  double milliseconds = 0;   // from the request's arrival to its answer
  std::string device;        // "-" when nothing was converted
};

// "METHOD PATH STATUS BYTES MILLISECONDSms DEVICE" (milliseconds to one
// decimal place), with control
// characters, blanks and bytes above 126 of the path written as %XX.
std::string FormatAccessRecord(const AccessRecord& record);

// Writes whole lines to a stream from many threads at once.
class AccessLog {
 public:
  explicit AccessLog(std::FILE* stream) : stream_(stream) {}
  void Write(const AccessRecord& record);

 private:
  std::mutex mutex_;
  std::FILE* stream_;
};

}  // namespace quillmark::tools
