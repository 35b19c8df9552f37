// The names under which form fields hold and post their values.
//
// WML keeps field values in deck-wide variables, so from the page's second
// form on a field's variable name carries its form's prefix "f<n>_" (n
// counts the forms closed before it): two forms may then use the same field
// name without sharing a value. Whatever the variable, a field is posted
// under the page's own name, lower-cased.
//
// Every field is renamed exactly once, by its own rule of the rewrite walk,
// so a variable name always is the prefix (from the second form on) plus the
// page's name; an unnamed field is named by the bare prefix there (the empty
// name in the first form) and is never posted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "markup/xml_node.h"
#include "transform/escape_text.h"

namespace quillmark {

// "f<formCount>_".
std::string FieldPrefix(int32_t formCount);

// The variable name the walk gives a field it rewrites: the lower-cased
// `name` of the field's start tag (an end tag reads its start tag), with the
// form's prefix when formCount is 1 or more (the bare prefix when the name is
// absent or empty). The result is safe inside a double-quoted attribute value,
// escaped with the device's `references`, as every text below is.
std::string FieldVariableName(CXmlNode* field, int32_t formCount, ReferenceMode references);

// The name a field is posted under: its page name, lower-cased. `rewritten`
// tells whether the walk has already replaced the field's name by its
// variable name, whose prefix then comes off again.
std::string FieldPostName(CXmlNode* field, int32_t formCount, ReferenceMode references, bool rewritten);

// Appends "<postfield name=... value=.../>" as the last child of the `go`
// start tag; both texts must already be safe as attribute values.
void AppendPostfield(CXmlNode* go, const std::string& name, const std::string& value);

// True for the start tag of a field a form posts: an input, select or
// textarea.
bool IsFormField(const CXmlNode* node);

// Appends to the `go` start tag one postfield per named text, password or
// hidden field and select found in `first`, its following siblings and their
// descendants (descendants before their element, in document order
// otherwise). `submit`, the button being rewritten, divides the fields: the
// walk has rewritten those before it and not yet those after it.
void AddPostfields(CXmlNode* first, CXmlNode* go, const CXmlNode* submit, int32_t formCount,
                   ReferenceMode references);

// Makes every field of the finished `deck` hold its value in a variable a
// phone can name: a WML variable name is a letter or "_" and then letters,
// digits and "_", so a page name such as "user[email]" or "first-name" is
// written with each other byte as "_" and two hex digits (and "_" before a
// leading digit), the postfields that read it follow, and a name that is
// taken already gets a number. An input the page left unnamed gets a name
// of its own, which nothing posts, and a select loses its empty name (WML
// requires none). A postfield of the page's own whose value is exactly
// "$(name)" of such a field reads it the same way. One walk over the deck.
void SettleFieldVariables(CXmlNode* deck);

// Read as HTML reads the page, before the rewrite walk: a control that is
// disabled (its own `disabled`, or `inDisabledFieldset`) is neither posted
// nor pressed, as in a browser. A field loses its `name`, so that no button
// posts it; a button (a submit or picture input, a button element) becomes
// a script's button, which shows nothing. `name` is the tag's lower-cased
// name; other tags stay as they are.
void DisableControl(CXmlNode* control, std::string_view name, bool inDisabledFieldset);

// The fields of one form in the order AddPostfields visits them, taken by
// one scan of the form, so that every further submit button of the form
// posts its fields without scanning the form again: a form of many buttons
// stays linear. The index holds while fields leave the form only by being
// removed or by moving out of every form, which the caller names to Post
// (the walk reorders nothing inside a form). A form nested in the
// scanned one takes its part of the same scan: forms nested many deep are
// scanned once, not once each.
//
// An index posts the fields that have a name at each button, as a scan
// made then would find them: the walk names a field when it reaches it, so
// a field before the button has the name it has now, and one after it the
// name it had in the page, which is the name the scan found when the scan
// came before the walk reached it.
class FormFieldIndex {
 public:
  // Scans the forest of `first` and its following siblings.
  explicit FormFieldIndex(CXmlNode* first);
  // The index of `form`, a form the scan passed inside this index's part;
  // null when it passed none.
  std::unique_ptr<FormFieldIndex> Nested(const CXmlNode* form) const;
  // Does what AddPostfields(first, go, submit, formCount, references) does now; false
  // (with nothing appended) when `submit` was not in the form at the scan.
  // `outOfForms` holds the fields moved out of every form since the scan.
  // Calls come in the walk's order, the form's first button first.
  bool Post(CXmlNode* go, const CXmlNode* submit, int32_t formCount, ReferenceMode references,
            const std::unordered_set<const CXmlNode*>& outOfForms);

 private:
  struct Entry {
    CXmlNode* field;
    size_t ordinal;  // position in AddPostfields' visiting order
  };
  // The ordinals of a form's content: from `begin` up to, not including, the form itself.
  struct Span {
    size_t begin = 0;
    size_t end = 0;
  };
  struct Scan {
    std::vector<Entry> named;    // fields with a name when the scan passed them, by ordinal
    std::vector<Entry> unnamed;  // the other fields, by ordinal
    std::unordered_map<const CXmlNode*, size_t> inputs;    // every input and button's ordinal
    std::unordered_map<const CXmlNode*, Span> forms;       // every form start tag's content
  };
  FormFieldIndex(std::shared_ptr<const Scan> scan, Span span)
      : scan_(std::move(scan)), span_(span), unnamed_(FirstFrom(scan_->unnamed, span.begin)) {}
  // The place of the first of `entries` (by ordinal) at `ordinal` or after it.
  static size_t FirstFrom(const std::vector<Entry>& entries, size_t ordinal);

  std::shared_ptr<const Scan> scan_;
  Span span_;                   // this form's part of the scan
  // The fields of this part unnamed at the scan: those before unnamed_
  // have been looked at, and namedSince_ holds, by ordinal, those among
  // them that the walk had named by then.
  size_t unnamed_ = 0;
  std::vector<Entry> namedSince_;
};

}  // namespace quillmark
