// Text as it goes into the result document: JSON string escaping, with any
// byte sequence that is not valid UTF-8 replaced so the document always is.
#pragma once

#include <cstddef>
#include <string_view>

// Bytes json_escape_to writes for `text`.
std::size_t json_escaped_length(std::string_view text);

// Writes the escaped form of `text` (no quotes, no NUL) at `out`; returns the
// end of what was written. Valid UTF-8 passes through byte for byte; each
// maximal invalid subpart becomes U+FFFD; control bytes are escaped.
char* json_escape_to(std::string_view text, char* out);

// A character that the engine split across two segments at a token boundary:
// the last `tail` bytes of one text and the first `head` bytes of the next.
struct utf8_split {
    std::size_t tail;
    std::size_t head;
};

// Finds a character begun at the end of `text` and completed at the start of
// `next`; {0, 0} when there is none.
utf8_split find_utf8_split(std::string_view text, std::string_view next);
