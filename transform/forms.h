// The form rules of the rewrite walk. WML has no form element: fields stand
// free in the card with their values in deck variables (see form_fields.h),
// and each submit button becomes a link or a soft key holding a go task that
// posts every field of its form.
//
// "At the closed tag" below means: when the walk reaches the element's end
// tag, or the tag itself when it is self-closing; the rule then works on the
// start tag.
#pragma once

#include "markup/xml_node.h"
#include "transform/rewrite_context.h"

namespace quillmark {

// select: at the closed tag the pair, a boolean multiple and the variable name.
void RewriteSelect(CXmlNode* node, RewriteContext& walk);
// optgroup: at the closed tag the pair; read as HTML reads the page, a
// group's label is its title.
void RewriteOptgroup(CXmlNode* node, RewriteContext& walk);
// option: at the closed tag the pair and, when missing, a value taken from
// the option's text.
void RewriteOption(CXmlNode* node, RewriteContext& walk);
// input: text fields get their variable name, a submit button becomes its
// control; every input leaves as a text or password input. Read as HTML
// reads the page, a picture that submits is a submit button too, a hidden
// field stays unseen (its form's buttons post its value), and reset and
// script buttons go.
void RewriteInput(CXmlNode* node, RewriteContext& walk);
// button: read as HTML reads the page, a submit button in a form becomes the
// control that submits it, captioned with the button's text, and a reset or
// script button goes with its content; otherwise the tags go and the
// content stays.
void RewriteButton(CXmlNode* node, RewriteContext& walk);
// form: the tags go, the content stays between optional line breaks, and the
// form count moves on at the closed tag.
void RewriteForm(CXmlNode* node, RewriteContext& walk);
// textarea: becomes a self-closing text input holding the area's text.
void RewriteTextarea(CXmlNode* node, RewriteContext& walk);

}  // namespace quillmark
