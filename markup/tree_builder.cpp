#include "markup/tree_builder.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "base/case_folding.h"
#include "markup/document_state.h"
#include "markup/name_list.h"
#include "markup/xml_parser.h"

namespace quillmark {

namespace {

// The context of a document that has none attached (see tree_context.h).
// It holds no state, so one object serves every such document.
class PlainTreeContext final : public TreeContext {
 public:
  const MarkerWords& Words() const override { return DefaultMarkerWords(); }
  void OnMarker(const CXmlObject& /*marker*/) override {}
  bool Keeps(const CXmlObject& /*token*/) override { return true; }
  const char* TagReplacements() const override { return ""; }
  bool KeepsLineEnds() const override { return true; }
  bool ReadsAsHtml() const override { return true; }
};

TreeContext& ContextOf(DocumentState& doc) {
  static PlainTreeContext plain;
  return doc.context ? *doc.context : plain;
}

// Tags that survive in content excluded for the device.
constexpr ElementSet kSkeleton{"html\0body\0wml\0card\0head\0title\0"};

// The high bit of each byte of `block` at or below the space. For 7-bit
// bytes, x - 0x21 borrows into the high bit just when x < 0x21; bytes from
// 0x80 up are ruled out by ~x. A borrow only runs upwards, so the lowest
// flagged byte is the first such byte.
uint64_t SpaceOrControlBytes(uint64_t block) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  return (block - 0x21 * kOnes) & ~block & (0x80 * kOnes);
}

// Where the next byte at or below the space is in text[from, length): eight
// bytes at a time, since prose has several letters between spaces.
size_t NextSpaceOrControl(const char* text, size_t from, size_t length) {
  size_t at = from;
  if constexpr (std::endian::native == std::endian::little) {
    for (; length - at >= 8; at += 8) {
      uint64_t block;
      std::memcpy(&block, text + at, 8);
      const uint64_t low = SpaceOrControlBytes(block);
      if (low != 0) return at + static_cast<size_t>(std::countr_zero(low)) / 8;
    }
  }
  while (at < length && static_cast<unsigned char>(text[at]) > ' ') ++at;
  return at;
}

// NextSpaceOrControl from `read` that also moves the bytes it passes down
// to `write` (write < read), so that the run costs one pass. A whole block
// stored at `write` overwrites only bytes already loaded, as write < read.
// The block that holds the run's end is stored merged with the bytes it
// covers past the end, so that nothing after the run changes.
size_t MoveRunDown(char* bytes, size_t read, size_t write, size_t length) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; length - read >= 8; read += 8, write += 8) {
      uint64_t block;
      std::memcpy(&block, bytes + read, 8);
      const uint64_t low = SpaceOrControlBytes(block);
      if (low != 0) {
        const auto runBytes = static_cast<size_t>(std::countr_zero(low)) / 8;
        const uint64_t ours = (uint64_t{1} << (8 * runBytes)) - 1;
        uint64_t covered;
        std::memcpy(&covered, bytes + write, 8);
        const uint64_t merged = (block & ours) | (covered & ~ours);
        std::memcpy(bytes + write, &merged, 8);
        return read + runBytes;
      }
      std::memcpy(bytes + write, &block, 8);
    }
  }
  for (; read < length && static_cast<unsigned char>(bytes[read]) > ' '; ++read, ++write) bytes[write] = bytes[read];
  return read;
}

// Control characters become spaces and runs of spaces shrink to one, in
// place; returns the new length.
size_t NormalizeText(char* bytes, size_t length) {
  // Every byte before `read` is normalised into bytes[0, write).
  size_t read = 0;
  size_t write = 0;
  while (true) {
    // Until a run of spaces has shrunk, the bytes stay where they are.
    const size_t runEnd = write == read ? NextSpaceOrControl(bytes, read, length) : MoveRunDown(bytes, read, write, length);
    write += runEnd - read;
    read = runEnd;
    if (read == length) return write;
    // The run of spaces and controls becomes one space; a run of other
    // bytes follows it, or the end.
    bytes[write++] = ' ';
    for (++read; read < length && static_cast<unsigned char>(bytes[read]) <= ' '; ++read) {
    }
  }
}

