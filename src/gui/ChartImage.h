// An image control with a drawing surface: holds a picture of its own size that the chart
// drawer paints on and shows it unscaled (the chart images) or stretched (the map images).
#pragma once

#include <QImage>
#include <QWidget>

namespace tarnwell::gui {

class ImageControl : public QWidget {
  Q_OBJECT
 public:
  explicit ImageControl(bool stretch, QWidget* parent = nullptr);

  // The picture, for drawing on; resized (and cleared to white) to the given size (the
  // control's own when empty) when the size changed since the last drawing.
  QImage& Canvas(QSize size = {});
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);
  bool HasPicture() const { return !picture_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool stretch_;
  QImage picture_;
};

}  // namespace tarnwell::gui
