#pragma once
// Progress of a long preview or save, shown to the user: a progress dialog
// with Cancel that appears only once the work has taken a while (the timing
// is dialog/progress_timing.h's).

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include "dialog/progress_timing.h"

class QProgressDialog;
class QWidget;

namespace tavimo::app {

class ProgressWindow final : public dialog::ProgressTiming {
 public:
  // `owner` is the window the dialog blocks while it is shown; `label` the
  // dialog's text ("Saving cells...").
  ProgressWindow(QWidget* owner, QString label);
  ~ProgressWindow() override;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // The dialog while it is shown, else null.
  QProgressDialog* Dialog() const;

 private:
  std::chrono::milliseconds Now() override;
  bool OpenWindow() override;
  void HideWindow() override;
  void SetBar(int value) override;
  void HandleEvents() override;

  QPointer<QWidget> owner_;
  QString label_;
  QElapsedTimer clock_;
  QPointer<QProgressDialog> dialog_;
};

}  // namespace tavimo::app
