#pragma once

// The full markup cleaning: HTML-like style tags, SSA/ASS override blocks,
// MicroDVD control codes and character entities, as subtitle files written
// by today's tools carry them.
#include <string>
#include <string_view>

namespace SUBTITLEFILE {

// Removes every <b>, <i>, <u>, <s> and <font ...> tag (opening or closing,
// any letter case, any attributes and quoting on font), every {\...} block
// and every {y:...}, {c:...}, {f:...}, {s:...}, {p:...}, {h:...} code; turns
// &amp; &lt; &gt; &quot; &apos; &nbsp; and numeric references into their
// characters; drops the blanks that removed markup leaves doubled or at the
// ends. Text that only looks like markup ("<3", "a < b", an unclosed "{\")
// stays. `utf8`: the text is UTF-8, so characters are written as UTF-8;
// otherwise only a no-break space (0xA0) and ASCII are written.
std::string CleanMarkup(std::string_view text, bool utf8);

}  // namespace SUBTITLEFILE
