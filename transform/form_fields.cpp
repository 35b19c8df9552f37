#include "transform/form_fields.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/case_folding.h"
#include "markup/character_references.h"
#include "markup/tree_walk.h"
#include "transform/content_model.h"
#include "transform/escape_text.h"

namespace quillmark {
namespace {

// The page name of a field: its start tag's `name`, lower-cased and made
// safe as an attribute value; empty without one.
std::string PageFieldName(CXmlNode* field, ReferenceMode references) {
  CXmlNode* start = StartTagOf(field);
  const char* name = start != nullptr ? start->GetElement()->GetAttribute("name") : nullptr;
  if (name == nullptr) return std::string();
  return AttributeValueText(LowerCasedAscii(name), references, ReferenceContext::kAttribute);
}

// True for a field whose value the user types or picks, so that it is posted
// as a variable reference. Before the walk reaches an input its `type` is the
// page's (compared ignoring case); after, it has been normalized.
bool HoldsVariable(const CXmlNode* field) {
  if (field->IsTagNamed("select") || field->IsTagNamed("textarea")) return true;
  if (!field->IsTagNamed("input")) return false;
  const char* type = field->GetElement()->GetAttribute("type");
  return type == nullptr || EqualsIgnoringCase(type, "text") || EqualsIgnoringCase(type, "password");
}

// The fixed value of a hidden input the walk has not rewritten yet, or null.
const char* HiddenValue(const CXmlNode* field) {
  if (!field->IsTagNamed("input")) return nullptr;
  const char* type = field->GetElement()->GetAttribute("type");
  if (type == nullptr || !EqualsIgnoringCase(type, "hidden")) return nullptr;
  return field->GetElement()->GetAttribute("value");
}

// Posts one field, if it is a named field that carries a value.
void PostField(CXmlNode* field, CXmlNode* go, int32_t formCount, ReferenceMode references, bool rewritten) {
  if (!field->IsStartTag()) return;
  const char* name = field->GetElement()->GetAttribute("name");
  if (name == nullptr || *name == '\0') return;
  const std::string postName = FieldPostName(field, formCount, references, rewritten);
  // A field the page left unnamed carries only its form's prefix; the
  // browser would not send it.
  if (postName.empty()) return;
  if (HoldsVariable(field)) {
    // A rewritten field already carries its variable name.
    const std::string variable =
        rewritten ? PageFieldName(field, references) : FieldVariableName(field, formCount, references);
    AppendPostfield(go, postName, "$(" + variable + ")");
    return;
  }
  // A hidden field the walk passed is still one only when it was read as
  // HTML reads it: then it kept its page name.
  if (const char* value = HiddenValue(field)) {
    AppendPostfield(go, FieldPostName(field, formCount, references, false),
                    AttributeValueText(value, references, ReferenceContext::kAttribute));
  }
}

}  // namespace

void AppendPostfield(CXmlNode* go, const std::string& name, const std::string& value) {
  // Every button posts its form's fields: that is what can grow a deck.
  constexpr int64_t kPostfieldMarkup = sizeof "<postfield name=\"\" value=\"\"/>";
  go->GetRoot()->ChargeBudget(kPostfieldMarkup + static_cast<int64_t>(sizeof(CXmlNode) + name.size() + value.size()));
  CXmlNode* postfield = go->CreateNode("<postfield/>");
  postfield->GetElement()->SetAttribute("name", name.c_str());
  postfield->GetElement()->SetAttribute("value", value.c_str());
  go->AppendChild(postfield);
}

std::string FieldPrefix(int32_t formCount) { return "f" + std::to_string(formCount) + "_"; }

std::string FieldVariableName(CXmlNode* field, int32_t formCount, ReferenceMode references) {
  std::string name = PageFieldName(field, references);
  if (formCount < 1) return name;
  return FieldPrefix(formCount) + name;
}

std::string FieldPostName(CXmlNode* field, int32_t formCount, ReferenceMode references, bool rewritten) {
  std::string name = PageFieldName(field, references);
  if (!rewritten || formCount < 1) return name;
  const std::string prefix = FieldPrefix(formCount);
  if (std::string_view(name).starts_with(prefix)) name.erase(0, prefix.size());
  return name;
}

void AddPostfields(CXmlNode* first, CXmlNode* go, const CXmlNode* submit, int32_t formCount,
                   ReferenceMode references) {
  if (first == nullptr) return;
  const CXmlNode* scope = first->GetParent();
  bool rewritten = true;
  // Every node before `node` in post-order has been posted if it is a field;
  // `rewritten` turns false once the walk's current input has been passed.
  for (CXmlNode* node = FirstInPostOrder(first); node != nullptr; node = NextInPostOrder(node, scope)) {
    if (node == submit) {
      rewritten = false;
      continue;
    }
    PostField(node, go, formCount, references, rewritten);
  }
}

namespace {

bool IsFormStart(const CXmlNode* node) { return node->IsStartTag() && node->IsTagNamed("form"); }

}  // namespace

FormFieldIndex::FormFieldIndex(CXmlNode* first) {
  auto scan = std::make_shared<Scan>();
  size_t ordinal = 0;
  if (first != nullptr) {
    const CXmlNode* scope = first->GetParent();
    // The walk enters a form's subtree where its content begins: at the
    // ordinal the next node visited takes.
    const auto entered = [&](CXmlNode* node) {
      if (IsFormStart(node)) scan->forms[node].begin = ordinal;
    };
    // Every node before `node` in post-order is indexed if it can be posted.
    for (CXmlNode* node = FirstInPostOrder(first, entered); node != nullptr;
         node = NextInPostOrder(node, scope, entered)) {
      if (node->IsStartTag()) {
        if (node->IsTagNamed("input") || node->IsTagNamed("button")) scan->inputs.emplace(node, ordinal);
        if (IsFormStart(node)) scan->forms[node].end = ordinal;
        if (IsFormField(node)) {
          const char* name = node->GetElement()->GetAttribute("name");
          (name != nullptr && *name != '\0' ? scan->named : scan->unnamed).push_back({node, ordinal});
        }
      }
      // Counted before the step, which may enter forms at the next ordinal.
      ++ordinal;
    }
  }
  span_ = Span{0, ordinal};
  scan_ = std::move(scan);
}

std::unique_ptr<FormFieldIndex> FormFieldIndex::Nested(const CXmlNode* form) const {
  const auto found = scan_->forms.find(form);
  if (found == scan_->forms.end()) return nullptr;
  const Span span = found->second;
  if (span.begin < span_.begin || span.end > span_.end) return nullptr;
  return std::unique_ptr<FormFieldIndex>(new FormFieldIndex(scan_, span));
}

bool IsFormField(const CXmlNode* node) {
  return node->IsStartTag() &&
         (node->IsTagNamed("input") || node->IsTagNamed("select") || node->IsTagNamed("textarea"));
}

size_t FormFieldIndex::FirstFrom(const std::vector<Entry>& entries, size_t ordinal) {
  const auto first = std::lower_bound(entries.begin(), entries.end(), ordinal,
                                      [](const Entry& e, size_t at) { return e.ordinal < at; });
  return static_cast<size_t>(first - entries.begin());
}

bool FormFieldIndex::Post(CXmlNode* go, const CXmlNode* submit, int32_t formCount, ReferenceMode references,
                          const std::unordered_set<const CXmlNode*>& outOfForms) {
  const auto at = scan_->inputs.find(submit);
  if (at == scan_->inputs.end() || at->second < span_.begin || at->second >= span_.end) return false;
  const size_t button = at->second;
  // The walk names a field the page left unnamed when it reaches it, before
  // any later button: each such field is looked at once, by the first
  // button after it, and kept when it then has a name.
  for (; unnamed_ < scan_->unnamed.size() && scan_->unnamed[unnamed_].ordinal < std::min(span_.end, button);
       ++unnamed_) {
    // Nested forms look at a field once each: that could make the square
    // of the page, so each look draws from the budget.
    go->GetRoot()->ChargeBudget(static_cast<int64_t>(sizeof(Entry)));
    const Entry& entry = scan_->unnamed[unnamed_];
    const char* name = entry.field->GetElement()->GetAttribute("name");
    if (name != nullptr && *name != '\0') namedSince_.push_back(entry);
  }
  // The fields named at the scan and those named since, merged in their
  // order; every field before the two positions has been posted if it
  // still stands in the form.
  auto named = scan_->named.begin() + static_cast<std::ptrdiff_t>(FirstFrom(scan_->named, span_.begin));
  const auto namedEnd = scan_->named.end();
  auto since = namedSince_.cbegin();
  while (true) {
    const bool namedLeft = named != namedEnd && named->ordinal < span_.end;
    const bool sinceLeft = since != namedSince_.cend();
    if (!namedLeft && !sinceLeft) return true;
    const bool takeNamed = namedLeft && (!sinceLeft || named->ordinal < since->ordinal);
    const Entry& entry = takeNamed ? *named++ : *since++;
    if (entry.field == submit || entry.field->IsRemoved()) continue;
    if (!outOfForms.empty() && outOfForms.contains(entry.field)) continue;
    PostField(entry.field, go, formCount, references, entry.ordinal < button);
  }
}

namespace {

bool IsVariableByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// True when `name` is a whole WML variable name, as the deck writer reads
// one after a "$".
bool IsVariableName(std::string_view name) { return !name.empty() && VariableNameLength(name) == name.size(); }

// `name` as a variable name: each byte a variable name cannot hold as "_"
// and two hex digits, "_" before a leading digit, "field" for no name.
std::string VariableNameOf(std::string_view name) {
  if (name.empty()) return "field";
  constexpr char kHex[] = "0123456789abcdef";
  std::string variable = name[0] >= '0' && name[0] <= '9' ? "_" : "";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsVariableByte(byte)) {
      variable += c;
      continue;
    }
    variable += '_';
    variable += kHex[byte >> 4];
    variable += kHex[byte & 0xF];
  }
  return variable;
}

