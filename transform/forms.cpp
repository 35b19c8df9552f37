#include "transform/forms.h"

#include <string>
#include <vector>

#include "base/case_folding.h"
#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/content_model.h"
#include "transform/element_rules.h"
#include "transform/escape_text.h"
#include "transform/form_fields.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// The caption of a submit button whose `value` is absent.
constexpr char kDefaultCaption[] = "submit";

// Applies the pair at the closed tag; returns the start tag's record, or null
// when the node is an open start tag or has no start tag to work on.
CXmlObject* RecordAfterPair(CXmlNode* node, const ContentModel& model) {
  if (!node->IsClosedTag()) return nullptr;
  CXmlNode* start = ApplyContentModel(node, model);
  return start != nullptr ? start->GetElement() : nullptr;
}

// The first child that is not a comment, or null.
CXmlNode* FirstNonCommentChild(const CXmlNode* node) {
  CXmlNode* child = node->GetFirstChild();
  // Every child before `child` is a comment.
  while (child != nullptr && child->IsComment()) child = child->GetNext();
  return child;
}

// The innermost form the walk is inside, or null. A form stays named "form"
// until the walk leaves it, so a suppressed entry is no open form.
CXmlNode* EnclosingForm(RewriteContext& walk) {
  const std::vector<CXmlNode*>& open = walk.OpenForms();
  if (open.empty() || !IsTagNamedExactly(open.back(), "form")) return nullptr;
  return open.back();
}

// Gives a field its variable name.
void NameField(CXmlNode* field, const RewriteContext& walk) {
  const std::string name = FieldVariableName(field, walk.Variables().formCount, walk.References());
  field->GetElement()->SetAttribute("name", name.c_str());
}

// Inserts the element `open`/`close` right after `node`; returns its start tag.
CXmlNode* InsertElementAfter(CXmlNode* node, const char* open, const char* close) {
  CXmlNode* start = node->CreateNode(open);
  node->InsertAfter(start);
  start->InsertAfter(node->CreateNode(close));
  return start;
}

// Appends the element `open`/`close` as the last children of `parent`;
// returns its start tag.
CXmlNode* AppendElement(CXmlNode* parent, const char* open, const char* close) {
  CXmlNode* start = parent->CreateNode(open);
  parent->AppendChild(start);
  parent->AppendChild(parent->CreateNode(close));
  return start;
}

// True when the button becomes a link, false for a soft key: the button's own
// `button` and `link` attributes decide, else the device's submitAsLink.
bool SubmitsAsLink(const CXmlObject& input, const CWmlSettings& settings) {
  const int32_t button = input.GetBoolAttribute("button", settings.submitAsLink == 0 ? 1 : 0);
  return input.GetBoolAttribute("link", button == 0 ? 1 : 0) != 0;
}

// Inserts the anchor or do that stands for the button; returns its start tag.
CXmlNode* InsertSubmitControl(CXmlNode* input, const std::string& caption, bool asLink) {
  if (asLink) {
    CXmlNode* anchor = InsertElementAfter(input, "<anchor>", "</anchor>");
    anchor->GetElement()->SetAttribute("title", caption.c_str());
    if (!caption.empty()) anchor->AppendChild(anchor->CreateNode(caption.c_str()));
    return anchor;
  }
  CXmlNode* soft = InsertElementAfter(input, "<do>", "</do>");
  soft->GetElement()->SetAttribute("label", caption.c_str());
  soft->GetElement()->SetAttribute("type", "accept");
  return soft;
}

// Fills the go task with the form's target and method.
void SetFormTarget(CXmlObject& go, const CXmlObject& form) {
  const char* action = form.GetAttribute("action");
  go.SetAttribute("href", action != nullptr ? action : "");
  const char* method = form.GetAttribute("method");
  go.SetAttribute("method", method != nullptr && EqualsIgnoringCase(method, "post") ? "post" : "get");
}

// Posts the fields of `form` to `go`, from the form's field index when the
// walk still has one.
void PostFormFields(CXmlNode* form, CXmlNode* go, const CXmlNode* input, RewriteContext& walk) {
  const int32_t formCount = walk.Variables().formCount;
  FormFieldIndex* index = walk.FieldIndexOf(form);
  if (index != nullptr && index->Post(go, input, formCount, walk.References(), walk.FieldsOutOfForms())) return;
  AddPostfields(form->GetFirstChild(), go, input, formCount, walk.References());
}

