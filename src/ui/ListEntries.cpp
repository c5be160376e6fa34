#include "ui/ListEntries.h"

#include "commands/CommandSet.h"
#include "panel/FixedLists.h"

namespace {

QStringList fromNames(std::span<const char* const> names) {
    QStringList entries;
    for (const char* name : names) {
        entries.append(QString::fromUtf8(name));
    }
    return entries;
}

}  // namespace

QStringList listEntries(ChoiceValue choice) {
    switch (choice) {
        case ChoiceValue::Function:
            return fromNames(functionNames());
        case ChoiceValue::SpeedStep:
            return fromNames(speedNames());
        case ChoiceValue::RecordFormat:
            return fromNames(recordFormatNames());
        case ChoiceValue::Pitch: {
            QStringList pitches;
            for (int pitch : commands::pitchTable) {
                pitches.append(QString::number(pitch));
            }
            return pitches;
        }
    }
    return {};
}
