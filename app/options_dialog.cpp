#include "app/options_dialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include "app/dialog_controls.h"
#include "app/dialog_units.h"
#include "dialog/dialog_ids.h"

namespace tavimo::app {

using namespace dialog;

OptionsDialog::OptionsDialog(QWidget* parent, OptionsStore& store, ShowMessageFunction showMessage)
    : QDialog(parent), store_(store), showMessage_(std::move(showMessage)) {
  setObjectName(QLatin1String(kOptionsObjectName));
  setWindowTitle(QLatin1String(kOptionsCaption));
  // A caption with a close button only, as the main dialog has.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogBaseUnits units = BaseUnitsOf(fontMetrics());
  setFixedSize(ToPixels(units, QSize(kOptionsWidthDu, kOptionsHeightDu)));

  for (const ControlDef& def : OptionsControls()) {
    QWidget* w = MakeControl(def, units, this);
    controls_.insert(def.id, w);
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (auto* list = qobject_cast<QComboBox*>(w)) {
      for (const char* item : OptionsListItems(def.id)) list->addItem(QLatin1String(item));
    } else if (def.kind == ControlKind::kCheckBox) {
      connect(button, &QAbstractButton::clicked, this, [this] { FollowChecks(*this); });
    } else if (def.id == IDC_OPTIONSOK) {
      connect(button, &QAbstractButton::clicked, this, [this] {
        if (AcceptOptions(*this, store_)) accept();
      });
    } else if (def.id == IDC_OPTIONSCANCEL) {
      connect(button, &QAbstractButton::clicked, this, &QDialog::reject);
    }
  }
  NameFieldsByLabels(OptionsFieldLabels(), [this](int id) { return Control(id); });
  ShowChoices(*this, store_.Choices());
}

bool OptionsDialog::IsChecked(int id) {
  auto* box = qobject_cast<QAbstractButton*>(Control(id));
  return box != nullptr && box->isChecked();
}

void OptionsDialog::SetChecked(int id, bool checked) {
  if (auto* box = qobject_cast<QAbstractButton*>(Control(id))) box->setChecked(checked);
}

std::string OptionsDialog::GetText(int id) {
  auto* edit = qobject_cast<QLineEdit*>(Control(id));
  return edit != nullptr ? edit->text().toStdString() : std::string();
}

void OptionsDialog::SetText(int id, std::string_view text) {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(id)))
    edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int OptionsDialog::GetChoice(int id) {
  auto* list = qobject_cast<QComboBox*>(Control(id));
  return list != nullptr ? list->currentIndex() : -1;
}

void OptionsDialog::SetChoice(int id, int index) {
  if (auto* list = qobject_cast<QComboBox*>(Control(id))) list->setCurrentIndex(index);
}

void OptionsDialog::Enable(int id, bool enabled) {
  if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

void OptionsDialog::Focus(int id) {
  if (QWidget* w = Control(id)) w->setFocus(Qt::OtherFocusReason);
}

void OptionsDialog::ShowMessage(std::string_view text, std::string_view caption, unsigned style) {
  showMessage_(text, caption, style);
}

}  // namespace tavimo::app
