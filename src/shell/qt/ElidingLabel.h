// A one-line label that shows as much of its text as its width allows, its end cut to "…", and
// the whole text as its tooltip; it never asks its window for more width.
#pragma once

#include <QLabel>

namespace varo {

class ElidingLabel : public QLabel {
 public:
  using QLabel::QLabel;

  // Sets the text and the tooltip that holds it whole.
  void SetWholeText(const QString& text);
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace varo
