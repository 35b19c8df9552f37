// The writer's tree half: measuring and writing a document as text.
//
// Both passes walk the same nodes in the same order: a node, its children,
// then its following siblings. The measure is an upper bound of what the
// write produces: every tag is allowed a line break before and after, even
// where the write adds none.

#include <cstring>
#include <limits>

#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "markup/xml_node.h"

namespace quillmark {

namespace {

bool IsDeclarationText(const char* text) {
  return text[0] == '<' && (text[1] == '!' || text[1] == '?');
}

// True when the node writes nothing of its own: the root, and suppressed
// tags (empty name) other than declarations.
bool WritesNothing(const CXmlNode& node) {
  const CXmlObject* element = node.GetElement();
  if (element == nullptr) return true;
  const char* name = element->GetName();
  return name != nullptr && name[0] == '\0' && !IsDeclarationText(element->GetText());
}

}  // namespace

uint32_t CXmlNode::MeasureText() const {
  uint64_t total = 0;
  // Everything before node in document order has been counted.
  for (const CXmlNode* node = this; node != nullptr; node = NextInSubtree(node, this)) {
    if (WritesNothing(*node)) continue;
    total += node->GetElement()->GetWriteLength();
    if (node->IsTag()) total += node->GetParent() != nullptr && node->GetParent()->IsRoot() ? 2 : 4;
  }
  // A bound past 32 bits cannot fit any buffer; saturate rather than wrap.
  constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(total < kMax ? total : kMax);
}

char* CXmlNode::WriteText(char* buffer, const char* breakList) const {
  char* end = buffer;
  *end = '\0';
  // end is the terminating zero of everything written so far.
  for (const CXmlNode* node = this; node != nullptr; node = NextInSubtree(node, this)) {
    if (WritesNothing(*node)) continue;
    const CXmlObject& element = *node->GetElement();
    const bool onOwnLine =
        node->IsTag() && (IsNameInList(element.GetName(), breakList) ||
                          IsDeclarationText(element.GetText()));
    if (!onOwnLine) {
      element.WriteTo(end);
      end += std::strlen(end);
      continue;
    }
    const CXmlNode* parent = node->GetParent();
    if (parent != nullptr && !parent->IsRoot() && end != buffer && end[-1] != '\n') {
      std::memcpy(end, "\r\n", 3);
      end += 2;
    }
    element.WriteTo(end);
    end += std::strlen(end);
    std::memcpy(end, "\r\n", 3);
    end += 2;
  }
  return buffer;
}

}  // namespace quillmark
