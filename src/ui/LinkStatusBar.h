#pragma once

#include <QWidget>

#include "link/LinkStatusText.h"

// The one-line link status along the bottom of the window: a round state
// mark, then the text, cut with "…" where the window is too narrow (the whole
// text is the tool tip). It never takes the focus.
class LinkStatusBar : public QWidget {
    Q_OBJECT

  public:
    explicit LinkStatusBar(QWidget* parent);

    // Repaints only when the line differs from the one shown.
    void showLine(const LinkStatusLine& line);
    const LinkStatusLine& line() const { return line_; }
    // Room kept free at the right end, for the buttons placed there.
    void setRightRoom(int pixels);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    LinkStatusLine line_;
    int rightRoom_ = 0;
};