// The fields and postfields of a deck, and the variable names it uses.
struct DeckFields {
  std::vector<CXmlNode*> fields;  // inputs and selects with a name attribute
  std::vector<CXmlNode*> postfields;
  std::unordered_set<std::string> taken;  // the names that need no change, and those given
  // The number each base name tries next, so that many fields of one base
  // (a page of unnamed inputs) cost one look each, not one per earlier one.
  std::unordered_map<std::string, int> nextNumber;

  // A variable name made from `name` that no other field has taken; taken now.
  std::string FreeVariableName(std::string_view name) {
    const std::string base = VariableNameOf(name);
    int& number = nextNumber.try_emplace(base, 1).first->second;
    std::string variable = number == 1 ? base : base + "_" + std::to_string(number);
    // Every number below `number` is taken for this base.
    while (taken.contains(variable)) variable = base + "_" + std::to_string(++number);
    ++number;
    taken.insert(variable);
    return variable;
  }
};

DeckFields FieldsOf(CXmlNode* deck) {
  DeckFields found;
  // Every field and postfield before `node` in document order is listed.
  for (CXmlNode* node = deck->GetFirstChild(); node != nullptr; node = NextInSubtree(node, deck)) {
    if (!node->IsStartTag()) continue;
    if (node->IsTagNamed("postfield")) {
      found.postfields.push_back(node);
      continue;
    }
    if (!node->IsTagNamed("input") && !node->IsTagNamed("select")) continue;
    const char* name = node->GetElement()->GetAttribute("name");
    if (name == nullptr) continue;
    found.fields.push_back(node);
    if (IsVariableName(name)) found.taken.insert(name);
  }
  return found;
}

}  // namespace

