#include "platform/transcoder.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "base/probed_once.h"
#include "base/utf8.h"

namespace quillmark {
namespace {

constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";

// One conversion descriptor, closed with its owner.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : handle_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [in, in + left) as it can, appending to `out`;
  // returns 0 when everything was converted, else the errno that stopped it
  // (EILSEQ or EINVAL) with `in` at the byte that stopped it.
  int Convert(const char*& in, size_t& left, std::string& out) {
    char buffer[4096];
    while (left > 0) {
      char* source = const_cast<char*>(in);
      char* target = buffer;
      size_t room = sizeof buffer;
      const size_t result = iconv(handle_, &source, &left, &target, &room);
      out.append(buffer, static_cast<size_t>(target - buffer));
      in = source;
      if (result != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      return errno;
    }
    Flush(out);
    return 0;
  }

 private:
  // Writes any shift sequence that ends the output.
  void Flush(std::string& out) {
    char buffer[64];
    char* target = buffer;
    size_t room = sizeof buffer;
    iconv(handle_, nullptr, nullptr, &target, &room);
    out.append(buffer, static_cast<size_t>(target - buffer));
  }

  iconv_t handle_;
};

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// The code point of the UTF-8 sequence at text[0, length).
uint32_t DecodeSequence(const char* text, size_t length) {
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(text[i])); };
  if (length == 1) return byte(0);
  uint32_t value = byte(0) & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) value = (value << 6) | (byte(i) & 0x3F);
  return value;
}

}  // namespace

bool IsKnownCharset(const std::string& charset) {
  // Registered names have at most 40 characters: a longer text, which a
  // page or a host may pass, is no name, and is neither opened nor kept.
  constexpr std::size_t kLongestName = 64;
  if (charset.empty() || charset.size() > kLongestName) return false;
  thread_local std::unordered_map<std::string, bool> known;
  return ProbedOnce(known, charset, [](const std::string& name) { return Converter("UTF-8", name).ok(); });
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, const std::string& charset) {
  Converter converter("UTF-8", charset);
  if (!converter.ok()) return std::nullopt;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  const char* in = bytes.data();
  size_t left = bytes.size();
  // out holds every byte before `in` converted; each undefined sequence
  // costs one byte of input and one replacement character.
  while (converter.Convert(in, left, out) != 0) {
    out += kReplacementCharacter;
    ++in;
    --left;
  }
  // iconv's UTF-8 reader takes sequences past U+10FFFF ("\xF4\xBF\xBF\xBF"),
  // which are no characters: the result is made well-formed as it promises.
  if (!IsValidUtf8(out)) out = WithIllFormedBytesReplaced(out);
  return out;
}

std::optional<std::string> EncodeFromUtf8(std::string_view text, const std::string& charset) {
  Converter converter(charset, "UTF-8");
  if (!converter.ok()) return std::nullopt;
  std::string out;
  out.reserve(text.size());
  const char* in = text.data();
  size_t left = text.size();
  // out holds every character before `in`; one the charset lacks goes out
  // as a reference and the conversion resumes after it.
  while (converter.Convert(in, left, out) != 0) {
    const size_t length = std::min(SequenceLength(static_cast<unsigned char>(*in)), left);
    out += "&#" + std::to_string(DecodeSequence(in, length)) + ";";
    in += length;
    left -= length;
  }
  return out;
}

}  // namespace quillmark
