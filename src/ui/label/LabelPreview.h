#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

#include "label/Label.h"

class FindingListModel;
class LabelCanvas;
class LabelRenderThread;
class QLabel;
class QListView;
class QModelIndex;
class QPlainTextEdit;
class QScrollArea;
class QTableView;
class QToolButton;
class SampleTableModel;

// The label template's preview: the picture of the label at its real
// proportions, the findings of its check under it, and the sample values of
// the machine's @ tokens. It follows the template it is given and draws it
// again when typing pauses; reading and drawing run on a thread of its own.
// It never changes the template.
class LabelPreview : public QWidget {
    Q_OBJECT
  public:
    explicit LabelPreview(QWidget* parent = nullptr);
    ~LabelPreview() override;

    // Typing pauses this long before the label is drawn again.
    static constexpr int kTypingPauseMs = 300;
    static constexpr int kLeastZoom = 1;
    static constexpr int kMostZoom = 8;

    // The template as the edit holds it (LF or CR LF line ends); drawn after
    // the typing pause.
    void setTemplateText(const QString& text);
    // Follows the edit: takes its text when typing pauses, and puts its
    // cursor on the line of a finding the operator activates.
    void followEdit(QPlainTextEdit* edit);
    // Draws the latest template now, without waiting for the pause.
    void redrawNow();

    // The sample values as one settings text, to store and restore.
    QString sampleSettings() const;
    void setSampleSettings(const QString& settings);

    int zoom() const { return zoom_; }
    void setZoom(int zoom);

    // Writes the picture as PNG at the current zoom, off the window's thread;
    // pngSaved tells how it went.
    void savePng(const QString& path);

    // What is shown: the label last drawn (nullptr before the first) and its
    // picture.
    std::shared_ptr<const label::Label> currentLabel() const { return label_; }
    QImage picture() const;

  Q_SIGNALS:
    // A finding was activated: its line in the template, 1-based.
    void lineActivated(int line);
    void sampleSettingsChanged(const QString& settings);
    // A new picture and its findings are shown.
    void redrawn();
    void pngSaved(const QString& path, bool saved, const QString& error);

  private:
    void requestRender();
    void showResult(std::uint64_t serial, std::shared_ptr<const label::Label> label,
                    const QImage& picture, int scale);
    void showSaved(const QString& path, bool saved, const QString& error);
    void activateFinding(const QModelIndex& index);
    void chooseFileAndSave();
    void updateZoomControls();

    QLabel* sizeLabel_;
    QLabel* zoomLabel_;
    QToolButton* zoomOut_;
    QToolButton* zoomIn_;
    QScrollArea* scroll_;
    LabelCanvas* canvas_;
    QListView* findingView_;
    FindingListModel* findings_;
    QTableView* sampleView_;
    SampleTableModel* samples_;
    QLabel* status_;
    QTimer typingPause_;

    QPointer<QPlainTextEdit> edit_;
    QString text_;
    bool textFromEdit_ = false;
    int zoom_ = 2;
    int shownScale_ = 0;
    std::uint64_t serial_ = 0;
    std::shared_ptr<const label::Label> label_;
    // Last: stopped and joined first when the preview goes.
    std::unique_ptr<LabelRenderThread> renderer_;
};

// Puts the edit's cursor at the start of `line` (1-based), shows it and gives
// the edit the focus.
void putCursorOnLine(QPlainTextEdit* edit, int line);
