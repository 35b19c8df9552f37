// RewriteContext: what the element rules of one rewrite walk share.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "device/wml_settings.h"
#include "device/working_variables.h"
#include "markup/xml_node.h"
#include "transform/choices.h"
#include "transform/conversion.h"
#include "transform/form_fields.h"
#include "transform/row_spans.h"
#include "transform/section_cards.h"
#include "transform/soft_breaks.h"

namespace quillmark {

class RewriteContext {
 public:
  // Borrows the conversion for the walk.
  explicit RewriteContext(Conversion& conversion);

  CXmlNode* Root() const { return root_; }
  CWorkingVariables& Variables() const { return conversion_.Variables(); }
  const CWmlSettings& Settings() const { return conversion_.Settings(); }
  bool ReadsAsHtml() const { return conversion_.ReadsAsHtml(); }
  ReferenceMode References() const { return conversion_.References(); }

  // The first child of the root that is an open start tag named "wml", or
  // null. The answer is remembered until a root child is renamed "wml".
  CXmlNode* DeckElement();
  // Tells the context that `node` has just been renamed "wml".
  void RenamedToWml(const CXmlNode* node);

  // The walk enters the children of `node` / leaves the innermost node it
  // entered, returning it. The entered nodes are the ancestors of the node
  // being rewritten.
  void EnterChildren(CXmlNode* node);
  CXmlNode* LeaveChildren();
  bool InsideChildren() const { return !ancestors_.empty(); }
  // True when a td or th start tag is among the walk's ancestors.
  bool InsideCell() const { return !cellsAbove_.empty() && cellsAbove_.back() > 0; }
  // True when an svg or math start tag is among the walk's ancestors: what
  // they hold is a picture or a formula, whose titles name it, not the page.
  bool InsideForeignContent() const { return !foreignAbove_.empty() && foreignAbove_.back() > 0; }

  // The answer of node->HasTextBefore() for the node being rewritten (or a
  // sibling of it). Rules never edit the ancestors of the walk's position or
  // the siblings before them, so the answer from each ancestor onwards is
  // remembered while the walk is below it: nested elements cost no rescans.
  // The answer from before each node a walk passed is remembered too, with
  // the node's previous sibling and parent at the time: a later walk that
  // reaches the node with both unchanged takes it, so that a run of
  // siblings that decide nothing ("<a><h3>t</h3></a>" repeated) is passed
  // once, not once for each heading after it.
  bool HasTextBefore(const CXmlNode* node);

  // The form start tags that the walk is inside, innermost last; the form
  // rule pushes a form at its start tag and pops it at its end tag.
  std::vector<CXmlNode*>& OpenForms() { return openForms_; }

  // What the walk has met so far in one form, read as HTML reads the page:
  // its fields that a browser submits from by Enter (text, password, number
  // and the like) and whether any button submits it.
  struct FormTally {
    int32_t enterFields = 0;
    bool hasButton = false;
  };
  FormTally& TallyOf(const CXmlNode* form) { return formTallies_[form]; }

  // The field index of `form`, made at the first call.
  FormFieldIndex* FieldIndexOf(CXmlNode* form);
  // Tells the context that a rule moves the content of `parent` out of
  // every form: the fields among it are posted by no form's button.
  void ContentLeavesTheForms(const CXmlNode* parent);
  // The fields that ContentLeavesTheForms named.
  const std::unordered_set<const CXmlNode*>& FieldsOutOfForms() const { return fieldsOutOfForms_; }

  // An ordered list the walk is inside, read as HTML reads the page: its
  // start tag, the number of its next item, the step from one item to the
  // next (-1 in a reversed list) and its numbering ('1', 'a', 'A', 'i', 'I').
  struct OrderedList {
    const CXmlNode* start;
    int64_t next;
    int64_t step;
    char numbering;
  };
  // The ordered lists the walk is inside, innermost last.
  std::vector<OrderedList>& OrderedLists() { return orderedLists_; }

  // The hidden inputs that the walk keeps, read as HTML reads them, until
  // every button of their forms has posted their values; they go when the
  // walk is done (DropHiddenFields).
  std::vector<CXmlNode*>& HiddenFields() { return hiddenFields_; }
  void DropHiddenFields();

  // Where the page's named anchors and the elements its links name begin
  // sections, read as HTML reads it (see section_cards.h).
  SectionCards& Sections() { return sections_; }

  // The soft breaks of the document (see soft_breaks.h).
  SoftBreaks& Breaks() { return breaks_; }
  // A new line break of `near`'s document that a rule sets between
  // content, not linked yet: read as HTML, a soft break, which stays only
  // where it divides content; else a plain break tag.
  CXmlNode* NewLineBreak(CXmlNode* near) {
    return ReadsAsHtml() ? breaks_.Make(near) : near->CreateNode("<br/>");
  }
  // The options the page chose at the start (see choices.h).
  ChosenOptions& Choices() { return choices_; }
  // The row spans of the outermost table the walk is in, read as HTML
  // reads the page (see row_spans.h).
  RowSpans& TableRowSpans() { return rowSpans_; }

 private:
  enum class Answer : int8_t { kUnknown, kNo, kYes };

  Conversion& conversion_;
  CXmlNode* root_;
  CXmlNode* deckElement_ = nullptr;
  bool deckElementKnown_ = false;
  std::vector<CXmlNode*> ancestors_;
  // textBefore_[i]: the backward walk's answer from ancestors_[i] onwards.
  std::vector<Answer> textBefore_;
  // The backward walk's answer from before a node it passed.
  struct AnswerBefore {
    const CXmlNode* prev;    // the node's previous sibling and parent when
    const CXmlNode* parent;  // the answer was found
    bool answer;
  };
  static constexpr std::size_t kShortWalk = 32;
  std::unordered_map<const CXmlNode*, AnswerBefore> answerBefore_;
  std::vector<const CXmlNode*> walked_;  // the nodes one walk passed, for answerBefore_
  // cellsAbove_[i]: the cells among ancestors_[0..i].
  std::vector<uint32_t> cellsAbove_;
  // foreignAbove_[i]: the svg and math elements among ancestors_[0..i].
  std::vector<uint32_t> foreignAbove_;
  std::vector<CXmlNode*> openForms_;
  std::unordered_map<const CXmlNode*, std::unique_ptr<FormFieldIndex>> formFields_;
  std::unordered_map<const CXmlNode*, FormTally> formTallies_;
  // Content moved out of the forms lands outside every form, so each field
  // is put here at most once.
  std::unordered_set<const CXmlNode*> fieldsOutOfForms_;
  std::vector<CXmlNode*> hiddenFields_;
  SectionCards sections_;
  std::vector<OrderedList> orderedLists_;
  SoftBreaks breaks_;
  ChosenOptions choices_;
  RowSpans rowSpans_;
};

}  // namespace quillmark
