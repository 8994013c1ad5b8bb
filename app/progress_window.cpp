#include "app/progress_window.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>

#include "dialog/dialog_layout.h"

namespace tavimo::app {
namespace {

// The bar's range: fine enough for a smooth bar, far from int overflow
// whatever the item count.
constexpr int kBarRange = 1000;

int BarValue(std::uint64_t done, std::uint64_t total) {
  if (total == 0 || done >= total) return kBarRange;
  return static_cast<int>(static_cast<long double>(done) / static_cast<long double>(total) * kBarRange);
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner, QString label) : owner_(owner), label_(std::move(label)) {}

ProgressWindow::~ProgressWindow() { delete dialog_.data(); }

bool ProgressWindow::Step(std::uint64_t done, std::uint64_t total) {
  if (cancelled_) return false;
  if (!started_.isValid()) {
    started_.start();
    return true;
  }
  const qint64 now = started_.elapsed();
  if (now - lastEventsMs_ < kEventsEveryMs) return true;
  lastEventsMs_ = now;

  if (!dialog_ && !dialogClosed_ && now >= kShowAfterMs) ShowDialog();
  if (dialog_ && !dialogClosed_) dialog_->setValue(BarValue(done, total));
  // Paint the windows and let the Cancel button (or Exit) be clicked. A
  // click on the window's buttons gets through too, before the dialog
  // appears; the window ignores a request while one is running.
  QCoreApplication::processEvents();
  if (dialog_ && dialog_->wasCanceled()) cancelled_ = true;
  return !cancelled_;
}

void ProgressWindow::Cancel() {
  cancelled_ = true;
  HideDialog();
}

void ProgressWindow::CloseDialog() {
  dialogClosed_ = true;
  HideDialog();
}

void ProgressWindow::HideDialog() {
  if (!dialog_) return;
  // Hidden, not deleted: this may run inside the dialog's own setValue().
  // reset() stops the dialog's timer that would show it again.
  dialog_->reset();
  dialog_->hide();
}

QProgressDialog* ProgressWindow::Dialog() const {
  return dialog_ && dialog_->isVisible() ? dialog_.data() : nullptr;
}

void ProgressWindow::ShowDialog() {
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
  QObject::connect(dialog, &QProgressDialog::canceled, dialog, [this] { cancelled_ = true; });
  dialog_ = dialog;
  dialog->show();
}

}  // namespace tavimo::app
