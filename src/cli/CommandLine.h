#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Reading a program's command line with QCommandLineParser, the same way in
// the panel and in tolvane-sim: long options after one dash or two
// ("-platform", "--help"), values attached with "=" or as the next argument,
// and faults told in the programs' own words.
namespace cli {

// Every argument as text with one character per byte (U+0000 to U+00FF), so
// that names and values come back byte for byte (bytesOf), whatever their
// encoding: a file name need not be UTF-8.
QStringList argumentsOf(const std::vector<std::string>& arguments);
std::string bytesOf(const QString& text);

// Adds `options` to `parser` and parses `arguments` (the program's name
// first). Empty when the arguments fit, else the first fault:
// "unknown option '--x'" (also for a word that is no option's value),
// "--rate needs a value", "--once takes no value".
std::string parse(QCommandLineParser& parser, const std::vector<QCommandLineOption>& options,
                  const QStringList& arguments);

}  // namespace cli
