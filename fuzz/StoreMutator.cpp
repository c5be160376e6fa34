#include "StoreMutator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <array>
#include <random>

#include "settings/SettingsTable.h"

namespace {

// Every key of the store and one the program does not know.
const char* keyName(std::size_t index) {
    return index < kSettingsTable.size() ? kSettingsTable[index].name() : "other";
}

const QString kSection = QStringLiteral("TolvaneApp");

using Random = std::minstd_rand;

unsigned below(Random& random, unsigned n) {
    return static_cast<unsigned>(random() % n);
}

QString anyName(Random& random) {
    return QLatin1String(keyName(below(random, kSettingsTable.size() + 1)));
}

QJsonValue anyValue(Random& random, int depth) {
    static const double kNumbers[] = {0,          1,           -1,          -40,
                                      2,          2024011912,  2024011911,  2147483647.0,
                                      2147483648, -2147483648, -2147483649, 4294967296.0,
                                      1.5,        -0.0,        1e300,       9007199254740993.0};
    static const char* const kTexts[] = {
        "", "kav", "15", "/data/", "caf\xc3\xa9", "line\r\nline", "\xe2\x80\xae", "COM3"};
    switch (below(random, depth > 0 ? 7 : 5)) {
        case 0:
            return kNumbers[below(random, std::size(kNumbers))];
        case 1:
            return static_cast<int>(random());
        case 2:
            return QString::fromUtf8(kTexts[below(random, std::size(kTexts))]);
        case 3:
            return below(random, 2) == 0;
        case 4:
            return QJsonValue(QJsonValue::Null);
        case 5:
            return QJsonArray{anyValue(random, depth - 1)};
        default:
            return QJsonObject{{anyName(random), anyValue(random, depth - 1)}};
    }
}

}  // namespace

std::optional<QByteArray> mutateStore(const QByteArray& file, unsigned seed) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file, &error);
    if (error.error != QJsonParseError::NoError) {
        return std::nullopt;
    }
    Random random(seed);
    QJsonObject top = document.isObject() ? document.object() : QJsonObject();
    QJsonObject section = top.value(kSection).toObject();
    switch (below(random, 6)) {
        case 0:
        case 1:
            section.insert(anyName(random), anyValue(random, 2));
            top.insert(kSection, section);
            break;
        case 2:
            section.remove(anyName(random));
            top.insert(kSection, section);
            break;
        case 3:
            top.insert(kSection, anyValue(random, 2));
            break;
        case 4:
            top.insert(anyName(random), anyValue(random, 2));
            break;
        default:
            return QJsonDocument(QJsonArray{top}).toJson(QJsonDocument::Compact);
    }
    return QJsonDocument(top).toJson(below(random, 2) == 0 ? QJsonDocument::Compact
                                                           : QJsonDocument::Indented);
}
