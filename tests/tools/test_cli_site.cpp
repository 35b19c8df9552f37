// Whole folders of pages: "quillmark convert -r SRC -o OUT", and the link
// rewriting it does on the written decks.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>
#include <string>

#include "tests/support/temporary_folder.h"
#include "tests/tools/cli_runner.h"
#include "tools/link_rewriter.h"
#include "tools/site_plan.h"

namespace quillmark::tools {
namespace {

namespace fs = std::filesystem;
using quillmark::testing::ExpectOneLineError;
using quillmark::testing::RunResult;
using quillmark::testing::TemporaryFolder;

RunResult RunTool(const TemporaryFolder& folder, const std::string& arguments) {
  return quillmark::testing::RunToolIn(folder.Path(), arguments);
}

std::string ReadFile(const fs::path& file) { return quillmark::testing::ReadWholeFile(file); }

// Every value of an href="..." or src="..." in `deck`.
std::vector<std::string> LinkValues(const std::string& deck) {
  std::vector<std::string> values;
  for (const std::string name : {" href=\"", " src=\""}) {
    for (size_t at = deck.find(name); at != std::string::npos; at = deck.find(name, at + 1)) {
      const size_t start = at + name.size();
      values.push_back(deck.substr(start, deck.find('"', start) - start));
    }
  }
  return values;
}

// The link from page `from` to `to`, both relative to the site's root.
std::string LinkBetween(const fs::path& from, const fs::path& to) {
  return to.lexically_relative(from.parent_path()).generic_string();
}

TEST(SiteConversion, EveryInternalLinkOfANestedSiteResolvesToAWrittenFile) {
  TemporaryFolder folder;
  constexpr int kPages = 200;
  const char* extensions[] = {".html", ".htm", ".xhtml"};
  std::vector<fs::path> pages;
  for (int i = 0; i < kPages; ++i) {
    const fs::path dir = i < 10 ? fs::path() : fs::path("d" + std::to_string(i % 5)) / ("s" + std::to_string(i / 5 % 4));
    pages.push_back(dir / ("p" + std::to_string(i) + extensions[i % 3]));
  }
  folder.Write("site/images/logo.gif", "GIF89a");
  folder.Write("site/old/deck.wml", "<wml><card><p>kept</p></card></wml>");
  folder.Write("site/.hidden/secret.html", "<p>hidden</p>");
  for (int i = 0; i < kPages; ++i) {
    const fs::path& page = pages[i];
    folder.Write("site/" + page.generic_string(),
                 "<html><body><p><a href=\"" + LinkBetween(page, pages[(i + 1) % kPages]) + "#top\">next</a> " +
                     "<a href=\"" + LinkBetween(page, pages[i * 7 % kPages]) + "?q=1&amp;r=2\">jump</a> " +
                     "<a href=\"http://example.com/p1.html\">out</a> <a href=\"#here\">here</a> " +
                     "<img src=\"" + LinkBetween(page, "images/logo.gif") + "\"></p></body></html>");
  }
  const RunResult result = RunTool(folder, "convert -r site -o out");
  ASSERT_EQ(result.status, 0) << result.err << result.out;
  EXPECT_TRUE(result.err.empty()) << result.err;  // no progress lines off a terminal
  EXPECT_EQ(result.out.rfind("quillmark: 200 pages converted (", 0), 0u) << result.out;
  EXPECT_NE(result.out.find(" 2 files copied, 0 failed\n"), std::string::npos) << result.out;
  EXPECT_FALSE(fs::exists(folder.Path() / "out/.hidden"));

  size_t checked = 0;
  size_t decks = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder.Path() / "out")) {
    if (entry.path().extension() != ".wml" || entry.path().parent_path().filename() == "old") continue;
    ++decks;
    const std::string deck = ReadFile(entry.path());
    for (const std::string& link : LinkValues(deck)) {
      if (link.find(':') != std::string::npos || link.front() == '#') continue;
      ++checked;
      EXPECT_TRUE(fs::is_regular_file(entry.path().parent_path() / link.substr(0, link.find_first_of("?#"))))
          << entry.path() << " links to " << link;
    }
  }
  EXPECT_EQ(decks, static_cast<size_t>(kPages));
  EXPECT_EQ(checked, 3u * kPages);
  EXPECT_EQ(ReadFile(folder.Path() / "out/old/deck.wml"), "<wml><card><p>kept</p></card></wml>");
}

