#include "app/dialog_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/dialog_button.h"
#include "app/dialog_units.h"
#include "app/group_frame.h"

namespace tavimo::app {

using dialog::ControlKind;

QWidget* MakeControl(const dialog::ControlDef& def, const dialog::DialogBaseUnits& units, QWidget* parent) {
  const QString text = QLatin1String(def.text);
  QWidget* w = nullptr;
  switch (def.kind) {
    case ControlKind::kPushButton: {
      auto* button = new DialogButton(text, parent);
      button->setAutoDefault(false);
      button->setDefault(false);
      w = button;
      break;
    }
    case ControlKind::kDefaultButton: {
      auto* button = new QPushButton(text, parent);
      button->setDefault(true);
      w = button;
      break;
    }
    case ControlKind::kTextBox: {
      auto* edit = new QLineEdit(text, parent);
      edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      w = edit;
      break;
    }
    case ControlKind::kLabel: {
      auto* label = new QLabel(text, parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      w = label;
      break;
    }
    case ControlKind::kGroupBox: {
      auto* box = new GroupFrame(text, parent);
      // A frame only: clicks go through to the controls it surrounds.
      box->setAttribute(Qt::WA_TransparentForMouseEvents);
      box->setFocusPolicy(Qt::NoFocus);
      w = box;
      break;
    }
    case ControlKind::kRadioButton: {
      // Radio buttons of one parent form one exclusive group.
      auto* radio = new QRadioButton(text, parent);
      radio->setAutoExclusive(true);
      w = radio;
      break;
    }
    case ControlKind::kCheckBox:
      w = new QCheckBox(text, parent);
      break;
    case ControlKind::kDropDown:
      // Its items are its window's to add: the table holds none.
      w = new QComboBox(parent);
      break;
    case ControlKind::kPreview:
      return nullptr;
  }
  w->setObjectName(QLatin1String(def.name));
  w->setGeometry(ToPixels(units, QRect(def.x, def.y, def.width, def.height)));
  w->setEnabled(def.enabled);
  return w;
}

void NameFieldsByLabels(std::span<const dialog::LabelFor> labels, const std::function<QWidget*(int)>& control) {
  for (const dialog::LabelFor& pair : labels) {
    auto* label = static_cast<QLabel*>(control(pair.label));
    QWidget* field = control(pair.field);
    label->setBuddy(field);
    field->setAccessibleName(label->text());
  }
}

}  // namespace tavimo::app
