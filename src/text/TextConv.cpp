#include "text/TextConv.h"

std::string WideToAnsi(const QString& text) {
    return text.toStdString();
}

QString AnsiToWide(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
