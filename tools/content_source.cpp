#include "tools/content_source.h"

namespace quillmark::tools {

namespace {

struct StatusText {
  int status;
  const char* reason;
  const char* sentence;
};

constexpr StatusText kStatusTexts[] = {
    {301, "Moved Permanently", "This page has moved."},
    {400, "Bad Request", "The request could not be understood."},
    {403, "Forbidden", "This page may not be shown."},
    {404, "Not Found", "There is no page at this address."},
    {405, "Method Not Allowed", "This page cannot be asked for that way."},
    {413, "Payload Too Large", "This page is too large for the phone."},
    {416, "Range Not Satisfiable", "The requested part of the file does not exist."},
    {431, "Request Header Fields Too Large", "The request carried too many headers."},
    {500, "Internal Server Error", "The page could not be converted."},
    {501, "Not Implemented", "The request was sent in a form this server does not read."},
    {502, "Bad Gateway", "The site behind this server did not answer properly."},
    {503, "Service Unavailable", "The server is stopping; try again shortly."},
    {504, "Gateway Timeout", "The site behind this server took too long to answer."},
};

const StatusText* Find(int status) {
  for (const StatusText& entry : kStatusTexts) {
    if (entry.status == status) return &entry;
  }
  return nullptr;
}

}  // namespace

const char* ReasonPhrase(int status) {
  const StatusText* entry = Find(status);
  return entry != nullptr ? entry->reason : "Error";
}

const char* StatusSentence(int status) {
  const StatusText* entry = Find(status);
  return entry != nullptr ? entry->sentence : "The page could not be shown.";
}

SourceContent ErrorContent(int status) {
  SourceContent content;
  content.status = status;
  content.mediaType = "text/plain";
  content.body = std::to_string(status) + " " + ReasonPhrase(status) + "\n";
  content.generated = true;
  return content;
}

}  // namespace quillmark::tools
