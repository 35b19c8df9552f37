// Test support: calling the conversion entry point.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "interface/quillmark.h"

namespace quillmark::testing {

struct Conversion {
  int32_t result = 0;
  int32_t capacity = 0;
  std::string text;  // the zero-terminated text in the buffer after the call
};

// Converts `page` with a buffer of `capacity` bytes (filled with '#' first).
inline Conversion ConvertWithCapacity(const std::string& page, int32_t capacity,
                                      const char* device = nullptr) {
  std::string pageCopy = page;
  char* caller = nullptr;
  char* deviceText = const_cast<char*>(device);
  char* pageText = pageCopy.data();
  int32_t length = static_cast<int32_t>(page.size());
  std::vector<char> buffer(static_cast<size_t>(capacity > 0 ? capacity : 0) + 1, '#');
  buffer.back() = '\0';
  char* output = buffer.data();
  Conversion out;
  out.capacity = capacity;
  out.result = WapConvert(&caller, &deviceText, &pageText, &length, &output, &out.capacity);
  out.text = buffer.data();
  return out;
}

// Converts `page` with a buffer that is surely large enough.
inline Conversion Convert(const std::string& page, const char* device = nullptr) {
  return ConvertWithCapacity(page, static_cast<int32_t>(page.size() * 8 + 4096), device);
}

// The smallest capacity that the conversion accepts (measured length + 1),
// found by bisection over the buffer contract.
inline int32_t SmallestCapacity(const std::string& page) {
  int32_t low = 1;
  int32_t high = static_cast<int32_t>(page.size() * 8 + 4096);
  while (low < high) {
    const int32_t mid = low + (high - low) / 2;
    if (ConvertWithCapacity(page, mid).result > 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

// Runs `work` on a thread with a stack of `stackBytes`; returns false when
// the thread could not be started.
inline bool RunWithStack(size_t stackBytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stackBytes);
  std::function<void()> task = work;
  pthread_t thread;
  const int started = pthread_create(
      &thread, &attributes,
      [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
      },
      &task);
  pthread_attr_destroy(&attributes);
  if (started != 0) return false;
  pthread_join(thread, nullptr);
  return true;
}

}  // namespace quillmark::testing
