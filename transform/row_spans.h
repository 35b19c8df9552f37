// RowSpans: the columns that cells of the rows above reach down into.
//
// HTML lets a cell span rows (`rowspan`); a WML table has no spans, so each
// row below leaves an empty cell where such a cell stands above it, and its
// own cells keep their columns. Spans hold within one table or row group,
// as in HTML; only the first kMostColumns columns are followed, the most
// a table states.
#pragma once

#include <array>
#include <cstdint>

#include "markup/xml_node.h"

namespace quillmark {

class RowSpans {
 public:
  static constexpr int32_t kMostColumns = 64;

  // Forgets every span unless `rows`, a table or row group, holds the row
  // before this one too.
  void EnterRowsOf(const CXmlNode* rows);
  // The run of columns from `column` that cells above cover; this row
  // takes them.
  int32_t TakeCoveredRun(int32_t column);
  // Notes a cell of this row at `column` that covers `span` columns and
  // the rows its `rowspan` names (1 without one; 0, "to the group's end",
  // as many as any group has).
  void Cover(int32_t column, int32_t span, const CXmlNode* cell);
  // This row ends at `column`: the columns after it that cells above
  // cover are taken by its padding.
  void EndRow(int32_t column);

 private:
  const CXmlNode* rows_ = nullptr;
  // Rows below the current one that each column's cell still covers.
  std::array<int32_t, kMostColumns> below_{};
};

}  // namespace quillmark
