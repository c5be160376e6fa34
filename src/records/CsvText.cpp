#include "records/CsvText.h"

namespace csvtext {

QString guardFormula(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    switch (text.front().unicode()) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r':
            return QLatin1Char('\'') + text;
        default:
            return text;
    }
}

QString field(const QString& text) {
    const bool quoted = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                        text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quoted) {
        return text;
    }
    QString out = text;
    out.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

}  // namespace csvtext