// What a submit button shows, and the name and value it posts itself (an
// empty name posts nothing of its own); all made safe as attribute values.
struct SubmitButton {
  std::string caption;
  std::string name;
  std::string value;
  // A picture posts the point clicked instead: `name`.x and `name`.y.
  bool postsPoint = false;
};

// A page's attribute value made safe as a deck's.
std::string ValueText(const char* value, const RewriteContext& walk) {
  return AttributeValueText(value != nullptr ? value : "", walk.References(), ReferenceContext::kAttribute);
}

// A submit input shows its `value` (or kDefaultCaption) and posts its name
// with that caption.
SubmitButton SubmitInputOf(const CXmlObject& input, const RewriteContext& walk) {
  const char* value = input.GetAttribute("value");
  std::string caption = ValueText(value != nullptr ? value : kDefaultCaption, walk);
  return SubmitButton{caption, ValueText(input.GetAttribute("name"), walk), caption};
}

// A button's own `formaction` (read as its form's `action` is) and
// `formmethod`, which HTML lets override its form's target and method for
// that button alone.
void TakeButtonTarget(CXmlObject& go, CXmlObject& button, const RewriteContext& walk) {
  if (const char* action = button.GetAttribute("formaction"); action != nullptr && !IsBlank(action)) {
    ReadTargetAsHtml(button, "formaction", walk);
    go.SetAttribute("href", button.GetAttribute("formaction"));
  }
  const char* method = button.GetAttribute("formmethod");
  if (method == nullptr) return;
  if (EqualsIgnoringCase(method, "post")) go.SetAttribute("method", "post");
  if (EqualsIgnoringCase(method, "get")) go.SetAttribute("method", "get");
}

// Posts what `button` sends of its own: its name with its value, or the
// point clicked on a picture; nothing without a name.
void PostButton(CXmlNode* go, const SubmitButton& button) {
  if (button.name.empty()) return;
  if (!button.postsPoint) return AppendPostfield(go, button.name, button.value);
  AppendPostfield(go, button.name + ".x", "0");
  AppendPostfield(go, button.name + ".y", "0");
}

// Puts a space before `at`, a button, where the link of another button
// ends right before it ("<input type=submit value=Yes><input type=submit
// value=No>"): a browser shows two buttons apart, while two links side by
// side read as one word ("YesNo").
void PartFromLinkBefore(CXmlNode* at) {
  const CXmlNode* before = at->GetPrev();
  // Every sibling after `before` and before `at` shows nothing: a comment or
  // a suppressed tag (a button that made its link, a reset button).
  while (before != nullptr && (before->IsComment() || (before->IsTag() && before->GetNameView().empty()))) {
    before = before->GetPrev();
  }
  if (before == nullptr || !before->IsTag() || before->IsStartTag() || !IsTagNamedExactly(before, "anchor")) return;
  at->InsertBefore(at->CreateNode(" "));
}

// Builds the link or soft key that submits `form` for `at`, the button's
// tag, right after `place` (`at` itself when null).
void BuildSubmitControl(CXmlNode* at, CXmlNode* form, const SubmitButton& button, RewriteContext& walk,
                        CXmlNode* place = nullptr) {
  walk.TallyOf(form).hasButton = true;
  const bool asLink = SubmitsAsLink(*at->GetElement(), walk.Settings());
  if (asLink && place == nullptr && walk.ReadsAsHtml()) PartFromLinkBefore(at);
  CXmlNode* control = InsertSubmitControl(place != nullptr ? place : at, button.caption, asLink);
  CXmlNode* go = AppendElement(control, "<go>", "</go>");
  SetFormTarget(*go->GetElement(), *form->GetElement());
  if (walk.ReadsAsHtml()) TakeButtonTarget(*go->GetElement(), *at->GetElement(), walk);
  PostButton(go, button);
  PostFormFields(form, go, at, walk);
}

// What a submit input of some kind shows and posts.
using SubmitButtonOf = SubmitButton (*)(const CXmlObject& input, const RewriteContext& walk);

// A submit input becomes its control, shown and posted as `buttonOf` says,
// when it stands in a form; the input itself always goes.
void RewriteSubmit(CXmlNode* input, SubmitButtonOf buttonOf, RewriteContext& walk) {
  if (CXmlNode* form = EnclosingForm(walk)) BuildSubmitControl(input, form, buttonOf(*input->GetElement(), walk), walk);
  Suppress(input);
}

// The input types that, read as HTML reads them, show nothing on a phone:
// a hidden field, whose value its form's buttons post, and buttons that
// reset the form or run a script.
constexpr char kUnshownInputTypes[] = "hidden\0reset\0button\0";

