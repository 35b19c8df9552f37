#include "transform/deck_splitter.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "transform/deck_markup.h"
#include "transform/wmlc_encoder.h"

namespace quillmark {
namespace {

// Elements a cut may close and open again on the next card. Deeper nesting
// than kDeepestCut is never cut, which keeps every reopening short.
constexpr std::string_view kReopened[] = {"p", "b", "i", "em", "strong", "u", "big", "small", "fieldset", "table"};
constexpr std::size_t kDeepestCut = 16;
// A chain of cuts is tried again with a smaller card limit at most this often
// when a part still compiles above the deck limit.
constexpr int kRefits = 4;

bool IsReopened(std::string_view name) {
  return std::find(std::begin(kReopened), std::end(kReopened), name) != std::end(kReopened);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// `text` as an attribute value or text of the deck: markup characters as
// references and "$" doubled, since no label or link names a variable.
std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '$': out += "$$"; break;
      default: out += c; break;
    }
  }
  return out;
}

// The WML variables a value refers to: "$name", "$(name)", "$(name:conv)".
void AddVariables(std::string_view value, std::unordered_set<std::string_view>& names) {
  for (std::size_t at = value.find('$'); at != std::string_view::npos; at = value.find('$', at + 1)) {
    std::size_t start = at + 1;
    if (start < value.size() && value[start] == '$') {
      at = start;  // "$$" is a dollar sign
      continue;
    }
    if (start < value.size() && value[start] == '(') ++start;
    std::size_t end = start;
    while (end < value.size() && (std::isalnum(static_cast<unsigned char>(value[end])) || value[end] == '_')) ++end;
    if (end > start) names.insert(value.substr(start, end - start));
  }
}

// A place where a card may end: the text before `at` stays on this card,
// the next card goes on from `resume` with the elements that enclose it
// opened again. Those are kept once for all cuts of a card, as chains from
// the innermost element outward, so that a cut costs no allocation.
struct Cut {
  std::size_t at = 0;
  std::size_t resume = 0;
  uint32_t open = 0;  // innermost enclosing element in CardCuts::chains; 0 for none
};

// For searching cuts by offset: true when `cut` ends its card before `offset`.
bool EndsBefore(const Cut& cut, std::size_t offset) { return cut.at < offset; }

struct OpenElement {
  std::size_t token = 0;  // its start tag
  uint32_t outer = 0;     // the element around it, 0 for none
  // A row: the cells it has begun so far. A cell: the cells before it in
  // its row, which its reopening writes empty so that it keeps its column.
  uint32_t cells = 0;
};

struct CardCuts {
  std::vector<Cut> cuts;
  std::vector<OpenElement> chains{OpenElement{}};  // entry 0 stands for no element
  // Where the card's visible pieces begin, in order: the words of its texts
  // and elements other than the paragraphs, tables, rows, cells, line
  // breaks and text styles that only hold or space them.
  std::vector<std::size_t> visible;
  // Where the card's own back key (a do named "prev") begins, if it has
  // one: the piece that holds it gets no second, as a card's do elements
  // need names of their own.
  std::size_t backKeyAt = SIZE_MAX;

  // The elements enclosing `cut`, outermost first.
  std::vector<OpenElement> Enclosing(const Cut& cut) const {
    std::vector<OpenElement> elements;
    for (uint32_t at = cut.open; at != 0; at = chains[at].outer) elements.push_back(chains[at]);
    std::reverse(elements.begin(), elements.end());
    return elements;
  }
  // True when a visible piece begins in [from, to) of the deck.
  bool ShowsBetween(std::size_t from, std::size_t to) const {
    const auto found = std::lower_bound(visible.begin(), visible.end(), from);
    return found != visible.end() && *found < to;
  }
};

// What FitUnder searches: the compiled size of the piece ending at index j,
// and where j lies in bytes, on the scale that `bytesPerUnit` relates to size.
struct FitSearch {
  std::function<std::size_t(std::size_t)> size;
  std::function<double(std::size_t)> position;
  double bytesPerUnit = 1;
};

