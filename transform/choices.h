// Choices: radio buttons and check boxes become WML selects, and the options
// that the page chose at the start set each select's initial value.
//
// WML has no radio button or check box. Before the rewrite walk, the radio
// buttons that share a name within one form become one select with an
// option per button, and each check box a multiple select with one option;
// the text right after a button is its label and becomes the option's text.
// The selects then go through the walk like the page's own, so they get
// their variable names and post through the form's postfields.
#pragma once

#include <string_view>
#include <unordered_set>
#include <vector>

#include "markup/xml_node.h"

namespace quillmark {

// The options chosen when the page opens: <option selected> and the options
// made from checked buttons. Names document nodes, which outlive the walk.
class ChosenOptions {
 public:
  void Add(const CXmlNode* option) { options_.insert(option); }

  // At a select's closed tag, once its options are rewritten: unless the
  // select states a value or ivalue of its own, sets `value` to the chosen
  // options' values (separated by ";"), or `ivalue` to their positions from
  // 1 when one of them has no value. A select that is not multiple keeps
  // only its last chosen option, as browsers do.
  void SetInitialValue(CXmlNode* select) const;

 private:
  std::unordered_set<const CXmlNode*> options_;
};

// Finds the radio buttons and check boxes during a walk of the page in
// document order, noting every <option selected> on the way, and turns the
// buttons into selects once the walk is done.
class ChoiceFinder {
 public:
  explicit ChoiceFinder(ChosenOptions& chosen) : chosen_(chosen) {}

  // The walk meets a tag named `name`.
  void Visit(CXmlNode* node, std::string_view name);
  // The walk enters / leaves the children of `node`, named `name` when it is
  // a tag (empty otherwise).
  void Enter(const CXmlNode* node, std::string_view name);
  void Leave(const CXmlNode* node);
  // Turns the buttons found into selects.
  void Finish();

 private:
  // A radio button or check box and the form it stands in (null outside one).
  struct Button {
    CXmlNode* input;
    const CXmlNode* form;
    bool radio;
  };

  ChosenOptions& chosen_;
  std::vector<Button> buttons_;
  std::vector<const CXmlNode*> forms_;  // the forms the walk is in, innermost last
};

}  // namespace quillmark
