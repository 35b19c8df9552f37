// Checking a request's path before anything is looked up for it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::tools {

// A decoded request path cut into its segments; `refused` when the path
// could leave the served tree or name hidden files.
struct RequestPath {
  bool refused = false;
  std::vector<std::string> segments;  // without empty and "." segments
  bool endsWithSlash = false;
};

// Splits a decoded path at "/". Refused: a ".." segment, a segment that
// starts with "." (hidden files), a backslash or a NUL byte anywhere.
RequestPath ParseRequestPath(const std::string& decodedPath);

// `target` in origin form (a path and query): an absolute-form target,
// "http://" or "https://" with an authority as a client sends one to a
// proxy, without its scheme and authority ("/" when no path follows
// them); any other target as it is.
std::string OriginFormTarget(const std::string& target);

// One path segment with every byte but letters, digits and
// "-._~!$&'()*+,;=:@" written as %XX; ":" too when the segment begins a
// relative link, where it would read as the end of a scheme.
std::string EncodedSegment(const std::string& segment, bool firstOfRelativeLink = false);

// "/a/b" from segments, each encoded as EncodedSegment does.
std::string EncodedPath(const std::vector<std::string>& segments);

}  // namespace quillmark::tools