// The text of a pre element: line ends and tabs stay for the transformation,
// which shows them; other control characters become spaces.
std::string PreformattedText(const char* text) {
  std::string out(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 32 && c != '\n' && c != '\r' && c != '\t') c = ' ';
  }
  return out;
}

bool IsEndTag(const CXmlNode& node) { return node.IsClosedTag() && !node.IsStartTag(); }

// A tag's name, the empty name for none.
std::string_view NameOf(const char* name) { return name != nullptr ? std::string_view(name) : std::string_view(); }

// Reads `node` again as the end tag of the open element `start`.
void BecomeEndTagOf(CXmlNode& node, const CXmlNode& start) {
  CXmlObject& element = *node.GetElement();
  const CXmlObject end = start.GetElement()->MakeEndTag();
  element.Parse(end.GetText(), static_cast<int32_t>(end.TextLength()), element.Words(), element.ValueReading());
}

// An empty-element tag that closes an open element of its name ("<b/>" after
// "<b>") becomes that element's end tag, so that every later step sees an
// ordinary end tag there. After an empty element ("<br><br/>") it stays an
// element of its own.
void MakeEndTagOf(CXmlNode& node, const CXmlNode& start) {
  if (IsEndTag(node) || start.IsEmptyElement()) return;
  BecomeEndTagOf(node, start);
}

// The elements that stay in a page's head; any other start tag, and any text
// that is not blank, begins the body's content.
constexpr ElementSet kHeadContent{
    "access\0base\0link\0meta\0noframes\0noscript\0script\0style\0template\0title\0"};

// The elements that HTML gives no content ("<link>" and "<meta>" stand
// alone in a head), the empty elements of the record among them.
constexpr ElementSet kVoidElements{
    "access\0area\0base\0br\0col\0embed\0frame\0hr\0img\0input\0link\0meta\0noop\0param\0postfield\0"
    "setvar\0timer\0wbr\0"};

bool IsVoid(const CXmlNode& node) { return kVoidElements.Holds(node.GetElement()->GetElementId()); }

// True for the open start tag of a void element that the record does not
// count as empty.
bool IsOpenVoidTag(const CXmlNode& node) {
  return node.IsStartTag() && !node.IsClosedTag() && IsVoid(node) && node.IsEmptyElement() == 0;
}

// The id of a tag's name; kOtherElement for text, comments and the root.
ElementId IdOf(const CXmlNode& node) { return node.IsTag() ? node.GetElement()->GetElementId() : kOtherElement; }

// Start tags that are the document's own, which the body's content never is.
constexpr ElementSet kDocumentOwnElements{"body\0frameset\0head\0html\0"};

// The elements whose end HTML implies, and the parents where it does.
constexpr ElementSet kOptions{"option\0"};
constexpr ElementSet kOptionParents{"optgroup\0select\0"};
constexpr ElementSet kOptionGroups{"optgroup\0"};
constexpr ElementSet kSelects{"select\0"};
constexpr ElementSet kCells{"td\0th\0"};
constexpr ElementSet kRows{"tr\0"};
constexpr ElementSet kRowParents{"table\0tbody\0tfoot\0thead\0"};
constexpr ElementSet kTableSections{"tbody\0tfoot\0thead\0"};
constexpr ElementSet kLinks{"a\0"};
constexpr ElementSet kHeadings{"h1\0h2\0h3\0h4\0h5\0h6\0"};
constexpr ElementSet kTables{"table\0"};
// The elements that keep a link open inside them apart from a link that
// begins within them, as HTML's markers and scopes do.
constexpr ElementSet kLinkScopes{
    "applet\0body\0caption\0card\0html\0marquee\0object\0select\0table\0td\0th\0wml\0"};

// Elements that end where the next one of their kind begins, within the
// parents where HTML ends them so: a cell at the next cell, a list item at
// the next item, a term or definition at the next term or definition.
struct SiblingEnd {
  ElementSet items;
  ElementSet parents;
};
constexpr SiblingEnd kSiblingEnds[] = {
    {kCells, kRows},
    {ElementSet{"li\0"}, ElementSet{"dir\0menu\0ol\0ul\0"}},
    {ElementSet{"dd\0dt\0"}, ElementSet{"dl\0"}},
};

