#include "transform/wmlc_encoder.h"

#include <string>
#include <vector>

#include "base/case_folding.h"
#include "transform/wml_deck_reader.h"
#include "transform/wml_tokens.h"
#include "transform/wmlc_string_table.h"

namespace quillmark {
namespace {

using wmlc::DeckNode;
using wmlc::Piece;
using wmlc::PieceKind;
using wmlc::StringTable;
using wmlc::WbxmlBytes;

// Compiles decks one after another. For each, the deck is read, every
// string is counted so that the string table can be chosen, and the same
// walk then writes the tokens. The reader's and the table's storage is kept
// from one deck to the next.
class WmlcCompiler {
 public:
  std::string Compile(std::string_view wml, uint32_t charset) {
    deck_ = &reader_.Read(wml, charset);
    CountStrings();
    table_.Choose();
    // A deck's text bounds its compiled form well.
    WbxmlBytes out(wml.size() + 16);
    out.Byte(wmlc::kVersion13);
    out.MultiByte(deck_->publicIdentifier);
    out.MultiByte(deck_->charset);
    out.MultiByte(static_cast<uint32_t>(table_.Bytes().size()));
    out.Append(table_.Bytes());
    WriteNodes(out);
    return out.Take();
  }

 private:
  void CountPieces(uint32_t first, uint32_t end) {
    for (uint32_t i = first; i < end; ++i) {
      const Piece& piece = deck_->pieces[i];
      if (piece.kind == PieceKind::kText) table_.CountText(piece.text);
      if (piece.kind == PieceKind::kVariable) table_.CountVariable(piece.text);
    }
  }

  void CountStrings() {
    std::size_t bytes = 0;
    for (const Piece& piece : deck_->pieces) bytes += piece.text.size();
    table_.Reset(deck_->pieces.size(), bytes, deck_->charset);
    for (uint32_t i = 0; i < deck_->nodes.size(); ++i) {
      const DeckNode& node = deck_->nodes[i];
      if (node.dropped) continue;
      if (node.name.empty()) {
        CountPieces(node.first, node.end);
        continue;
      }
      if (node.tagToken == wmlc::kLiteral) table_.Require(node.name);
      for (uint32_t a = node.first; a < node.end; ++a) {
        const wmlc::TokenizedAttribute& attribute = deck_->attributes[a];
        if (attribute.startToken == wmlc::kLiteral) table_.Require(attribute.name);
        CountPieces(attribute.firstPiece, attribute.endPiece);
      }
    }
  }

  void WritePieces(WbxmlBytes& out, uint32_t first, uint32_t end) {
    for (uint32_t i = first; i < end; ++i) {
      const Piece& piece = deck_->pieces[i];
      switch (piece.kind) {
        case PieceKind::kText:
          table_.WriteText(out, piece.text);
          break;
        case PieceKind::kEntity:
          out.Byte(wmlc::kEntity);
          out.MultiByte(piece.number);
          break;
        case PieceKind::kVariable:
          table_.WriteVariable(out, piece.text, static_cast<wmlc::Conversion>(piece.number));
          break;
        case PieceKind::kValueToken:
          out.Byte(static_cast<uint8_t>(piece.number));
          break;
      }
    }
  }

  void WriteElement(WbxmlBytes& out, const DeckNode& node, uint8_t token) {
    const bool hasAttributes = node.first != node.end;
    uint8_t bits = 0;
    if (node.hasContent) bits |= wmlc::kContentBit;
    if (hasAttributes) bits |= wmlc::kAttributesBit;
    if (token == wmlc::kLiteral) {
      table_.WriteLiteral(out, static_cast<uint8_t>(token | bits), node.name);
    } else {
      out.Byte(static_cast<uint8_t>(token | bits));
    }
    if (!hasAttributes) return;
    for (uint32_t a = node.first; a < node.end; ++a) {
      const wmlc::TokenizedAttribute& attribute = deck_->attributes[a];
      if (attribute.startToken == wmlc::kLiteral) {
        table_.WriteLiteral(out, wmlc::kLiteral, attribute.name);
      } else {
        out.Byte(attribute.startToken);
      }
      WritePieces(out, attribute.firstPiece, attribute.endPiece);
    }
    out.Byte(wmlc::kEnd);
  }

  void WriteNodes(WbxmlBytes& out) {
    // Elements whose content is being written; each gets its END when the
    // walk leaves its subtree.
    std::vector<uint32_t>& open = open_;
    open.clear();
    for (uint32_t i = 0; i < deck_->nodes.size(); ++i) {
      while (!open.empty() && deck_->nodes[open.back()].subtreeEnd <= i) {
        out.Byte(wmlc::kEnd);
        open.pop_back();
      }
      const DeckNode& node = deck_->nodes[i];
      if (node.dropped) continue;
      if (node.name.empty()) {
        WritePieces(out, node.first, node.end);
        continue;
      }
      WriteElement(out, node, node.tagToken);
      if (node.hasContent) open.push_back(i);
    }
    out.Repeat(open.size(), wmlc::kEnd);
  }

  wmlc::WmlDeckReader reader_;
  const wmlc::ReadDeck* deck_ = nullptr;  // the reader's, while compiling
  StringTable table_;
  std::vector<uint32_t> open_;
};

// Decks up to this size are compiled by a compiler that each thread keeps,
// so that a thread compiling deck after deck reuses its memory instead of
// taking fresh pages from the system for each one. What a thread keeps is
// what the largest of them needed, about 18 bytes a deck byte: at most
// some 5 MB. Larger decks get a compiler of their own.
constexpr std::size_t kLargestReusingDeck = std::size_t{256} << 10;

// Compiles text that holds no NUL byte.
std::string CompileWithoutNul(std::string_view wml, uint32_t charset) {
  if (wml.size() > kLargestReusingDeck) return WmlcCompiler().Compile(wml, charset);
  thread_local WmlcCompiler compiler;
  return compiler.Compile(wml, charset);
}

}  // namespace

std::string CompileWmlc(std::string_view wml, uint32_t charset) {
  // Every string a compiled deck holds ends at a NUL byte, and XML allows
  // none in a document: the compiler drops them, as the deck writer does.
  if (wml.find('\0') == std::string_view::npos) return CompileWithoutNul(wml, charset);
  std::string clean(wml);
  std::erase(clean, '\0');
  return CompileWithoutNul(clean, charset);
}

std::size_t CompiledWmlcSize(std::string_view wml, uint32_t charset) { return CompileWmlc(wml, charset).size(); }

uint32_t WmlcCharsetOf(std::string_view name) {
  if (name.empty()) return kWmlcUtf8;
  for (const wmlc::CharsetNumber& charset : wmlc::kCharsetNumbers) {
    if (EqualsIgnoringCase(charset.name, name)) return charset.mib;
  }
  return kWmlcUnknownCharset;
}

}  // namespace quillmark
