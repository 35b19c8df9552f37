// What the configuration reader notes while it reads a file for a tool:
// the lines of pairs it ignores, cuts or reads otherwise than they seem to
// say (see ConfigurationNote). Only the reader includes this.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/configuration.h"

namespace quillmark {

// How the scan of one value ended.
struct ValueScan {
  char* resume;                // where the scan of the text goes on
  bool commentInWord = false;  // "//" right after a character cut the value
  bool closingQuote = false;   // a quoted value ended at its closing quote
  bool openQuote = false;      // a quoted value ran to its line's end without one
};

// Notes on one text, by line. The text is read in place and cut into keys
// and values as it goes, so its line ends are found once, before that.
class ConfigurationNoteTaker {
 public:
  ConfigurationNoteTaker(const char* text, std::vector<ConfigurationNote>& notes);
  ConfigurationNoteTaker(const ConfigurationNoteTaker&) = delete;
  ConfigurationNoteTaker& operator=(const ConfigurationNoteTaker&) = delete;

  // The line of the text's byte at `at`.
  int LineOf(const char* at) const;
  // A line whose quoted value closed too early gets that note alone: the
  // rest of it is read as pairs that were never meant.
  void Note(int line, std::string text) {
    if (line != quietLine_) notes_.push_back(ConfigurationNote{line, std::move(text)});
  }
  void Note(const char* at, std::string text) { Note(LineOf(at), std::move(text)); }
  // Notes the text [begin, end) that holds no "=", unless it is blank or a
  // comment ("//", or "#" as other formats write one).
  void NoteFragment(const char* begin, const char* end);
  // Notes text after a quoted value's closing quote at `resume`, other than
  // blanks, ";" or a comment, which the reader takes as further pairs.
  // The pair of `key` stands on `line`.
  void NoteAfterQuote(const char* resume, int line, const char* key);
  // Puts the notes taken in line order, once the whole text is read; notes
  // of one line keep the order they were taken in.
  void SortByLine();

  // What the file defined so far, for the notes on later lines.
  std::unordered_map<std::string, int> groupLines;  // upper-cased name -> first line
  std::vector<int> deviceLines;                     // by place in deviceTable
  int defaultDeviceLine = 0;
  // A GROUP value that named no group above it, looked at again once the
  // whole file is read.
  struct UnfoundGroup {
    int line;
    std::string name;
    std::string text;  // the note without what the rest of the file tells
  };
  std::vector<UnfoundGroup> unfoundGroups;

 private:
  const char* text_;
  std::vector<std::size_t> lineEnds_;  // offsets of the text's line feeds
  std::vector<ConfigurationNote>& notes_;
  std::size_t firstNote_;
  int quietLine_ = 0;
};

}  // namespace quillmark
