#include "transform/rewrite_context.h"

#include <optional>

#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

bool IsDeckElement(const CXmlNode* node, const CXmlNode* root) {
  return node->GetParent() == root && IsOpenStartTag(node) && IsTagNamedExactly(node, "wml");
}

}  // namespace

RewriteContext::RewriteContext(Conversion& conversion) : conversion_(conversion), root_(&conversion.Root()) {}

CXmlNode* RewriteContext::DeckElement() {
  // Root children change shape only through the walk's own rules; a found
  // element is checked again because a rule may have removed or renamed it.
  if (deckElementKnown_ && (deckElement_ == nullptr || IsDeckElement(deckElement_, root_))) {
    return deckElement_;
  }
  deckElement_ = nullptr;
  // Every root child before child is no open "wml" start tag.
  for (CXmlNode* child = root_->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (IsDeckElement(child, root_)) {
      deckElement_ = child;
      break;
    }
  }
  deckElementKnown_ = true;
  return deckElement_;
}

void RewriteContext::RenamedToWml(const CXmlNode* node) {
  if (node->GetParent() == root_) deckElementKnown_ = false;
}

void RewriteContext::EnterChildren(CXmlNode* node) {
  ancestors_.push_back(node);
  textBefore_.push_back(Answer::kUnknown);
  const bool cell = node->IsStartTag() && (IsTagNamedExactly(node, "td") || IsTagNamedExactly(node, "th"));
  cellsAbove_.push_back((cellsAbove_.empty() ? 0 : cellsAbove_.back()) + (cell ? 1 : 0));
  const std::string_view name = node->GetNameView();
  const bool foreign = node->IsStartTag() && (name == "svg" || name == "math");
  foreignAbove_.push_back((foreignAbove_.empty() ? 0 : foreignAbove_.back()) + (foreign ? 1 : 0));
}

CXmlNode* RewriteContext::LeaveChildren() {
  CXmlNode* node = ancestors_.back();
  ancestors_.pop_back();
  textBefore_.pop_back();
  cellsAbove_.pop_back();
  foreignAbove_.pop_back();
  return node;
}

bool RewriteContext::HasTextBefore(const CXmlNode* node) {
  // level: ancestors_[level - 1] is the expected parent of `at`; 0 once the
  // walk has left the remembered ancestors.
  std::size_t level = ancestors_.size();
  std::vector<std::size_t> passed;
  std::optional<bool> answer;
  const CXmlNode* at = node;
  walked_.clear();
  // Every node passed so far (not `at`) decided nothing.
  while (!answer) {
    if (at != node) {
      const auto known = answerBefore_.empty() ? answerBefore_.end() : answerBefore_.find(at);
      if (known != answerBefore_.end() && known->second.prev == at->GetPrev() &&
          known->second.parent == at->GetParent()) {
        answer = known->second.answer;
        break;
      }
      walked_.push_back(at);
    }
    if (at->GetPrev() != nullptr) {
      at = at->GetPrev();
    } else {
      at = at->GetParent();
      if (at == nullptr) {
        answer = false;
        break;
      }
      if (level > 0 && ancestors_[level - 1] == at) {
        --level;
        if (textBefore_[level] != Answer::kUnknown) {
          answer = textBefore_[level] == Answer::kYes;
          break;
        }
        passed.push_back(level);
      } else {
        level = 0;
      }
    }
    answer = DecideTextBefore(at);
  }
  for (std::size_t entered : passed) textBefore_[entered] = *answer ? Answer::kYes : Answer::kNo;
  // A short walk is not worth remembering: one that reaches a node it
  // passed goes on for at most as many steps. The node itself is left out:
  // its rule may yet insert before its previous sibling, which its own entry
  // could not tell.
  if (walked_.size() <= kShortWalk) return *answer;
  for (const CXmlNode* passedNode : walked_) {
    answerBefore_[passedNode] = AnswerBefore{passedNode->GetPrev(), passedNode->GetParent(), *answer};
  }
  return *answer;
}

FormFieldIndex* RewriteContext::FieldIndexOf(CXmlNode* form) {
  if (const auto known = formFields_.find(form); known != formFields_.end()) return known->second.get();
  std::unique_ptr<FormFieldIndex> index;
  // A form inside the outermost open one takes its part of that form's scan.
  CXmlNode* outermost = openForms_.empty() ? nullptr : openForms_.front();
  if (outermost != nullptr && outermost != form) index = FieldIndexOf(outermost)->Nested(form);
  if (!index) index = std::make_unique<FormFieldIndex>(form->GetFirstChild());
  return (formFields_[form] = std::move(index)).get();
}

void RewriteContext::ContentLeavesTheForms(const CXmlNode* parent) {
  // Every node before `node` in the pre-order walk of parent's content has
  // been looked at.
  for (const CXmlNode* node = parent->GetFirstChild(); node != nullptr; node = NextInSubtree(node, parent)) {
    if (IsFormField(node)) fieldsOutOfForms_.insert(node);
  }
}

void RewriteContext::DropHiddenFields() {
  for (CXmlNode* field : hiddenFields_) {
    if (!field->IsRemoved()) field->Destroy();
  }
  hiddenFields_.clear();
}

}  // namespace quillmark
