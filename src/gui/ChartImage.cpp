#include "gui/ChartImage.h"

#include <QPainter>

namespace tarnwell::gui {

ImageControl::ImageControl(bool stretch, QWidget* parent) : QWidget(parent), stretch_(stretch) {}

QImage& ImageControl::Canvas(QSize size) {
  if (size.isEmpty()) size = this->size();
  if (size.isEmpty()) size = QSize(853, 554);
  if (picture_.size() != size) {
    picture_ = QImage(size, QImage::Format_RGB32);
    picture_.fill(Qt::white);
  }
  return picture_;
}

void ImageControl::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void ImageControl::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter p(this);
  if (stretch_) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), picture_);
  } else {
    p.drawImage(0, 0, picture_);
  }
}

}  // namespace tarnwell::gui
