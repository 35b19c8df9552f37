// Tables that a deck cannot show as tables become lines of text.
//
// WML allows no form control in a table cell, and some phones show no
// tables at all. Such a table is linearised before the rewrite walk: each
// row (and a caption) becomes a line between soft breaks, the content of
// each cell after the first of its row follows a blank, and every table,
// row group, row and cell tag goes, so the controls stand in the paragraph
// like any others and keep their postfields. A nest of tables is linearised
// as a whole from its outermost table.
#pragma once

#include <string_view>
#include <vector>

#include "markup/xml_node.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Chooses the tables to linearise during a walk of the page in document
// order, and linearises them once the walk is done: every outermost table
// that holds a form control (input, select, textarea, button), or every
// table when `everyTable`.
class TableLineariser {
 public:
  explicit TableLineariser(bool everyTable) : everyTable_(everyTable) {}

  // The walk meets a tag named `name`.
  void Visit(std::string_view name);
  // The walk enters / leaves the children of `node`, named `name` when it is
  // a tag (empty otherwise).
  void Enter(CXmlNode* node, std::string_view name);
  void Leave(const CXmlNode* node);
  // Linearises the chosen tables.
  void Finish(SoftBreaks& breaks);

 private:
  bool everyTable_;
  // The outermost table the walk is in, and whether a control stood in it
  // so far.
  CXmlNode* outermost_ = nullptr;
  bool holdsControl_ = false;
  std::vector<CXmlNode*> chosen_;
};

}  // namespace quillmark
