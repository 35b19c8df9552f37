// Text structure that HTML shows by layout: block elements stand on lines of
// their own, and preformatted text keeps its lines and its runs of blanks.
// WML shows neither, so before the rewrite walk every block element (but a
// heading outside table cells, which its own rule sets on a line of its
// own) gets a soft break as its first and last child (wherever the walk
// later unwraps it, its content stays between them), a rule counts as a
// soft break, and the text of a pre element is cut into lines divided by
// soft breaks, its runs of blanks written as no-break spaces. See
// soft_breaks.h for which of the breaks stay.
#pragma once

#include <string>
#include <string_view>

#include "markup/xml_node.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Gives a tag named `name` its soft breaks when it is an open block element,
// or counts it as a soft break when it is a rule; other tags stay as they
// are. `inCell` tells that a table cell encloses the tag: there headings are
// blocks too, and a rule is followed by a soft break of its own.
void MarkBlock(CXmlNode* tag, std::string_view name, bool inCell, SoftBreaks& breaks);

// Cuts a text of a pre element at its line ends: the text node keeps the
// first line, and each further line follows as a soft break and a text node.
// Returns the last node of the pieces.
CXmlNode* SplitPreformattedText(CXmlNode* text, SoftBreaks& breaks);

// The text of one piece of a preformatted line: every blank of a run of two
// or more, and a blank at the start when the piece begins a line, becomes
// "&#160;"; a single blank elsewhere stays.
std::string PreformattedLine(std::string_view line, bool startsLine);

}  // namespace quillmark