// The elements that hold a whole document or card.
constexpr ElementSet kDocumentElements{"html\0body\0wml\0card\0"};

// A self-closed document element ("<html/>", "<body/>") opens it, as HTML
// reads the tag, so that the content after it stays inside the deck. A
// document element's end tag with a slash before its ">" ("</html/>") is
// read as the end tag it is, so that it is not written as an element after
// the deck's root.
void UnslashDocumentElementTag(CXmlNode& node) {
  if (!node.IsClosedTag() || !kDocumentElements.Holds(IdOf(node))) return;
  const auto slashed = [](std::string_view text) { return text.size() > 2 && text[text.size() - 2] == '/'; };
  CXmlObject& element = *node.GetElement();
  // A closed tag without a slash ("<!wml>") is a declaration: nothing goes.
  if (!slashed(element.GetTextView())) return;
  std::string text(element.GetTextView());
  // Every slash before the ">" goes: with one left ("<wml//>") the tag
  // would still close itself, and the deck's content would stand outside it.
  while (slashed(text)) text.erase(text.size() - 2, 1);
  element.Parse(text.data(), static_cast<int32_t>(text.size()), element.Words(), element.ValueReading());
}

}  // namespace

// ---- open elements ----------------------------------------------------------

size_t OpenElements::FoldedHash::operator()(std::string_view name) const {
  return static_cast<size_t>(FoldedNameHash(name));
}

bool OpenElements::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return EqualsIgnoringCase(a, b);
}

OpenElements::NameCount& OpenElements::CountOf(const CXmlNode& node) {
  if (const ElementId id = node.GetElement()->GetElementId(); id != kOtherElement) return known_[id];
  const std::string_view name = NameOf(node.GetName());
  auto it = others_.find(name);
  if (it == others_.end()) it = others_.emplace(std::string(name), NameCount{}).first;
  return it->second;
}

template <typename Self>
auto* OpenElements::FindCount(Self& self, const CXmlNode& node) {
  using Count = std::remove_reference_t<decltype(self.known_[0])>;
  if (const ElementId id = node.GetElement()->GetElementId(); id != kOtherElement) {
    return self.known_[id].pushed ? &self.known_[id] : static_cast<Count*>(nullptr);
  }
  auto it = self.others_.find(NameOf(node.GetName()));
  return it != self.others_.end() ? &it->second : static_cast<Count*>(nullptr);
}

void OpenElements::Push(CXmlNode* node) {
  stack_.push_back(node);
  containers_.push_back(IsVoid(*node) ? InnermostContainer() : node);
  NameCount& count = CountOf(*node);
  count.pushed = true;
  ++count.open;
}

void OpenElements::PopThrough(const CXmlNode* node) {
  // Every entry above the position of node is still to be popped.
  for (size_t i = stack_.size(); i > 0; --i) {
    if (stack_[i - 1] != node) continue;
    while (stack_.size() >= i) {
      // A name never pushed is not counted (its entry was renamed since).
      if (NameCount* count = FindCount(*this, *stack_.back())) --count->open;
      stack_.pop_back();
      containers_.pop_back();
    }
    return;
  }
}

void OpenElements::Clear() {
  stack_.clear();
  containers_.clear();
  std::fill(std::begin(known_), std::end(known_), NameCount{});
  others_.clear();
}

bool OpenElements::AnyNamedAs(const CXmlNode& node) const {
  const NameCount* count = FindCount(*this, node);
  return count != nullptr && count->open > 0;
}

bool OpenElements::AnyWithId(ElementId id) const { return known_[id].open > 0; }

// ---- parsing ------------------------------------------------------------------

void CXmlNode::ParseMarkup(const char* text, int32_t length) {
  DocumentState& doc = Doc();
  if (!doc.builder) doc.builder = std::make_unique<CTreeBuilder>(*doc.root, doc);
  doc.builder->Parse(text, length);
}

