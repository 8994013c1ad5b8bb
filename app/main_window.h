#pragma once
// The main dialog "Cell block generator": its controls and menu, the
// dispatch of its commands, its message boxes and the Save As dialog; the
// dialog layer's host (dialog/dialog_host.h) for the requests it runs.

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_units.h"
#include "dialog/dialog_host.h"
#include "dialog/dialog_ids.h"
#include "dialog/options_store.h"
#include "preview/draw_preview.h"

class QAction;
class QFileDialog;
class QMessageBox;
class QMenuBar;

namespace tavimo {
class PixelSurface;
}

namespace tavimo::app {

class OptionsDialog;
class PreviewWidget;
class ProgressWindow;

// Replacements for what the window would otherwise show to the user. Tests
// set them to record instead; an empty hook means the real thing.
struct WindowHooks {
  // Every message box, the About box included (its style has kMessageTaskModal).
  std::function<void(std::string_view text, std::string_view caption, unsigned style)> showMessage;
  // The Save As dialog: the chosen path or nothing.
  std::function<std::optional<std::string>(std::string_view initialName, std::string_view filter,
                                           std::string_view defaultExtension)>
      askSaveFileName;
  // Ending the program; by default the application's event loop ends with this code.
  std::function<void(int code)> exit;
  // The preview's pixel buffer (width x height, filled with `fill`); by
  // default a plain PixelSurface.
  std::function<std::unique_ptr<PixelSurface>(int width, int height, Rgb fill)> makeSurface;
};

class MainWindow : public QWidget, private dialog::DialogHost {
 public:
  explicit MainWindow(WindowHooks hooks = {});
  ~MainWindow() override;

  // Runs a command as the buttons and menu do (IDC_CREATECELLS, IDC_SAVECELLS,
  // IDM_SAVEAS, IDM_OPTIONS, IDM_EXIT, IDM_ABOUT); any other id is ignored.
  void Command(int id);

  const PixelSurface& Surface() const { return *surface_; }
  const dialog::DialogBaseUnits& BaseUnits() const { return units_; }
  QWidget* Control(int id) const { return controls_.value(id); }
  QAction* MenuCommand(int id) const { return menuCommands_.value(id); }
  // True while a preview or save request is being handled (its message
  // boxes or the Save As dialog may be open).
  using dialog::DialogHost::RequestRunning;
  bool Ending() const override { return ending_; }

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The dialog layer's host: the fields, the boxes and dialogs, the
  // progress and the preview of the window.
  std::string GetText(Field field) override;
  void SetText(Field field, std::string_view text) override;
  bool IsClockwise() override;
  bool IsCounterClockwise() override;
  // The Options window's choices, as remembered from the last run or since.
  BlockOptions Options() override { return options_.Choices().ToBlockOptions(); }
  std::string Srs() override { return options_.Choices().srs; }
  void ShowNotice(const Notice& notice) override;
  std::optional<std::string> AskSaveFileName(std::string_view initialName, std::string_view filter,
                                             std::string_view defaultExtension) override;
  // Runs a long preview or save with a progress dialog that can cancel it.
  void RunWithProgress(const char* label, const std::function<void(Progress&)>& work) override;
  void EnableSaving() override;
  PreviewSurface& Preview() override;
  void PointAtRunningRequest() override;

  void CreateControls(QWidget* client);
  void CreateMenu();
  void CreatePreview(QWidget* client);
  void OpenOptions();
  void EndDialog();
  void ShowMessage(std::string_view text, std::string_view caption, unsigned style);

  WindowHooks hooks_;
  dialog::DialogBaseUnits units_;
  QHash<int, QWidget*> controls_;
  QHash<int, QAction*> menuCommands_;
  QMenuBar* menuBar_ = nullptr;
  std::unique_ptr<PixelSurface> surface_;
  PreviewWidget* preview_ = nullptr;

  // The control that had the focus when the window was last deactivated.
  QPointer<QWidget> savedFocus_;
  std::vector<QPointer<QMessageBox>> openBoxes_;
  dialog::OptionsStore options_;
  QPointer<OptionsDialog> openOptions_;
  // The progress of the preview or save running now, if any.
  ProgressWindow* activeProgress_ = nullptr;
  bool ending_ = false;
  // Set once the first showing has brought the window onto the screen.
  bool placed_ = false;
};

}  // namespace tavimo::app