// A picture that submits its form shows its `alt` (else its `value`, else
// kDefaultCaption) and posts the point clicked under its name, as a
// browser does: the picture's corner, "go.x=0" and "go.y=0". A server
// tells by them which of several pictures was pressed.
SubmitButton ImageSubmitOf(const CXmlObject& input, const RewriteContext& walk) {
  const char* alt = input.GetAttribute("alt");
  const char* value = input.GetAttribute("value");
  const char* caption = kDefaultCaption;
  if (value != nullptr && *value != '\0') caption = value;
  if (alt != nullptr && *alt != '\0') caption = alt;
  return SubmitButton{ValueText(caption, walk), ValueText(input.GetAttribute("name"), walk), std::string(), true};
}

// The input types whose fields a browser does not submit from by Enter;
// the types RewriteInputAsHtml takes are passed over before they count.
constexpr char kNoEnterInputTypes[] = "checkbox\0radio\0file\0color\0range\0";

// Counts a field of the form the walk is in that a browser submits from by
// Enter: an input of a text type, or of a type it does not know.
void CountEnterField(const char* type, RewriteContext& walk) {
  CXmlNode* form = EnclosingForm(walk);
  if (form == nullptr || (type != nullptr && IsNameInList(type, kNoEnterInputTypes) != 0)) return;
  ++walk.TallyOf(form).enterFields;
}

// A form without a button that holds one field a browser submits from by
// Enter is submitted from it; a phone has no such key, so the form gets the
// control a button would give (one of `end`, its end tag), at the end of
// its content, before the break that ends the form. A form inside another
// is none in HTML, where the outer form's buttons post its fields; one
// without a target is most often a script's (a book's search box), which
// would only reload the page.
void SubmitFromItsOnlyField(CXmlNode* end, CXmlNode* form, RewriteContext& walk) {
  const RewriteContext::FormTally& tally = walk.TallyOf(form);
  const std::vector<CXmlNode*>& open = walk.OpenForms();
  if (tally.hasButton || tally.enterFields != 1 || open.empty() || open.front() != form) return;
  if (const char* action = form->GetElement()->GetAttribute("action"); action == nullptr || IsBlank(action)) return;
  CXmlNode* place = form->GetLastChild();
  if (place != nullptr && walk.Breaks().IsSoft(place)) place = place->GetPrev();
  BuildSubmitControl(end, form, SubmitButton{kDefaultCaption, std::string(), std::string()}, walk,
                     place != nullptr ? place : end);
}

// Rewrites an input that HTML reads otherwise than the record's own rule:
// returns false, doing nothing, for the types that rule handles.
bool RewriteInputAsHtml(CXmlNode* node, const char* type, RewriteContext& walk) {
  if (type == nullptr) return false;
  if (EqualsIgnoringCase(type, "image")) {
    RewriteSubmit(node, ImageSubmitOf, walk);
    return true;
  }
  if (IsNameInList(type, kUnshownInputTypes) == 0) return false;
  if (EqualsIgnoringCase(type, "hidden")) {
    walk.HiddenFields().push_back(node);
  } else {
    Suppress(node);
  }
  return true;
}

// The text a button element shows: its texts and its pictures' alt texts,
// each run of white space one space, without spaces at either end.
std::string ButtonText(const CXmlNode* button) {
  std::string text;
  const auto add = [&](std::string_view part) {
    for (const char c : part) {
      const bool space = static_cast<unsigned char>(c) <= ' ';
      if (space && (text.empty() || text.back() == ' ')) continue;
      text += space ? ' ' : c;
    }
  };
  // Every node before `node` in the pre-order walk of the button has been added.
  for (const CXmlNode* node = button->GetFirstChild(); node != nullptr; node = NextInSubtree(node, button)) {
    if (!node->IsTag() && !node->IsComment()) {
      add(node->GetElement()->GetTextView());
      add(" ");
    } else if (node->IsTagNamed("img")) {
      if (const char* alt = node->GetElement()->GetAttribute("alt")) add(alt);
      add(" ");
    }
  }
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The content of a closed form stays in place, between the device's optional
// line breaks (RewriteContext::NewLineBreak).
void UnwrapForm(CXmlNode* start, RewriteContext& walk) {
  Suppress(start);
  if (walk.Settings().breakBefore != 0) start->PrependChild(walk.NewLineBreak(start));
  if (walk.Settings().breakAfter != 0) start->AppendChild(walk.NewLineBreak(start));
  start->MoveChildrenAfter(start);
}

}  // namespace

