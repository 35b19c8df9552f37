#include "tools/access_log.h"

#include "tools/percent_encoding.h"

namespace quillmark::tools {

namespace {

// `text` with every byte outside "!" to "~" written as %XX, so that a line
// of the log stays one line whatever a client sends.
std::string Printable(const std::string& text) {
  return PercentEncoded(text, [](unsigned char byte) { return byte > 32 && byte < 127 && byte != '%'; });
}

}  // namespace

std::string FormatAccessRecord(const AccessRecord& record) {
  char milliseconds[32];
  std::snprintf(milliseconds, sizeof milliseconds, "%.1fms", record.milliseconds);
  return Printable(record.method) + " " + Printable(record.path) + " " + std::to_string(record.status) +
         " " + std::to_string(record.bytes) + " " + milliseconds + " " + Printable(record.device) + "\n";
}

void AccessLog::Write(const AccessRecord& record) {
  const std::string line = FormatAccessRecord(record);
  std::lock_guard<std::mutex> lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fflush(stream_);
}

}  // namespace quillmark::tools
