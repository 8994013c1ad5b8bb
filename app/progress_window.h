#pragma once
// Progress of a long preview or save, shown to the user: a progress dialog
// with Cancel that appears only once the work has taken a while.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "dialog/dialog_texts.h"
#include "model/progress.h"

class QProgressDialog;
class QWidget;

namespace tavimo::app {

class ProgressWindow final : public Progress {
 public:
  // Work shorter than this shows no dialog at all.
  static constexpr qint64 kShowAfterMs = 500;
  // Events (painting, the Cancel button) are handled at most this often:
  // more often would slow the work, less often makes the window sluggish.
  static constexpr qint64 kEventsEveryMs = 50;

  // `owner` is the window the dialog blocks while it is shown; `label` the
  // dialog's text ("Saving cells...").
  ProgressWindow(QWidget* owner, QString label);
  ~ProgressWindow() override;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Handles the window's events now and then, and answers false once the
  // user has cancelled (or Cancel() was called). The first call starts the
  // clock: a Save As dialog before the work does not count.
  bool Step(std::uint64_t done, std::uint64_t total) override;

  // Stops the work at its next step (the program is ending).
  void Cancel();
  // Takes the dialog away for good while the work goes on to its end: the
  // work has a message to show, which the dialog must neither hide nor block.
  void CloseDialog();
  bool Cancelled() const { return cancelled_; }
  // The dialog while it is shown, else null.
  QProgressDialog* Dialog() const;

 private:
  void ShowDialog();
  void HideDialog();

  QPointer<QWidget> owner_;
  QString label_;
  QElapsedTimer started_;
  qint64 lastEventsMs_ = 0;
  QPointer<QProgressDialog> dialog_;
  bool cancelled_ = false;
  bool dialogClosed_ = false;
};

}  // namespace tavimo::app
