// The markup parser: a forgiving tokenizer that cuts page text into tokens
// and hands each one, as an element record, to a callback.
#pragma once

#include <cstdint>
#include <memory>

#include "markup/xml_object.h"

namespace quillmark {

class CXmlNode;

class CCustomXmlParser {
 public:
  // Token records are made in `arena` (see xml_object.h).
  explicit CCustomXmlParser(RecordArena* arena = &RecordArena::Heap()) : token_(arena) {}
  virtual ~CCustomXmlParser() = default;
  // Runs the tokenizer over characters 0 .. length-1 of text (which need not
  // be NUL-terminated there) and calls OnElement once per token, in order.
  // The record passed to OnElement is lent for the duration of the call
  // only, unless the callback takes it with TakeToken.
  void Parse(CXmlNode* target, const char* text, int32_t length,
             const MarkerWords& words = DefaultMarkerWords());

 protected:
  virtual void OnElement(CXmlNode* target, CXmlObject& token) = 0;
  // Inside OnElement: the record of the current token, for the callback to
  // move from; the next token is parsed into the record moved from.
  CXmlObject&& TakeToken() { return std::move(token_); }

 private:
  CXmlObject token_;
};

class CTreeBuilder;

// Hands every token's record to a document's tree builder.
class CXmlParser final : public CCustomXmlParser {
 public:
  CXmlParser(CTreeBuilder& builder, RecordArena* arena) : CCustomXmlParser(arena), builder_(builder) {}

 protected:
  void OnElement(CXmlNode* target, CXmlObject& token) override;

 private:
  CTreeBuilder& builder_;
};

}  // namespace quillmark
