#include <quillmark.hpp>

#include <iostream>

int main() {
  try {
    std::cout << quillmark::convert("<html><body><h1>Hello</h1><p>From <b>C++</b>.</p></body></html>",
                                    "Kestrel71/1.0")
              << "\n";
  } catch (const quillmark::error& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return std::cout ? 0 : 1;
}