// An index j in (first, last] whose size is within `limit`, as large as the
// search finds: it interpolates the sizes measured so far over their
// positions, and stops when a fitting j is within `tolerance` of the limit
// or no index lies between the fitting and the failing one. first + 1 when
// none fits, which then stands alone. Sizes are nearly linear in position,
// so a few measurements suffice; after six it doubles its reach until one
// fails, then bisects, which bounds the count by the logarithm of the
// result's distance from `first` when they are not.
std::size_t FitUnder(std::size_t first, std::size_t last, std::size_t guess, int64_t limit, int64_t tolerance,
                     const FitSearch& search) {
  // Invariant: good fits or is `first`; bad fails or is last + 1.
  std::size_t good = first;
  std::size_t bad = last + 1;
  double goodSize = 0;
  double badSize = 0;
  std::size_t probe = std::clamp(guess, first + 1, last);
  for (int round = 0; bad - good > 1; ++round) {
    const auto size = static_cast<int64_t>(search.size(probe));
    if (size <= limit) {
      good = probe;
      goodSize = static_cast<double>(size);
      if (limit - size <= tolerance) break;
    } else {
      bad = probe;
      badSize = static_cast<double>(size);
    }
    if (bad - good <= 1) break;
    double target = 0;
    if (round >= 6 && bad == last + 1) {
      // Nothing failed yet: reach twice as far past `first`, not halfway to
      // the end, so that finding a part measures about its own size rather
      // than the rest of the deck. Every probe so far fitted: good > first.
      target = 2 * search.position(good) - search.position(first);
    } else if (round >= 6) {
      target = (search.position(good) + search.position(bad)) / 2;
    } else if (bad == last + 1) {
      target = search.position(good) + (static_cast<double>(limit) - goodSize) / search.bytesPerUnit;
    } else if (good == first) {
      target = search.position(bad) - (badSize - static_cast<double>(limit)) / search.bytesPerUnit;
    } else {
      target = search.position(good) + (static_cast<double>(limit) - goodSize) *
                                           (search.position(bad) - search.position(good)) / (badSize - goodSize);
    }
    // The last index at or before the target, strictly between the bounds.
    std::size_t low = good + 1;
    std::size_t high = bad - 1;
    while (low < high) {
      const std::size_t middle = low + (high - low + 1) / 2;
      if (search.position(middle) <= target) {
        low = middle;
      } else {
        high = middle - 1;
      }
    }
    probe = low;
  }
  return good == first ? first + 1 : good;
}

// How close below a limit a cut is good enough: cards and parts then use at
// least about 98% of what the phone takes.
int64_t Tolerance(int64_t limit) { return std::max<int64_t>(8, limit / 64); }

// One card of the deck being cut: its text and id.
struct CardText {
  std::string text;
  std::string id;
  bool linksOn = false;  // it ends with a link to the next card of its chain
  std::size_t alone = 0;  // its size compiled as a deck of its own; 0 when not measured
};

class DeckSplitter {
 public:
  DeckSplitter(std::string_view deck, const DeckLimits& limits, const PartLinks& links)
      : deck_(deck),
        limits_(limits),
        links_(links),
        nextLabel_(Escaped(limits.nextLabel)),
        backLabel_(Escaped(limits.backLabel)),
        tokens_(ReadDeckMarkup(deck)) {}

  std::vector<std::string> Run();

