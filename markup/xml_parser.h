// The markup parser: a forgiving tokenizer that cuts page text into tokens
// and hands each one, as an element record, to a callback.
#pragma once

#include <cstdint>

#include "markup/xml_object.h"

namespace quillmark {

class CXmlNode;

class CCustomXmlParser {
 public:
  virtual ~CCustomXmlParser() = default;
  // Runs the tokenizer over characters 0 .. length-1 of text (which need not
  // be NUL-terminated there) and calls OnElement once per token, in order.
  // The record passed to OnElement is lent for the duration of the call only.
  void Parse(CXmlNode* target, const char* text, int32_t length,
             const MarkerWords& words = DefaultMarkerWords());

 protected:
  virtual void OnElement(CXmlNode* target, CXmlObject& token) = 0;
};

// Hands a clone of every token to the document's tree building.
class CXmlParser final : public CCustomXmlParser {
 protected:
  void OnElement(CXmlNode* target, CXmlObject& token) override;
};

}  // namespace quillmark
