// Quillmark for C++: the C interface of quillmark.h with strings in and out.
//
//   std::string deck = quillmark::convert(page, userAgent);
//
// Header-only: it calls the library's C exports and nothing else, so a
// program links exactly as a C program does (-lquillmark). Failures are
// thrown as quillmark::error, whose reason() is the C layer's reason.
#ifndef QUILLMARK_HPP
#define QUILLMARK_HPP

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark.h"

namespace quillmark {

// A conversion that did not give a deck. reason() is one short text:
// "invalid arguments" (a page or device text the C interface cannot take)
// or "did not fit" (no buffer the C interface can describe held the deck).
class error : public std::runtime_error {
 public:
  explicit error(const std::string& reason) : std::runtime_error("quillmark: " + reason), reason_(reason) {}
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string reason_;
};

namespace detail {

// The largest buffer the C interface can describe.
constexpr std::int64_t kLargestBuffer = INT32_MAX;

// The device text as the C interface takes it, zero-terminated; a view
// without data (the default argument {}) gives none.
class device_text {
 public:
  explicit device_text(std::string_view device) : text_(device), none_(device.data() == nullptr) {
    if (device.find('\0') != std::string_view::npos) throw error("invalid arguments");
  }
  // Null for the default device; valid while this object lives.
  char* get() { return none_ ? nullptr : text_.data(); }

 private:
  std::string text_;
  bool none_;
};

}  // namespace detail

// The library's version text, "Quillmark, v" and the version.
inline std::string_view version() { return LibraryVersion(); }

// The WML deck for `page`, converted for the device that `device` (normally
// the request's user-agent text) selects; without a device text ({}, the
// default) the default device is used. An empty text "" is a text like any
// other, tried against the devices' patterns. Starts with a buffer of twice the page plus 4 KiB and
// doubles it until the deck fits. Throws quillmark::error.
inline std::string convert(std::string_view page, std::string_view device = {}) {
  if (page.size() > static_cast<std::size_t>(detail::kLargestBuffer)) throw error("invalid arguments");
  detail::device_text deviceCopy(device);
  // The C interface takes writable pointers but only reads the page, so the
  // page is passed as it is, without a copy of its own (a null one, from {},
  // converts the empty page).
  char* caller = nullptr;
  char* deviceText = deviceCopy.get();
  char* pageText = const_cast<char*>(page.data());
  std::int32_t pageLength = static_cast<std::int32_t>(page.size());
  std::vector<char> buffer;
  std::int64_t size = static_cast<std::int64_t>(page.size()) * 2 + 4096;
  if (size > detail::kLargestBuffer) size = detail::kLargestBuffer;
  for (;;) {
    buffer.resize(static_cast<std::size_t>(size));
    char* output = buffer.data();
    std::int32_t capacity = static_cast<std::int32_t>(size);
    const std::int32_t written = WapConvert(&caller, &deviceText, &pageText, &pageLength, &output, &capacity);
    if (written > 0) return std::string(output, static_cast<std::size_t>(written));
    // Only a deck that did not fit is worth a larger buffer; a page past the
    // conversion budget fails at any size.
    const std::string reason = WapLastError();
    if (reason != "did not fit" || size == detail::kLargestBuffer) throw error(reason);
    size = size > detail::kLargestBuffer / 2 ? detail::kLargestBuffer : size * 2;
  }
}

// The name of the device that `device` selects, read like convert's
// argument ("" for the built-in default device, which has no name).
inline std::string device_name(std::string_view device = {}) {
  detail::device_text text(device);
  const char* deviceText = text.get();
  std::string name(64, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::int32_t length = WapDeviceName(deviceText, name.data(), static_cast<std::int32_t>(name.size()));
    if (static_cast<std::size_t>(length) < name.size()) {
      name.resize(static_cast<std::size_t>(length));
      return name;
    }
    // A reload between two calls may lengthen the name again: ask once more.
    name.assign(static_cast<std::size_t>(length) + 1, '\0');
  }
  throw error("did not fit");
}

// Makes the library read `path` instead of the configuration file beside it;
// an empty path returns to the file beside the library.
inline void use_configuration_file(const std::string& path) { WapSetConfigurationFile(path.c_str()); }

}  // namespace quillmark

#endif  // QUILLMARK_HPP