TEST(SiteConversion, ALinkToACardInALaterPartPointsAtThatPartsFile) {
  TemporaryFolder folder;
  std::string longPage = "<html><body>";
  for (int i = 0; i < 60; ++i) {
    const std::string n = std::to_string(i);
    longPage += "<p><a name=\"s" + n + "\">Section " + n + "</a> text" + n + " words" + n + " more" + n + "</p>";
  }
  folder.Write("site/a.html", "<p><a href=\"sub/long.html#s55\">late</a> <a href=\"sub/long.html#s0\">first</a></p>");
  folder.Write("site/sub/long.html", longPage + "</body></html>");
  folder.Write("small.cfg", "DEVICE_GROUP=G\nMAX_DECK_SIZE=1200\nDEVICE=DEFAULT\nGROUP=G\n");
  const RunResult result = RunTool(folder, "convert --config small.cfg -r site -o out");
  ASSERT_EQ(result.status, 0) << result.err << result.out;
  const std::vector<std::string> links = LinkValues(ReadFile(folder.Path() / "out/a.wml"));
  ASSERT_EQ(links.size(), 2u);
  EXPECT_NE(links[0], "sub/long.wml#s55") << "the card is in a later part";
  for (const std::string& link : links) {
    const size_t hash = link.find('#');
    const std::string part = ReadFile(folder.Path() / "out" / link.substr(0, hash));
    EXPECT_NE(part.find("<card id=\"" + link.substr(hash + 1) + "\""), std::string::npos) << link;
  }
}

TEST(SiteConversion, NothingIsWrittenOutsideTheOutputFolder) {
  TemporaryFolder folder;
  folder.Write("site/inside/a.html", "<p>a</p>");
  folder.Write("site/b.html", "<p>b</p>");
  folder.Write("elsewhere/secret.html", "<p>secret</p>");
  fs::create_symlink(folder.Path() / "elsewhere/secret.html", folder.Path() / "site/leak.html");
  // A link planted in the output folder, and the output folder inside the source.
  fs::create_directories(folder.Path() / "site/out");
  fs::create_symlink(folder.Path() / "elsewhere", folder.Path() / "site/out/inside");
  const RunResult result = RunTool(folder, "convert -r site -o site/out");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("1 page converted"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  inside/a.html: refused to write through the link "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  leak.html: links to a file outside the source folder\n"), std::string::npos)
      << result.out;
  EXPECT_FALSE(fs::exists(folder.Path() / "elsewhere/a.wml"));
  EXPECT_TRUE(fs::exists(folder.Path() / "site/out/b.wml"));
  EXPECT_FALSE(fs::exists(folder.Path() / "site/out/out"));
}

TEST(SiteConversion, RefusalsAreOneLineAndWriteNothing) {
  TemporaryFolder folder;
  folder.Write("site/a.html", "<p>a</p>");
  folder.Write("site/a.htm", "<p>a</p>");
  folder.Write("page.html", "<p>a</p>");
  struct Case {
    const char* arguments;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"convert -r site -o out", 2, "quillmark: two files would both be written to out/a.wml"},
      {"convert -r site", 2, "quillmark: -r needs -o FOLDER"},
      {"convert -r site page.html -o out", 2, "quillmark: -r needs one folder SRC"},
      {"convert -r page.html -o out", 2, "quillmark: page.html is not a folder"},
      {"convert -r site -o site", 2, "quillmark: two files would both be written to site/a.wml"},
      {"convert --wmlc -r site -o out", 2, "quillmark: -r writes WML decks only: --wmlc converts single pages"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ExpectOneLineError(RunTool(folder, c.arguments), c.status, c.message);
    EXPECT_FALSE(fs::exists(folder.Path() / "out"));
  }
}

