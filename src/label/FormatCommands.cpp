#include <array>

#include "label/Params.h"
#include "label/ReadContext.h"

namespace label {
namespace {

constexpr int kMostDots = 65535;

bool noParameters(ReadContext& context, std::string_view command, std::string_view params) {
    if (params.empty()) {
        return true;
    }
    context.error(std::string(command) + " takes no parameters, not " + quoted(params));
    return false;
}

// q and Q reformat the printer's image buffer: what was drawn before them
// may be lost.
void warnReformat(ReadContext& context, std::string_view command) {
    if (context.buffer.size() > context.printedSize) {
        context.warning(std::string(command) +
                        " after elements: the printer reformats its image buffer and may lose "
                        "them; set the label size before N");
    }
}

// An offset that follows Q's p2 ("24+10", "B24-8") or stands as p3.
bool readOffset(ReadContext& context, std::string_view text) {
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        text.remove_prefix(1);
    }
    if (!readNumber(text)) {
        context.error("Q: offset (p3) must be a number of dots, optionally signed, not " +
                      quoted(text));
        return false;
    }
    return true;
}

struct SettingMeaning {
    std::string_view command;
    std::string_view meaning;
};

constexpr std::array kSettings = {
    SettingMeaning{"S", "print speed"},
    SettingMeaning{"D", "print density"},
    SettingMeaning{"JF", "top of form backup on"},
    SettingMeaning{"JB", "top of form backup off"},
    SettingMeaning{"JC", "top of form backup off for all but cutter and peel"},
    SettingMeaning{"O", "hardware options"},
    SettingMeaning{"ZT", "prints from the top of the image buffer"},
    SettingMeaning{"ZB", "prints from the bottom: the label turned half around"},
    SettingMeaning{"I", "character set"},
    SettingMeaning{"Y", "serial port settings"},
    SettingMeaning{"W", "windows mode"},
    SettingMeaning{"M", "memory allocation"},
    SettingMeaning{"TT", "time format"},
    SettingMeaning{"TD", "date format"},
    SettingMeaning{"xa", "media auto sense"},
    SettingMeaning{"oR", "character substitution"},
    SettingMeaning{"oH", "macro PDF offset"},
    SettingMeaning{"oM", "no feed after the initial escape sequence"},
    SettingMeaning{"oE", "line mode font substitution"},
    SettingMeaning{"oB", "cut position"},
    SettingMeaning{"oW", "Windows line mode"},
    SettingMeaning{"OD", "direct thermal printing"},
    SettingMeaning{"U", "prints the configuration"},
    SettingMeaning{"UN", "error reporting off"},
    SettingMeaning{"UE", "prints the fonts' information"},
    SettingMeaning{"UF", "lists the stored forms"},
    SettingMeaning{"UG", "lists the stored graphics"},
    SettingMeaning{"UI", "prompts and error reporting on"},
    SettingMeaning{"UP", "prints the configuration and sends it back"},
    SettingMeaning{"US", "error reporting on"},
    SettingMeaning{"UA", "sends the memory status back"},
    SettingMeaning{"UB", "sends the bar code list back"},
    SettingMeaning{"^@", "resets the printer"},
    SettingMeaning{"^default", "factory defaults"},
};

}  // namespace

bool isSettingCommand(std::string_view command) {
    for (const SettingMeaning& setting : kSettings) {
        if (setting.command == command) {
            return true;
        }
    }
    return false;
}

void readWidth(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 2);
    if (fields.size() > 1) {
        context.error("q takes one parameter, the label width in dots");
        return;
    }
    const auto width = context.number("q", fields, 1, "label width", 1, kMostDots);
    if (!width) {
        return;
    }
    warnReformat(context, "q");
    context.label.width = *width;
    context.label.widthGiven = true;
}