 private:
  std::size_t Offset(std::size_t token) const {
    return static_cast<std::size_t>(tokens_[token].text.data() - deck_.data());
  }
  std::size_t EndOffset(std::size_t token) const { return Offset(token) + tokens_[token].text.size(); }
  std::size_t CompiledAlone(std::string_view card) const;
  std::size_t Compiled(std::string_view deck) const { return CompiledWmlcSize(deck); }
  // The link to the next card or part: `href` (escaped) with the next label.
  std::string NextLink(std::string_view href) const {
    return std::string("<a href=\"").append(href).append("\">").append(nextLabel_).append("</a>");
  }
  bool FindCards();
  CardCuts CutsOf(std::size_t card) const;
  void GlueForms(std::size_t card, std::vector<Cut>& cuts) const;
  std::string FreshId(std::string_view base);
  std::string ChainCard(std::size_t card, const CardCuts& cuts, std::size_t from, std::size_t to,
                        std::string_view id, std::string_view nextId) const;
  bool CutCard(std::size_t card, int64_t limit, std::vector<CardText>& out);
  using PartOf = std::function<int64_t(std::size_t)>;
  std::string CardInPart(const std::vector<CardText>& cards, std::size_t i, std::size_t to, int64_t number,
                         const PartOf& partOf) const;
  // Part `number` of cards [from, to); `written(i, text)` sees each card as
  // the part writes it.
  template <typename Written>
  std::string Part(const std::vector<CardText>& cards, std::size_t from, std::size_t to, int64_t number,
                   const PartOf& partOf, Written written) const;
  std::string Part(const std::vector<CardText>& cards, std::size_t from, std::size_t to, int64_t number,
                   const PartOf& partOf) const {
    return Part(cards, from, to, number, partOf, [](std::size_t, const std::string&) {});
  }
  std::vector<std::string> Parts(const std::vector<CardText>& cards, int64_t cardLimit, int64_t& fitAlone,
                                 int64_t& cardFitAlone);

  std::string_view deck_;
  DeckLimits limits_;
  PartLinks links_;
  std::string nextLabel_;  // the labels, escaped as the deck's text
  std::string backLabel_;
  std::vector<MarkupToken> tokens_;
  std::vector<std::size_t> cards_;  // start tokens of the deck's cards
  std::string_view shortPrologue_;  // declarations and the wml start tag
  std::string_view prologue_;       // all before the first card
  std::string_view epilogue_;       // all after the last card
  std::unordered_set<std::string> ids_;
  std::unordered_map<std::string, int64_t> nextNumber_;  // by base: where FreshId's search goes on
  std::unordered_map<std::string_view, std::size_t> cardOf_;  // card index by id, while parting
};

bool DeckSplitter::FindCards() {
  std::size_t wml = 0;
  while (wml < tokens_.size() && !(tokens_[wml].kind == MarkupKind::kStart && tokens_[wml].name == "wml")) ++wml;
  if (wml == tokens_.size() || tokens_[wml].end == wml) return false;
  // Invariant: `child` is a child of the wml element.
  for (std::size_t child = wml + 1; child < tokens_[wml].end; ++child) {
    const MarkupToken& token = tokens_[child];
    if (token.kind == MarkupKind::kStart && token.name == "card" && token.end != child) cards_.push_back(child);
    if (token.kind == MarkupKind::kStart && token.end != child) child = token.end;
  }
  if (cards_.empty()) return false;
  for (std::size_t card : cards_) {
    const std::string_view id = AttributeOf(tokens_[card].text, "id");
    if (!id.empty()) ids_.insert(std::string(id));
  }
  shortPrologue_ = deck_.substr(0, EndOffset(wml));
  prologue_ = deck_.substr(0, Offset(cards_.front()));
  epilogue_ = deck_.substr(EndOffset(tokens_[cards_.back()].end));
  return true;
}

std::size_t DeckSplitter::CompiledAlone(std::string_view card) const {
  std::string deck;
  deck.reserve(shortPrologue_.size() + card.size() + 8);
  deck.append(shortPrologue_).append(card).append("</wml>");
  return Compiled(deck);
}

// The name of the do element whose start tag is `tag`: its name, or its
// type when it has none.
std::string_view DoName(std::string_view tag) {
  const std::string_view name = AttributeOf(tag, "name");
  return name.empty() ? AttributeOf(tag, "type") : name;
}

// True for the elements that only hold, space or style what is shown.
bool OnlyHolds(std::string_view name) {
  return IsReopened(name) || name == "tr" || name == "td" || name == "br";
}

