// Reading an XML declaration's encoding.
#pragma once

#include <string_view>

namespace quillmark {

// The value of the pseudo-attribute "encoding" in the XML declaration
// `declaration` ("<?xml version="1.0" encoding="..."?>") without the blanks
// around it, or empty.
std::string_view EncodingOf(std::string_view declaration);

}  // namespace quillmark
