#include "transform/content_model.h"

namespace quillmark {

CXmlNode* StartTagOf(CXmlNode* node) {
  if (node->IsStartTag()) return node;
  CXmlNode* previous = node->GetPrev();
  if (previous == nullptr || !previous->IsStartTag()) return nullptr;
  return previous;
}

CXmlNode* ApplyContentModel(CXmlNode* node, const char* contentRule, const char* attributeList) {
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr) return nullptr;
  if (start != node) node->GetElement()->ClearAttributes();
  start->FilterChildren(contentRule);
  if (attributeList != nullptr) start->GetElement()->RetainAttributes(attributeList);
  return start;
}

CXmlNode* ApplyContentModel(CXmlNode* node, const ContentModel& model) {
  return ApplyContentModel(node, model.children, model.attributes);
}

}  // namespace quillmark
