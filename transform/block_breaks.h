// Text structure that HTML shows by layout: block elements stand on lines of
// their own, and preformatted text keeps its lines and its runs of blanks.
// WML shows neither, so before the rewrite walk every block element gets a
// soft break as its first and last child (wherever the walk later unwraps
// it, its content stays between them), a rule counts as a soft break, and
// the text of a pre element is cut into lines divided by soft breaks, its
// runs of blanks written as no-break spaces. See soft_breaks.h for which of
// the breaks stay.
#pragma once

#include <string>
#include <string_view>

#include "markup/xml_node.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Marks the blocks and preformatted lines of the whole tree below `root`.
void MarkBlockBreaks(CXmlNode* root, SoftBreaks& breaks);

// The text of one piece of a preformatted line: every blank of a run of two
// or more, and a blank that begins the line, becomes "&#160;".
std::string PreformattedLine(std::string_view line);

}  // namespace quillmark
