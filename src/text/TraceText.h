#pragma once

#include <string>
#include <string_view>

// Bytes from outside the program (received from the machine, or typed by the
// operator) as they may appear in a trace line, so that nothing received can
// move the cursor, clear or rename the terminal that shows the trace: every
// C0 control (below 0x20), DEL (0x7f), every C1 control (U+0080 to U+009F,
// in UTF-8 C2 80 to C2 9F) and every byte that is not part of well-formed
// UTF-8 (a raw 0x9B, a cut or overlong sequence, a surrogate) is written as
// \xHH per byte with lowercase hex digits (CR LF as \x0d\x0a). Every other
// character, UTF-8 text included, stays as it is.
std::string traceSafe(std::string_view bytes);
