// The pre-pass of the transformation: gives every element a definite shape
// before the rewrite walk relies on it.
#pragma once

#include "device/working_variables.h"
#include "markup/xml_node.h"

namespace quillmark {

// Creates the root's document context when missing, gives it the default
// device when it has none, and resets its counters and title.
CWorkingVariables& PrepareDocumentContext(CXmlNode* root);

// Lower-cases the element name and the attribute names of a record; values
// keep their case and attributes keep their slots.
void LowerCaseNames(CXmlObject& element);

// Lower-cases element and attribute names, makes empty elements
// self-closing, gives every open element its end tag as next sibling, then
// removes stray end tags and blank formatting elements (children first).
void NormalizeTree(CXmlNode* root);

}  // namespace quillmark
