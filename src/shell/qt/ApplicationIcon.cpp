#include "shell/qt/ApplicationIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

// The resource lives in a static library, so it must be registered by hand.
static void RegisterShellResources() {
  Q_INIT_RESOURCE(shell);
}

namespace varo {

namespace {

// The sizes notification areas and window decorations ask for.
constexpr int IconSizes[] = {16, 22, 24, 32, 48, 64, 128};

// A yellow triangle with a dark "!" over the lower right part of the square of side size, the mark
// every desktop reads as a warning.
void PaintWarningMark(QPainter& painter, int size) {
  const qreal side = size * 0.62;
  const QRectF box(size - side, size - side, side, side);
  QPainterPath triangle;
  triangle.moveTo(box.center().x(), box.top());
  triangle.lineTo(box.right(), box.bottom());
  triangle.lineTo(box.left(), box.bottom());
  triangle.closeSubpath();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0x40, 0x30, 0x00), std::max(1.0, size / 24.0)));
  painter.setBrush(QColor(0xFF, 0xC8, 0x00));
  painter.drawPath(triangle);
  const qreal stroke = std::max(1.5, side / 7.0);
  painter.setPen(QPen(QColor(0x20, 0x18, 0x00), stroke, Qt::SolidLine, Qt::FlatCap));
  const qreal x = box.center().x();
  painter.drawLine(QPointF(x, box.top() + side * 0.35), QPointF(x, box.top() + side * 0.68));
  painter.drawPoint(QPointF(x, box.top() + side * 0.82));
}

}  // namespace

QIcon ApplicationIcon() {
  static const bool registered = (RegisterShellResources(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/quillmarch-varo-server.png"));
}

QIcon WarningIcon() {
  const QIcon base = ApplicationIcon();
  QIcon marked;
  for (const int size : IconSizes) {
    QPixmap pixmap = base.pixmap(QSize(size, size));
    if (pixmap.isNull()) continue;
    pixmap = pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&pixmap);
    PaintWarningMark(painter, size);
    painter.end();
    marked.addPixmap(pixmap);
  }
  return marked;
}

}  // namespace varo
