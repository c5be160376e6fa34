// The template as a whole: the default one, the order of N, elements and P,
// line ends, the label's edges, and the boxes elements cover.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "label/Label.h"
#include "settings/SettingsTable.h"
#include "tests/label/LabelCase.h"

namespace {

using labeltest::describe;
using labeltest::matches;

TEST(DefaultTemplate, IsReadWithItsSettingsTokensAndOneWarning) {
    const label::Label label = label::readLabel(defaultLabelTemplate());
    EXPECT_TRUE(matches(label.findings, {"8:w:narrow bars of 1 dot"})) << describe(label.findings);
    EXPECT_EQ(label.width, 514);
    EXPECT_EQ(label.length, 204);
    EXPECT_EQ(label.media, label::Media::Gap);
    EXPECT_EQ(label.gap, 24);
    ASSERT_EQ(label.elements.size(), 4u);
    EXPECT_EQ(label.elements[0].symbology, "Code 128");
    EXPECT_EQ(label.elements[1].data, "Q`TY:");
    std::vector<std::string> settings;
    for (const label::Setting& s : label.settings) {
        settings.push_back(std::to_string(s.line) + " " + s.text);
    }
    EXPECT_EQ(settings, (std::vector<std::string>{"4 JF", "5 D10", "6 S2", "7 O"}));
    EXPECT_EQ(label.tokens, (std::vector<std::string>{"@C", "@Y", "@M", "@D", "@H", "@m", "@S0"}));
    for (const label::Element& element : label.elements) {
        EXPECT_EQ(element.quarterTurns, 2);
        EXPECT_GE(element.box.x, 0);
        EXPECT_GE(element.box.y, 0);
        EXPECT_LE(element.box.x + element.box.w, 514);
        EXPECT_LE(element.box.y + element.box.h, 204);
    }
}

TEST(DefaultTemplate, ReadsTheSameWithLfOrCrLf) {
    std::string lf = defaultLabelTemplate();
    for (std::size_t at; (at = lf.find('\r')) != std::string::npos;) {
        lf.erase(at, 1);
    }
    const label::Label crlf = label::readLabel(defaultLabelTemplate());
    const label::Label plain = label::readLabel(lf);
    EXPECT_EQ(describe(crlf.findings), describe(plain.findings));
    ASSERT_EQ(crlf.elements.size(), plain.elements.size());
    for (std::size_t i = 0; i < crlf.elements.size(); ++i) {
        EXPECT_EQ(crlf.elements[i].data, plain.elements[i].data);
        EXPECT_EQ(crlf.elements[i].line, plain.elements[i].line);
    }
}

TEST(LabelOrder, NElementsAndPAreChecked) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {"1:e:no P at the end"}},
        {"q400\nLO1,1,10,10\nP1\n", {"2:w:no N before the first element"}},
        {"N\nLO1,1,10,10\n", {"2:e:no P at the end"}},
        {"N\nLO1,1,10,10\nP1\nLO1,20,10,10\n\n", {"4:w:not printed: no P after this element"}},
        {"N\nLO1,1,10,10\nP1\nN\nLO1,20,10,10\nP1\n", {"6:w:a second label is printed here"}},
        {"N\nLO1,1,10,10\nq400\nQ300,24\nP1\n", {"3:w:q after elements", "4:w:Q after elements"}},
        {"N\nLO1,1,10,10\nP1\nq400\n", {}},
    };
    for (const auto& [text, expected] : cases) {
        const label::Label label = label::readLabel(text);
        EXPECT_TRUE(matches(label.findings, expected)) << text << describe(label.findings);
    }
}

TEST(LabelOrder, ThePreviewShowsTheFirstPrintedLabel) {
    const label::Label label =
        label::readLabel("N\nLO1,1,10,10\nP1\nN\nLO1,20,10,10\nLO1,40,10,10\nP1\n");
    ASSERT_EQ(label.elements.size(), 1u);
    EXPECT_EQ(label.elements[0].line, 2);
    const label::Label unprinted = label::readLabel("N\nLO1,1,10,10\nLO1,20,10,10\n");
    EXPECT_EQ(unprinted.elements.size(), 2u);
}

TEST(LabelEdges, ElementsReachingOutsideAreErrors) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {R"(A380,10,0,3,1,1,N,"ABCDEFGHIJ")",
         {"4:e:the text reaches outside the label: it covers x 380 to 518 and y 10 to 30, the "
          "label is 400 by 300 dots"}},
        {R"(A100,10,2,3,1,1,N,"AB")", {"4:e:covers x 74 to 100 and y -10 to 10"}},
        {"LO390,10,11,2", {"4:e:the line reaches outside"}},
        {"LO389,10,11,2", {}},
        {"X10,250,4,100,301", {"4:e:the box reaches outside"}},
        {"LS10,10,3,401,100", {"4:e:the line reaches outside"}},
        {R"(B300,10,0,1,2,4,50,N,"1234")", {"4:e:the bar code reaches outside"}},
        {R"(B286,10,0,1,2,4,50,N,"1234")", {}},
        // Data the machine fills in has no size yet: its stand-in is not judged.
        {R"(B390,10,0,E30,2,4,50,N,"@C")", {}},
    };
    for (const auto& [line, expected] : cases) {
        const label::Label label = label::readLabel("N\nq400\nQ300,24\n" + line + "\nP1\n");
        EXPECT_TRUE(matches(label.findings, expected)) << line << describe(label.findings);
    }
    // Without q and Q the printer's own size applies: no edge to reach.
    const label::Label unsized = label::readLabel("N\nLO5000,5000,10,10\nP1\n");
    EXPECT_TRUE(matches(unsized.findings, {})) << describe(unsized.findings);
    EXPECT_EQ(unsized.width, label::kDefaultWidth);
    EXPECT_EQ(unsized.length, label::kDefaultLength);
}

