// CTreeBuilder: where each token of a page goes in its document's tree.
//
// Tokens arrive in page order (Insert). Device markers update the marker
// state and vanish; tokens outside the device's content are dropped, except
// the document skeleton and title text; kept tags may be replaced by
// configured markup, whose tokens are inserted in their place; the rest is
// placed at the cursor, the node inserted last. An end tag closes the
// nearest open element of its name that encloses the cursor; with none, it
// stays where it is as a stray end tag. Where the context asks for it, the
// elements HTML ends without their end tags end so: a head left open ends
// where the body's content begins, content after the body's end tag goes
// back into the body, and cells, rows and options end at the next one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "markup/element_names.h"
#include "markup/xml_object.h"

namespace quillmark {

class CXmlNode;
struct DocumentState;

// The open elements that enclose the tree-building cursor, innermost last,
// with a count per name (case ignored), so that an end tag with no open
// element of its name is known to be stray without walking up the tree.
class OpenElements {
 public:
  void Push(CXmlNode* node);
  // Pops every entry above `node` and `node` itself; no-op when absent.
  void PopThrough(const CXmlNode* node);
  void Clear();
  // True when an open entry has the name of `node` (case ignored).
  bool AnyNamedAs(const CXmlNode& node) const;
  // True when an open entry has the listed name `id`.
  bool AnyWithId(ElementId id) const;
  const std::vector<CXmlNode*>& Stack() const { return stack_; }
  // The innermost entry that HTML lets hold content (the page may have
  // given "<meta>" or "<br>" children), or null.
  CXmlNode* InnermostContainer() const { return containers_.empty() ? nullptr : containers_.back(); }

 private:
  // Hash and equality of names without regard to case, so that a page's
  // names are looked up as they stand, without a lower-cased copy.
  struct FoldedHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // How many entries carry a name; a name counts from its first push on.
  struct NameCount {
    int open = 0;
    bool pushed = false;
  };
  NameCount& CountOf(const CXmlNode& node);
  // The count of the name of `node` if pushed before, or null (const or
  // not, as `self`).
  template <typename Self>
  static auto* FindCount(Self& self, const CXmlNode& node);

  std::vector<CXmlNode*> stack_;
  std::vector<CXmlNode*> containers_;  // InnermostContainer of each stack_ prefix
  // Names with an element id are counted by id, others by name (keyed by
  // the spelling the name had when first pushed).
  NameCount known_[kElementIdCount] = {};
  std::unordered_map<std::string, NameCount, FoldedHash, FoldedEqual> others_;
};

// Builds the tree of one document; the document owns it (DocumentState),
// and so every parse of the document continues at the same cursor.
class CTreeBuilder {
 public:
  CTreeBuilder(CXmlNode& root, DocumentState& doc) : root_(root), doc_(doc) {}
  CTreeBuilder(const CTreeBuilder&) = delete;
  CTreeBuilder& operator=(const CTreeBuilder&) = delete;

  // Tokenizes `length` bytes of `text` and inserts every token. Page text
  // (not replacement text) adds to the document's conversion budget.
  void Parse(const char* text, int32_t length);
  // A new node of the document, not linked, for the next token's record.
  CXmlNode* NewNode();
  // Inserts a node that NewNode made, its token parsed, or drops it.
  void Insert(CXmlNode* node);

 private:
  // Links `node` at the cursor; the open-element stack follows the cursor.
  void Place(CXmlNode* node);
  // Replaces the tag `node` by its text in `replacements` (",name=text,...")
  // and parses that text in its place; true when it did.
  bool ReplaceTag(CXmlNode& node, const char* replacements);
  // True when the next node placed lands inside a pre element.
  bool InsidePre() const;
  // The open element, passing over those HTML gives no content, that the
  // next node placed lands in when it is no end tag; null for the top level.
  CXmlNode* OpenElementAtCursor() const;
  // Ends an open head element before `node` where `node` is content of the
  // body, as HTML reads a page; true when `node` is to be dropped instead
  // (a second head start tag inside the head, the end tag of a head that
  // has already ended so).
  bool EndsOpenHeadBefore(const CXmlNode& node);
  // Ends the open elements that `node` ends by HTML's rules although the
  // page leaves out their end tags: an option before the next option or
  // option group, a table cell before the next cell or row, a row before
  // the next row, a table's head, body or foot (with its open row and
  // cell) before the next, a list item before the next item, a term or its
  // definition before the next term or definition, and a link before the
  // next link.
  void EndsImpliedElementsBefore(const CXmlNode& node);
  // Opens the row that a table cell `node` implies where the page leaves
  // it out (`<table><td>`), as HTML reads the cell: without it the table
  // would hold no row and go with the cell's content.
  void OpensImpliedRowBefore(const CXmlNode& node);
  // OpenElementAtCursor, passing over a few open formatting elements as
  // well ("<td><font>a" and then "<td>"); null past them.
  CXmlNode* OpenElementPastFormatting() const;
  // The innermost open element named in `names` among the few innermost
  // open elements, short of a table, cell, caption, object or the
  // document's own elements: the link that a new link's start tag ends,
  // the heading that another heading's end tag ends; null for none.
  CXmlNode* OpenElementNearCursor(const ElementSet& names) const;
  // A heading's end tag of another level ("<h5>t</h3>") becomes the end
  // tag of the open heading, as HTML ends any heading with any.
  void EndsOpenHeadingWith(CXmlNode& node);
  // Places the end tag of the open element `start` at the cursor.
  void PlaceEndOf(CXmlNode& start);
  // Where `node` would stand after the document's body: opens the body
  // again for content of the body, taking back its end tag (and the html
  // element's), and returns true for an html start tag, and for a body
  // start tag after the html element's end, which are dropped.
  bool ReopenBodyFor(const CXmlNode& node);
  // Ends an open empty element of the record at the top level ("<br>",
  // which the pre-pass ends) before `node` where `node` is a start tag of
  // the document's own elements, which never go inside one.
  void EndsOpenEmptyElementBefore(const CXmlNode& node);
  // Notes `node`, just placed at the top level or in the top-level html
  // element before any body, when it is the first content of the body
  // there: HTML begins the body with it.
  void NoteContentBeforeBody(CXmlNode& node);
  // Moves the content noted before the body `body`, and what follows it up
  // to the body (or the element beside it that holds the body), into the
  // body, where HTML reads it ("Warning: ...<html><body>" as a script that
  // fails early writes it, or a menu between the head and the body).
  void TakeInContentBefore(CXmlNode& body);
  // True for the root and for an html element at the top level: where a
  // body is the document's, and where content before it begins it.
  bool IsDocumentLevel(const CXmlNode* parent) const;

  CXmlNode& root_;
  DocumentState& doc_;
  CXmlNode* cursor_ = nullptr;  // the node inserted last
  OpenElements open_;
  std::vector<std::string> replacing_;  // lower-cased names whose replacement texts are being parsed
  bool placedPre_ = false;  // only after a pre start tag can text be preformatted
  bool headEndedEarly_ = false;  // a head ended by body content awaits its end tag
  // The first content of the body placed at the top level or in the
  // top-level html element before any body, or null.
  CXmlNode* contentBeforeBody_ = nullptr;
  // The body start tag placed last at the top level or in a top-level html
  // element, or null.
  CXmlNode* body_ = nullptr;
};

}  // namespace quillmark
