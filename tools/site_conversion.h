// "quillmark convert -r SRC -o OUT": a whole folder of pages.
#pragma once

#include <optional>
#include <string>

namespace quillmark::tools {

struct SiteRequest {
  std::string source;  // the folder to walk
  std::string output;  // the folder its tree is mirrored into
  std::optional<std::string> device;
  std::string charset;  // of pages that declare none; "" when unknown
};

// Mirrors the source folder's tree into the output folder: a deck for every
// page, with its relative links to converted pages pointing at their decks,
// and a copy of every image and deck. Writes nothing outside the output
// folder. Prints a line per page on a terminal and a summary at the end;
// returns the exit status (1 when any file failed).
int ConvertSite(const SiteRequest& request);

}  // namespace quillmark::tools
