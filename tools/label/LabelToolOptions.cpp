#include "LabelToolOptions.h"

#include "label/SampleTokens.h"

const char kLabelToolUsage[] =
    "usage: tolvane-label check FILE [--sample TOKEN=TEXT]...\n"
    "       tolvane-label png FILE OUT.png [--sample TOKEN=TEXT]... [--scale N]\n"
    "FILE or OUT.png may be - for standard input or output.\n";

namespace {

ParsedLabelToolOptions failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

bool isToken(const std::string& text) {
    const std::vector<std::string> tokens = label::tokensIn(text);
    return tokens.size() == 1 && tokens[0] == text;
}

}  // namespace

ParsedLabelToolOptions parseLabelToolOptions(const std::vector<std::string>& args) {
    LabelToolOptions options;
    if (args.empty()) {
        return failure("a command is missing");
    }
    if (args[0] == "--help" || args[0] == "-h") {
        options.mode = LabelToolOptions::Mode::Help;
        return {options, {}};
    }
    if (args[0] == "--version") {
        options.mode = LabelToolOptions::Mode::Version;
        return {options, {}};
    }
    if (args[0] == "check") {
        options.mode = LabelToolOptions::Mode::Check;
    } else if (args[0] == "png") {
        options.mode = LabelToolOptions::Mode::Png;
    } else {
        return failure("unknown command '" + args[0] + "'");
    }
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--sample" || arg == "--scale") {
            if (i + 1 == args.size()) {
                return failure(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--sample") {
                const std::size_t equals = value.find('=');
                const std::string token = value.substr(0, equals);
                if (equals == std::string::npos || !isToken(token)) {
                    return failure("--sample takes TOKEN=TEXT with a token such as @C, not '" +
                                   value + "'");
                }
                options.samples[token] = value.substr(equals + 1);
            } else {
                if (options.mode != LabelToolOptions::Mode::Png) {
                    return failure("--scale is for png");
                }
                const bool digits = !value.empty() && value.size() <= 2 &&
                                    value.find_first_not_of("0123456789") == std::string::npos;
                const int scale = digits ? std::stoi(value) : 0;
                if (scale < 1 || scale > kMostScale) {
                    return failure("--scale takes a whole number from 1 to " +
                                   std::to_string(kMostScale) + ", not '" + value + "'");
                }
                options.scale = scale;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return failure("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    const std::size_t wanted = options.mode == LabelToolOptions::Mode::Png ? 2 : 1;
    if (files.size() != wanted) {
        return failure(options.mode == LabelToolOptions::Mode::Png
                           ? "png takes the template FILE and the picture OUT.png"
                           : "check takes one template FILE");
    }
    options.input = files[0];
    if (wanted == 2) {
        options.output = files[1];
    }
    return {options, {}};
}
