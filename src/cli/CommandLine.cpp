#include "cli/CommandLine.h"

namespace cli {

namespace {

// The option among `options` that `word` names ("-x", "--x" or "--x=v"), if any.
const QCommandLineOption* optionNamed(const std::vector<QCommandLineOption>& options,
                                      const QString& word, bool& attached) {
    if (!word.startsWith(QLatin1Char('-')) || word == QLatin1String("-") ||
        word == QLatin1String("--")) {
        return nullptr;
    }
    QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    attached = equals >= 0;
    if (attached) {
        name.truncate(equals);
    }
    for (const QCommandLineOption& option : options) {
        if (option.names().contains(name)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

QStringList argumentsOf(const std::vector<std::string>& arguments) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(arguments.size()));
    for (const std::string& argument : arguments) {
        list.append(QString::fromLatin1(argument.data(), static_cast<qsizetype>(argument.size())));
    }
    return list;
}

std::string bytesOf(const QString& text) {
    return text.toLatin1().toStdString();
}

std::string parse(QCommandLineParser& parser, const std::vector<QCommandLineOption>& options,
                  const QStringList& arguments) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const QCommandLineOption& option : options) {
        parser.addOption(option);
    }
    // What the parser would only say in its own words: a value missing at
    // the end, a value given to an option that takes none.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--")) {
            return "unknown option '--'";  // no program here takes file names after it
        }
        bool attached = false;
        const QCommandLineOption* option = optionNamed(options, arguments[i], attached);
        if (option == nullptr) {
            continue;
        }
        const std::string name = bytesOf(arguments[i].section(QLatin1Char('='), 0, 0));
        const bool takesValue = !option->valueName().isEmpty();
        if (takesValue && !attached && i + 1 == arguments.size()) {
            return name + " needs a value";
        }
        if (!takesValue && attached) {
            return name + " takes no value";
        }
        if (takesValue && !attached) {
            ++i;  // the value, whatever it looks like
        }
    }
    if (!parser.parse(arguments)) {
        // An option nobody declared: named as it was written.
        for (const QString& unknown : parser.unknownOptionNames()) {
            for (qsizetype i = 1; i < arguments.size(); ++i) {
                const QString& word = arguments[i];
                const QString name = word.section(QLatin1Char('='), 0, 0);
                if (name == QLatin1Char('-') + unknown || name == QLatin1String("--") + unknown) {
                    return "unknown option '" + bytesOf(word) + "'";
                }
            }
            return "unknown option '" + bytesOf(unknown) + "'";
        }
        return bytesOf(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return "unknown option '" + bytesOf(parser.positionalArguments().front()) + "'";
    }
    return {};
}

}  // namespace cli
