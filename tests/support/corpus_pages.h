// Test support: the real pages the gateway checks convert, the HTML of
// Debian's documentation (the peer converter's examples and two manuals),
// where those packages are installed.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace quillmark::testing {

// Every .html page under the corpus folders, sorted; empty when none is installed.
inline std::vector<std::filesystem::path> CorpusPages() {
  namespace fs = std::filesystem;
  std::vector<fs::path> pages;
  for (const char* folder :
       {"/usr/share/doc/html2wml/examples", "/usr/share/doc/valgrind/html", "/usr/share/doc/libxslt1-dev"}) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::end(it);
         it.increment(error)) {
      if (it->is_regular_file() && it->path().extension() == ".html") pages.push_back(it->path());
    }
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quillmark::testing
