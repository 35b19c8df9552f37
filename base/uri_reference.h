// Resolving a link's target against the base a page names, as a browser
// resolves it (RFC 3986, section 5.2).
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// True when `base` can stand as the base of other references: it names a
// scheme ("http://host/dir/"), or is a path from a server's root
// ("/dir/"), so that what it resolves stays resolved when resolved again.
bool IsUsableBase(std::string_view base);

// `reference` resolved against `base`; a base that IsUsableBase does not
// allow, the empty one among them, leaves every reference as it is. A
// reference that names a scheme, an empty one, one that is only a fragment
// ("#top", a card of the same deck) and one that begins with a WML
// variable ("$") stay as they are; the rest take the base's scheme, host
// and directory, with "." and ".." segments of the merged path removed,
// and the blanks around them dropped. Costs time linear in both lengths.
std::string ResolveUriReference(std::string_view base, std::string_view reference);

// The link target `target` as browsers read one: without the tabs and line
// breaks it holds and the blanks and control bytes around it, and with
// "%20" for each space left within it.
std::string TargetAsBrowsersRead(std::string_view target);

}  // namespace quillmark
