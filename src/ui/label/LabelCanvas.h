#pragma once

#include <QImage>
#include <QWidget>

// The label's picture at its size in pixels, on the window's background.
class LabelCanvas : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage picture_;
};
