// tolvane-label as scripts run it: on files and pipes, its findings, its exit
// status and its pictures, read back by a scanner.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "label/Label.h"
#include "settings/SettingsTable.h"
#include "tests/labeldraw/PictureProbe.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

ToolRun runTool(const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral(TOLVANE_LABEL_TOOL_PATH), args);
    EXPECT_TRUE(process.waitForStarted(10000));
    if (!input.isEmpty()) {
        process.write(input);
    }
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    ToolRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

class LabelTool : public ::testing::Test {
  protected:
    QString write(const QString& name, const QByteArray& text) {
        const QString path = folder_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    QString path(const QString& name) const { return folder_.filePath(name); }
    QString folder() const { return folder_.path(); }

  private:
    QTemporaryDir folder_;
};

TEST_F(LabelTool, CheckPrintsFindingsAndExitsOneOnAnError) {
    const QString clean = write("clean.epl", "N\nq400\nQ200,24\nLO1,1,10,10\nP1\n");
    ToolRun run = runTool({"check", clean});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");

    const QString defaults =
        write("default.epl", QByteArray::fromStdString(defaultLabelTemplate()));
    run = runTool({"check", defaults});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, defaults.toStdString() +
                           ":8: warning: B: narrow bars of 1 dot are read only by good scanners "
                           "at 203 dpi\n");

    const QString bad = write("bad.epl", "N\r\nq400\r\nB10,10,0,E30,2,4,50,B,\"12A\"\r\nZZ\r\n");
    run = runTool({"check", bad});
    EXPECT_EQ(run.status, 1);
    const std::string name = bad.toStdString();
    EXPECT_EQ(run.out, name + ":3: error: B: EAN-13 carries digits only: 'A' at position 3\n" +
                           name + ":4: error: unknown command \"ZZ\"\n" + name +
                           ":4: error: no P at the end: the label is never printed\n");
}

TEST_F(LabelTool, CheckReadsStandardInputAndSamples) {
    const ToolRun run =
        runTool({"check", "-", "--sample", "@C=12AB"}, "N\nB10,10,0,E30,2,4,50,B,\"@C\"\nP1\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "<stdin>:2: error: B: EAN-13 carries digits only: 'A' at position 3 (with the "
              "sample values)\n");
}

TEST_F(LabelTool, UnreadableFilesAndWrongCommandLinesExitTwo) {
    ToolRun run = runTool({"check", path("missing.epl")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
    run = runTool({"check", folder()});
    EXPECT_EQ(run.status, 2);
    run = runTool({"png", path("missing.epl"), path("out.png")});
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(QFile::exists(path("out.png")));
    run = runTool({"check"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage:"), std::string::npos) << run.err;
}

TEST_F(LabelTool, PngOfTheDefaultTemplateReadsBackWithTheSamples) {
    const QString input = write("default.epl", QByteArray::fromStdString(defaultLabelTemplate()));
    const QString output = path("default.png");
    const ToolRun run = runTool({"png", input, output, "--sample", "@C=C0402-33", "--sample",
                                 "@S0=R1-2026", "--scale", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(":8: warning: B: narrow bars of 1 dot"), std::string::npos) << run.err;
    const QImage picture(output);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(514 * 2, 204 * 2));
    // Where the reader puts the bar codes, the scanner finds them.
    const label::Label label =
        label::readLabel(defaultLabelTemplate(), {{"@C", "C0402-33"}, {"@S0", "R1-2026"}});
    for (const std::size_t index : {std::size_t{0}, std::size_t{3}}) {
        const QRect box =
            picturetest::pixelBox(label.elements[index].box, 2).adjusted(-40, -40, 40, 40);
        EXPECT_EQ(picturetest::scanArea(picture, box).text, label.elements[index].data);
    }
}

TEST_F(LabelTool, PngGoesToStandardOutputOneDotAPixel) {
    const ToolRun run = runTool({"png", "-", "-"}, "N\r\nq100\r\nQ50,24\r\nLO10,10,20,5\r\nP1\r\n");
    EXPECT_EQ(run.status, 0) << run.err;
    QImage picture;
    ASSERT_TRUE(picture.loadFromData(QByteArray::fromStdString(run.out), "PNG"));
    EXPECT_EQ(picture.size(), QSize(100, 50));
    EXPECT_EQ(picturetest::inkBounds(picture), QRect(10, 10, 20, 5));
}

TEST_F(LabelTool, PicturesTooLargeOrUnwritableExitOne) {
    const QString huge = write("huge.epl", "N\nq65535\nQ65535,24\nP1\n");
    ToolRun run = runTool({"png", huge, path("huge.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("too large"), std::string::npos) << run.err;
    EXPECT_FALSE(QFile::exists(path("huge.png")));
    const QString small = write("small.epl", "N\nq10\nQ10,24\nP1\n");
    run = runTool({"png", small, path("no/such/folder/small.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

}  // namespace
