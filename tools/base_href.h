// The base a page names for its links (`<base href>`), as the server in
// front of an origin rewrites it.
#pragma once

#include <functional>
#include <string>

namespace quillmark::tools {

// `page` with the href of its first `<base>` tag that has one replaced by
// what `map` makes of it; the page as it is when it has none. The value
// keeps its quotes; one without quotes must map to a value that needs none.
// Looks at the markup only as far as finding that tag needs: a base inside
// a comment or script counts, which at worst points links elsewhere, as the
// page's own base would. Linear in the page's length.
std::string WithMappedBaseHref(std::string page, const std::function<std::string(const std::string&)>& map);

}  // namespace quillmark::tools