CardCuts DeckSplitter::CutsOf(std::size_t card) const {
  const std::size_t end = tokens_[card].end;
  CardCuts result;
  std::vector<Cut>& cuts = result.cuts;
  std::vector<OpenElement>& chains = result.chains;
  cuts.push_back(Cut{EndOffset(card), EndOffset(card), 0});
  uint32_t open = 0;       // the innermost reopened element around token `at`
  std::size_t depth = 0;   // how many enclose it
  bool keepWithNext = false;  // an onevent or timer stays with what follows
  const auto innermost = [&]() -> std::string_view { return open == 0 ? std::string_view() : tokens_[chains[open].token].name; };
  // Invariant: `open` and its outer chain are the reopened elements enclosing token `at`.
  for (std::size_t at = card + 1; at < end; ++at) {
    const MarkupToken& token = tokens_[at];
    if (token.kind == MarkupKind::kEnd) {
      if (open != 0 && tokens_[chains[open].token].end == at) {
        open = chains[open].outer;
        --depth;
      }
      continue;
    }
    if (token.kind == MarkupKind::kText) {
      const std::string_view text = token.text;
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsBlank(text[i]) && (i == 0 || IsBlank(text[i - 1]))) result.visible.push_back(Offset(at) + i);
      }
      // Between a table's rows and cells a cut would move the next cell
      // into another column.
      if (open == 0 || innermost() == "table" || innermost() == "tr") continue;
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsBlank(text[i])) continue;
        std::size_t j = i;
        while (j < text.size() && IsBlank(text[j])) ++j;
        cuts.push_back(Cut{Offset(at) + i, Offset(at) + j, open});
        i = j;
      }
      continue;
    }
    const bool element = token.kind == MarkupKind::kStart || token.kind == MarkupKind::kEmpty;
    if (element && !OnlyHolds(token.name)) result.visible.push_back(Offset(at));
    if (element && open == 0 && at > card + 1 && !keepWithNext) cuts.push_back(Cut{Offset(at), Offset(at), 0});
    if (element && innermost() == "table" && token.name == "tr") cuts.push_back(Cut{Offset(at), Offset(at), open});
    if (open == 0) keepWithNext = token.name == "onevent" || token.name == "timer";
    if (element && token.name == "do" && DoName(token.text) == "prev") result.backKeyAt = Offset(at);
    if (token.kind == MarkupKind::kEmpty && token.name == "br" && open != 0) {
      cuts.push_back(Cut{EndOffset(at), EndOffset(at), open});
    }
    if (token.kind != MarkupKind::kStart || token.end == at) continue;
    // Inside a table only its rows, and inside a row only its cells, are
    // closed and opened again around a cut.
    const std::string_view outer = innermost();
    bool reopened = IsReopened(token.name) && (token.name == "p") == (open == 0);
    if (outer == "table") reopened = token.name == "tr";
    if (outer == "tr") reopened = token.name == "td";
    if (!reopened || depth >= kDeepestCut) {
      if (OnlyHolds(token.name)) result.visible.push_back(Offset(at));
      at = token.end;  // nothing inside is cut
      continue;
    }
    const uint32_t cellsBefore = token.name == "td" ? chains[open].cells++ : 0;
    chains.push_back(OpenElement{at, open, cellsBefore});
    open = static_cast<uint32_t>(chains.size() - 1);
    ++depth;
  }
  cuts.push_back(Cut{Offset(end), Offset(end), 0});
  GlueForms(card, cuts);
  return result;
}

