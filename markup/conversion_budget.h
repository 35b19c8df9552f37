// The conversion budget: how much one page may make a conversion write.
//
// Tag replacement and postfields can make a deck far larger than its page
// (entries that expand into each other, every field posted by every
// button). Each conversion may write at most kBudgetPerPageByte bytes per
// page byte plus kBudgetPerPage; whatever expands the page draws from that,
// and a page past it fails cleanly instead of costing minutes or gigabytes.
// An expansion pays for what it writes and also for each node it makes, at
// the node's size: a node costs far more memory and time than the few bytes
// of markup it writes, so counting bytes alone would let an expansion cost
// twenty times the budget in memory.
#pragma once

#include <cstdint>
#include <exception>

namespace quillmark {

inline constexpr int64_t kBudgetPerPageByte = 64;
inline constexpr int64_t kBudgetPerPage = 1 << 20;

// The budget allowed for a page of `pageBytes` bytes.
constexpr int64_t ConversionBudgetFor(int64_t pageBytes) {
  return kBudgetPerPageByte * pageBytes + kBudgetPerPage;
}

// Thrown when a conversion would pass its budget; the conversion then
// returns nothing, and the tree is released on the way out.
class ConversionBudgetExceeded : public std::exception {
 public:
  const char* what() const noexcept override { return "page exceeds the conversion budget"; }
};

}  // namespace quillmark
