#include "transform/content_model.h"

namespace quillmark {

CXmlNode* StartTagOf(CXmlNode* node) {
  if (node->IsStartTag()) return node;
  CXmlNode* previous = node->GetPrev();
  if (previous == nullptr || !previous->IsStartTag()) return nullptr;
  return previous;
}

CXmlNode* ApplyContentModel(CXmlNode* node, const ContentModel& model) {
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr) return nullptr;
  if (start != node) node->GetElement()->ClearAttributes();
  start->FilterChildren(model.children, *model.childIds);
  if (model.attributes != nullptr) start->GetElement()->RetainAttributes(model.attributes);
  return start;
}

}  // namespace quillmark
