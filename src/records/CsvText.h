#pragma once

#include <QString>

// Cells of a CSV file (RFC 4180) that a spreadsheet opens.
namespace csvtext {

// A text that a spreadsheet would run as a formula (it begins with "=", "+",
// "-" or "@", or with a tab or CR, which some take the same way) gets a
// leading apostrophe, so that it is shown as the text it is.
QString guardFormula(const QString& text);

// The text as one field: in double quotes, inner quotes doubled, when it
// holds a comma, a double quote, CR or LF; else as it is.
QString field(const QString& text);

}  // namespace csvtext
