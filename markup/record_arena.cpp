#include "markup/record_arena.h"

#include <algorithm>

namespace quillmark {
namespace {

// Chunks grow to this size and then stay there, so that the room left
// unused in the newest chunk stays small beside what the document holds.
constexpr std::size_t kLargestChunk = std::size_t{256} << 10;

}  // namespace

RecordArena& RecordArena::Heap() {
  static RecordArena heap{HeapTag{}};
  return heap;
}

void RecordArena::Expect(std::size_t bytes) {
  if (!chunks_.empty()) return;
  nextChunkSize_ = std::clamp(bytes, nextChunkSize_, kLargestChunk);
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
  if (firstChunkMade_) nextChunkSize_ = std::min(2 * nextChunkSize_, kLargestChunk);
  firstChunkMade_ = true;
  void* block = next_;
  next_ += bytes;
  return block;
}

}  // namespace quillmark