namespace {

// True for a jump menu: a select whose change runs a script that goes to
// the page its option's value names ("location=this.value", a page
// editor's "jumpMenu(…)").
bool IsJumpMenu(const CXmlObject& select) {
  const char* change = select.GetAttribute("onchange");
  if (change == nullptr) return false;
  const std::string lowered = LowerCasedAscii(change);
  return lowered.find("location") != std::string::npos || lowered.find("jumpmenu") != std::string::npos;
}

// A phone runs no script: each option of the jump menu `select` whose value
// names a page goes there when it is picked (onpick), as the script went.
// A blank value, or one that is a fragment alone or a script's, is the
// menu's prompt ("Choose a section") and leads nowhere.
void PickTargetsOfJumpMenu(CXmlNode* select, RewriteContext& walk) {
  // Every option before `node` in the select has its target.
  for (CXmlNode* node = select->GetFirstChild(); node != nullptr; node = NextInSubtree(node, select)) {
    if (!node->IsStartTag() || !IsTagNamedExactly(node, "option")) continue;
    CXmlObject& option = *node->GetElement();
    const char* value = option.GetAttribute("value");
    if (value == nullptr || IsBlank(value) || value[0] == '#' || IsScriptUri(value)) continue;
    SetLinkTarget(option, "onpick", value, walk);
  }
}

}  // namespace

void RewriteSelect(CXmlNode* node, RewriteContext& walk) {
  CXmlNode* opened = walk.ReadsAsHtml() && node->IsClosedTag() ? StartTagOf(node) : nullptr;
  if (opened != nullptr && IsJumpMenu(*opened->GetElement())) PickTargetsOfJumpMenu(opened, walk);
  CXmlObject* select = RecordAfterPair(node, wml::kSelect);
  if (select == nullptr) return;
  select->NormalizeBoolAttribute("multiple", "false");
  CXmlNode* start = StartTagOf(node);
  NameField(start, walk);
  walk.Choices().SetInitialValue(start);
}

void RewriteOptgroup(CXmlNode* node, RewriteContext& walk) {
  CXmlNode* start = walk.ReadsAsHtml() && node->IsClosedTag() ? StartTagOf(node) : nullptr;
  // HTML names a group by its label, WML by its title.
  const char* label = start != nullptr ? start->GetElement()->GetAttribute("label") : nullptr;
  const std::string title = label != nullptr && start->GetElement()->GetAttribute("title") == nullptr
                                ? ValueText(label, walk)
                                : std::string();
  CXmlObject* group = RecordAfterPair(node, wml::kOptgroup);
  if (group != nullptr && !title.empty()) group->SetAttribute("title", title.c_str());
}

namespace {

// Read as HTML, an option that holds no text shows its `label`, as
// browsers show it; its value stays its text's, the empty text.
void ShowLabelOfEmptyOption(CXmlNode* node, const RewriteContext& walk) {
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr || !IsOpenStartTag(start)) return;
  const char* label = start->GetElement()->GetAttribute("label");
  if (label == nullptr || IsBlank(label)) return;
  for (const CXmlNode* child = start->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (child->IsTag() || (!child->IsComment() && !IsBlank(child->GetText()))) return;
  }
  if (start->GetElement()->GetAttribute("value") == nullptr) start->GetElement()->SetAttribute("value", "");
  start->AppendChild(start->CreateNode(AttributeValueText(label, walk.References()).c_str()));
}

}  // namespace

void RewriteOption(CXmlNode* node, RewriteContext& walk) {
  if (walk.ReadsAsHtml() && node->IsClosedTag()) ShowLabelOfEmptyOption(node, walk);
  CXmlObject* option = RecordAfterPair(node, wml::kOption);
  if (option == nullptr || option->GetAttribute("value") != nullptr) return;
  const CXmlNode* first = FirstNonCommentChild(StartTagOf(node));
  if (first == nullptr) {
    option->SetAttribute("value", "");
  } else if (!first->IsTag()) {
    // The text has been escaped by the walk already; quotes still need it.
    option->SetAttribute("value", AttributeValueText(TrimControlBytes(first->GetText()), walk.References()).c_str());
  }
}

