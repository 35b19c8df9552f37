// RecordArena: where element records take the bytes of their strings and
// attribute lists.
//
// A document's arena hands out memory from large chunks by moving a
// pointer, frees nothing one by one and releases every chunk when it goes,
// with the document. The shared heap arena (Heap()) serves records made on
// their own: each block comes from and goes back to the heap. Records call
// Free for every block they drop; only the heap arena acts on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace quillmark {

struct DocumentRoot;

class RecordArena {
 public:
  RecordArena() = default;
  // An arena of the document `owner`: its records' nodes find their
  // document through it.
  explicit RecordArena(DocumentRoot* owner) : owner_(owner) {}
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;

  // The arena of records that belong to no document; it may be shared by
  // every thread, as it keeps no state.
  static RecordArena& Heap();

  // True when Free gives blocks back (the heap arena); a document's arena
  // keeps every block until it is destroyed.
  bool FreesBlocks() const { return heap_; }

  // The document whose records the arena holds; null for the heap arena.
  DocumentRoot* Owner() const { return owner_; }

  // `bytes` bytes at a multiple of `alignment` (a power of two, at most
  // alignof(max_align_t)); strings ask for 1, so that short ones pack.
  void* Allocate(std::size_t bytes, std::size_t alignment = 1) {
    if (heap_) return ::operator new(bytes);
    const auto address = reinterpret_cast<std::uintptr_t>(next_);
    const std::size_t skip = ((address + alignment - 1) & ~(alignment - 1)) - address;
    if (static_cast<std::size_t>(end_ - next_) < skip + bytes) return AllocateInNewChunk(bytes);
    void* block = next_ + skip;
    next_ += skip + bytes;
    return block;
  }
  // Sizes the first chunk for about `bytes` bytes of records, before any is
  // made; later chunks are a quarter of its size.
  void Expect(std::size_t bytes);
  // Gives back a block of `bytes` bytes that Allocate returned.
  void Free(void* block, std::size_t /*bytes*/) {
    if (heap_) ::operator delete(block);
  }
  // Notes that a record of the arena made a name index, the one thing a
  // document's record holds outside its arena; only a document's arena
  // counts (the heap arena is shared by threads and keeps no state).
  void NoteIndexMade() {
    if (!heap_) ++indicesMade_;
  }
  // False while no record of this document's arena has made a name index:
  // then destroying its records would release nothing.
  bool IndexMade() const { return indicesMade_ != 0; }

 private:
  struct HeapTag {};
  explicit RecordArena(HeapTag) : heap_(true) {}
  void* AllocateInNewChunk(std::size_t bytes);

  DocumentRoot* owner_ = nullptr;
  bool heap_ = false;
  std::byte* next_ = nullptr;  // the free part of the newest chunk: [next_, end_)
  std::byte* end_ = nullptr;
  // The first chunk is sized for what the document is expected to hold;
  // every later one is a quarter as large, so that the room a document
  // leaves unused in its last chunk stays below a quarter of what was
  // expected.
  std::size_t nextChunkSize_ = 4096;
  bool firstChunkMade_ = false;
  std::size_t indicesMade_ = 0;
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
};

}  // namespace quillmark
