#include <algorithm>
#include <array>

#include "label/Label.h"
#include "label/Params.h"
#include "label/ReadContext.h"

namespace label {
namespace {

// Commands the printer knows that draw what the preview does not: 2D bar
// codes, stored graphics and forms, counters and variables.
constexpr std::array<std::string_view, 18> kUndrawnCommands = {
    "b",  "GG", "GW", "FR", "C",  "V",  "?",  "FS", "FE",
    "FK", "FI", "GK", "GI", "GM", "EK", "ES", "EI", "AUTOFR"};

constexpr std::array<std::string_view, 11> kDrawingAndFormat = {"A", "B", "LO", "LE", "LW", "LS",
                                                                "X", "q", "Q",  "N",  "P"};

bool isUndrawnCommand(std::string_view name) {
    return std::find(kUndrawnCommands.begin(), kUndrawnCommands.end(), name) !=
           kUndrawnCommands.end();
}

bool isKnownCommand(std::string_view name) {
    return name == "PA" || name == "R" || isSettingCommand(name) || isUndrawnCommand(name) ||
           std::find(kDrawingAndFormat.begin(), kDrawingAndFormat.end(), name) !=
               kDrawingAndFormat.end();
}

// The longest command name the line starts with; empty when it starts with none.
std::string_view commandName(std::string_view line) {
    constexpr std::size_t kLongestName = 8;  // "^default"
    for (std::size_t length = std::min(kLongestName, line.size()); length > 0; --length) {
        if (isKnownCommand(line.substr(0, length))) {
            return line.substr(0, length);
        }
    }
    return {};
}

std::string_view unknownName(std::string_view line) {
    std::size_t length = 0;
    while (length < line.size() && length < 8 && line[length] != ',' && line[length] != '"' &&
           !(line[length] >= '0' && line[length] <= '9')) {
        ++length;
    }
    return line.substr(0, std::max<std::size_t>(length, 1));
}

class TemplateReader {
  public:
    explicit TemplateReader(const SampleValues& samples) : context_(samples) {}

    Label read(std::string_view text) {
        std::size_t at = 0;
        int line = 1;
        int lastLine = 1;
        while (at < text.size()) {
            std::size_t end = std::min(text.find('\n', at), text.size());
            std::string_view lineText = text.substr(at, end - at);
            if (!lineText.empty() && lineText.back() == '\r') {
                lineText.remove_suffix(1);
            }
            context_.line = line;
            lastLine = line;
            const std::size_t dataEnd = readCommand(lineText, at);
            if (dataEnd > end) {
                // Binary graphic data runs on past line ends: the command ends
                // at the first line end after the data.
                const std::size_t stop = std::min(dataEnd, text.size());
                line += static_cast<int>(
                    std::count(text.begin() + static_cast<std::ptrdiff_t>(end),
                               text.begin() + static_cast<std::ptrdiff_t>(stop), '\n'));
                end = std::min(text.find('\n', stop), text.size());
            }
            at = end + 1;
            ++line;
        }
        finish(lastLine);
        return std::move(context_.label);
    }

  private:
    // Reads one line; returns, for GW, the offset in the whole text where its
    // binary data ends (0 otherwise).
    std::size_t readCommand(std::string_view line, std::size_t lineStart) {
        if (inForm_) {
            if (line.substr(0, 2) == "FE") {
                inForm_ = false;
            }
            return 0;
        }
        if (line.empty()) {
            return 0;
        }
        std::string_view trimmed = line;
        while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) {
            trimmed.remove_suffix(1);
        }
        if (trimmed.empty()) {
            return 0;
        }
        if (line.front() == ' ' || line.front() == '\t') {
            context_.error(
                "blank before the command: the printer reads a command from the "
                "line's first character");
            return 0;
        }
        const std::string_view name = commandName(trimmed);
        if (name.empty()) {
            context_.error("unknown command " + quoted(unknownName(trimmed)));
            return 0;
        }
        if (trimmed.size() != line.size() && name != "A" && name != "B") {
            context_.warning("blanks at the end of the line");
        }
        const std::string_view params = trimmed.substr(name.size());
        if (name == "A") {
            readText(context_, trailing(line, params));
        } else if (name == "B") {
            readBarcode(context_, trailing(line, params));
        } else if (name == "LO" || name == "LE" || name == "LW") {
            readLine(context_, name, params);
        } else if (name == "LS") {
            readDiagonal(context_, params);
        } else if (name == "X") {
            readBox(context_, params);
        } else if (name == "q") {
            readWidth(context_, params);
        } else if (name == "Q") {
            readLength(context_, params);
        } else if (name == "N") {
            readClear(context_, params);
        } else if (name == "P" || name == "PA") {
            readPrint(context_, name, params);
        } else if (name == "R" || isSettingCommand(name)) {
            readSetting(context_, name, params, trimmed);
        } else {
            context_.warning(std::string(name) + " is not drawn by the preview");
            if (name == "FS") {
                inForm_ = true;
            }
            if (name == "GW") {
                return graphicDataEnd(line, lineStart);
            }
        }
        return 0;
    }

