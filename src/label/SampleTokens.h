#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "label/Label.h"

// The machine's own tokens in text and bar code data: an at sign, one letter
// and the digits after it ("@C", "@Y", "@S0"). The machine fills them in when
// it prints; here they only stand for a sample value the operator typed.
namespace label {

// The tokens in `data`, in order, each once.
std::vector<std::string> tokensIn(std::string_view data);

// `data` with each token that has a sample value replaced by that value;
// tokens without one stay as they stand.
std::string withSamples(std::string_view data, const SampleValues& samples);

// True when `data` still holds a token.
bool holdsToken(std::string_view data);

// Sample values as one settings text and back: one "TOKEN=VALUE" line each,
// backslash, CR and LF in values written as \\, \r and \n. Reading skips
// lines that are no such pair.
std::string samplesToText(const SampleValues& samples);
SampleValues samplesFromText(std::string_view text);

}  // namespace label
