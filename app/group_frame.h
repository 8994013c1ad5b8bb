#pragma once
#include <QGroupBox>

namespace tavimo::app {

// A group box drawn the way the dialog's layout expects: an etched line
// that runs through the middle of the caption's first text line, about half
// a text height below the frame's top, with the caption set into it. The
// controls placed below the caption then never meet the line; Qt's own
// styles draw the line below the caption instead.
class GroupFrame : public QGroupBox {
  Q_OBJECT

 public:
  using QGroupBox::QGroupBox;

  // Distance from the frame's top to its top line, pixels.
  int LineTop() const;
  // Left edge of the caption and the gap kept free on either side of it.
  static constexpr int kCaptionLeft = 7;
  static constexpr int kCaptionGap = 1;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavimo::app