struct BoxCase {
    std::string line;
    label::DotRect box;
};

TEST(ElementBoxes, FollowPositionRotationFontAndMultipliers) {
    // Font 3 is 12 by 20 dots with 2 dots between characters; doubled across:
    // "AB" is 2 * 28 - 4 = 52 dots wide. Code 128 of "1234" (subset C) is
    // 57 modules: 114 dots with 2-dot modules.
    const std::vector<BoxCase> cases = {
        {R"(A100,50,0,3,2,1,N,"AB")", {100, 50, 52, 20}},
        {R"(A100,50,1,3,2,1,N,"AB")", {80, 50, 20, 52}},
        {R"(A100,50,2,3,2,1,N,"AB")", {48, 30, 52, 20}},
        {R"(A100,50,3,3,2,1,N,"AB")", {100, -2, 20, 52}},
        {R"(A100,50,0,3,2,1,R,"AB")", {100, 50, 56, 20}},
        {R"(A0,0,0,1,1,1,N,"x")", {0, 0, 8, 12}},
        {R"(A0,0,0,2,1,1,N,"x")", {0, 0, 10, 16}},
        {R"(A0,0,0,4,1,1,N,"x")", {0, 0, 14, 24}},
        {R"(A0,0,0,5,1,2,N,"XY")", {0, 0, 68, 96}},
        {R"(B100,200,0,1,2,4,60,N,"1234")", {100, 200, 114, 60}},
        {R"(B100,200,1,1,2,4,60,N,"1234")", {40, 200, 60, 114}},
        {R"(B100,200,2,1,2,4,60,N,"1234")", {-14, 140, 114, 60}},
        {R"(B100,200,3,1,2,4,60,N,"1234")", {100, 86, 60, 114}},
        // EAN-13 is 95 modules whatever its digits.
        {R"(B10,20,0,E30,3,6,70,N,"590123412345")", {10, 20, 285, 70}},
        {"LO10,20,30,4", {10, 20, 30, 4}},
        {"X10,20,3,110,70", {10, 20, 100, 50}},
        {"LS10,20,4,110,60", {10, 20, 100, 44}},
    };
    for (const BoxCase& c : cases) {
        const label::Label label = label::readLabel("N\n" + c.line + "\nP1\n");
        ASSERT_EQ(label.elements.size(), 1u) << c.line << describe(label.findings);
        const label::DotRect& box = label.elements[0].box;
        EXPECT_EQ(box.x, c.box.x) << c.line;
        EXPECT_EQ(box.y, c.box.y) << c.line;
        EXPECT_EQ(box.w, c.box.w) << c.line;
        EXPECT_EQ(box.h, c.box.h) << c.line;
    }
}

TEST(ElementBoxes, TheReferencePointMovesEveryElement) {
    const label::Label label = label::readLabel("R30,40\nN\nLO10,20,30,4\nP1\n");
    ASSERT_EQ(label.elements.size(), 1u);
    EXPECT_EQ(label.elements[0].box.x, 40);
    EXPECT_EQ(label.elements[0].box.y, 60);
}

TEST(GraphicData, BinaryBytesAfterGwKeepTheLineNumbers) {
    // 2 bytes a row, 3 rows: six bytes, two of them line feeds; "Zz" stands on
    // line 5 as an editor shows it.
    using namespace std::string_literals;
    const std::string text = "N\nGW10,10,2,3,\n\xff\n\x00\x01\x02\nZz\nP1\n"s;
    const label::Label label = label::readLabel(text);
    EXPECT_TRUE(matches(label.findings, {"2:w:GW is not drawn", "5:e:unknown command \"Zz\""}))
        << describe(label.findings);
}

TEST(StoredForms, LinesUpToFeAreNotDrawn) {
    const label::Label label =
        label::readLabel("FS\"form\"\nN\nA1,1,0,1,1,1,N,\"x\"\nFE\nN\nLO1,1,2,2\nP1\n");
    EXPECT_TRUE(matches(label.findings, {"1:w:FS is not drawn"})) << describe(label.findings);
    ASSERT_EQ(label.elements.size(), 1u);
    EXPECT_EQ(label.elements[0].line, 6);
}

}  // namespace
