#pragma once
#include <QKeyEvent>
#include <QPushButton>

namespace tavimo::app {

// A push button that Enter presses while it has the focus, as Space does.
// It is never a default button, so Enter elsewhere in the dialog does nothing.
class DialogButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
      click();
      event->accept();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

}  // namespace tavimo::app
