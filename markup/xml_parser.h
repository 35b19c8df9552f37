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
  // be NUL-terminated there) and calls OnElement once per token, in order,
  // with the record the token was parsed into (see RecordForToken), its
  // unquoted attribute values read as `values` says.
  void Parse(CXmlNode* target, const char* text, int32_t length, const MarkerWords& words = DefaultMarkerWords(),
             UnquotedValues values = UnquotedValues::kEndAtPunctuation);

 protected:
  virtual void OnElement(CXmlNode* target, CXmlObject& token) = 0;
  // The record the next token is parsed into, asked for once per token:
  // by default the parser's own, which each token overwrites, so that
  // OnElement gets it lent for the call only.
  virtual CXmlObject& RecordForToken() { return token_; }

 private:
  CXmlObject token_;
};

class CTreeBuilder;

// Parses every token straight into the record of a new node of the
// document, and hands the node to the document's tree builder.
class CXmlParser final : public CCustomXmlParser {
 public:
  CXmlParser(CTreeBuilder& builder, RecordArena* arena) : CCustomXmlParser(arena), builder_(builder) {}

 protected:
  CXmlObject& RecordForToken() override;
  void OnElement(CXmlNode* target, CXmlObject& token) override;

 private:
  CTreeBuilder& builder_;
  CXmlNode* node_ = nullptr;  // the node of the token being parsed
};

}  // namespace quillmark