void CTreeBuilder::Parse(const char* text, int32_t length) {
  if (replacing_.empty() && length > 0) doc_.budgetLeft += kBudgetPerPageByte * length;
  // A page's records hold about twice its bytes: its texts and tags, and
  // the end tags and rewritten texts the conversion adds.
  if (length > 0) doc_.arena.Expect(2 * static_cast<std::size_t>(length));
  const TreeContext& context = ContextOf(doc_);
  const UnquotedValues values =
      context.ReadsAsHtml() ? UnquotedValues::kEndAtSpace : UnquotedValues::kEndAtPunctuation;
  CXmlParser parser(*this, &doc_.arena);
  parser.Parse(&root_, text, length, context.Words(), values);
}

// The cursor is an open pre start tag (which becomes the node's parent), or
// a pre is among the open elements that enclose the cursor.
bool CTreeBuilder::InsidePre() const {
  if (!placedPre_) return false;
  if (cursor_ != nullptr && cursor_->IsStartTag() && !cursor_->IsFinished() && cursor_->IsTagNamed("pre")) return true;
  return open_.AnyWithId(KnownElementId("pre"));
}

// ---- inserting ---------------------------------------------------------------

CXmlNode* CTreeBuilder::NewNode() { return doc_.NewNode(); }

void CTreeBuilder::Insert(CXmlNode* node) {
  if (!replacing_.empty()) root_.ChargeBudget(static_cast<int64_t>(sizeof(CXmlNode)));
  TreeContext& context = ContextOf(doc_);
  CXmlObject& element = *node->GetElement();

  if (element.GetMarkerKind() != 0) {
    context.OnMarker(element);
    doc_.Recycle(node);
    return;
  }

  const bool keep = context.Keeps(element);
  if (keep && node->IsTag()) ReplaceTag(*node, context.TagReplacements());
  if (!keep) {
    const bool survives = node->IsTag()
                              ? kSkeleton.Holds(IdOf(*node))
                              : cursor_ != nullptr && cursor_->IsStartTag() && cursor_->IsTagNamed("title");
    if (!survives) {
      doc_.Recycle(node);
      return;
    }
  }

  if (node->IsTag()) {
    if (node->GetName()[0] == '\0') {
      doc_.Recycle(node);
      return;
    }
    UnslashDocumentElementTag(*node);
    if (!placedPre_ && node->IsStartTag() && node->IsTagNamed("pre")) placedPre_ = true;
  } else if (!node->IsComment()) {
    const bool preformatted = InsidePre() && context.KeepsLineEnds();
    const char* raw = element.GetText();
    const size_t length = element.TextLength();
    if (length == 0) {
      doc_.Recycle(node);
      return;
    }
    if (preformatted) {
      element.SetText(PreformattedText(raw));
    } else {
      element.EditText(NormalizeText);
    }
  }

  if (context.ReadsAsHtml()) {
    EndsOpenEmptyElementBefore(*node);
    if (EndsOpenHeadBefore(*node) || ReopenBodyFor(*node)) {
      doc_.Recycle(node);
      return;
    }
    EndsImpliedElementsBefore(*node);
    OpensImpliedRowBefore(*node);
    EndsOpenHeadingWith(*node);
    // HTML gives a void element ("<col>", "<param>") no content: what
    // follows stays beside it, where an open tag would take it in. The
    // record's empty elements ("<br>") are closed by the pre-pass.
    if (IsOpenVoidTag(*node)) node->GetElement()->MakeSelfClosing();
  }
  Place(node);
  cursor_ = node;
  if (context.ReadsAsHtml()) NoteContentBeforeBody(*node);
  if (node->IsStartTag() && node->IsTagNamed("body")) {
    // Only a body at the top, or in an html element there, is opened again,
    // so that doing it costs a step or two.
    if (IsDocumentLevel(node->GetParent())) {
      body_ = node;
      if (context.ReadsAsHtml()) TakeInContentBefore(*node);
    }
  }
}

namespace {

// True for what HTML reads as content of the body wherever it stands: text
// that is not blank and start tags other than the document's own.
bool IsBodyContent(const CXmlNode& node) {
  if (!node.IsTag()) return !node.IsComment() && !IsBlank(node.GetText());
  if (!node.IsStartTag() || node.GetElement()->IsDeclaration() != 0) return false;
  return !kDocumentOwnElements.Holds(IdOf(node));
}

// The end tag that follows `start` when the element is closed, or null.
CXmlNode* EndTagOf(CXmlNode* start) {
  CXmlNode* end = start->GetNext();
  return end != nullptr && start->IsClosedBy(end) ? end : nullptr;
}

}  // namespace

