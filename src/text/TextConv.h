#pragma once

#include <QString>
#include <string>

// The window and the settings store hold UTF-16 text (QString); everything the
// system builds, sends, parses or writes to files is 8-bit text in a
// std::string. The 8-bit encoding is UTF-8, so ASCII maps to itself byte for
// byte. Neither conversion can fail: bytes that are not valid UTF-8 become
// U+FFFD, and a lone UTF-16 surrogate becomes U+FFFD's UTF-8 form.
std::string encodeUtf8(const QString& text);
QString decodeUtf8(const std::string& text);
