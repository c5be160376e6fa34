// Every bar code drawn is read back by a scanner (zxing-cpp) from the picture
// and gives exactly its data, in all four rotations, at the printer's own
// resolution and zoomed; its box is where its bars are.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "label/Label.h"
#include "labeldraw/LabelPainter.h"
#include "settings/SettingsTable.h"
#include "tests/labeldraw/PictureProbe.h"

namespace {

using picturetest::inkBounds;
using picturetest::pixelBox;
using picturetest::scanArea;
using picturetest::scannerText;

struct SymbologySample {
    std::string type;  // B's p4
    std::string data;
    std::string format;  // as zxing names it
    int narrow;
    int wide;
    bool fullAscii = false;
};

const std::vector<SymbologySample>& samples() {
    static const std::vector<SymbologySample> all = {
        {"1", "C0402-33", "Code128", 2, 4},   {"1", "1234567890", "Code128", 1, 3},
        {"1", "Lot 7/a+b", "Code128", 2, 4},  {"3", "ABC-123", "Code39", 2, 5},
        {"3", "ab12", "Code39", 2, 6, true},  {"3C", "A1B2", "Code39", 2, 5},
        {"9", "CODE 93", "Code93", 2, 4},     {"9", "lower", "Code93", 2, 4},
        {"2", "123456", "ITF", 2, 5},         {"2", "1234567", "ITF", 2, 6},
        {"2C", "1234567", "ITF", 2, 5},       {"K", "A123456B", "Codabar", 2, 5},
        {"K", "C12-34.5$D", "Codabar", 3, 7}, {"E30", "590123412345", "EAN-13", 2, 4},
        {"E80", "5901234", "EAN-8", 2, 4},    {"UA0", "03600029145", "UPC-A", 2, 4},
        {"UE0", "123456", "UPC-E", 2, 4},     {"UE0", "0654321", "UPC-E", 3, 6},
    };
    return all;
}

// A bar code in the middle of a square label, so that each rotation fits.
std::string labelWith(const SymbologySample& s, int rotation, bool humanReadable) {
    return "N\nq900\nQ900,24\nB450,450," + std::to_string(rotation) + "," + s.type + "," +
           std::to_string(s.narrow) + "," + std::to_string(s.wide) + ",60," +
           (humanReadable ? "B" : "N") + ",\"" + s.data + "\"\nP1\n";
}

QRect withQuietZone(const QRect& box, int scale) {
    const int margin = 30 * scale;
    return box.adjusted(-margin, -margin, margin, margin);
}

TEST(BarcodeReadBack, EverySymbologyInEveryRotationGivesItsData) {
    for (const SymbologySample& s : samples()) {
        for (int rotation = 0; rotation < 4; ++rotation) {
            for (const int scale : {1, 3}) {
                const std::string text = labelWith(s, rotation, rotation % 2 == 0);
                const label::Label label = label::readLabel(text);
                ASSERT_EQ(label.elements.size(), 1u) << text;
                ASSERT_FALSE(label.hasErrors()) << text;
                const QImage picture = labeldraw::drawLabel(label, scale);
                const picturetest::Scan scan =
                    scanArea(picture, withQuietZone(pixelBox(label.elements[0].box, scale), scale),
                             {s.fullAscii});
                EXPECT_EQ(scan.format, s.format) << text << " at scale " << scale;
                EXPECT_EQ(scan.text, scannerText(s.type, s.data)) << text << " at scale " << scale;
            }
        }
    }
}

TEST(BarcodeReadBack, BarsFillExactlyTheElementBox) {
    for (const SymbologySample& s : samples()) {
        for (int rotation = 0; rotation < 4; ++rotation) {
            const std::string text = labelWith(s, rotation, false);
            const label::Label label = label::readLabel(text);
            ASSERT_EQ(label.elements.size(), 1u) << text;
            for (const int scale : {1, 2}) {
                const QImage picture = labeldraw::drawLabel(label, scale);
                EXPECT_EQ(inkBounds(picture), pixelBox(label.elements[0].box, scale))
                    << text << " at scale " << scale;
            }
        }
    }
}

TEST(BarcodeReadBack, TheHumanReadableLineStaysInsideTheBox) {
    for (const SymbologySample& s : samples()) {
        const std::string text = labelWith(s, 0, true);
        const label::Label label = label::readLabel(text);
        ASSERT_EQ(label.elements.size(), 1u) << text;
        const QImage picture = labeldraw::drawLabel(label, 1);
        const QRect box = pixelBox(label.elements[0].box, 1);
        EXPECT_TRUE(box.contains(inkBounds(picture))) << text;
        EXPECT_GT(box.height(), 60) << text;
    }
}

TEST(BarcodeReadBack, TheDefaultTemplateWithSampleValues) {
    const label::SampleValues values = {{"@C", "C0402-33"}, {"@S0", "R1-2026"}, {"@Y", "2026"},
                                        {"@M", "01"},       {"@D", "19"},       {"@H", "08"},
                                        {"@m", "30"}};
    const label::Label label = label::readLabel(defaultLabelTemplate(), values);
    ASSERT_EQ(label.elements.size(), 4u);
    for (const int scale : {1, 2}) {
        const QImage picture = labeldraw::drawLabel(label, scale);
        ASSERT_EQ(picture.size(), QSize(514 * scale, 204 * scale));
        for (const std::size_t index : {std::size_t{0}, std::size_t{3}}) {
            const label::Element& barcode = label.elements[index];
            const QRect area = withQuietZone(pixelBox(barcode.box, scale), scale);
            const picturetest::Scan scan = scanArea(picture, area);
            EXPECT_EQ(scan.format, "Code128") << "line " << barcode.line << " scale " << scale;
            EXPECT_EQ(scan.text, barcode.data) << "line " << barcode.line << " scale " << scale;
        }
        for (const label::Element& element : label.elements) {
            const QRect box = pixelBox(element.box, scale);
            const QRect ink = inkBounds(picture, box);
            EXPECT_FALSE(ink.isEmpty()) << "line " << element.line;
        }
    }
}

}  // namespace
