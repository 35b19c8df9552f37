// The pre-pass: names, empty elements, end tags and the bottom-up sweep.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms_tables_support.h"
#include "transform/normalize_tree.h"

namespace quillmark {
namespace {

std::string Normalized(const std::string& page) {
  CXmlNode root;
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  NormalizeTree(&root);
  return testing::WrittenText(root);
}

TEST(NormalizeTree, GivesEveryElementItsShape) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<P CLASS=Big>a", "<p class=\"Big\">a</p>"},
      {"<BR>x", "<br/>x"},
      {"<p>one</x>two</p>", "<p>onetwo</p>"},
      {"</b>lead", "lead"},
      {"<b></b><i> </i>x", "x"},
      {"<b><i></i></b>y", "y"},
      {"<center>\n</center><font> </font>z", "z"},
      {"<b><!-- x --></b>", "<b><!-- x --></b>"},
      {"<div></div>", "<div></div>"},
      {"<ul><li>a<li>b</ul>", "<ul><li>a</li><li>b</li></ul>"},
      {"<!DOCTYPE html><?php x ?>", "<!DOCTYPE html>\r\n<?php x ?>\r\n"},
  };
  for (const auto& [page, expected] : cases) EXPECT_EQ(Normalized(page), expected) << page;
}

TEST(NormalizeTree, LeavesAResetContextWithADevice) {
  CXmlNode root;
  auto context = std::make_unique<CWorkingVariables>(currentConfiguration());
  context->cardCount = 5;
  context->SetTitle("old");
  root.SetContext(std::move(context));
  NormalizeTree(&root);
  const CWorkingVariables* after = WorkingVariablesOf(&root);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->cardCount, 0);
  EXPECT_EQ(after->Title(), nullptr);
  EXPECT_NE(after->device, nullptr);
}

TEST(XHtmlToWml, DestroysTheDocumentContext) {
  CXmlNode root;
  root.ParseMarkup("x", 1);
  NormalizeTree(&root);
  XHtmlToWml(&root);
  EXPECT_EQ(root.GetContext(), nullptr);
}

}  // namespace
}  // namespace quillmark