// Drops the cuts between a form control and the go that posts its value.
void DeckSplitter::GlueForms(std::size_t card, std::vector<Cut>& cuts) const {
  const std::size_t end = tokens_[card].end;
  // The nearest go after each token that posts a variable, by name.
  std::unordered_map<std::string_view, std::size_t> postedBy;
  std::vector<std::pair<std::size_t, std::size_t>> glued;  // offsets [from, to)
  std::unordered_set<std::string_view> names;
  for (std::size_t at = end; at-- > card + 1;) {
    const MarkupToken& token = tokens_[at];
    if (token.kind == MarkupKind::kEnd || token.kind == MarkupKind::kText) continue;
    if (token.name == "postfield" || token.name == "setvar") AddVariables(AttributeOf(token.text, "value"), names);
    if (token.name == "go") {
      for (std::string_view name : names) postedBy[name] = at;
      names.clear();
    }
    if (token.name != "input" && token.name != "select") continue;
    for (std::string_view attribute : {"name", "iname"}) {
      const auto go = postedBy.find(AttributeOf(token.text, attribute));
      if (go != postedBy.end()) glued.emplace_back(Offset(at), Offset(go->second));
    }
  }
  if (glued.empty()) return;
  // A cut survives when no glued span holds it (the first and last always do).
  std::vector<int> cover(cuts.size() + 1, 0);
  for (const auto& [from, to] : glued) {
    const std::size_t lo = static_cast<std::size_t>(std::lower_bound(cuts.begin(), cuts.end(), from + 1, EndsBefore) - cuts.begin());
    const std::size_t hi = static_cast<std::size_t>(std::lower_bound(cuts.begin(), cuts.end(), to + 1, EndsBefore) - cuts.begin());
    cover[lo] += 1;
    cover[hi] -= 1;
  }
  std::vector<Cut> kept;
  int depth = 0;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    depth += cover[i];
    if (depth == 0 || i == 0 || i + 1 == cuts.size()) kept.push_back(std::move(cuts[i]));
  }
  cuts = std::move(kept);
}

std::string DeckSplitter::FreshId(std::string_view base) {
  // Ids are only ever added, so every number below the one this base took
  // last is still taken: the search goes on from there, and a card cut into
  // many costs time in the count of its pieces, not its square.
  int64_t& n = nextNumber_.try_emplace(std::string(base), 2).first->second;
  for (;; ++n) {
    std::string id = std::string(base) + "-" + std::to_string(n);
    if (ids_.insert(id).second) {
      ++n;
      return id;
    }
  }
}

std::string DeckSplitter::ChainCard(std::size_t card, const CardCuts& cuts, std::size_t from, std::size_t to,
                                    std::string_view id, std::string_view nextId) const {
  const std::string_view cardTag = tokens_[card].text;
  std::string text;
  if (from == 0) {
    text.append(cardTag);
  } else {
    text.append("<card id=\"").append(id).append("\"");
    const std::string_view title = AttributeOf(cardTag, "title");
    if (!title.empty()) text.append(" title=\"").append(title).append("\"");
    text.append(">");
  }
  for (const OpenElement& open : cuts.Enclosing(cuts.cuts[from])) {
    for (uint32_t cell = 0; cell < open.cells && tokens_[open.token].name == "td"; ++cell) text.append("<td/>");
    text.append(tokens_[open.token].text);
  }
  text.append(deck_.substr(cuts.cuts[from].resume, cuts.cuts[to].at - cuts.cuts[from].resume));
  std::vector<std::size_t> open;
  for (const OpenElement& element : cuts.Enclosing(cuts.cuts[to])) open.push_back(element.token);
  const bool inParagraph = !open.empty() && tokens_[open.front()].name == "p";
  // Invariant: open[0, depth) are still open in the text.
  for (std::size_t depth = open.size(); depth > 0; --depth) {
    if (depth == 1 && inParagraph && !nextId.empty()) {
      if (!text.ends_with("<br/>")) text.append("<br/>");
      text.append(NextLink("#" + std::string(nextId)));
    }
    text.append("</").append(tokens_[open[depth - 1]].name).append(">");
  }
  if (!inParagraph && !nextId.empty()) {
    text.append("\r\n<p>").append(NextLink("#" + std::string(nextId))).append("</p>");
  }
  const bool ownBackKey = cuts.cuts[from].resume <= cuts.backKeyAt && cuts.backKeyAt < cuts.cuts[to].at;
  if (!ownBackKey) text.append("\r\n<do type=\"prev\" label=\"").append(backLabel_).append("\"><prev/></do>");
  text.append("\r\n</card>");
  return text;
}