// A page that goes on after "</body>" (a footer a script appends, say) would
// otherwise have that content placed after the body, where the deck drops it.
bool CTreeBuilder::ReopenBodyFor(const CXmlNode& node) {
  if (body_ == nullptr) return false;
  CXmlNode* html = body_->GetParent() != &root_ ? body_->GetParent() : nullptr;
  // The node lands after the body where it would go into the body's parent
  // (or the top level) itself, and so after the body, closed or not.
  CXmlNode* at = OpenElementAtCursor();
  if (at != nullptr && at != html) return false;
  // A second html element there would become the deck, and the body
  // before it would be dropped; HTML reads the tag as no element.
  if (node.IsStartTag() && node.IsTagNamed("html")) return true;
  // So is a body's start tag after the html element's end, as where pages
  // are joined one after another: the deck would drop that body with all
  // it holds, and its content goes on in the body before it instead.
  if (node.IsStartTag() && node.IsTagNamed("body") && at == nullptr && html != nullptr) return true;
  if (!IsBodyContent(node)) return false;
  for (CXmlNode* end : {html != nullptr ? EndTagOf(html) : nullptr, EndTagOf(body_)}) {
    if (end == nullptr) continue;
    end->Unlink();
    doc_.Recycle(end);
  }
  // The node goes in as the body's last child, outside the elements that
  // the body's end tag left open: the open body becomes the cursor, with
  // what encloses it on the stack.
  open_.Clear();
  if (html != nullptr) open_.Push(html);
  cursor_ = body_;
  return false;
}

void CTreeBuilder::EndsOpenEmptyElementBefore(const CXmlNode& node) {
  if (!node.IsStartTag() || !kDocumentOwnElements.Holds(IdOf(node)) || cursor_ == nullptr) return;
  CXmlNode* holder = cursor_->IsTag() ? cursor_ : cursor_->GetParent();
  if (holder == nullptr || holder->GetParent() != &root_ || !holder->IsStartTag() || holder->IsClosedTag()) return;
  if (holder->IsEmptyElement() == 0 || holder->GetElement()->IsDeclaration() != 0) return;
  // What the tag took in (the line end after "<br>") follows it, as the
  // pre-pass would move it, and the document element goes after that.
  CXmlNode* last = holder->GetLastChild();
  holder->MakeEmpty();
  open_.Clear();
  cursor_ = last != nullptr ? last : holder;
}

void CTreeBuilder::NoteContentBeforeBody(CXmlNode& node) {
  if (body_ != nullptr || contentBeforeBody_ != nullptr || !IsDocumentLevel(node.GetParent())) return;
  // What HTML keeps in a head does not begin the body, wherever it stands.
  if (IsBodyContent(node) && !kHeadContent.Holds(IdOf(node))) contentBeforeBody_ = &node;
}

void CTreeBuilder::TakeInContentBefore(CXmlNode& body) {
  CXmlNode* node = std::exchange(contentBeforeBody_, nullptr);
  if (node == nullptr) return;
  // The body, or the element that holds it, beside the noted content.
  const CXmlNode* parent = node->GetParent();
  CXmlNode* top = &body;
  while (top != nullptr && top->GetParent() != parent) top = top->GetParent();
  if (top == nullptr) return;
  // Only content that comes before it moves.
  CXmlNode* reached = node;
  while (reached != nullptr && reached != top) reached = reached->GetNext();
  if (reached == nullptr || node == top) return;
  // Every node from `node` to `top` is a sibling of both; each goes with
  // its subtree, in order, into the body, which was placed just now and
  // holds nothing yet.
  for (; node != top; node = reached) {
    reached = node->GetNext();
    node->Unlink();
    body.AppendChild(node);
  }
  open_.Push(&body);
  cursor_ = body.GetLastChild();
}

