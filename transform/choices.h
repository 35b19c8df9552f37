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

#include <unordered_set>

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

// Turns the radio buttons and check boxes below `root` into selects and
// notes every chosen option.
void ConvertChoices(CXmlNode* root, ChosenOptions& chosen);

}  // namespace quillmark