void SettleFieldVariables(CXmlNode* deck) {
  DeckFields deckFields = FieldsOf(deck);
  std::unordered_map<std::string, std::string> renamed;  // page variable name to the deck's
  for (CXmlNode* field : deckFields.fields) {
    CXmlObject& element = *field->GetElement();
    const std::string name = element.GetAttribute("name");
    if (IsVariableName(name)) continue;
    if (name.empty() && field->IsTagNamed("select")) {
      element.RemoveAttribute("name");
      continue;
    }
    // Each unnamed input holds a value of its own; fields of one name share theirs.
    auto found = name.empty() ? renamed.end() : renamed.find(name);
    if (found == renamed.end()) {
      std::string variable = deckFields.FreeVariableName(name);
      if (name.empty()) {
        element.SetAttribute("name", variable.c_str());
        continue;
      }
      found = renamed.emplace(name, std::move(variable)).first;
    }
    element.SetAttribute("name", found->second.c_str());
  }
  if (renamed.empty()) return;
  for (CXmlNode* postfield : deckFields.postfields) {
    const char* value = postfield->GetElement()->GetAttribute("value");
    const std::string_view reference = value != nullptr ? value : "";
    if (!reference.starts_with("$(") || !reference.ends_with(")")) continue;
    const auto found = renamed.find(std::string(reference.substr(2, reference.size() - 3)));
    if (found != renamed.end()) postfield->GetElement()->SetAttribute("value", ("$(" + found->second + ")").c_str());
  }
}

void DisableControl(CXmlNode* control, std::string_view name, bool inDisabledFieldset) {
  const bool field = name == "input" || name == "select" || name == "textarea";
  if ((!field && name != "button") || !control->IsStartTag()) return;
  CXmlObject& element = *control->GetElement();
  if (!inDisabledFieldset && element.GetAttribute("disabled") == nullptr) return;
  const char* type = element.GetAttribute("type");
  const bool submits = name == "button" ? type == nullptr || EqualsIgnoringCase(type, "submit")
                                        : name == "input" && type != nullptr &&
                                              (EqualsIgnoringCase(type, "submit") || EqualsIgnoringCase(type, "image"));
  if (submits) element.SetAttribute("type", "button");
  element.RemoveAttribute("name");
}

}  // namespace quillmark
