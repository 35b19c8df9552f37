// PagedStore: objects that are made one at a time and released all at once.
//
// Objects live in pages of kPerPage, so that a document's many thousands of
// nodes cost one allocation per page instead of one per few objects, and
// neighbours in making order are neighbours in memory. An object never
// moves; all are destroyed, in making order, with the store, unless the
// owner releases them undestroyed.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace quillmark {

template <typename T, std::size_t kPerPage = 256>
class PagedStore {
 public:
  PagedStore() = default;
  PagedStore(const PagedStore&) = delete;
  PagedStore& operator=(const PagedStore&) = delete;
  ~PagedStore() {
    // Every page before the last is full; the last holds used_ objects.
    for (std::size_t page = 0; page < pages_.size(); ++page) {
      const std::size_t count = page + 1 == pages_.size() ? used_ : kPerPage;
      for (std::size_t i = 0; i < count; ++i) pages_[page]->At(i)->~T();
    }
  }

  // Frees every page without destroying its objects; only for objects
  // whose destructors would release nothing.
  void ReleaseUndestroyed() {
    pages_.clear();
    used_ = 0;
  }

  // A new object made from `arguments`; if making it throws, the store is
  // as it was (apart from an empty page it may keep).
  template <typename... Arguments>
  T& Make(Arguments&&... arguments) {
    if (pages_.empty() || used_ == kPerPage) {
      // Not value-initialised: the bytes are written by the constructors.
      pages_.push_back(std::unique_ptr<Page>(new Page));
      used_ = 0;
    }
    T* object = ::new (pages_.back()->Slot(used_)) T(std::forward<Arguments>(arguments)...);
    ++used_;
    return *object;
  }

 private:
  struct Page {
    alignas(T) std::byte bytes[sizeof(T) * kPerPage];
    std::byte* Slot(std::size_t i) { return bytes + i * sizeof(T); }
    T* At(std::size_t i) { return std::launder(reinterpret_cast<T*>(Slot(i))); }
  };

  std::vector<std::unique_ptr<Page>> pages_;
  std::size_t used_ = 0;  // objects in the last page
};

}  // namespace quillmark
