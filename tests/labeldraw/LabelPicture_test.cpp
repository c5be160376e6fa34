// The picture: its size, lines in black, white and inverted, texts inside
// their boxes in every rotation, reverse texts, and pictures too large to draw.
#include <gtest/gtest.h>

#include "label/Label.h"
#include "labeldraw/LabelPainter.h"
#include "tests/labeldraw/PictureProbe.h"

namespace {

using picturetest::inkBounds;
using picturetest::isBlack;
using picturetest::pixelBox;

QImage draw(const std::string& elements, int scale = 1) {
    return labeldraw::drawLabel(label::readLabel("N\nq200\nQ100,24\n" + elements + "P1\n"), scale);
}

TEST(LabelPicture, IsTheLabelSizeTimesTheScaleAndWhite) {
    for (const int scale : {1, 2, 5}) {
        const QImage picture = draw("", scale);
        EXPECT_EQ(picture.size(), QSize(200 * scale, 100 * scale));
        EXPECT_TRUE(inkBounds(picture).isEmpty());
    }
    EXPECT_TRUE(labeldraw::drawLabel(label::readLabel("N\nP1\n"), 0).isNull());
}

TEST(LabelPicture, TooLargeIsNotDrawn) {
    const label::Label huge = label::readLabel("N\nq65535\nQ65535,24\nP1\n");
    EXPECT_FALSE(labeldraw::fitsPicture(huge, 1));
    EXPECT_TRUE(labeldraw::drawLabel(huge, 1).isNull());
    const label::Label wide = label::readLabel("N\nq8000\nQ8000,24\nP1\n");
    EXPECT_TRUE(labeldraw::fitsPicture(wide, 1));
    EXPECT_FALSE(labeldraw::fitsPicture(wide, 2));
}

TEST(LabelPicture, LinesAreBlackWhiteOrInverted) {
    const QImage picture = draw("LO10,10,100,20\nLW20,15,10,10\nLE60,0,20,100\n", 2);
    EXPECT_TRUE(isBlack(picture, 2 * 12, 2 * 12));    // black line
    EXPECT_FALSE(isBlack(picture, 2 * 22, 2 * 17));   // erased by LW
    EXPECT_FALSE(isBlack(picture, 2 * 70, 2 * 15));   // LE over black: white
    EXPECT_TRUE(isBlack(picture, 2 * 70, 2 * 50));    // LE over white: black
    EXPECT_FALSE(isBlack(picture, 2 * 150, 2 * 50));  // nothing
    EXPECT_EQ(inkBounds(picture, QRect(0, 0, 2 * 200, 2 * 9)), QRect(120, 0, 40, 18));
}

TEST(LabelPicture, BoxesAndDiagonalsCoverTheirBoxes) {
    for (const std::string line : {"X10,10,3,120,80\n", "LS10,10,4,150,60\n"}) {
        const label::Label label = label::readLabel("N\nq200\nQ100,24\n" + line + "P1\n");
        ASSERT_EQ(label.elements.size(), 1u);
        for (const int scale : {1, 3}) {
            const QImage picture = labeldraw::drawLabel(label, scale);
            const QRect box = pixelBox(label.elements[0].box, scale);
            const QRect ink = inkBounds(picture);
            EXPECT_TRUE(box.contains(ink)) << line;
            EXPECT_GE(ink.width(), box.width() - scale) << line;
            EXPECT_GE(ink.height(), box.height() - scale) << line;
        }
    }
    const QImage box = draw("X10,10,3,120,80\n");
    EXPECT_TRUE(isBlack(box, 11, 40));
    EXPECT_FALSE(isBlack(box, 60, 40));  // inside the frame
}

TEST(LabelPicture, TextsStayInsideTheirBoxesInEveryRotation) {
    for (int rotation = 0; rotation < 4; ++rotation) {
        for (const std::string font : {"1", "3", "5"}) {
            const std::string line =
                "A100,50," + std::to_string(rotation) + "," + font + ",1,1,N,\"HE8\"\n";
            const label::Label label = label::readLabel("N\nq300\nQ200,24\n" + line + "P1\n");
            ASSERT_EQ(label.elements.size(), 1u);
            const QImage picture = labeldraw::drawLabel(label, 2);
            const QRect box = pixelBox(label.elements[0].box, 2);
            const QRect ink = inkBounds(picture);
            EXPECT_FALSE(ink.isEmpty()) << line;
            EXPECT_TRUE(box.contains(ink))
                << line << " box " << box.x() << "," << box.y() << " " << box.width() << "x"
                << box.height() << " ink " << ink.x() << "," << ink.y() << " " << ink.width() << "x"
                << ink.height();
            // The letters fill their cells: the ink spans most of the box.
            EXPECT_GT(ink.width() * ink.height(), box.width() * box.height() / 4) << line;
        }
    }
}

TEST(LabelPicture, ReverseTextIsWhiteOnBlack) {
    const label::Label label = label::readLabel("N\nq300\nQ200,24\nA20,20,0,4,2,2,R,\"I\"\nP1\n");
    ASSERT_EQ(label.elements.size(), 1u);
    const QImage picture = labeldraw::drawLabel(label, 1);
    EXPECT_EQ(inkBounds(picture), pixelBox(label.elements[0].box, 1));
    EXPECT_TRUE(isBlack(picture, 21, 21));             // the cell's corner
    EXPECT_FALSE(isBlack(picture, 20 + 14, 20 + 24));  // the letter's stem
}

}  // namespace