bool CTreeBuilder::IsDocumentLevel(const CXmlNode* parent) const {
  return parent == &root_ || (parent->IsTagNamed("html") && parent->GetParent() == &root_);
}

CXmlNode* CTreeBuilder::OpenElementAtCursor() const {
  if (cursor_ == nullptr) return nullptr;
  if (cursor_->IsStartTag() && !cursor_->IsClosedTag() && !IsVoid(*cursor_)) return cursor_;
  return open_.InnermostContainer();
}

// A page that omits the head's end tag, or opens a second head inside the
// first, would otherwise have its whole body placed inside the head, whose
// content the deck drops.
bool CTreeBuilder::EndsOpenHeadBefore(const CXmlNode& node) {
  if (headEndedEarly_ && IsEndTag(node) && node.IsTagNamed("head")) {
    headEndedEarly_ = false;
    const bool closesHead = open_.AnyNamedAs(node) || (!cursor_->IsFinished() && cursor_->IsClosedBy(&node));
    return !closesHead;
  }
  CXmlNode* head = OpenElementAtCursor();
  if (head == nullptr || !head->IsTagNamed("head")) return false;
  if (node.IsTag()) {
    if (!node.IsStartTag() || node.GetElement()->IsDeclaration() != 0) return false;
    if (node.IsTagNamed("head")) return true;
    if (kHeadContent.Holds(node.GetElement()->GetElementId())) return false;
  } else if (node.IsComment() || IsBlank(node.GetText())) {
    return false;
  }
  PlaceEndOf(*head);
  headEndedEarly_ = true;
  return false;
}

void CTreeBuilder::PlaceEndOf(CXmlNode& start) {
  CXmlNode* end = doc_.NewNode(start.GetElement()->MakeEndTag());
  Place(end);
  cursor_ = end;
}

CXmlNode* CTreeBuilder::OpenElementPastFormatting() const {
  // Each entry passed counts, so that a page of nested formatting elements
  // costs a few steps a tag.
  constexpr int kMostPassed = 8;
  int passed = 0;
  const auto holds = [](const CXmlNode* node) { return !IsVoid(*node) && node->IsFormattingElement() == 0; };
  if (cursor_ != nullptr && cursor_->IsStartTag() && !cursor_->IsClosedTag()) {
    if (holds(cursor_)) return cursor_;
    ++passed;
  }
  const auto& stack = open_.Stack();
  // stack[i] and everything above it enclose the cursor, innermost last.
  for (std::size_t i = stack.size(); i > 0 && passed <= kMostPassed; --i, ++passed) {
    if (holds(stack[i - 1])) return stack[i - 1];
  }
  return nullptr;
}

void CTreeBuilder::OpensImpliedRowBefore(const CXmlNode& node) {
  if (!node.IsStartTag() || !kCells.Holds(IdOf(node))) return;
  const CXmlNode* at = OpenElementPastFormatting();
  if (at == nullptr || !kRowParents.Holds(IdOf(*at))) return;
  const CXmlObject& cell = *node.GetElement();
  CXmlObject row(cell.Arena());
  constexpr std::string_view kRowTag = "<tr>";
  row.Parse(kRowTag.data(), static_cast<int32_t>(kRowTag.size()), cell.Words(), cell.ValueReading());
  CXmlNode* start = doc_.NewNode(std::move(row));
  Place(start);
  cursor_ = start;
}

CXmlNode* CTreeBuilder::OpenElementNearCursor(const ElementSet& names) const {
  // Bounded as OpenElementPastFormatting is, so that deep nesting costs a
  // few steps a tag.
  constexpr int kMostPassed = 8;
  if (cursor_ != nullptr && cursor_->IsStartTag() && !cursor_->IsClosedTag()) {
    if (names.Holds(IdOf(*cursor_))) return cursor_;
    if (kLinkScopes.Holds(IdOf(*cursor_))) return nullptr;
  }
  const auto& stack = open_.Stack();
  int passed = 0;
  // stack[i] and everything above it enclose the cursor, innermost last.
  for (std::size_t i = stack.size(); i > 0 && passed <= kMostPassed; --i, ++passed) {
    const ElementId id = IdOf(*stack[i - 1]);
    if (names.Holds(id)) return stack[i - 1];
    if (kLinkScopes.Holds(id)) return nullptr;
  }
  return nullptr;
}