// Appends the cards that `card` becomes under `limit`; true when it was cut.
bool DeckSplitter::CutCard(std::size_t card, int64_t limit, std::vector<CardText>& out) {
  const std::string_view whole = deck_.substr(Offset(card), EndOffset(tokens_[card].end) - Offset(card));
  const std::string_view originalId = AttributeOf(tokens_[card].text, "id");
  const std::size_t wholeSize = limit > 0 ? CompiledAlone(whole) : 0;
  if (static_cast<int64_t>(wholeSize) <= limit) {
    out.push_back(CardText{std::string(whole), std::string(originalId), false, wholeSize});
    return false;
  }
  const CardCuts cardCuts = CutsOf(card);
  const std::vector<Cut>& cuts = cardCuts.cuts;
  const std::size_t last = cuts.size() - 1;
  const std::string base = originalId.empty() ? std::string("card") : std::string(originalId);
  std::string id(originalId);
  std::string nextId = FreshId(base);
  // A card compiles to about `overhead` plus `ratio` bytes per byte of its
  // content; the model is corrected after each card, to guess where the next
  // one ends.
  const double overhead = static_cast<double>(CompiledAlone(ChainCard(card, cardCuts, last, last, nextId, nextId)));
  double ratio = std::max(0.05, (static_cast<double>(wholeSize) - overhead) /
                                    static_cast<double>(std::max<std::size_t>(whole.size(), 1)));
  // Invariant: the card's text up to cuts[from] is on the cards in `out`.
  for (std::size_t from = 0; from < last;) {
    const auto text = [&](std::size_t to) {
      return ChainCard(card, cardCuts, from, to, id, to == last ? std::string_view() : std::string_view(nextId));
    };
    std::vector<std::pair<std::size_t, std::size_t>> sizes;  // compiled size by end cut
    FitSearch search;
    search.size = [&](std::size_t to) {
      sizes.emplace_back(to, CompiledAlone(text(to)));
      return sizes.back().second;
    };
    search.position = [&](std::size_t to) { return static_cast<double>(cuts[to].at); };
    search.bytesPerUnit = ratio;
    const double room = std::max(0.0, static_cast<double>(limit) - overhead);
    const std::size_t reach = cuts[from].resume + static_cast<std::size_t>(room / ratio);
    const std::size_t guess =
        static_cast<std::size_t>(std::lower_bound(cuts.begin() + static_cast<std::ptrdiff_t>(from + 1), cuts.end(),
                                                  reach, EndsBefore) - cuts.begin()) - 1;
    std::size_t to = FitUnder(from, last, guess, limit, Tolerance(limit), search);
    // A card that would show nothing takes the piece after it, which is too
    // large for a card of its own; a rest that would show nothing stays on
    // this card when they fit together.
    while (to < last && !cardCuts.ShowsBetween(cuts[from].resume, cuts[to].at)) ++to;
    if (to < last && !cardCuts.ShowsBetween(cuts[to].resume, cuts[last].at) &&
        static_cast<int64_t>(search.size(last)) <= limit) {
      to = last;
    }
    std::string chosen = text(to);
    const auto known = std::find_if(sizes.begin(), sizes.end(), [&](const auto& entry) { return entry.first == to; });
    const std::size_t size = known != sizes.end() ? known->second : CompiledAlone(chosen);
    const std::size_t content = cuts[to].at - cuts[from].resume;
    if (content > 64 && static_cast<double>(size) > overhead) {
      ratio = std::max(0.05, (static_cast<double>(size) - overhead) / static_cast<double>(content));
    }
    out.push_back(CardText{std::move(chosen), id, to != last, size});
    from = to;
    id = nextId;
    if (from < last) nextId = FreshId(base);
  }
  return true;
}

// True when offset `at` of `text` is inside a tag.
bool InsideTag(std::string_view text, std::size_t at) {
  const std::size_t open = text.rfind('<', at);
  const std::size_t close = text.rfind('>', at);
  return open != std::string_view::npos && (close == std::string_view::npos || close < open);
}

