// TreeContext: what a conversion attaches to its document's root, as tree
// building sees it. The root owns it (CXmlNode::SetContext); building asks
// it, token by token, what the page's tokens become for the device.
//
// Without a context, building keeps every token, drops marker comments
// (read with the built-in marker words), replaces no tag and keeps the line
// ends of preformatted text and reads the page as HTML does.
#pragma once

#include "markup/xml_object.h"

namespace quillmark {

class TreeContext {
 public:
  virtual ~TreeContext() = default;

  // The marker words that the document's records are parsed with.
  virtual const MarkerWords& Words() const = 0;
  // A marker comment (GetMarkerKind 1 or 2) was met; it never enters the tree.
  virtual void OnMarker(const CXmlObject& marker) = 0;
  // Whether `token` is kept under the markers met so far.
  virtual bool Keeps(const CXmlObject& token) = 0;
  // The device's tag replacements (",name=text,..."; "" for none).
  virtual const char* TagReplacements() const = 0;
  // Whether text inside pre keeps its line ends and tabs.
  virtual bool KeepsLineEnds() const = 0;
  // Whether the page is read as HTML reads it: the elements that HTML ends
  // without their end tags (a head left open, table cells and rows,
  // options) are ended so, content after the body goes back into it, and
  // unquoted attribute values run to white space (UnquotedValues). Otherwise
  // the page's tags alone place every token, and unquoted values end at
  // punctuation too.
  virtual bool ReadsAsHtml() const = 0;
};

}  // namespace quillmark
