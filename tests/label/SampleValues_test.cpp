// The machine's tokens and the operator's sample values for them.
#include <gtest/gtest.h>

#include "label/Label.h"
#include "label/SampleTokens.h"
#include "settings/SettingsTable.h"
#include "tests/label/LabelCase.h"

namespace {

TEST(SampleTokens, AreAnAtSignALetterAndItsDigits) {
    EXPECT_EQ(label::tokensIn("@Y-@M-@D @H:@m @S0 @S0 @ @1 a@b12c"),
              (std::vector<std::string>{"@Y", "@M", "@D", "@H", "@m", "@S0", "@b12"}));
    const label::SampleValues samples = {{"@S0", "R1"}, {"@Y", "2026"}, {"@S", "no"}};
    EXPECT_EQ(label::withSamples("@Y-@M @S0@S01 @S", samples), "2026-@M R1@S01 no");
    EXPECT_TRUE(label::holdsToken("x@C"));
    EXPECT_FALSE(label::holdsToken("x@ 1@"));
}

TEST(SampleTokens, SettingsTextRoundTrips) {
    const label::SampleValues samples = {{"@C", "C0402"}, {"@m", "a=b\\c\r\nd"}, {"@S0", ""}};
    EXPECT_EQ(label::samplesFromText(label::samplesToText(samples)), samples);
    EXPECT_EQ(label::samplesFromText("junk\n@C=1\nnot a token=2\n=3\n@D=4"),
              (label::SampleValues{{"@C", "1"}, {"@D", "4"}}));
    EXPECT_TRUE(label::samplesFromText("").empty());
}

TEST(SampleTokens, SamplesAreDrawnAndCheckedTheTemplateStaysAsItIs) {
    const std::string text = defaultLabelTemplate();
    const label::Label label = label::readLabel(
        text, {{"@C", "C0402-33"}, {"@Y", "2026"}, {"@M", "01"}, {"@D", "19"}, {"@S0", "R1"}});
    ASSERT_EQ(label.elements.size(), 4u);
    EXPECT_EQ(label.elements[0].data, "C0402-33");
    EXPECT_EQ(label.elements[2].data, "2026-01-19 @H:@m");
    EXPECT_EQ(label.elements[3].data, "R1");
    EXPECT_EQ(text, defaultLabelTemplate());

    const label::Label ean =
        label::readLabel("N\nB10,10,0,E30,2,4,50,N,\"@C\"\nP1\n", {{"@C", "12AB"}});
    EXPECT_TRUE(labeltest::matches(ean.findings, {"2:e:(with the sample values)"}))
        << labeltest::describe(ean.findings);
    ASSERT_EQ(ean.elements.size(), 1u);
    EXPECT_TRUE(ean.elements[0].placeholder);
}

}  // namespace
