#include "markup/record_arena.h"

#include <algorithm>

namespace quillmark {
namespace {

// Chunks are never larger, so that the room left unused in the newest
// chunk stays small beside what a large document holds, nor smaller, so
// that a small one takes few.
constexpr std::size_t kLargestChunk = std::size_t{256} << 10;
constexpr std::size_t kSmallestChunk = 4096;
// Chunks after the first are a quarter of it, and at least this large.
constexpr std::size_t kSmallestLaterChunk = 1024;

}  // namespace

RecordArena& RecordArena::Heap() {
  static RecordArena heap{HeapTag{}};
  return heap;
}

void RecordArena::Expect(std::size_t bytes) {
  if (!chunks_.empty()) return;
  nextChunkSize_ = std::clamp(bytes, kSmallestChunk, kLargestChunk);
}

void* RecordArena::AllocateInNewChunk(std::size_t bytes) {
  // A block larger than a quarter chunk gets memory of its own, and the
  // newest chunk keeps serving the small blocks after it.
  if (bytes > nextChunkSize_ / 4) {
    chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(bytes));
    return chunks_.back().get();
  }
  chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(nextChunkSize_));
  next_ = chunks_.back().get();
  end_ = next_ + nextChunkSize_;
  if (!firstChunkMade_) nextChunkSize_ = std::max(nextChunkSize_ / 4, kSmallestLaterChunk);
  firstChunkMade_ = true;
  void* block = next_;
  next_ += bytes;
  return block;
}

}  // namespace quillmark
