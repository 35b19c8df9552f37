// Test support for the form and table rules: whole decks through the entry
// point, decks for a settings record of one's own, and XML well-formedness.
#pragma once

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "device/configuration.h"
#include "device/device_profile.h"
#include "interface/convert_helpers.h"
#include "device/working_variables.h"
#include "markup/tree_walk.h"
#include "markup/xml_node.h"
#include "transform/normalize_tree.h"
#include "transform/xhtml_to_wml.h"

namespace quillmark::testing {

// The deck without its line breaks (the writer adds them only around tags).
inline std::string Compact(std::string deck) {
  for (std::size_t at = deck.find("\r\n"); at != std::string::npos; at = deck.find("\r\n", at)) {
    deck.erase(at, 2);
  }
  return deck;
}

// What the deck's single paragraph holds, compacted; "" when there is none.
inline std::string ParagraphOf(const std::string& deck) {
  const std::string compact = Compact(deck);
  const std::size_t open = compact.find("<p>");
  const std::size_t close = compact.rfind("</p>");
  if (open == std::string::npos || close == std::string::npos || close < open) return "";
  return compact.substr(open + 3, close - open - 3);
}

// The deck of `page` as the entry point writes it with the built-in device.
inline std::string DeckOf(const std::string& page) { return Convert(page).text; }

// `node` and its subtree as their records write themselves, one after
// another: the tree as it stands, before the deck writer's escapes.
// Suppressed tags (an empty name) write nothing; declarations stand on
// lines of their own.
inline std::string WrittenText(const CXmlNode& node) {
  std::string text;
  // Everything before `at` in document order has been written.
  for (const CXmlNode* at = &node; at != nullptr; at = NextInSubtree(at, &node)) {
    const CXmlObject* element = at->GetElement();
    if (element == nullptr) continue;
    const char* name = element->GetName();
    const char* raw = element->GetText();
    const bool declaration = raw[0] == '<' && (raw[1] == '!' || raw[1] == '?');
    if (name != nullptr && name[0] == '\0' && !declaration) continue;
    const bool ownLine = declaration && at->IsTag();
    const CXmlNode* parent = at->GetParent();
    if (ownLine && parent != nullptr && !parent->IsRoot() && !text.empty() && text.back() != '\n') text += "\r\n";
    std::string piece(element->GetWriteLength() + 1, '\0');
    element->WriteTo(piece.data());
    text += piece.c_str();
    if (ownLine) text += "\r\n";
  }
  return text;
}

// The deck of `page` for a device whose own settings are `settings`, written
// without line breaks around tags.
inline std::string DeckWithSettings(const std::string& page, const CWmlSettings& settings) {
  auto configuration = std::make_shared<DeviceConfiguration>();
  CDevice device;
  device.settings = std::make_unique<CWmlSettings>(settings);
  CXmlNode root;
  auto context = std::make_unique<CWorkingVariables>(configuration);
  context->device = &device;
  root.SetContext(std::move(context));
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  NormalizeTree(&root);
  XHtmlToWml(&root);
  return WrittenText(root);
}

// True when `text` is a well-formed XML document (no DTD is fetched, no
// depth limit).
inline bool IsWellFormedXml(const std::string& text) {
  xmlDocPtr document = xmlReadMemory(text.data(), static_cast<int>(text.size()), "deck.wml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (document == nullptr) return false;
  xmlFreeDoc(document);
  return true;
}

// Seconds that the conversion of `page` takes, the best of `runs` runs.
inline double SecondsToConvert(const std::string& page, int runs = 3) {
  double best = 1e9;
  for (int run = 0; run < runs; ++run) {
    const auto begin = std::chrono::steady_clock::now();
    Convert(page);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
    best = std::min(best, spent.count());
  }
  return best;
}

// One page and the paragraph its deck must hold.
struct DeckCase {
  const char* label;
  const char* page;
  const char* paragraph;  // the deck's paragraph, line breaks removed
};

// Converts every case's page and checks its paragraph and that the deck is
// well-formed XML.
inline void ExpectParagraphs(const std::vector<DeckCase>& cases) {
  for (const DeckCase& c : cases) {
    const std::string deck = DeckOf(c.page);
    EXPECT_EQ(ParagraphOf(deck), c.paragraph) << c.label;
    EXPECT_TRUE(IsWellFormedXml(deck)) << c.label << "\n" << deck;
  }
}

// ExpectParagraphs for a device whose own settings are `settings`.
inline void ExpectParagraphsWith(const CWmlSettings& settings, const std::vector<DeckCase>& cases) {
  for (const DeckCase& c : cases) {
    const std::string deck = DeckWithSettings(c.page, settings);
    EXPECT_EQ(ParagraphOf(deck), c.paragraph) << c.label;
    EXPECT_TRUE(IsWellFormedXml(deck)) << c.label;
  }
}

}  // namespace quillmark::testing
