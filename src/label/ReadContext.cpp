#include "label/ReadContext.h"

#include <algorithm>

#include "label/Geometry.h"
#include "label/Params.h"
#include "label/SampleTokens.h"

namespace label {

void ReadContext::draw(Element element) {
    if (!cleared && !warnedNoClear) {
        warning(
            "no N before the first element: the printer's image buffer may still hold "
            "the last label");
        warnedNoClear = true;
    }
    element.line = line;
    element.x += referenceX;
    element.y += referenceY;
    element.box = turned(boundsOf(element), element.x, element.y, element.quarterTurns);
    buffer.push_back(std::move(element));
}

std::string ReadContext::fillSamples(std::string_view data) {
    for (std::string& token : tokensIn(data)) {
        if (std::find(label.tokens.begin(), label.tokens.end(), token) == label.tokens.end()) {
            label.tokens.push_back(std::move(token));
        }
    }
    return withSamples(data, samples);
}

std::optional<int> ReadContext::number(std::string_view command,
                                       const std::vector<std::string_view>& fields, int index,
                                       std::string_view what, int least, int most) {
    const std::string_view text = fields[static_cast<std::size_t>(index - 1)];
    const std::optional<int> value = readNumber(text);
    if (!value || *value < least || *value > most) {
        error(std::string(command) + ": " + std::string(what) + " (p" + std::to_string(index) +
              ") must be a number from " + std::to_string(least) + " to " + std::to_string(most) +
              ", not " + quoted(text));
        return std::nullopt;
    }
    return value;
}

bool ReadContext::expectFields(std::string_view command,
                               const std::vector<std::string_view>& fields, std::size_t count,
                               std::string_view names) {
    if (fields.size() >= count) {
        return true;
    }
    const std::size_t given = fields.size() == 1 && fields[0].empty() ? 0 : fields.size();
    error(std::string(command) + " takes " + std::to_string(count) + " parameters (" +
          std::string(names) + "), this line has " + std::to_string(given));
    return false;
}

}  // namespace label
