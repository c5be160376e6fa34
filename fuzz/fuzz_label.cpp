// Any bytes as a label template: the reader and the bar code encoder never
// crash, hang or grow without bound, and what they give back holds together.
// The second half of the input, read as sample values, fills the tokens.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "label/Label.h"
#include "label/SampleTokens.h"

namespace {

int lineCount(std::string_view text) {
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void checkLabel(const label::Label& label, std::string_view text) {
    const int lines = lineCount(text);
    int previous = 0;
    for (const label::Finding& finding : label.findings) {
        FUZZ_CHECK(finding.line >= 1 && finding.line <= lines);
        FUZZ_CHECK(finding.line >= previous);
        FUZZ_CHECK(!finding.text.empty());
        previous = finding.line;
    }
    FUZZ_CHECK(label.width > 0 && label.length > 0);
    for (const label::Element& element : label.elements) {
        FUZZ_CHECK(element.line >= 1 && element.line <= lines);
        FUZZ_CHECK(element.box.w >= 0 && element.box.h >= 0);
        FUZZ_CHECK(element.quarterTurns >= 0 && element.quarterTurns < 4);
        for (const label::TextRun& run : element.texts) {
            FUZZ_CHECK(run.pitch >= 0 && run.charWidth >= 0 && run.charHeight >= 0);
        }
    }
    for (const label::Setting& setting : label.settings) {
        FUZZ_CHECK(setting.line >= 1 && setting.line <= lines);
    }
    for (const std::string& token : label.tokens) {
        FUZZ_CHECK(label::tokensIn(token) == std::vector<std::string>{token});
    }
    // An element outside a sized label is always an error.
    if (!label.hasErrors() && label.widthGiven && label.lengthGiven) {
        for (const label::Element& element : label.elements) {
            if (element.box.w > 0 && element.box.h > 0 && !element.placeholder) {
                FUZZ_CHECK(element.box.x >= 0 && element.box.y >= 0);
                FUZZ_CHECK(element.box.x + element.box.w <= label.width);
                FUZZ_CHECK(element.box.y + element.box.h <= label.length);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // An exactly sized copy: any read past the template hits ASan's redzone.
    const std::unique_ptr<char[]> bytes(new char[size]);
    if (size > 0) {
        std::memcpy(bytes.get(), data, size);
    }
    const std::string_view text(bytes.get(), size);

    const label::Label plain = label::readLabel(text);
    checkLabel(plain, text);

    // Sample values from the input's own tokens, their values from its bytes.
    const std::string_view tail = text.substr(size / 2);
    label::SampleValues samples = label::samplesFromText(tail);
    std::size_t at = 0;
    for (const std::string& token : plain.tokens) {
        samples.emplace(token, std::string(tail.substr(std::min(at, tail.size()), 16)));
        at += 16;
    }
    FUZZ_CHECK(label::samplesFromText(label::samplesToText(samples)) == samples);
    const label::Label sampled = label::readLabel(text, samples);
    checkLabel(sampled, text);
    // Samples change data, never which lines hold elements or what is set.
    FUZZ_CHECK(sampled.settings.size() == plain.settings.size());
    FUZZ_CHECK(sampled.tokens == plain.tokens);
    return 0;
}
