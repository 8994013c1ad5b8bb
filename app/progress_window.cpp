#include "app/progress_window.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>

#include "dialog/dialog_layout.h"

namespace tavimo::app {

ProgressWindow::ProgressWindow(QWidget* owner, QString label) : owner_(owner), label_(std::move(label)) {}

ProgressWindow::~ProgressWindow() { delete dialog_.data(); }

QProgressDialog* ProgressWindow::Dialog() const {
  return dialog_ && dialog_->isVisible() ? dialog_.data() : nullptr;
}

std::chrono::milliseconds ProgressWindow::Now() {
  // From the first step on.
  if (!clock_.isValid()) clock_.start();
  return std::chrono::milliseconds(clock_.elapsed());
}

bool ProgressWindow::OpenWindow() {
  auto* dialog = new QProgressDialog(label_, QStringLiteral("Cancel"), 0, kBarRange, owner_.data());
  dialog->setObjectName(QStringLiteral("ProgressDialog"));
  dialog->setWindowTitle(QLatin1String(dialog::kDialogCaption));
  // Blocks the main window only: a second request cannot start from it,
  // yet other programs stay usable.
  dialog->setWindowModality(Qt::WindowModal);
  // The dialog stays until the work ends, whatever the bar shows.
  dialog->setAutoReset(false);
  dialog->setAutoClose(false);
  dialog->setMinimumDuration(0);
  QObject::connect(dialog, &QProgressDialog::canceled, dialog, [this] { StopWork(); });
  dialog_ = dialog;
  dialog->show();
  return true;
}

void ProgressWindow::HideWindow() {
  if (!dialog_) return;
  // Hidden, not deleted: this may run inside the dialog's own setValue().
  // reset() stops the dialog's timer that would show it again.
  dialog_->reset();
  dialog_->hide();
}

void ProgressWindow::SetBar(int value) {
  if (dialog_) dialog_->setValue(value);
}

void ProgressWindow::HandleEvents() {
  // Paint the windows and let the Cancel button (or Exit) be clicked. A
  // click on the window's buttons gets through too, before the dialog
  // appears; the window ignores a request while one is running.
  QCoreApplication::processEvents();
  if (dialog_ && dialog_->wasCanceled()) StopWork();
}

}  // namespace tavimo::app
