// Peak heap use of a stretch of work, counted by the benchmark binary's own
// global operator new and delete (and by libxml2's allocator once it is
// routed through CountLibxml2Allocations).
#pragma once

#include <cstdint>

namespace quillmark::bench {

// Counts the bytes live on the heap between Start and Stop, and the most
// that were live at any moment. One measurement at a time, on any thread:
// other threads' allocations meanwhile count too, so measure alone.
class PeakAllocation {
 public:
  PeakAllocation();
  ~PeakAllocation();
  PeakAllocation(const PeakAllocation&) = delete;
  PeakAllocation& operator=(const PeakAllocation&) = delete;

  // The most bytes live at once since construction, beyond those live then.
  int64_t PeakBytes() const;
};

// Makes libxml2 allocate through the counted functions, so that its
// documents count like ours. Call once before libxml2 allocates anything.
void CountLibxml2Allocations();

}  // namespace quillmark::bench
