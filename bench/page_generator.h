// Pages for measuring the converter: realistic ones of a chosen size, and
// the adversarial shapes that stress tree building and the rewrite walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace quillmark::bench {

// A page that looks like a small site's article: headings, paragraphs with
// links and formatting, images, a table and a form, repeated until `bytes`.
inline std::string RealisticPage(size_t bytes, uint32_t seed = 7) {
  std::mt19937 random(seed);
  static const char* const kWords[] = {"wireless", "deck",  "card",   "phone", "news",
                                       "weather",  "today", "market", "links", "the",
                                       "and",      "of",    "with",   "more",  "read"};
  auto words = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += kWords[random() % std::size(kWords)];
    }
    return text;
  };
  std::string page = "<html><head><title>" + words(4) + "</title></head><body>\n";
  int section = 0;
  while (page.size() < bytes) {
    ++section;
    page += "<h2>" + words(3) + "</h2>\n<p>" + words(20) + " <a href=\"story.asp?id=" +
            std::to_string(section) + "&page=2\">" + words(2) + "</a> " + words(10) + " <b>" +
            words(3) + "</b>, <i>" + words(2) + "</i>.<br>\n" + words(15) + "</p>\n";
    page += "<img src=\"/img/pic" + std::to_string(section % 9) + ".gif\" width=80 height=40>\n";
    if (section % 4 == 0) {
      page += "<table border=1><tr><th>" + words(1) + "</th><th>" + words(1) + "</th></tr>";
      for (int row = 0; row < 3; ++row) {
        page += "<tr><td>" + words(2) + "</td><td colspan=2>" + words(3) + "</td></tr>";
      }
      page += "</table>\n";
    }
    if (section % 6 == 0) {
      page += "<form action=\"/search\" method=post>Find: <input name=q size=10>"
              "<select name=where><option>all<option value=news>news</select>"
              "<input type=hidden name=s value=" + std::to_string(section) +
              "><input type=submit value=Go></form>\n";
    }
    if (section % 5 == 0) page += "<!-- section " + std::to_string(section) + " -->\n";
    page += "<font size=1>" + words(6) + "</font>\n";
  }
  return page + "</body></html>\n";
}

// A page of text structure and choices: lists, quotations, preformatted
// text, and forms laid out in tables with radio buttons, check boxes and
// selected options, repeated until `bytes`.
inline std::string StructuredPage(size_t bytes) {
  std::string page = "<html><body>\n";
  for (int section = 0; page.size() < bytes; ++section) {
    const std::string n = std::to_string(section);
    page += "<div><h3>Part " + n + "</h3><ul><li>alpha " + n + "</li><li>beta</li><li>gamma</li></ul>"
            "<blockquote><p>quoted " + n + "</p><p>more</p></blockquote>\n"
            "<pre>\n  x = " + n + "\n    y = x  + 1\n</pre></div>\n"
            "<form action=\"/f\"><table><tr><td>Name</td><td><input name=n" + n + "></td></tr>"
            "<tr><td><input type=radio name=r value=a checked> A <input type=radio name=r value=b> B</td>"
            "<td><input type=checkbox name=c value=y> Yes</td></tr>"
            "<tr><td><select name=s><option>x</option><option selected>y</option></select></td>"
            "<td><input type=submit value=Go></td></tr></table></form>\n";
  }
  return page + "</body></html>\n";
}

// `count` copies of `piece`, then `tail`.
inline std::string Repeated(const std::string& piece, size_t count, const std::string& tail = "") {
  std::string page;
  page.reserve(piece.size() * count + tail.size());
  for (size_t i = 0; i < count; ++i) page += piece;
  return page + tail;
}

}  // namespace quillmark::bench
