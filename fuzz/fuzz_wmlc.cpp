// Fuzzes the WMLC compiler on arbitrary deck text, with and without an XML
// declaration, and checks that its measure agrees with its output and that
// the output is one well-formed WBXML document. Any crash, leak, hang or
// sanitizer report is a finding.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tests/support/wbxml_check.h"
#include "transform/wmlc_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string compiled = quillmark::CompileWmlc(text, size % 2 == 0 ? 106 : 4);
  if (compiled.empty() || compiled[0] != 0x03) std::abort();
  if (quillmark::CompiledWmlcSize(text, size % 2 == 0 ? 106 : 4) != compiled.size()) std::abort();
  if (const char* fault = quillmark::WbxmlFault(compiled)) {
    std::fprintf(stderr, "not well-formed WBXML: %s\n", fault);
    std::abort();
  }
  return 0;
}