// Card `i` of `cards` as part `number`, which ends before card `to`, writes
// it: its links to a card in another part lead to that part, and the last
// card of a part but the last links to the next part.
std::string DeckSplitter::CardInPart(const std::vector<CardText>& cards, std::size_t i, std::size_t to,
                                     int64_t number, const PartOf& partOf) const {
  std::string card = cards[i].text;
  for (std::size_t at = card.find("=\"#"); at != std::string::npos; at = card.find("=\"#", at + 3)) {
    const std::size_t close = card.find('"', at + 3);
    if (close == std::string::npos) break;
    const auto target = cardOf_.find(std::string_view(card).substr(at + 3, close - at - 3));
    if (target == cardOf_.end() || partOf(target->second) == number || !InsideTag(card, at)) continue;
    const std::string link = Escaped(links_.Link(partOf(target->second)));
    card.insert(at + 2, link);
    at += link.size();
  }
  if (i + 1 == to && to < cards.size() && !cards[i].linksOn) {
    const std::string link = NextLink(Escaped(links_.Link(number + 1)));
    const std::size_t paragraphEnd = card.rfind("</p>");
    if (paragraphEnd != std::string::npos) {
      card.insert(paragraphEnd, (card.compare(paragraphEnd - 5, 5, "<br/>") == 0 ? "" : "<br/>") + link);
    } else {
      card.insert(card.rfind("</card>"), "<p>" + link + "</p>\r\n");
    }
  }
  return card;
}

template <typename Written>
std::string DeckSplitter::Part(const std::vector<CardText>& cards, std::size_t from, std::size_t to,
                               int64_t number, const PartOf& partOf, Written written) const {
  std::string text(prologue_);
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) text.append("\r\n");
    const std::string card = CardInPart(cards, i, to, number, partOf);
    written(i, card);
    text.append(card);
  }
  text.append(epilogue_);
  return text;
}

// The parts that `cards` make under the deck limit. A part of a single card
// may still be above it, with the part's head and links: `fitAlone` becomes
// the size, compiled alone, below which every such card would fit (else
// `cardLimit`). A card whose links the parting made longer may be above the
// card limit: `cardFitAlone` becomes, the same way, the size below which
// every such card would keep to it. A card above `cardLimit` holds a piece
// that cannot be cut: cutting the cards smaller mends neither for it.
std::vector<std::string> DeckSplitter::Parts(const std::vector<CardText>& cards, int64_t cardLimit,
                                             int64_t& fitAlone, int64_t& cardFitAlone) {
  fitAlone = cardLimit;
  cardFitAlone = cardLimit;
  cardOf_.clear();
  for (std::size_t i = 0; i < cards.size(); ++i) {
    if (!cards[i].id.empty()) cardOf_.emplace(cards[i].id, i);
  }
  const int64_t limit = limits_.maxDeckSize;
  if (limit <= 0) return {Part(cards, 0, cards.size(), 1, [](std::size_t) { return int64_t{1}; })};
  std::vector<int64_t> partOf(cards.size(), 1);
  // What each card adds to a deck, to guess how many fit.
  const int64_t empty = static_cast<int64_t>(Compiled(std::string(prologue_) + std::string(epilogue_)));
  const int64_t bare = static_cast<int64_t>(Compiled(std::string(shortPrologue_) + "</wml>"));
  std::vector<int64_t> adds(cards.size());
  std::vector<int64_t> reach(cards.size() + 1, 0);  // the sum of what cards before each add
  for (std::size_t i = 0; i < cards.size(); ++i) {
    const std::size_t alone = cards[i].alone != 0 ? cards[i].alone : CompiledAlone(cards[i].text);
    adds[i] = static_cast<int64_t>(alone) - bare;
    reach[i + 1] = reach[i] + std::max<int64_t>(adds[i], 1);
  }
  std::vector<std::size_t> starts;
  // Invariant: cards before `from` are in parts 1 .. starts.size().
  for (std::size_t from = 0; from < cards.size();) {
    const int64_t number = static_cast<int64_t>(starts.size()) + 1;
    starts.push_back(from);
    std::size_t guess = from;
    for (int64_t sum = empty; guess < cards.size() && sum + adds[guess] <= limit; ++guess) sum += adds[guess];
    // Cards after the candidate part are taken to be in the next one.
    FitSearch search;
    search.size = [&](std::size_t to) {
      const auto candidate = [&](std::size_t i) { return i < from ? partOf[i] : i < to ? number : number + 1; };
      return Compiled(Part(cards, from, to, number, candidate));
    };
    search.position = [&](std::size_t to) { return static_cast<double>(reach[to]); };
    const std::size_t to = FitUnder(from, cards.size(), guess, limit, Tolerance(limit), search);
    std::fill(partOf.begin() + static_cast<std::ptrdiff_t>(from), partOf.begin() + static_cast<std::ptrdiff_t>(to), number);
    from = to;
  }
  const auto settled = [&](std::size_t i) { return partOf[i]; };
  std::vector<std::string> parts;
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const std::size_t to = k + 1 < starts.size() ? starts[k + 1] : cards.size();
    parts.push_back(Part(cards, starts[k], to, static_cast<int64_t>(k) + 1, settled,
                         [&](std::size_t i, const std::string& card) {
                           const auto alone = static_cast<int64_t>(cards[i].alone);
                           if (limits_.maxCardSize <= 0 || alone > cardLimit || card.size() == cards[i].text.size()) {
                             return;
                           }
                           const int64_t over = static_cast<int64_t>(CompiledAlone(card)) - limits_.maxCardSize;
                           if (over > 0) cardFitAlone = std::min(cardFitAlone, alone - over);
                         }));
    const int64_t over = static_cast<int64_t>(Compiled(parts.back())) - limit;
    const auto alone = static_cast<int64_t>(cards[starts[k]].alone);
    if (over > 0 && to - starts[k] == 1 && alone <= cardLimit) fitAlone = std::min(fitAlone, alone - over);
  }
  return parts;
}