namespace {

// True when `text` (null for none) is empty or only digits.
bool HoldsOnlyDigits(const char* text) {
  for (const char* at = text; at != nullptr && *at != '\0'; ++at) {
    if (*at < '0' || *at > '9') return false;
  }
  return true;
}

// Read as HTML, a number field asks the phone for digits (WML's format
// "*N", which most phones meet with their number keys), where its value,
// which the format must allow, has only digits.
void AskForDigits(CXmlObject& input, const char* type, const RewriteContext& walk) {
  if (!walk.ReadsAsHtml() || type == nullptr || !EqualsIgnoringCase(type, "number")) return;
  if (input.GetAttribute("format") != nullptr || !HoldsOnlyDigits(input.GetAttribute("value"))) return;
  input.SetAttribute("format", "*N");
}

}  // namespace

void RewriteInput(CXmlNode* node, RewriteContext& walk) {
  if (!node->IsStartTag()) return;
  CXmlObject& input = *node->GetElement();
  const char* type = input.GetAttribute("type");
  if (walk.ReadsAsHtml() && RewriteInputAsHtml(node, type, walk)) return;
  if (type != nullptr && EqualsIgnoringCase(type, "submit")) {
    RewriteSubmit(node, SubmitInputOf, walk);
  } else {
    if (walk.ReadsAsHtml()) CountEnterField(type, walk);
    // Every input leaves as a text input, so each holds its value in its own
    // variable, which the form's postfields refer to.
    NameField(node, walk);
    AskForDigits(input, type, walk);
    if (type == nullptr) input.SetAttribute("type", "text");
  }
  ApplyContentModel(node, wml::kInput);
  input.NormalizeEnumAttribute("type", "text\0password\0", "text", 0);
  input.NormalizeBoolAttribute("emptyok", "false");
}

void RewriteButton(CXmlNode* node, RewriteContext& walk) {
  CXmlObject& button = *node->GetElement();
  const char* type = button.GetAttribute("type");
  if (!walk.ReadsAsHtml()) return RewriteUnknownTag(node);
  // A button that resets its form or runs a script does nothing on a phone;
  // any other type submits, as in HTML.
  if (type != nullptr && (EqualsIgnoringCase(type, "reset") || EqualsIgnoringCase(type, "button"))) {
    return RemoveWithContent(node, walk);
  }
  CXmlNode* form = node->IsStartTag() ? EnclosingForm(walk) : nullptr;
  if (form == nullptr) return RewriteUnknownTag(node);
  std::string caption = ButtonText(node);
  const char* value = button.GetAttribute("value");
  if (caption.empty()) caption = value != nullptr && *value != '\0' ? value : kDefaultCaption;
  const SubmitButton submit{ValueText(caption.c_str(), walk), ValueText(button.GetAttribute("name"), walk),
                            ValueText(value, walk)};
  // The control takes the button's place: its content and end tag go first.
  DestroyChildren(node);
  if (CXmlNode* end = IsOpenStartTag(node) ? EndTagOf(node) : nullptr) end->Destroy();
  BuildSubmitControl(node, form, submit, walk);
  Suppress(node);
}

void RewriteForm(CXmlNode* node, RewriteContext& walk) {
  CXmlObject& form = *node->GetElement();
  std::vector<CXmlNode*>& open = walk.OpenForms();
  if (!node->IsClosedTag()) {
    if (form.GetAttribute("action") == nullptr) form.SetAttribute("action", "");
    ReadTargetAsHtml(form, "action", walk);
    open.push_back(node);
    return;
  }
  CXmlNode* start = node->IsStartTag() ? nullptr : StartTagOf(node);
  if (start != nullptr && walk.ReadsAsHtml()) SubmitFromItsOnlyField(node, start, walk);
  Suppress(node);
  if (start != nullptr) {
    if (!open.empty() && open.back() == start) open.pop_back();
    UnwrapForm(start, walk);
  }
  ++walk.Variables().formCount;
}

void RewriteTextarea(CXmlNode* node, RewriteContext& walk) {
  if (!node->IsStartTag()) return;
  FilterChildren(node, wml::kTextarea);
  CXmlObject& area = *node->GetElement();
  area.SetName("input");
  area.SetAttribute("type", "text");
  const CXmlNode* text = FirstNonCommentChild(node);
  if (text != nullptr && text->GetText()[0] != '\0') {
    area.SetAttribute("value", AttributeValueText(text->GetText(), walk.References()).c_str());
  }
  NameField(node, walk);
  // Rows, columns and the like have no place on a WML input.
  area.RetainAttributes(wml::kInput.attributes);
  DestroyChildren(node);
  if (node->IsClosedTag()) return;
  if (CXmlNode* end = EndTagOf(node)) end->Destroy();
  area.MakeSelfClosing();
}

}  // namespace quillmark
