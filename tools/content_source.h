// Where the server's answers come from: files below a root folder, or an
// origin server. A source only fetches; the server converts pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/header_list.h"

namespace quillmark::tools {

struct SourceRequest {
  std::string method = "GET";
  std::string path;         // decoded path
  std::string target;       // path and query as the client sent them
  std::string userAgent;    // "" when the client sent none
  std::string body;         // POST only
  std::string contentType;  // of the body; "" when none was sent
  // Headers an origin is asked with as well: the client's own (see
  // kForwardedHeaders), in the order received, then Via and
  // X-Forwarded-For, which name this server and the client.
  HeaderList forwarded;
};

// What a client's request carries for the site behind the server rather
// than for the server: its session, its credentials, its languages.
inline constexpr std::string_view kForwardedHeaders[] = {"Cookie", "Authorization", "Accept-Language"};

// Identity and age of a file answered from a root folder; what its
// validators are made of.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtimeNanoseconds = 0;
};

struct SourceContent {
  int status = 200;
  std::string mediaType;
  std::string body;
  std::string location;  // for redirections; "" otherwise
  // Headers that pass through to the client as they are (validators and
  // cache lifetimes of an origin).
  HeaderList headers;
  std::optional<FileIdentity> file;  // files of a root folder only
  // True for answers the server made up itself (errors, redirections): the
  // server renders their body for the client, as a deck for a phone.
  bool generated = false;
};

class ContentSource {
 public:
  virtual ~ContentSource() = default;
  // The content for one request; safe to call from many threads at once.
  virtual SourceContent Fetch(const SourceRequest& request) const = 0;
  // True when the source takes POST requests with a body.
  virtual bool AcceptsPost() const { return false; }
};

// The server's own answer for an error or redirection status, plain text
// ("404 Not Found"); see ErrorDeck for phones.
SourceContent ErrorContent(int status);

// The reason phrase of the statuses the server produces itself.
const char* ReasonPhrase(int status);

// One sentence a person can read about a status the server produces.
const char* StatusSentence(int status);

}  // namespace quillmark::tools
