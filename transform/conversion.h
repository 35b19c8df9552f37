// Conversion: one page's conversion as its stages share it. The driver
// makes it once, after attaching the working variables to the document's
// root; each stage (normalising, the rewrite walk, deck construction, the
// cleanup) is handed it, so that no stage looks the document's context up
// from a node or the device's settings up again.
#pragma once

#include "device/device_profile.h"
#include "device/working_variables.h"
#include "markup/xml_node.h"
#include "transform/escape_text.h"

namespace quillmark {

class Conversion {
 public:
  // Borrows `root` and `variables`, which must be the root's context and
  // outlive the conversion; the device is the variables' and stays as it is.
  Conversion(CXmlNode& root, CWorkingVariables& variables);

  // The conversion of the document `root` as it stands, for a caller that
  // holds only a tree: its working variables, attached first (for the
  // current configuration and its default device) when it has none.
  static Conversion Of(CXmlNode& root);

  CXmlNode& Root() const { return root_; }
  CWorkingVariables& Variables() const { return variables_; }
  const CDevice* Device() const { return variables_.device; }
  const CWmlSettings& Settings() const { return settings_; }
  // How the device's escaped copies treat the references they meet.
  ReferenceMode References() const { return references_; }
  // Whether the rules read the page as HTML reads it, as tree building does
  // (TreeContext::ReadsAsHtml): the device's BLOCK_BREAKS, on unless set
  // false, which gives the decks of the rules before those mends.
  bool ReadsAsHtml() const { return settings_.blockBreaks != 0; }

  // Frees the title and zeroes the counters, as each stage over the whole
  // document starts with; the device and the marker state stay.
  void Reset() { variables_.Reset(); }

 private:
  CXmlNode& root_;
  CWorkingVariables& variables_;
  const CWmlSettings& settings_;
  ReferenceMode references_;
};

}  // namespace quillmark
