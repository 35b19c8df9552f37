#include "transform/choices.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/case_folding.h"
#include "markup/name_list.h"
#include "transform/escape_text.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// A button's value when the page gives none, as browsers submit it.
constexpr char kDefaultButtonValue[] = "on";

// The type of an input start tag is radio or checkbox.
bool IsChoiceType(const CXmlNode* input, bool& radio) {
  const char* type = input->GetElement()->GetAttribute("type");
  if (type == nullptr) return false;
  radio = EqualsIgnoringCase(type, "radio");
  return radio || EqualsIgnoringCase(type, "checkbox");
}

// A new select element right before the button; returns its start tag.
CXmlNode* InsertSelect(CXmlNode* input, const char* name, bool multiple) {
  CXmlNode* select = input->CreateNode("<select>");
  if (name != nullptr) select->GetElement()->SetAttribute("name", name);
  if (multiple) select->GetElement()->SetAttribute("multiple", "true");
  input->InsertBefore(select);
  select->InsertAfter(input->CreateNode("</select>"));
  return select;
}

// The button's label: the text right after it, when that is not blank.
CXmlNode* LabelOf(const CXmlNode* input) {
  CXmlNode* next = input->GetNext();
  if (next == nullptr || next->GetElement() == nullptr || next->IsTag() || next->IsComment()) return nullptr;
  return IsBlank(next->GetText()) ? nullptr : next;
}

// Appends the button's option to the select; returns the option's start tag.
CXmlNode* AppendOption(CXmlNode* select, CXmlNode* input) {
  const char* value = input->GetElement()->GetAttribute("value");
  if (value == nullptr) value = kDefaultButtonValue;
  CXmlNode* option = input->CreateNode("<option>");
  option->GetElement()->SetAttribute("value", value);
  select->AppendChild(option);
  select->AppendChild(input->CreateNode("</option>"));
  CXmlNode* label = LabelOf(input);
  if (label != nullptr) {
    label->Unlink();
    label->GetElement()->SetText(std::string(TrimControlBytes(label->GetText())));
  } else {
    label = input->CreateNode("x");
    label->GetElement()->SetText(value);
  }
  option->AppendChild(label);
  return option;
}

// The name under which radio buttons of one form form one group.
std::string GroupName(const char* name) {
  return LowerCasedAscii(name);
}

// A chosen option of a select: its position from 1 and its value, if any.
struct Pick {
  int position;
  const char* value;
};

}  // namespace

void ChoiceFinder::Visit(CXmlNode* node, std::string_view name) {
  if (name != "input" && name != "option") return;
  if (!node->IsStartTag()) return;
  bool radio = false;
  if (name == "input") {
    if (IsChoiceType(node, radio)) buttons_.push_back({node, forms_.empty() ? nullptr : forms_.back(), radio});
  } else if (node->GetElement()->GetAttribute("selected") != nullptr) {
    chosen_.Add(node);
  }
}

void ChoiceFinder::Enter(const CXmlNode* node, std::string_view name) {
  if (name == "form") forms_.push_back(node);
}

void ChoiceFinder::Leave(const CXmlNode* node) {
  if (!forms_.empty() && forms_.back() == node) forms_.pop_back();
}

void ChoiceFinder::Finish() {
  std::map<std::pair<const CXmlNode*, std::string>, CXmlNode*> groups;
  for (const Button& button : buttons_) {
    const char* name = button.input->GetElement()->GetAttribute("name");
    const bool grouped = button.radio && name != nullptr && *name != '\0';
    CXmlNode* alone = nullptr;
    CXmlNode*& select = grouped ? groups[{button.form, GroupName(name)}] : alone;
    if (select == nullptr) select = InsertSelect(button.input, name, !button.radio);
    CXmlNode* option = AppendOption(select, button.input);
    if (button.input->GetElement()->GetAttribute("checked") != nullptr) chosen_.Add(option);
    button.input->Destroy();
  }
  buttons_.clear();
}

void ChosenOptions::SetInitialValue(CXmlNode* select) const {
  if (options_.empty()) return;
  CXmlObject& record = *select->GetElement();
  if (record.GetAttribute("value") != nullptr || record.GetAttribute("ivalue") != nullptr) return;
  const char* multipleText = record.GetAttribute("multiple");
  const bool multiple = multipleText != nullptr && EqualsIgnoringCase(multipleText, "true");
  std::vector<Pick> picks;
  int position = 0;
  std::vector<const CXmlNode*> entered{select};
  const CXmlNode* node = select->GetFirstChild();
  // position counts the options before `node` in the select.
  while (node != nullptr) {
    if (node->IsStartTag() && IsTagNamedExactly(node, "option")) {
      ++position;
      if (options_.contains(node)) {
        if (!multiple) picks.clear();
        picks.push_back({position, node->GetElement()->GetAttribute("value")});
      }
    }
    if (IsOpenStartTag(node) && IsTagNamedExactly(node, "optgroup") && node->GetFirstChild() != nullptr) {
      entered.push_back(node);
      node = node->GetFirstChild();
      continue;
    }
    while (node->GetNext() == nullptr && entered.size() > 1) {
      node = entered.back();
      entered.pop_back();
    }
    node = node->GetNext();
  }
  if (picks.empty()) return;
  bool allValued = true;
  for (const Pick& pick : picks) allValued = allValued && pick.value != nullptr;
  std::string joined;
  for (const Pick& pick : picks) {
    if (!joined.empty()) joined += ';';
    joined += allValued ? std::string(pick.value) : std::to_string(pick.position);
  }
  record.SetAttribute(allValued ? "value" : "ivalue", joined.c_str());
}

}  // namespace quillmark
