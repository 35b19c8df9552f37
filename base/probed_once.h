// Answers about names (charsets, encodings) that cost a search of the C
// library's modules to find, remembered per thread.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

namespace quillmark {

// probe(name), remembered in `answers` for up to 64 names: pages and
// configurations name few, and names past the first 64 are probed each
// time, so a host that passes many costs no memory.
template <typename Probe>
bool ProbedOnce(std::unordered_map<std::string, bool>& answers, const std::string& name, Probe probe) {
  constexpr std::size_t kMostRemembered = 64;
  if (const auto found = answers.find(name); found != answers.end()) return found->second;
  const bool answer = probe(name);
  if (answers.size() < kMostRemembered) answers.emplace(name, answer);
  return answer;
}

}  // namespace quillmark
