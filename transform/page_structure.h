// The page's structure as WML can keep it, settled in one walk over the
// whole page before the rewrite walk: radio buttons and check boxes become
// selects (choices.h), tables that cannot stay tables become lines
// (linear_tables.h), and block elements and preformatted lines get their
// soft breaks (block_breaks.h), and the page's links within itself are
// noted for its sections (section_cards.h).
#pragma once

#include "device/wml_settings.h"
#include "markup/xml_node.h"
#include "transform/choices.h"
#include "transform/section_cards.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Prepares the tree below `root` for the device's `settings`; the soft
// breaks and chosen options it makes are noted in `breaks` and `chosen`,
// and, read as HTML, the targets of its links within itself in `sections`.
void PreparePageStructure(CXmlNode* root, const CWmlSettings& settings, SoftBreaks& breaks, ChosenOptions& chosen,
                          SectionCards& sections);

}  // namespace quillmark
