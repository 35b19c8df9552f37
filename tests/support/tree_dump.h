// Test support: a compact picture of a token tree.
//
// Each node is its raw text; children follow in brackets; siblings are
// separated by commas. "<p>a</p>" parses to "<p>[a],</p>".
#pragma once

#include <string>

#include "markup/xml_node.h"

namespace quillmark::testing {

inline std::string DumpChildren(const CXmlNode& parent) {
  std::string out;
  // Iterative so that deep trees can be dumped too: a stack of pending
  // closing brackets is kept implicitly by climbing parent links.
  const CXmlNode* node = parent.GetFirstChild();
  while (node != nullptr) {
    out += node->GetText() != nullptr ? node->GetText() : "(root)";
    if (node->GetFirstChild() != nullptr) {
      out += "[";
      node = node->GetFirstChild();
      continue;
    }
    // Climb while the subtree is done, closing brackets.
    while (node != nullptr && node->GetNext() == nullptr) {
      node = node->GetParent();
      if (node == &parent || node == nullptr) return out;
      out += "]";
    }
    if (node == nullptr) return out;
    out += ",";
    node = node->GetNext();
  }
  return out;
}

}  // namespace quillmark::testing
