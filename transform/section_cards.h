// Section cards: read as HTML reads a page, a named anchor marks where a part
// of the page begins that links go to ("<a name=intro></a>", most often
// empty), and so does an element whose id a link of the page names
// ("<h2 id=intro>" after "<a href=#intro>"). A phone goes only to cards,
// so the card that holds such a mark is cut there: what follows it is a
// card of the anchor's name, the card before ends with a link to it and
// the section's card has a back key, as the cards of a chain cut to a
// phone's size limit.
//
// A cut falls before the mark, or before the outermost element around it
// that cannot be cut (a link, a table, an option list): the bold, italic
// and paragraph elements around that point are closed in the card before
// and opened again in the new one. No card is made that shows nothing: a
// mark with nothing shown before it in its card, or nothing after it until
// the next mark, makes no card, and links to its name go to the card it
// stands in (a run of marks with nothing between them makes one card,
// named by the first).
//
// Ownership: the marks are comment nodes of the document, which every
// content model keeps where they stand; each is removed when its card is
// cut, or when the deck stands. Nodes are never freed before the document's
// root, so a mark stays readable even where a rule removed it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "markup/xml_node.h"

namespace quillmark {

// The id of the card that begins the section `name`: `name` itself where
// XML takes it as an id (a letter, "_" or ":" first, then letters, digits,
// ".", "-", "_" or ":"; bytes beyond ASCII count as letters), else "_" and
// `name` with each other byte written "_". A link's fragment, mapped
// alike on any page, finds the card.
std::string SectionCardId(std::string_view name);

class SectionCards {
 public:
  SectionCards() = default;
  SectionCards(const SectionCards&) = delete;
  SectionCards& operator=(const SectionCards&) = delete;

  // Marks the place before `anchor`, a start tag, as where the section
  // `name` begins; false, and nothing marked, when an earlier anchor took
  // its card's id (a deck's cards need ids of their own, and a browser goes
  // to the first).
  bool Mark(CXmlNode* anchor, std::string_view name);
  // Notes the target of `link`, an `a` start tag of the page: one within
  // it ("#x") makes the element whose id is "x" a section's beginning,
  // unless that element is the link, or its heading or line holds it (a
  // heading's or a rule's link to itself, which leads nowhere else).
  void NoteLink(const CXmlNode* link);
  // Marks the place before the start tag `node` when its id is the target
  // of a noted link (the document's own elements excepted, whose cards
  // take their ids).
  void MarkLinkTarget(CXmlNode* node);

  // Cuts `card`, a child of the deck, at its first mark that makes a card:
  // what stands before the cut goes to a new card linked just before it,
  // which is returned, and `card` takes the section's name; null when no
  // mark there makes a card. Marks passed on the way make none. One walk
  // over the part of the card before the cut, and a little after it.
  CXmlNode* CutOffFirstSection(CXmlNode* card);
  // Gives a card its links in the chain, once it has its paragraph: a link
  // with `nextLabel` to the card cut from it, and a back key with
  // `backLabel` for a card made by a cut. Labels are plain text.
  void LinkInChain(CXmlNode* card, std::string_view nextLabel, std::string_view backLabel) const;
  // Removes the marks that no card's walk reached.
  void RemoveMarksLeft();

  // The id of the card that a link to the card id `id` goes to: `id`
  // itself unless its mark made no card.
  std::string_view CardOf(std::string_view id) const;

 private:
  // Cuts `card` before `at`, whose ancestors below the card are
  // `through`, innermost first: what precedes goes to a new card before
  // it, and `card` is named `id`.
  CXmlNode* CutBefore(CXmlNode* card, CXmlNode* at, std::span<CXmlNode* const> through, const std::string& id);
  // Records that links to the mark `mark` go to `cardId`, and removes it.
  void Alias(CXmlNode* mark, std::string_view cardId);

  std::unordered_map<CXmlNode*, std::string> marks_;       // a mark's node and its card id
  std::unordered_set<std::string> names_;                  // the card ids marked
  std::unordered_set<std::string> targets_;                // the ids that links within the page name
  std::unordered_map<std::string, std::string> aliases_;   // ids whose marks made no card, and their cards
  std::unordered_map<const CXmlNode*, std::string> next_;  // a card before a cut, and the next card's id
  std::unordered_set<const CXmlNode*> chained_;            // the cards that begin at a cut
};

}  // namespace quillmark