    // A and B: blanks after the data are reported by the data's own check.
    static std::string_view trailing(std::string_view line, std::string_view params) {
        return line.substr(static_cast<std::size_t>(params.data() - line.data()));
    }

    // GW p1,p2,p3,p4,DATA: p3 bytes per row, p4 rows of binary data right after
    // the fourth comma.
    std::size_t graphicDataEnd(std::string_view line, std::size_t lineStart) {
        const std::vector<std::string_view> fields = splitAtCommas(line.substr(2), 5);
        if (fields.size() < 5) {
            context_.error("GW takes x, y, bytes per row, rows and the graphic's data");
            return 0;
        }
        const std::optional<int> bytesPerRow = readNumber(fields[2]);
        const std::optional<int> rows = readNumber(fields[3]);
        if (!bytesPerRow || !rows) {
            context_.error("GW: bytes per row (p3) and rows (p4) must be numbers");
            return 0;
        }
        const std::size_t dataStart =
            lineStart + static_cast<std::size_t>(fields[4].data() - line.data());
        return dataStart + static_cast<std::size_t>(*bytesPerRow) * static_cast<std::size_t>(*rows);
    }

    void finish(int lastLine) {
        Label& label = context_.label;
        context_.line = lastLine;
        if (context_.prints == 0) {
            context_.error("no P at the end: the label is never printed");
            label.elements = context_.buffer;
        } else {
            for (std::size_t i = context_.printedSize; i < context_.buffer.size(); ++i) {
                context_.line = context_.buffer[i].line;
                context_.warning("not printed: no P after this element");
            }
        }
        if (!label.widthGiven) {
            label.width = kDefaultWidth;
        }
        if (!label.lengthGiven) {
            label.length = kDefaultLength;
        }
        for (const Element& element : label.elements) {
            checkInside(element);
        }
        std::stable_sort(label.findings.begin(), label.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
    }

    void checkInside(const Element& element) {
        const Label& label = context_.label;
        const DotRect& box = element.box;
        if (box.w == 0 || box.h == 0 || element.placeholder) {
            return;
        }
        const bool outsideX = label.widthGiven && (box.x < 0 || box.x + box.w > label.width);
        const bool outsideY = label.lengthGiven && (box.y < 0 || box.y + box.h > label.length);
        if (!outsideX && !outsideY) {
            return;
        }
        context_.line = element.line;
        const std::string what = element.kind == ElementKind::Text      ? "the text"
                                 : element.kind == ElementKind::Barcode ? "the bar code"
                                 : element.kind == ElementKind::Box     ? "the box"
                                                                        : "the line";
        context_.error(what + " reaches outside the label: it covers x " + std::to_string(box.x) +
                       " to " + std::to_string(box.x + box.w) + " and y " + std::to_string(box.y) +
                       " to " + std::to_string(box.y + box.h) + ", the label is " +
                       std::to_string(label.width) + " by " + std::to_string(label.length) +
                       " dots");
    }

    ReadContext context_;
    bool inForm_ = false;
};

}  // namespace

bool Label::hasErrors() const {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return f.severity == Severity::Error; });
}

Label readLabel(std::string_view templateText, const SampleValues& samples) {
    return TemplateReader(samples).read(templateText);
}

}  // namespace label
