// The pre-pass of the transformation: gives every element a definite shape
// before the rewrite walk relies on it.
#pragma once

#include "markup/xml_node.h"
#include "transform/conversion.h"

namespace quillmark {

// Lower-cases the element name and the attribute names of a record; values
// keep their case and attributes keep their slots.
void LowerCaseNames(CXmlObject& element);

// Lower-cases element and attribute names, makes empty elements
// self-closing, gives every open element its end tag as next sibling, then
// removes stray end tags and blank formatting elements (children first).
// The conversion's counters and title are reset before and after.
void NormalizeTree(Conversion& conversion);
// The same for the document `root` as it stands (see Conversion::Of).
void NormalizeTree(CXmlNode* root);

}  // namespace quillmark
