#include "transform/row_spans.h"

#include <algorithm>

#include "base/leading_integer.h"

namespace quillmark {
namespace {

// Rows a cell spans at most, as HTML caps `rowspan`.
constexpr int32_t kMostRows = 65534;

int32_t RowSpanOf(const CXmlNode* cell) {
  const char* rowspan = cell->GetElement()->GetAttribute("rowspan");
  if (rowspan == nullptr) return 1;
  const int32_t rows = LeadingInteger(rowspan);
  return rows == 0 ? kMostRows : std::clamp(rows, 1, kMostRows);
}

}  // namespace

void RowSpans::EnterRowsOf(const CXmlNode* rows) {
  if (rows == rows_) return;
  rows_ = rows;
  below_.fill(0);
}

int32_t RowSpans::TakeCoveredRun(int32_t column) {
  int32_t run = 0;
  // Every column from `column` before column + run is covered and taken.
  for (int32_t at = column; at >= 0 && at < kMostColumns && below_[at] > 0; ++at, ++run) --below_[at];
  return run;
}

void RowSpans::Cover(int32_t column, int32_t span, const CXmlNode* cell) {
  const int32_t rows = RowSpanOf(cell);
  for (int32_t at = std::max(column, 0); at < kMostColumns && at - column < span; ++at) below_[at] = rows - 1;
}

void RowSpans::EndRow(int32_t column) {
  for (int32_t at = std::max(column, 0); at < kMostColumns; ++at) below_[at] = std::max(below_[at] - 1, 0);
}

}  // namespace quillmark
