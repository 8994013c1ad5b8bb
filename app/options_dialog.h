#pragma once
// The Options window as Qt shows it: the shared description
// (dialog/options_window.h) rendered, its logic left to the dialog layer.

#include <QDialog>
#include <QHash>
#include <functional>
#include <string>
#include <string_view>

#include "dialog/options_window.h"

namespace tavimo::app {

class OptionsDialog : public QDialog, private dialog::OptionsForm {
 public:
  using ShowMessageFunction = std::function<void(std::string_view text, std::string_view caption, unsigned style)>;

  // Shows the choices `store` holds; OK hands the new ones to it. Messages
  // go through `showMessage`, as the main window's do.
  OptionsDialog(QWidget* parent, dialog::OptionsStore& store, ShowMessageFunction showMessage);

  QWidget* Control(int id) const { return controls_.value(id); }

 private:
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  std::string GetText(int id) override;
  void SetText(int id, std::string_view text) override;
  int GetChoice(int id) override;
  void SetChoice(int id, int index) override;
  void Enable(int id, bool enabled) override;
  void Focus(int id) override;
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style) override;

  dialog::OptionsStore& store_;
  ShowMessageFunction showMessage_;
  QHash<int, QWidget*> controls_;
};

}  // namespace tavimo::app
