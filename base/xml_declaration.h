// Reading an XML declaration's encoding.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// The value of the pseudo-attribute "encoding" in the XML declaration
// `declaration` ("<?xml version="1.0" encoding="..."?>") without the blanks
// around it, or empty.
std::string_view EncodingOf(std::string_view declaration);

// The encoding an XML declaration names, "UTF-8" when it names none.
std::string DeclaredEncoding(std::string_view xmlDeclaration);

// The value of the "charset=" parameter of the content type `content`
// (blanks around "=" and quotes around the value allowed, the name in any
// case), as a view into `content`; empty when it has none.
std::string_view ContentTypeCharset(std::string_view content);

}  // namespace quillmark
