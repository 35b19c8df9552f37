#include "tools/request_path.h"

#include "tools/percent_encoding.h"

#include <cctype>
#include <string_view>

namespace quillmark::tools {

namespace {

constexpr std::string_view kPlainSegmentPunctuation = "-._~!$&'()*+,;=:@";

}  // namespace

std::string EncodedSegment(const std::string& segment, bool firstOfRelativeLink) {
  return PercentEncoded(segment, [&](unsigned char byte) {
    if (byte == ':') return !firstOfRelativeLink;
    return std::isalnum(byte) || kPlainSegmentPunctuation.find(static_cast<char>(byte)) != std::string_view::npos;
  });
}

std::string OriginFormTarget(const std::string& target) {
  const std::string_view text(target);
  const size_t colon = text.find("://");
  if (colon == std::string_view::npos) return target;
  std::string scheme(text.substr(0, colon));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme != "http" && scheme != "https") return target;
  // The authority runs to the path's "/" or the query's "?".
  const size_t end = text.find_first_of("/?", colon + 3);
  if (end == std::string_view::npos) return "/";
  const std::string_view rest = text.substr(end);
  return rest.front() == '?' ? "/" + std::string(rest) : std::string(rest);
}

RequestPath ParseRequestPath(const std::string& decodedPath) {
  RequestPath result;
  if (decodedPath.find('\0') != std::string::npos || decodedPath.find('\\') != std::string::npos) {
    result.refused = true;
    return result;
  }
  result.endsWithSlash = decodedPath.empty() || decodedPath.back() == '/';
  size_t start = 0;
  while (start <= decodedPath.size()) {
    size_t end = decodedPath.find('/', start);
    if (end == std::string::npos) end = decodedPath.size();
    const std::string segment = decodedPath.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment[0] == '.') {
      result.refused = true;
      return result;
    }
    result.segments.push_back(segment);
  }
  return result;
}

std::string EncodedPath(const std::vector<std::string>& segments) {
  std::string path;
  for (const std::string& segment : segments) path += "/" + EncodedSegment(segment);
  return path;
}

}  // namespace quillmark::tools
