#include "tools/access_log.h"

#include <ctime>

#include "tools/percent_encoding.h"

namespace quillmark::tools {

namespace {

// `text` with every byte outside "!" to "~" written as %XX.
std::string Printable(const std::string& text) {
  return PercentEncoded(text, [](unsigned char byte) { return byte > 32 && byte < 127 && byte != '%'; });
}

// `text` in double quotes, escaped as the combined format does; "-" when
// empty.
std::string Quoted(const std::string& text) {
  if (text.empty()) return "\"-\"";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 32 || byte > 126) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string LogTime(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  char text[40];
  const size_t length = std::strftime(text, sizeof text, "[%d/%b/%Y:%H:%M:%S %z]", &parts);
  return std::string(text, length);
}

}  // namespace

std::string FormatAccessRecord(const AccessRecord& record) {
  char milliseconds[32];
  std::snprintf(milliseconds, sizeof milliseconds, "%.1fms", record.milliseconds);
  return Printable(record.clientAddress) + " - - " + LogTime(record.time) + " " +
         Quoted(record.method + " " + record.target + " " + record.version) + " " + std::to_string(record.status) +
         " " + std::to_string(record.bytes) + " " + Quoted(record.referrer) + " " + Quoted(record.userAgent) + " " +
         milliseconds + " " + Printable(record.device) + "\n";
}

AccessLog::~AccessLog() {
  if (ownsStream_) std::fclose(stream_);
}

bool AccessLog::AppendTo(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (ownsStream_) std::fclose(stream_);
  stream_ = file;
  ownsStream_ = true;
  return true;
}

void AccessLog::Write(const AccessRecord& record) { WriteLine(FormatAccessRecord(record)); }

void AccessLog::Note(const std::string& text) { WriteLine("quillmark: " + text + "\n"); }

void AccessLog::WriteLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fflush(stream_);
}

}  // namespace quillmark::tools