void CTreeBuilder::EndsOpenHeadingWith(CXmlNode& node) {
  if (cursor_ == nullptr || !IsEndTag(node) || !kHeadings.Holds(IdOf(node)) || open_.AnyNamedAs(node)) return;
  if (!cursor_->IsFinished() && cursor_->IsClosedBy(&node)) return;
  if (const CXmlNode* heading = OpenElementNearCursor(kHeadings)) BecomeEndTagOf(node, *heading);
}

namespace {

// `node` is an open element with one of `names` whose parent has one of
// `parents`: only where its end is implied, a cell in a row say, is an
// element ended.
bool IsOpenIn(const CXmlNode* node, const ElementSet& names, const ElementSet& parents) {
  if (node == nullptr || !names.Holds(IdOf(*node))) return false;
  const CXmlNode* parent = node->GetParent();
  return parent != nullptr && parents.Holds(IdOf(*parent));
}

}  // namespace

// Without these ends a list of options would be one option holding every
// text ("<option>a<option>b" one choice "ab"), a table whose cells and
// rows leave out their end tags one cell, and each item of a list the
// child of the item before it.
void CTreeBuilder::EndsImpliedElementsBefore(const CXmlNode& node) {
  if (!node.IsStartTag() || node.IsClosedTag()) return;
  const ElementId id = node.GetElement()->GetElementId();
  if (id == KnownElementId("option") || id == KnownElementId("optgroup")) {
    if (CXmlNode* at = OpenElementPastFormatting(); IsOpenIn(at, kOptions, kOptionParents)) PlaceEndOf(*at);
    CXmlNode* at = OpenElementPastFormatting();
    if (id == KnownElementId("optgroup") && IsOpenIn(at, kOptionGroups, kSelects)) PlaceEndOf(*at);
    return;
  }
  // Links do not nest: a link that the page leaves open ends where the next
  // begins ("<a href=1>One<a href=2>Two"), which keeps the next one's target.
  if (id == KnownElementId("a")) {
    if (CXmlNode* open = OpenElementNearCursor(kLinks)) PlaceEndOf(*open);
    return;
  }
  CXmlNode* at = OpenElementPastFormatting();
  for (const SiblingEnd& end : kSiblingEnds) {
    if (!end.items.Holds(id)) continue;
    if (IsOpenIn(at, end.items, end.parents)) PlaceEndOf(*at);
    return;
  }
  const bool section = kTableSections.Holds(id);
  if (id != KnownElementId("tr") && !section) return;
  const bool inCell = IsOpenIn(at, kCells, kRows);
  // A row ends only in a table, and its open cell with it: a new row inside
  // the old one would lose its text to the row's content model.
  CXmlNode* row = inCell ? at->GetParent() : at;
  if (IsOpenIn(row, kRows, kRowParents)) {
    if (inCell) PlaceEndOf(*at);
    PlaceEndOf(*row);
    at = row->GetParent();
  }
  // A table's head, body or foot ends where the next begins, with its open
  // row and cell.
  if (section && IsOpenIn(at, kTableSections, kTables)) PlaceEndOf(*at);
}

