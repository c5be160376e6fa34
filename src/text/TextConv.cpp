#include "text/TextConv.h"

std::string encodeUtf8(const QString& text) {
    return text.toStdString();
}

QString decodeUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
