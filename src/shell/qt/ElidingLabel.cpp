#include "shell/qt/ElidingLabel.h"

#include <QPainter>
#include <QStyle>

namespace varo {

void ElidingLabel::SetWholeText(const QString& text) {
  setText(text);
  setToolTip(text);
}

QSize ElidingLabel::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidingLabel::sizeHint() const {
  return {0, QLabel::sizeHint().height()};
}

void ElidingLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect area = contentsRect();
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                        shown, foregroundRole());
}

}  // namespace varo
