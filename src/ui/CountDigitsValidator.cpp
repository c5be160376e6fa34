#include "ui/CountDigitsValidator.h"

QValidator::State CountDigitsValidator::validate(QString& input, int&) const {
    if (input.size() > 10) {
        return Invalid;
    }
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return Invalid;
        }
    }
    return input.isEmpty() || input.toLongLong() <= kLargest ? Acceptable : Invalid;
}