void readLength(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 4);
    if (!context.expectFields("Q", fields, 2, "label length, gap or B and mark thickness")) {
        return;
    }
    if (fields.size() > 3) {
        context.error("Q takes at most 3 parameters (length, gap, offset)");
        return;
    }
    const auto length = context.number("Q", fields, 1, "label length", 1, kMostDots);
    std::string_view gapText = fields[1];
    Media media = Media::Gap;
    if (!gapText.empty() && gapText[0] == 'B') {
        media = Media::BlackMark;
        gapText.remove_prefix(1);
    }
    const std::size_t sign = gapText.find_first_of("+-");
    bool offsetOk = true;
    if (sign != std::string_view::npos) {
        offsetOk = readOffset(context, gapText.substr(sign));
        gapText = gapText.substr(0, sign);
    }
    if (fields.size() == 3) {
        offsetOk = readOffset(context, fields[2]) && offsetOk;
    }
    const std::optional<int> gap = readNumber(gapText);
    if (!gap || *gap > 999) {
        context.error(
            "Q: p2 must be the gap in dots, B and the black mark's thickness, or 0 for "
            "continuous media, not " +
            quoted(fields[1]));
        return;
    }
    if (!length || !offsetOk) {
        return;
    }
    if (*gap == 0 && media == Media::Gap) {
        media = Media::Continuous;
    } else if (*gap < 16 || *gap > 240) {
        context.warning("Q: a " + std::string(media == Media::BlackMark ? "black mark" : "gap") +
                        " of " + std::to_string(*gap) +
                        " dots is outside the 16 to 240 the printer takes at 203 dpi");
    }
    warnReformat(context, "Q");
    context.label.length = *length;
    context.label.lengthGiven = true;
    context.label.media = media;
    context.label.gap = *gap;
}

void readClear(ReadContext& context, std::string_view params) {
    noParameters(context, "N", params);
    context.buffer.clear();
    context.cleared = true;
    context.printedSize = 0;
}

void readPrint(ReadContext& context, std::string_view command, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 3);
    if (fields.size() > 2) {
        context.error(std::string(command) + " takes at most 2 parameters (labels, copies)");
        return;
    }
    if (fields[0].empty()) {
        context.error(std::string(command) + " takes the number of labels to print, as in " +
                      std::string(command) + "1");
        return;
    }
    const auto count = context.number(command, fields, 1, "number of labels", 1, kMostDots);
    const auto copies = fields.size() == 2
                            ? context.number(command, fields, 2, "copies", 0, kMostDots)
                            : std::optional<int>(1);
    if (!count || !copies) {
        return;
    }
    ++context.prints;
    if (context.prints == 1) {
        context.label.elements = context.buffer;
    } else if (context.prints == 2) {
        context.warning("a second label is printed here: the preview shows the first one");
    }
    context.printedSize = context.buffer.size();
}

void readReference(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 3);
    if (!context.expectFields("R", fields, 2, "x, y")) {
        return;
    }
    const auto x = context.number("R", fields, 1, "reference x", 0, kMostDots);
    const auto y = context.number("R", fields, 2, "reference y", 0, kMostDots);
    if (x && y) {
        context.referenceX = *x;
        context.referenceY = *y;
    }
}

void readSetting(ReadContext& context, std::string_view command, std::string_view params,
                 std::string_view lineText) {
    Setting setting;
    setting.line = context.line;
    setting.command = std::string(command);
    setting.text = std::string(lineText);
    for (const SettingMeaning& known : kSettings) {
        if (known.command == command) {
            setting.meaning = std::string(known.meaning);
        }
    }
    if (command == "R") {
        setting.meaning = "reference point: positions count from it";
        readReference(context, params);
    } else if (command == "S") {
        const std::optional<int> speed = readNumber(params);
        if (!speed) {
            context.error("S takes the print speed, a number, not " + quoted(params));
        } else if (*speed < 1 || *speed > 6) {
            context.warning("S: speed " + std::to_string(*speed) +
                            " is outside the 1 to 6 most printers take");
        }
    } else if (command == "D") {
        const std::vector<std::string_view> fields = {params};
        context.number("D", fields, 1, "density", 0, 15);
    } else if (command == "JF" || command == "JB" || command == "JC" || command == "ZT" ||
               command == "ZB" || command == "xa" || command == "^@" || command == "^default" ||
               command == "UN" || command == "US" || command == "UI" || command == "UP" ||
               command == "U" || command == "OD") {
        noParameters(context, command, params);
    }
    context.label.settings.push_back(std::move(setting));
}

}  // namespace label
