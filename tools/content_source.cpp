#include "tools/content_source.h"

namespace quillmark::tools {

namespace {

struct StatusText {
  int status;
  const char* reason;
};

constexpr StatusText kStatusTexts[] = {
    {301, "Moved Permanently"}, {400, "Bad Request"},       {403, "Forbidden"},
    {404, "Not Found"},         {405, "Method Not Allowed"}, {413, "Payload Too Large"},
    {500, "Internal Server Error"}, {502, "Bad Gateway"},
};

}  // namespace

const char* ReasonPhrase(int status) {
  for (const StatusText& entry : kStatusTexts) {
    if (entry.status == status) return entry.reason;
  }
  return "Error";
}

SourceContent ErrorContent(int status) {
  return SourceContent{status, "text/plain", std::to_string(status) + " " + ReasonPhrase(status) + "\n", ""};
}

}  // namespace quillmark::tools
