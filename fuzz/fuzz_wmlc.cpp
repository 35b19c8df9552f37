// Fuzzes the WMLC compiler on arbitrary deck text, with and without an XML
// declaration, and checks that its measure agrees with its output. Any
// crash, leak, hang or sanitizer report is a finding.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "transform/wmlc_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string compiled = quillmark::CompileWmlc(text, size % 2 == 0 ? 106 : 4);
  if (compiled.empty() || compiled[0] != 0x03) std::abort();
  if (quillmark::CompiledWmlcSize(text, size % 2 == 0 ? 106 : 4) != compiled.size()) std::abort();
  return 0;
}
