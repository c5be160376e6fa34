// The preview offscreen: it follows a template edit, lists the findings, puts
// the edit's cursor on a finding's line, zooms, keeps sample values as one
// settings text, and writes its picture as PNG.
#include <gtest/gtest.h>

#include <QListView>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "ui/label/LabelPreview.h"

namespace {

constexpr int kWaitMs = 10000;

const char kTemplate[] =
    "N\nq300\nQ200,24\n"
    "B20,20,0,E30,2,4,50,B,\"59012341234A\"\n"
    "A20,120,0,3,1,1,N,\"Lot @C\"\n"
    "P1\n";

QStringList rows(const QListView& view) {
    QStringList texts;
    for (int row = 0; row < view.model()->rowCount(); ++row) {
        texts << view.model()->index(row, 0).data().toString();
    }
    return texts;
}

class LabelPreviewTest : public ::testing::Test {
  protected:
    // The next picture the preview shows.
    void waitForRedraw() {
        QSignalSpy redrawn(&preview, &LabelPreview::redrawn);
        ASSERT_TRUE(redrawn.wait(kWaitMs));
    }
    QListView& findingView() { return *preview.findChild<QListView*>(); }

    LabelPreview preview;
};

TEST_F(LabelPreviewTest, ListsTheFindingsOfTheTemplateItIsGiven) {
    preview.setTemplateText(QString::fromLatin1(kTemplate));
    waitForRedraw();
    EXPECT_EQ(rows(findingView()),
              QStringList{"line 4: error: B: EAN-13 carries digits only: 'A' at position 12"});
    ASSERT_TRUE(preview.currentLabel());
    EXPECT_EQ(preview.picture().size(), QSize(300 * 2, 200 * 2));

    preview.setTemplateText(QStringLiteral("N\nq300\nQ200,24\nLO1,1,10,10\nP1\n"));
    waitForRedraw();
    EXPECT_TRUE(rows(findingView()).isEmpty());
}

TEST_F(LabelPreviewTest, ActivatingAFindingPutsTheEditsCursorOnItsLine) {
    QPlainTextEdit edit;
    edit.setPlainText(QString::fromLatin1(kTemplate));
    QSignalSpy lines(&preview, &LabelPreview::lineActivated);
    preview.followEdit(&edit);
    waitForRedraw();
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    QListView& view = findingView();
    const QRect first = view.visualRect(view.model()->index(0, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, first.center());
    ASSERT_EQ(lines.count(), 1);
    EXPECT_EQ(lines.at(0).at(0).toInt(), 4);
    EXPECT_EQ(edit.textCursor().blockNumber(), 3);
    EXPECT_EQ(edit.textCursor().positionInBlock(), 0);
}

TEST_F(LabelPreviewTest, RedrawsOnceTypingPauses) {
    QPlainTextEdit edit;
    edit.setPlainText(QStringLiteral("N\nq300\nQ200,24\nP1\n"));
    preview.followEdit(&edit);
    waitForRedraw();
    QSignalSpy redrawn(&preview, &LabelPreview::redrawn);
    edit.moveCursor(QTextCursor::End);
    QTest::keyClicks(&edit, "Zq");
    QTest::qWait(LabelPreview::kTypingPauseMs / 3);
    EXPECT_EQ(redrawn.count(), 0);
    ASSERT_TRUE(redrawn.wait(kWaitMs));
    QTest::qWait(LabelPreview::kTypingPauseMs * 2);
    EXPECT_EQ(redrawn.count(), 1);
    EXPECT_EQ(rows(findingView()), QStringList{"line 5: error: unknown command \"Zq\""});
}

TEST_F(LabelPreviewTest, SampleValuesAreDrawnAndKeptAsOneSettingsText) {
    QSignalSpy settings(&preview, &LabelPreview::sampleSettingsChanged);
    preview.setTemplateText(QString::fromLatin1(kTemplate));
    preview.setSampleSettings(QStringLiteral("@C=C0402\n@X=kept\n"));
    waitForRedraw();
    ASSERT_TRUE(preview.currentLabel());
    EXPECT_EQ(preview.currentLabel()->elements.at(1).data, "Lot C0402");

    // The operator types a sample into the table.
    auto* table = preview.findChild<QTableView*>();
    ASSERT_TRUE(table);
    QAbstractItemModel* samples = table->model();
    ASSERT_EQ(samples->rowCount(), 1);
    EXPECT_EQ(samples->index(0, 0).data().toString(), "@C");
    EXPECT_TRUE(samples->setData(samples->index(0, 1), QStringLiteral("R7"), Qt::EditRole));
    ASSERT_EQ(settings.count(), 1);
    EXPECT_EQ(settings.at(0).at(0).toString(), "@C=R7\n@X=kept\n");
    EXPECT_EQ(preview.sampleSettings(), "@C=R7\n@X=kept\n");
    waitForRedraw();
    EXPECT_EQ(preview.currentLabel()->elements.at(1).data, "Lot R7");
}

TEST_F(LabelPreviewTest, ZoomsBetweenOneAndEightPixelsPerDot) {
    preview.setTemplateText(QStringLiteral("N\nq100\nQ50,24\nLO10,10,20,5\nP1\n"));
    preview.redrawNow();
    waitForRedraw();
    preview.setZoom(5);
    waitForRedraw();
    EXPECT_EQ(preview.picture().size(), QSize(500, 250));
    preview.setZoom(99);
    EXPECT_EQ(preview.zoom(), LabelPreview::kMostZoom);
    waitForRedraw();
    EXPECT_EQ(preview.picture().size(), QSize(800, 400));
    preview.setZoom(0);
    EXPECT_EQ(preview.zoom(), LabelPreview::kLeastZoom);
}

TEST_F(LabelPreviewTest, ALabelTooLargeToDrawIsStillChecked) {
    preview.setTemplateText(QStringLiteral("N\nq65535\nQ65535,24\nZZ\nP1\n"));
    preview.redrawNow();
    waitForRedraw();
    EXPECT_TRUE(preview.picture().isNull());
    EXPECT_EQ(rows(findingView()), QStringList{"line 4: error: unknown command \"ZZ\""});
}

TEST_F(LabelPreviewTest, WritesThePictureAsPngAndSaysWhenItCannot) {
    QTemporaryDir folder;
    preview.setTemplateText(QString::fromLatin1(kTemplate));
    preview.setZoom(3);
    preview.redrawNow();
    waitForRedraw();
    QSignalSpy saved(&preview, &LabelPreview::pngSaved);
    const QString path = folder.filePath(QStringLiteral("label.png"));
    preview.savePng(path);
    ASSERT_TRUE(saved.wait(kWaitMs));
    EXPECT_TRUE(saved.at(0).at(1).toBool()) << saved.at(0).at(2).toString().toStdString();
    const QImage written(path);
    ASSERT_EQ(written.size(), QSize(900, 600));
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32),
              preview.picture().convertToFormat(QImage::Format_RGB32));

    const QString nowhere = folder.filePath(QStringLiteral("no/such/folder/label.png"));
    preview.savePng(nowhere);
    ASSERT_TRUE(saved.wait(kWaitMs));
    EXPECT_FALSE(saved.at(1).at(1).toBool());
    EXPECT_FALSE(saved.at(1).at(2).toString().isEmpty());
    EXPECT_FALSE(QFile::exists(nowhere));
}

}  // namespace
