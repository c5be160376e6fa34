#include <gtest/gtest.h>

#include "LabelToolOptions.h"

namespace {

TEST(LabelToolOptions, CommandsFilesSamplesAndScale) {
    const ParsedLabelToolOptions png = parseLabelToolOptions(
        {"png", "t.epl", "-", "--sample", "@C=C0402=x", "--scale", "4", "--sample", "@S0="});
    ASSERT_TRUE(png.options) << png.error;
    EXPECT_EQ(png.options->mode, LabelToolOptions::Mode::Png);
    EXPECT_EQ(png.options->input, "t.epl");
    EXPECT_EQ(png.options->output, "-");
    EXPECT_EQ(png.options->scale, 4);
    EXPECT_EQ(png.options->samples, (label::SampleValues{{"@C", "C0402=x"}, {"@S0", ""}}));

    const ParsedLabelToolOptions check = parseLabelToolOptions({"check", "-"});
    ASSERT_TRUE(check.options) << check.error;
    EXPECT_EQ(check.options->input, "-");
}

TEST(LabelToolOptions, WrongCommandLinesSayWhy) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "a command is missing"},
        {{"draw", "a"}, "unknown command 'draw'"},
        {{"check"}, "check takes one template FILE"},
        {{"check", "a", "b"}, "check takes one template FILE"},
        {{"png", "a"}, "png takes the template FILE and the picture OUT.png"},
        {{"png", "a", "b", "--scale", "0"}, "from 1 to 16, not '0'"},
        {{"png", "a", "b", "--scale", "17"}, "from 1 to 16, not '17'"},
        {{"png", "a", "b", "--scale", "2x"}, "not '2x'"},
        {{"png", "a", "b", "--scale"}, "--scale needs a value"},
        {{"check", "a", "--scale", "2"}, "--scale is for png"},
        {{"check", "a", "--sample", "C=1"}, "with a token such as @C, not 'C=1'"},
        {{"check", "a", "--sample", "@C"}, "not '@C'"},
        {{"check", "a", "--verbose"}, "unknown option '--verbose'"},
    };
    for (const auto& [args, error] : cases) {
        const ParsedLabelToolOptions parsed = parseLabelToolOptions(args);
        EXPECT_FALSE(parsed.options) << error;
        EXPECT_NE(parsed.error.find(error), std::string::npos) << parsed.error;
    }
}

}  // namespace
