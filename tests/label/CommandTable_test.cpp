// Every command with good and bad parameters: each line stands on line 4 of
// a label that is otherwise clean (N, q, Q before it, P after it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "label/Label.h"
#include "tests/label/LabelCase.h"

namespace {

using labeltest::describe;
using labeltest::matches;

struct LineCase {
    std::string line;
    std::vector<std::string> findings;  // "4:e:part of the text"
};

std::string around(const std::string& line) {
    return "N\nq800\nQ800,24\n" + line + "\nP1\n";
}

void expectCases(const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        const label::Label label = label::readLabel(around(c.line));
        EXPECT_TRUE(matches(label.findings, c.findings)) << "line: " << c.line << "\nfindings:\n"
                                                         << describe(label.findings);
    }
}

TEST(TextCommand, ParametersAreChecked) {
    expectCases({
        {R"(A10,10,0,3,1,1,N,"Lot 7")", {}},
        {R"(A500,10,1,5,8,9,R,"AB")", {}},
        {R"(A10,10,0,3,1,1,N,"")", {}},
        {R"(A10,10,4,3,1,1,N,"x")", {"4:e:rotation (p3) must be a number from 0 to 3"}},
        {R"(Ax,10,0,3,1,1,N,"x")", {"4:e:x position (p1) must be a number"}},
        {R"(A10,-5,0,3,1,1,N,"x")", {"4:e:y position (p2)"}},
        {R"(A10,10,0,6,1,1,N,"x")", {"4:e:font (p4) must be 1 to 5, 8 or 9"}},
        {R"(A10,10,0,a,1,1,N,"x")", {"4:w:soft font"}},
        {R"(A10,10,0,8,1,1,N,"x")", {"4:w:Asian font"}},
        {R"(A10,10,0,3,7,1,N,"x")", {"4:e:width multiplier (p5) must be 1 to 6 or 8"}},
        {R"(A10,10,0,3,0,1,N,"x")", {"4:e:width multiplier (p5)"}},
        {R"(A10,10,0,3,1,10,N,"x")", {"4:e:height multiplier (p6)"}},
        {R"(A10,10,0,3,1,1,X,"x")", {"4:e:N (normal) or R (reverse)"}},
        {R"(A10,10,0,3,1,1,"x")", {"4:e:A takes 8 parameters"}},
        {R"(A10,10,0,3,1,1,N,x)", {"4:e:double quotes"}},
        {R"(A10,10,0,3,1,1,N,"open)", {"4:e:closing double quote"}},
        {R"(A10,10,0,3,1,1,N,"a" b)", {"4:e:unexpected"}},
        {R"(A10,10,0,3,1,1,N,"end\")", {"4:e:closing double quote"}},
        {R"(A10,10,0,3,1,1,N,"Time: "TT)", {"4:w:fills in its fields"}},
        {R"(A10,10,0,5,1,1,N,"Lot")", {"4:w:font 5 has capitals only"}},
        {"A10,10,0,3,1,1,N,\"caf\xc3\xa9\"", {"4:w:byte 0xC3 at position 4"}},
    });
}

