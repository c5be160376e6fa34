#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The pieces of an EPL2 command line after its name.
namespace label {

// The parameter text cut at commas into at most `most` fields; the last one
// keeps the rest of the text, commas included (the quoted data of A and B).
std::vector<std::string_view> splitAtCommas(std::string_view params, std::size_t most);

// A decimal number of at most six digits, nothing else; no sign, no blanks.
std::optional<int> readNumber(std::string_view text);

struct DataText {
    std::string bytes;    // what the printer prints: escapes resolved
    std::string problem;  // empty when the data is well formed
    // Printer fields outside the quotes (V00, C0, TT, TD) that only the
    // printer fills in: kept as they stand.
    bool hasPrinterFields = false;
};

// The data parameter: double-quoted text where a backslash makes the next
// character literal ("\"" is a quote, "\\" a backslash), optionally joined
// with printer fields outside the quotes.
DataText readData(std::string_view raw);

// `text` quoted for a message, non-printing bytes as \xHH, long texts cut.
std::string quoted(std::string_view text);

}  // namespace label