std::vector<std::string> DeckSplitter::Run() {
  if (!limits_.Any() || !FindCards()) return {std::string(deck_)};
  if ((limits_.maxDeckSize <= 0 || static_cast<int64_t>(Compiled(deck_)) <= limits_.maxDeckSize) &&
      limits_.maxCardSize <= 0) {
    return {std::string(deck_)};
  }
  int64_t cardLimit = limits_.maxCardSize;
  if (limits_.maxDeckSize > 0 && (cardLimit <= 0 || cardLimit > limits_.maxDeckSize)) cardLimit = limits_.maxDeckSize;
  const std::unordered_set<std::string> ids = ids_;
  std::vector<std::string> parts;
  // A card alone in its part may still compile above the deck limit once the
  // part's head and links are added: cut the cards smaller and try again.
  for (int attempt = 0; attempt <= kRefits; ++attempt) {
    ids_ = ids;
    nextNumber_.clear();
    std::vector<CardText> cards;
    bool cut = false;
    for (std::size_t card : cards_) cut = CutCard(card, cardLimit, cards) || cut;
    int64_t fitAlone = 0;
    int64_t cardFitAlone = 0;
    parts = Parts(cards, cardLimit, fitAlone, cardFitAlone);
    // A part of one card may be above the deck limit with its head (also a
    // deck of one card that was not cut), and a card above the card limit
    // with the links its part writes: the cards are then cut smaller. The
    // refit's cards get those links again; a small margin covers a part
    // number that grows by a digit.
    int64_t refit = cardLimit;
    if (fitAlone < cardLimit) refit = fitAlone - 16;
    if (cardFitAlone < cardLimit) refit = std::min(refit, cardFitAlone - 4);
    if (refit < cardLimit && refit > 0) {
      cardLimit = refit;
      continue;
    }
    if (parts.size() == 1 && !cut) return {std::string(deck_)};
    break;
  }
  return parts;
}

}  // namespace

std::string PartLinks::Link(int64_t part) const {
  if (part == 1 && !first.empty()) return std::string(first);
  const std::string number = std::to_string(part);
  std::string link;
  std::size_t at = 0;
  // Invariant: pattern[0, at) is in `link` with each "{n}" replaced.
  for (std::size_t hole = pattern.find("{n}"); hole != std::string_view::npos; hole = pattern.find("{n}", at)) {
    link.append(pattern.substr(at, hole - at)).append(number);
    at = hole + 3;
  }
  return link.append(pattern.substr(at));
}

std::vector<std::string> SplitDeck(std::string_view deck, const DeckLimits& limits, const PartLinks& links) {
  return DeckSplitter(deck, limits, links).Run();
}

}  // namespace quillmark