TEST(TextCommand, DataEscapesAndCommasAreRead) {
    const label::Label label = label::readLabel(around(R"(A10,10,0,1,1,1,N,"a\"b\\c,d\e")"));
    ASSERT_EQ(label.elements.size(), 1u) << describe(label.findings);
    EXPECT_EQ(label.elements[0].data, "a\"b\\c,de");
}

TEST(BarcodeCommand, ParametersAndDataAreChecked) {
    expectCases({
        {R"(B100,100,0,1,2,4,50,B,"ABC-123")", {}},
        {R"(B100,100,0,3,2,5,50,N,"ABC 123")", {}},
        {R"(B100,100,0,3,2,5,50,N,"lower case")", {}},
        {R"(B100,100,0,3C,2,5,50,N,"A1")", {}},
        {R"(B100,100,0,9,2,4,50,B,"Code 93")", {}},
        {R"(B100,100,0,2,2,5,50,B,"123456")", {}},
        {R"(B100,100,0,2C,2,5,50,B,"12345")", {}},
        {R"(B100,100,0,K,2,5,50,B,"A1234B")", {}},
        {R"(B100,100,0,E30,2,4,50,B,"590123412345")", {}},
        {R"(B100,100,0,E80,2,4,50,B,"5901234")", {}},
        {R"(B100,100,0,UA0,2,4,50,B,"01234567890")", {}},
        {R"(B100,100,0,UE0,2,4,50,B,"123456")", {}},
        {R"(B100,100,0,UE0,2,4,50,B,"1123456")", {}},
        {R"(B100,100,1,1,1,3,50,B,"x")", {"4:w:narrow bars of 1 dot"}},
        {R"(B100,100,0,Z,2,4,50,B,"x")", {"4:e:unknown bar code type (p4) \"Z\""}},
        {R"(B100,100,0,1A,2,4,50,B,"x")", {"4:w:\"1A\" is not drawn"}},
        {R"(B100,100,0,1,0,4,50,B,"x")", {"4:e:narrow bar width (p5)"}},
        {R"(B100,100,0,1,11,4,50,B,"x")", {"4:e:must be from 1 to 10 dots, not 11"}},
        {R"(B100,100,0,E30,1,2,50,B,"590123412345")", {"4:e:must be from 2 to 4 dots, not 1"}},
        {R"(B100,100,0,3,3,3,50,N,"A")", {"4:e:must be wider than the narrow ones"}},
        {R"(B100,100,0,3,2,8,50,N,"A")", {"4:w:4 times as wide"}},
        {R"(B100,100,0,2,2,31,50,N,"12")", {"4:e:wide bar width (p6) must be from 2 to 30"}},
        {R"(B100,100,0,1,2,4,0,B,"x")", {"4:e:bar code height (p7)"}},
        {R"(B100,100,0,1,2,4,50,Y,"x")", {"4:e:B (human-readable line) or N"}},
        {R"(B100,100,0,1,2,4,50,B)", {"4:e:B takes 9 parameters"}},
        {R"(B100,100,0,1,2,4,50,B,"")", {"4:w:empty data"}},
        {R"(B100,100,0,E30,2,4,50,B,"59012341234A")",
         {"4:e:EAN-13 carries digits only: 'A' at position 12"}},
        {R"(B100,100,0,E30,2,4,50,B,"59012341234")",
         {"4:e:EAN-13 takes 12 digits (the printer adds the check digit), not 11"}},
        {R"(B100,100,0,E30,2,4,50,B,"5901234123457")", {"4:e:not 13"}},
        {R"(B100,100,0,E80,2,4,50,B,"590123")", {"4:e:EAN-8 takes 7 digits"}},
        {R"(B100,100,0,UA0,2,4,50,B,"012345678905")", {"4:e:UPC-A takes 11 digits"}},
        {R"(B100,100,0,UE0,2,4,50,B,"2123456")", {"4:e:UPC-E takes 6 digits"}},
        {R"(B100,100,0,2,2,5,50,B,"12345")", {"4:w:drawn with a leading 0"}},
        {R"(B100,100,0,2C,2,5,50,B,"1234")", {"4:w:and the check digit are an odd number"}},
        {R"(B100,100,0,2,2,5,50,B,"12a4")", {"4:e:carries digits only"}},
        {R"(B100,100,0,K,2,5,50,B,"1234")", {"4:e:start/stop character A, B, C or D"}},
        {R"(B100,100,0,K,2,5,50,B,"A12X4B")", {"4:e:'X' at position 4"}},
        {"B100,100,0,1,2,4,50,B,\"\xc3\xa9\"",
         {"4:e:Code 128 carries ASCII characters only: byte 0xC3"}},
        {"B100,100,0,9,2,4,50,B,\"\xe9\"", {"4:e:Code 93 carries ASCII characters only"}},
        // The machine fills its tokens in: never judged, drawn as they stand.
        {R"(B100,100,0,E30,2,4,50,B,"@C")", {}},
    });
}

TEST(ShapeCommands, ParametersAreChecked) {
    expectCases({
        {"LO10,10,100,2", {}},
        {"LE10,10,100,2", {}},
        {"LW10,10,100,2", {}},
        {"LO10,10,100", {"4:e:LO takes 4 parameters (x, y, width, height), this line has 3"}},
        {"LO10,10,100,2,5", {"4:e:LO takes 4 parameters, this line has more"}},
        {"LO10,10,0,2", {"4:w:0 dots wide draws nothing"}},
        {"LW10,10,a,2", {"4:e:LW: width (p3) must be a number"}},
        {"LS10,10,3,200,100", {}},
        {"LS10,10,3,200", {"4:e:LS takes 5 parameters"}},
        {"LS10,10,0,200,100", {"4:w:0 dots thick"}},
        {"X10,10,2,200,100", {}},
        {"X200,100,2,10,10", {"4:w:end corner lies left of or above"}},
        {"X10,10,0,200,100", {"4:w:0 dots thick draws nothing"}},
        {"X10,10,2,200,1e2", {"4:e:X: end y position (p5)"}},
    });
}

TEST(FormatAndSettingCommands, ParametersAreChecked) {
    expectCases({
        {"Q800,B24+10", {}},
        {"Q800,24,-8", {}},
        {"Q800,0", {}},
        {"Q800,8", {"4:w:a gap of 8 dots is outside the 16 to 240"}},
        {"Q400", {"4:e:Q takes 2 parameters"}},
        {"Q400,X", {"4:e:Q: p2 must be the gap in dots"}},
        {"Q400,24,+x", {"4:e:Q: offset (p3)"}},
        {"q0", {"4:e:q: label width (p1) must be a number from 1"}},
        {"q800,2", {"4:e:q takes one parameter"}},
        {"N1", {"4:e:N takes no parameters, not \"1\""}},
        {"S3", {}},
        {"Sx", {"4:e:S takes the print speed"}},
        {"S9", {"4:w:speed 9 is outside the 1 to 6"}},
        {"D15", {}},
        {"D16", {"4:e:D: density (p1) must be a number from 0 to 15"}},
        {"JF", {}},
        {"JFx", {"4:e:JF takes no parameters"}},
        {"ZB", {}},
        {"O", {}},
        {"OD", {}},
        {"R10,10", {}},
        {"R10", {"4:e:R takes 2 parameters"}},
        {"I8,0,001", {}},
        {"S2 ", {"4:w:blanks at the end of the line"}},
        {"Z", {"4:e:unknown command \"Z\""}},
        {"n", {"4:e:unknown command \"n\""}},
        {"; comment", {"4:e:unknown command \"; commen\""}},
        {" A10,10,0,3,1,1,N,\"x\"", {"4:e:blank before the command"}},
        {R"(GG10,10,"logo")", {"4:w:GG is not drawn by the preview"}},
        {R"(b10,10,Q,"qr")", {"4:w:b is not drawn by the preview"}},
    });
}

TEST(PrintCommand, ParametersAreChecked) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"N\nP1,1\n", {}},
        {"N\nPA1\n", {}},
        {"N\nP\n", {"2:e:P takes the number of labels", "2:e:no P at the end"}},
        {"N\nPx\n", {"2:e:P: number of labels (p1)", "2:e:no P at the end"}},
        {"N\nP1,1,1\n", {"2:e:P takes at most 2 parameters", "2:e:no P at the end"}},
    };
    for (const auto& [text, expected] : cases) {
        const label::Label label = label::readLabel(text);
        EXPECT_TRUE(matches(label.findings, expected)) << text << describe(label.findings);
    }
}

}  // namespace