// The open-element stack mirrors the ancestors of the cursor and follows
// every move of it.
void CTreeBuilder::Place(CXmlNode* node) {
  CXmlNode* cursor = cursor_;
  if (cursor == nullptr) {
    root_.AppendChild(node);
    open_.Clear();
    return;
  }
  if (IsEndTag(*node)) {
    if (!cursor->IsFinished() && cursor->IsClosedBy(node)) {
      cursor->AppendSibling(node);
      return;
    }
    if (open_.AnyNamedAs(*node)) {
      const auto& stack = open_.Stack();
      // stack[i] and everything above it enclose the cursor, innermost last.
      for (size_t i = stack.size(); i > 0; --i) {
        CXmlNode* candidate = stack[i - 1];
        if (candidate->IsFinished() || !candidate->IsClosedBy(node)) continue;
        candidate->AppendSibling(node);
        open_.PopThrough(candidate);
        return;
      }
    }
    if (!cursor->IsFinished()) {
      cursor->AppendChild(node);
      open_.Push(cursor);
    } else {
      cursor->InsertAfter(node);
    }
    return;
  }
  if (!cursor->IsTag() || (cursor->IsStartTag() && cursor->IsClosedTag()) ||
      cursor->IsStrayEndTag()) {
    cursor->AppendSibling(node);
    return;
  }
  if (cursor->IsStartTag()) {
    if (node->ClosesElement(cursor)) {
      MakeEndTagOf(*node, *cursor);
      cursor->AppendSibling(node);
    } else {
      cursor->AppendChild(node);
      open_.Push(cursor);
    }
    return;
  }
  // The cursor is an end tag that closes its previous sibling.
  CXmlNode* parent = cursor->GetParent();
  if (parent != nullptr && !parent->IsRoot() && node->ClosesElement(parent)) {
    MakeEndTagOf(*node, *parent);
    parent->AppendSibling(node);
    open_.PopThrough(parent);
    return;
  }
  cursor->AppendSibling(node);
}

void CXmlNode::ChargeBudget(int64_t bytes) {
  DocumentState& doc = Doc();
  doc.budgetLeft -= bytes;
  if (doc.budgetLeft < 0) throw ConversionBudgetExceeded();
}

// ---- tag replacement ---------------------------------------------------------------

// Puts a name on the replacement guard for as long as its text is parsed.
class ReplacementScope {
 public:
  ReplacementScope(std::vector<std::string>& guard, std::string name) : guard_(guard) {
    guard_.push_back(std::move(name));
  }
  ~ReplacementScope() { guard_.pop_back(); }
  ReplacementScope(const ReplacementScope&) = delete;
  ReplacementScope& operator=(const ReplacementScope&) = delete;

 private:
  std::vector<std::string>& guard_;
};

namespace {

// The replacement text of an entry whose value starts at `value`: the part
// before "|" for a start tag, the part after it for an end tag.
std::string ReplacementOf(const char* value, bool startTag) {
  const char* end = std::strchr(value, ',');
  if (end == nullptr) end = value + std::strlen(value);
  const char* bar = static_cast<const char*>(std::memchr(value, '|', end - value));
  if (startTag) return std::string(value, bar != nullptr ? bar : end);
  if (bar == nullptr) return std::string();
  return std::string(bar + 1, end);
}

// The node a replacement would follow: the cursor, or the nearest node
// before it whose text is not blank; null when that is the root.
const CXmlNode* ReferenceNode(const CXmlNode* cursor) {
  const CXmlNode* node = cursor;
  // Every node between node and the cursor has blank text.
  while (node != nullptr && !node->IsRoot() && IsBlank(node->GetText())) {
    node = node->PreviousInDocument();
  }
  return node != nullptr && !node->IsRoot() ? node : nullptr;
}

bool IsLineBreakMarkup(const std::string& text) {
  return EqualsIgnoringCase(text.c_str(), "<br>") || EqualsIgnoringCase(text.c_str(), "<br/>");
}

}  // namespace

bool CTreeBuilder::ReplaceTag(CXmlNode& node, const char* replacements) {
  if (replacements[0] == '\0') return false;  // no entries: nothing to look for
  const std::string name = LowerCasedAscii(node.GetNameView());
  for (const std::string& busy : replacing_) {
    if (busy == name) return false;
  }
  const std::string key = "," + name + "=";
  const char* found = std::strstr(replacements, key.c_str());
  if (found == nullptr) return false;

  const std::string replacement = ReplacementOf(found + key.size(), node.IsStartTag() != 0);
  root_.ChargeBudget(static_cast<int64_t>(replacement.size()));
  if (!replacement.empty()) {
    const CXmlNode* reference = ReferenceNode(cursor_);
    const bool doublesBreak = reference != nullptr && IsLineBreakMarkup(replacement) &&
                              EqualsIgnoringCase(replacement.c_str(), reference->GetText());
    if (!doublesBreak) {
      ReplacementScope scope(replacing_, name);
      Parse(replacement.c_str(), static_cast<int32_t>(replacement.size()));
    }
  }
  node.GetElement()->SetName("");
  return true;
}

}  // namespace quillmark
