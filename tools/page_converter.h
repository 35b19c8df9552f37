// Conversion through the library's exported C interface.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::tools {

// The deck for `page` and the device `device` selects (none: the default
// device); `charset` is the page's charset as its source told it ("" when
// unknown). nullopt when the page cannot be converted: too large for the
// library's 32-bit lengths, or past its conversion budget.
std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device,
                                         const std::string& charset = "");

// The form and part of a deck to convert.
struct DeckForm {
  bool wmlc = false;          // compiled WMLC instead of WML text
  int32_t part = 1;           // from 1
  std::string partLink;       // the parts' address, "{n}" for the number ("": the library's own)
  std::string firstPartLink;  // part 1's address ("": partLink's)
};

struct ConvertedDeck {
  std::string body;
  int32_t parts = 1;  // how many parts the page's deck has
};

// One part of the deck for `page`, in the form `form` asks for; nullopt when
// the page cannot be converted or has no such part (ConversionFailureText
// says why).
std::optional<ConvertedDeck> ConvertDeck(const std::string& page, const std::optional<std::string>& device,
                                         const std::string& charset, const DeckForm& form);

// The file of part `part` of the deck written to `name`: the name itself for
// part 1, NAME-2.wml (its stem, "-", the number, its extension) and so on.
std::string PartFileName(const std::string& name, int32_t part);

struct DeckFile {
  std::string path;
  std::string body;
};

// Every part of the deck for `page`, in the form `form` asks for (its part
// number is not read), from one conversion; nullopt when the page cannot be
// converted (ConversionFailureText says why).
std::optional<std::vector<std::string>> ConvertDeckParts(const std::string& page,
                                                        const std::optional<std::string>& device,
                                                        const std::string& charset, const DeckForm& form);

// Every part of the deck for `page` as files named after `target` by
// PartFileName, each part linking to the next by its file name.
std::optional<std::vector<DeckFile>> ConvertToDeckFiles(const std::string& page, const std::optional<std::string>& device,
                                                         const std::string& charset, bool wmlc,
                                                         const std::string& target);

// Why a page's parts may not be written when another file is written to
// one of their names ("a-2.html"'s deck, or a copied "a-2.wml", beside the
// parts of "a.html"): "its part N would be written to PATH, ...", or
// nullopt when none of its later parts is in `taken`, the paths every other
// file of the run is written to.
std::optional<std::string> PartsOverwritingOthers(const std::vector<DeckFile>& files,
                                                  const std::set<std::string>& taken);

// Why the last ConvertToDeck on this thread gave nothing, as one phrase.
std::string ConversionFailureText();

// The charset parameter of a Content-Type value ("" when it has none).
std::string CharsetOfContentType(std::string_view contentType);

// The media type of a deck: text/vnd.wap.wml with the charset its XML
// declaration names (UTF-8 when it names none).
std::string DeckMediaType(std::string_view deck);

// What a client gets for a converted page.
struct ConvertedPage {
  std::string mediaType;
  std::string body;
  std::string device;  // the device's name, "(default)" for the built-in one
};

// The answer's body and media type for `page`, converted for the device that
// `userAgent` selects, in the form the client's `accept` header asks for:
// WMLC when it prefers application/vnd.wap.wmlc to text/vnd.wap.wml, else
// WML text. `parts` names the part wanted and where the parts are served
// (its `wmlc` is not used). Every choice of what a converted answer looks
// like is made here; nullopt when the page cannot be converted or has no
// such part.
std::optional<ConvertedPage> ConvertPage(const std::string& page, const std::optional<std::string>& userAgent,
                                         const std::string& accept, const std::string& charset = "",
                                         const DeckForm& parts = DeckForm{});


// Name of the device that `device` selects under the configuration in force;
// "" for the built-in default device, which has no name.
std::string SelectedDeviceName(const std::optional<std::string>& device);

}  // namespace quillmark::tools
