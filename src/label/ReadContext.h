#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "label/Label.h"

// What the commands of one template share while it is read: the label being
// built, the printer's image buffer, and the findings of the current line.
namespace label {

struct ReadContext {
    explicit ReadContext(const SampleValues& samples) : samples(samples) {}

    const SampleValues& samples;
    Label label;
    int line = 0;

    // The image buffer: what N clears and P prints.
    std::vector<Element> buffer;
    bool cleared = false;        // an N came before the first element
    bool warnedNoClear = false;  // "no N" said once
    int prints = 0;
    std::size_t printedSize = 0;  // elements of the buffer the last P printed
    // R: positions are counted from this reference point.
    int referenceX = 0;
    int referenceY = 0;

    void error(std::string text) { add(Severity::Error, std::move(text)); }
    void warning(std::string text) { add(Severity::Warning, std::move(text)); }
    void add(Severity severity, std::string text) {
        label.findings.push_back({line, severity, std::move(text)});
    }

    // A drawing command's element joins the image buffer.
    void draw(Element element);
    // The data's tokens join the label's list; the data comes back with the
    // sample values in.
    std::string fillSamples(std::string_view data);

    // Parameter `index` (1-based, p1, p2, ... as the printer's manual counts
    // them) as a number from `least` to `most`; an error and nothing otherwise.
    std::optional<int> number(std::string_view command, const std::vector<std::string_view>& fields,
                              int index, std::string_view what, int least, int most);
    // Whether the command has at least `count` parameters; an error naming
    // them when it has not.
    bool expectFields(std::string_view command, const std::vector<std::string_view>& fields,
                      std::size_t count, std::string_view names);
};

// One reader per drawing command; each takes the text after the command name.
void readText(ReadContext& context, std::string_view params);
void readBarcode(ReadContext& context, std::string_view params);
void readLine(ReadContext& context, std::string_view command, std::string_view params);
void readDiagonal(ReadContext& context, std::string_view params);
void readBox(ReadContext& context, std::string_view params);

// Label size, clear and print, and the settings the printer keeps.
void readWidth(ReadContext& context, std::string_view params);
void readLength(ReadContext& context, std::string_view params);
void readClear(ReadContext& context, std::string_view params);
void readPrint(ReadContext& context, std::string_view command, std::string_view params);
void readReference(ReadContext& context, std::string_view params);
bool isSettingCommand(std::string_view command);
// A setting without a picture: listed with its meaning, its parameters checked
// where the printer's manual fixes them.
void readSetting(ReadContext& context, std::string_view command, std::string_view params,
                 std::string_view lineText);

}  // namespace label
