#include "bench/allocation_counter.h"

#include <libxml/xmlmemory.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Counting is off outside a measurement, so the other benchmarks pay one
// relaxed load per allocation.
std::atomic<bool> counting{false};
std::atomic<int64_t> liveBytes{0};
std::atomic<int64_t> peakBytes{0};

void Counted(void* block) {
  if (block == nullptr || !counting.load(std::memory_order_relaxed)) return;
  const auto size = static_cast<int64_t>(malloc_usable_size(block));
  const int64_t live = liveBytes.fetch_add(size, std::memory_order_relaxed) + size;
  int64_t peak = peakBytes.load(std::memory_order_relaxed);
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
  }
}

void Uncounted(void* block) {
  if (block == nullptr || !counting.load(std::memory_order_relaxed)) return;
  liveBytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
}

void* CountedMalloc(size_t size) {
  void* block = std::malloc(size);
  Counted(block);
  return block;
}

void CountedFree(void* block) {
  Uncounted(block);
  std::free(block);
}

void* CountedRealloc(void* block, size_t size) {
  Uncounted(block);
  void* moved = std::realloc(block, size);
  Counted(moved != nullptr ? moved : (size == 0 ? nullptr : block));
  return moved;
}

char* CountedStrdup(const char* text) {
  const size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(CountedMalloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

void* NewBlock(size_t size) {
  void* block = CountedMalloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// Over-aligned blocks (std::pmr and aligned types ask for them) are counted
// like the others; glibc's usable size works for them too.
void* AlignedNewBlock(size_t size, std::align_val_t alignment) {
  const auto align = static_cast<size_t>(alignment);
  void* block = std::aligned_alloc(align, (size + align - 1) / align * align);
  if (block == nullptr) throw std::bad_alloc();
  Counted(block);
  return block;
}

}  // namespace

void* operator new(size_t size, std::align_val_t alignment) { return AlignedNewBlock(size, alignment); }
void* operator new[](size_t size, std::align_val_t alignment) { return AlignedNewBlock(size, alignment); }
void operator delete(void* block, std::align_val_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::align_val_t) noexcept { CountedFree(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { CountedFree(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { CountedFree(block); }
void* operator new(size_t size) { return NewBlock(size); }
void* operator new[](size_t size) { return NewBlock(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedMalloc(size == 0 ? 1 : size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedMalloc(size == 0 ? 1 : size); }
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, size_t) noexcept { CountedFree(block); }

namespace quillmark::bench {

// A block freed during the measurement that was allocated before it is
// subtracted although never added; the baseline of 0 absorbs it only when
// nothing older is freed, which holds for one conversion of a copied page.
PeakAllocation::PeakAllocation() {
  liveBytes.store(0, std::memory_order_relaxed);
  peakBytes.store(0, std::memory_order_relaxed);
  counting.store(true, std::memory_order_seq_cst);
}

PeakAllocation::~PeakAllocation() { counting.store(false, std::memory_order_seq_cst); }

int64_t PeakAllocation::PeakBytes() const { return peakBytes.load(std::memory_order_relaxed); }

void CountLibxml2Allocations() {
  xmlMemSetup(CountedFree, CountedMalloc, CountedRealloc, CountedStrdup);
}

}  // namespace quillmark::bench