TEST(SiteConversion, OnePageIntoAFolderAndTheBareFormWithAConfiguration) {
  TemporaryFolder folder;
  folder.Write("page.html", "<p><b>x</b></p>");
  folder.Write("devices.cfg", "DEVICE=SMALL;USERAGENT=Small*;TAG_REPLACE=b=<strong>|</strong>\nDEVICE=DEFAULT\n");
  const RunResult into = RunTool(folder, "convert -o decks/ page.html");
  EXPECT_EQ(into.status, 0) << into.err;
  EXPECT_NE(ReadFile(folder.Path() / "decks/page.wml").find("<b>x</b>"), std::string::npos);
  const RunResult bare = RunTool(folder, "--config devices.cfg --device Small/1 page.html");
  EXPECT_EQ(bare.status, 0) << bare.err;
  EXPECT_NE(bare.out.find("<strong>x</strong>"), std::string::npos) << bare.out;
  ExpectOneLineError(RunTool(folder, "--config missing.cfg page.html"), 1, "quillmark: cannot read missing.cfg");
}

TEST(SiteLinks, RelativeLinksToConvertedPagesPointAtTheirDecks) {
  const std::set<std::string> pages = {"index.html", "sub/a.htm", "sub/index.html", "my page.xhtml", "UP.HTML"};
  struct Case {
    const char* page;
    const char* link;
    const char* expected;  // null: kept as it is
  };
  const Case cases[] = {
      {"index.html", "sub/a.htm#x", "sub/a.wml#x"},
      {"index.html", "sub/a.htm?q=1&amp;r=2", "sub/a.wml?q=1&amp;r=2"},
      {"index.html", "sub/", "sub/index.wml"},
      {"index.html", "my%20page.xhtml", "my%20page.wml"},
      {"index.html", "./sub/../UP.HTML", "./sub/../UP.wml"},
      {"sub/a.htm", "../index.html", "../index.wml"},
      {"sub/a.htm", "./", "./index.wml"},
      {"index.html", "missing.html", nullptr},
      {"index.html", "../index.html", nullptr},
      {"index.html", "/index.html", nullptr},
      {"index.html", "http://host/index.html", nullptr},
      {"index.html", "mailto:a@b", nullptr},
      {"index.html", "#top", nullptr},
      {"index.html", "", nullptr},
      {"index.html", "images/logo.gif", nullptr},
      // The decks of sub/index.html and UP.HTML are cut into parts.
      {"index.html", "sub/#late", "sub/index-2.wml#late"},
      {"sub/a.htm", "index.html?q=1#late", "index-2.wml?q=1#late"},
      {"index.html", "sub/index.html#early", "sub/index.wml#early"},
      {"index.html", "sub/index.html", "sub/index.wml"},
      {"index.html", "UP.HTML#late", "UP.wml#late"},
      {"index.html", "UP.HTML#last", "UP-12.wml#last"},
  };
  const PartsOfCards parts = {{"sub/index.html", {{"early", 1}, {"late", 2}}}, {"UP.HTML", {{"last", 12}}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.page) + " -> " + c.link);
    const std::optional<std::string> converted = ConvertedLink(c.link, c.page, pages, parts);
    if (c.expected == nullptr) {
      EXPECT_FALSE(converted.has_value()) << *converted;
    } else {
      EXPECT_EQ(converted.value_or("(kept)"), c.expected);
    }
  }
}

TEST(SiteLinks, OnlyTheValuesOfHrefAndSrcInTagsAreRewritten) {
  const std::string deck =
      "<!DOCTYPE wml PUBLIC \"-//X//EN\" \"href=a\">\r\n<wml><card id=\"a\" title=\"href=&quot;a&quot;\">"
      "<p><a href=\"a\">href=\"a\" src='a'</a><img src='a' alt=\"a\"/><go HREF=a method=\"post\"/></p>"
      "</card></wml>";
  const std::string out = RewriteLinks(deck, [](std::string_view target) -> std::optional<std::string> {
    if (target == "a") return std::string("B");
    return std::nullopt;
  });
  EXPECT_EQ(out,
            "<!DOCTYPE wml PUBLIC \"-//X//EN\" \"href=a\">\r\n<wml><card id=\"a\" title=\"href=&quot;a&quot;\">"
            "<p><a href=\"B\">href=\"a\" src='a'</a><img src='B' alt=\"a\"/><go HREF=B method=\"post\"/></p>"
            "</card></wml>");
}

}  // namespace
}  // namespace quillmark::tools
