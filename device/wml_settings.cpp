#include "device/wml_settings.h"

#include <cstring>

namespace quillmark {

CWmlSettings::CWmlSettings()
    : xmlVersion{},
      docType{},
      tagReplace{},
      tables(1),
      cellLeadText{},
      cellBreakText{},
      breakBefore(1),
      breakAfter(1),
      submitAsLink(1),
      ampersandText{},
      stripComments(1),
      convertEntities(1),
      doubleDollars(1),
      transcode(1),
      blockBreaks(1),
      maxCardSize(0),
      maxDeckSize(0),
      nextLabel{},
      backLabel{},
      ownKeys(0) {
  CopyField(xmlVersion, kDefaultXmlVersion);
  CopyField(docType, kDefaultDocType);
  CopyField(cellBreakText, "<br/>");
  CopyField(ampersandText, ";");
  CopyField(nextLabel, kDefaultNextLabel);
  CopyField(backLabel, kDefaultBackLabel);
}

void CopyField(char* dst, int size, const char* src) {
  if (size <= 0) return;
  if (src == nullptr) {
    dst[0] = '\0';
    return;
  }
  const size_t limit = static_cast<size_t>(size) - 1;
  const size_t length = strnlen(src, limit);
  std::memcpy(dst, src, length);
  dst[length] = '\0';
}

}  // namespace quillmark
