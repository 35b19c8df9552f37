// Resolving link targets against a page's base: the published examples of
// reference resolution, the references a deck keeps as written, and bases
// without a host.

#include <gtest/gtest.h>

#include <string>

#include "base/uri_reference.h"

namespace quillmark {
namespace {

struct Case {
  const char* base;
  const char* reference;
  const char* resolved;
};

constexpr Case kCases[] = {
    // RFC 3986, 5.4.1 and 5.4.2, with the base http://a/b/c/d;p?q.
    {"http://a/b/c/d;p?q", "g:h", "g:h"},
    {"http://a/b/c/d;p?q", "g", "http://a/b/c/g"},
    {"http://a/b/c/d;p?q", "./g", "http://a/b/c/g"},
    {"http://a/b/c/d;p?q", "g/", "http://a/b/c/g/"},
    {"http://a/b/c/d;p?q", "/g", "http://a/g"},
    {"http://a/b/c/d;p?q", "//g", "http://g"},
    {"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y"},
    {"http://a/b/c/d;p?q", "g?y#s", "http://a/b/c/g?y#s"},
    {"http://a/b/c/d;p?q", ";x", "http://a/b/c/;x"},
    {"http://a/b/c/d;p?q", ".", "http://a/b/c/"},
    {"http://a/b/c/d;p?q", "..", "http://a/b/"},
    {"http://a/b/c/d;p?q", "../g", "http://a/b/g"},
    {"http://a/b/c/d;p?q", "../..", "http://a/"},
    {"http://a/b/c/d;p?q", "../../../../g", "http://a/g"},
    {"http://a/b/c/d;p?q", "/./g", "http://a/g"},
    {"http://a/b/c/d;p?q", "/../g", "http://a/g"},
    {"http://a/b/c/d;p?q", "g.", "http://a/b/c/g."},
    {"http://a/b/c/d;p?q", "..g", "http://a/b/c/..g"},
    {"http://a/b/c/d;p?q", "./g/.", "http://a/b/c/g/"},
    {"http://a/b/c/d;p?q", "g;x=1/../y", "http://a/b/c/y"},
    {"http://a/b/c/d;p?q", "g?y/../x", "http://a/b/c/g?y/../x"},
    {"http://a/b/c/d;p?q", "g#s/../x", "http://a/b/c/g#s/../x"},
    {"http://a/b/c/d;p?q", "http:g", "http:g"},
    // A deck keeps its own cards' targets, empty ones, variables and
    // blanks around a target that browsers pass over.
    {"http://a/b/c/d;p?q", "#s", "#s"},
    {"http://a/b/c/d;p?q", "", ""},
    {"http://a/b/c/d;p?q", "$(next)", "$(next)"},
    {"http://a/b/c/d;p?q", " g\n", "http://a/b/c/g"},
    {"http://a", "g", "http://a/g"},
    // A base from the server's root, and bases that cannot stand as one.
    {"/docs/guide/", "a.html", "/docs/guide/a.html"},
    {"/docs/guide/", "../x?p=1&amp;q=2", "/docs/x?p=1&amp;q=2"},
    {"/docs/guide/", "//cdn/x", "//cdn/x"},
    {"docs/", "a.html", "a.html"},
    {"javascript:go()", "a.html", "a.html"},
    {"", "a.html", "a.html"},
};

TEST(UriReference, TargetsReadAsBrowsersReadThem) {
  EXPECT_EQ(TargetAsBrowsersRead(" \x01" "a b\tc\nd\r?q=x y \n"), "a%20bcd?q=x%20y");
  EXPECT_EQ(TargetAsBrowsersRead(" \n "), "");
}

TEST(UriReference, ResolvesAsPublishedAndKeepsWhatADeckKeeps) {
  for (const Case& c : kCases) {
    const std::string resolved = ResolveUriReference(c.base, c.reference);
    EXPECT_EQ(resolved, c.resolved) << c.base << " + " << c.reference;
    // What is resolved stays so: a target resolved twice is the same.
    EXPECT_EQ(ResolveUriReference(c.base, resolved), resolved) << c.base << " + " << c.reference;
  }
}

}  // namespace
}  // namespace quillmark
