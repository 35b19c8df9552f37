#include "base/uri_reference.h"

#include <algorithm>

#include "base/control_bytes.h"

namespace quillmark {
namespace {

// A reference cut into its components; each view points into the text.
struct UriParts {
  std::string_view scheme;  // without its ":"; empty for none
  bool hasAuthority = false;
  std::string_view authority;  // without its "//"
  std::string_view path;
  bool hasQuery = false;
  std::string_view query;  // without its "?"
  bool hasFragment = false;
  std::string_view fragment;  // without its "#"
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsSchemeByte(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

// The length of the scheme `text` begins with, before its ":"; 0 for none.
std::size_t SchemeLength(std::string_view text) {
  if (text.empty() || !IsAsciiLetter(text[0])) return 0;
  std::size_t end = 1;
  while (end < text.size() && IsSchemeByte(text[end])) ++end;
  return end < text.size() && text[end] == ':' ? end : 0;
}

UriParts Split(std::string_view text) {
  UriParts parts;
  if (const std::size_t scheme = SchemeLength(text); scheme != 0) {
    parts.scheme = text.substr(0, scheme);
    text.remove_prefix(scheme + 1);
  }
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    const std::size_t end = std::min(text.find_first_of("/?#"), text.size());
    parts.hasAuthority = true;
    parts.authority = text.substr(0, end);
    text.remove_prefix(end);
  }
  const std::size_t fragment = text.find('#');
  if (fragment != std::string_view::npos) {
    parts.hasFragment = true;
    parts.fragment = text.substr(fragment + 1);
    text = text.substr(0, fragment);
  }
  const std::size_t query = text.find('?');
  if (query != std::string_view::npos) {
    parts.hasQuery = true;
    parts.query = text.substr(query + 1);
    text = text.substr(0, query);
  }
  parts.path = text;
  return parts;
}

// Drops the last segment of `out`, with the "/" before it.
void DropLastSegment(std::string& out) {
  const std::size_t slash = out.rfind('/');
  out.resize(slash == std::string::npos ? 0 : slash);
}

// `path` without its "." and ".." segments (RFC 3986, 5.2.4). Each step
// takes a prefix off the input; a dropped segment is taken back off the
// output it was moved to, so the cost stays linear.
std::string WithoutDotSegments(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../")) {
      in.remove_prefix(3);
      DropLastSegment(out);
    } else if (in == "/..") {
      in = "/";
      DropLastSegment(out);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      // The first segment, with the "/" before it, moves to the output.
      const std::size_t end = std::min(in.find('/', 1), in.size());
      out.append(in.substr(0, end));
      in.remove_prefix(end);
    }
  }
  return out;
}

// The path of `reference` merged with the directory of `base`'s path.
std::string MergedPath(const UriParts& base, std::string_view reference) {
  if (base.hasAuthority && base.path.empty()) return "/" + std::string(reference);
  const std::size_t slash = base.path.rfind('/');
  if (slash == std::string_view::npos) return std::string(reference);
  return std::string(base.path.substr(0, slash + 1)).append(reference);
}

// The base's scheme and host, then `path`, then the reference's query and fragment.
std::string Compose(const UriParts& base, std::string_view path, const UriParts& reference) {
  std::string out;
  if (!base.scheme.empty()) out.append(base.scheme).append(":");
  if (base.hasAuthority) out.append("//").append(base.authority);
  out.append(path);
  if (reference.hasQuery) out.append("?").append(reference.query);
  if (reference.hasFragment) out.append("#").append(reference.fragment);
  return out;
}

}  // namespace

std::string TargetAsBrowsersRead(std::string_view target) {
  target = TrimControlBytes(target);
  std::string read;
  read.reserve(target.size());
  for (const char c : target) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == ' ') {
      read.append("%20");
      continue;
    }
    read += c;
  }
  return read;
}

bool IsUsableBase(std::string_view base) {
  base = TrimControlBytes(base);
  const std::size_t scheme = SchemeLength(base);
  if (scheme != 0) return base.substr(scheme + 1).starts_with("//");
  return base.starts_with("/");
}

std::string ResolveUriReference(std::string_view base, std::string_view reference) {
  const std::string_view target = TrimControlBytes(reference);
  base = TrimControlBytes(base);
  const bool staysAsWritten = !IsUsableBase(base) || target.empty() || target.front() == '#' || target.front() == '$' ||
                              SchemeLength(target) != 0;
  if (staysAsWritten) return std::string(reference);
  const UriParts from = Split(base);
  // A reference to another host takes only the base's scheme.
  if (target.starts_with("//")) {
    return from.scheme.empty() ? std::string(target) : std::string(from.scheme).append(":").append(target);
  }
  const UriParts to = Split(target);
  // A query alone ("?page=2") keeps the base's path.
  if (to.path.empty()) return Compose(from, from.path, to);
  if (to.path.front() == '/') return Compose(from, WithoutDotSegments(to.path), to);
  return Compose(from, WithoutDotSegments(MergedPath(from, to.path)), to);
}

}  // namespace quillmark
