#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

#include "app/app_startup.h"
#include "app/dialog_controls.h"
#include "app/message_boxes.h"
#include "app/options_dialog.h"
#include "app/preview_widget.h"
#include "app/progress_window.h"
#include "app/save_dialog.h"
#include "app/window_placement.h"
#include "dialog/create_cells.h"
#include "dialog/dialog_layout.h"
#include "dialog/options_window.h"
#include "platform/platform.h"
#include "preview/pixel_surface.h"

namespace tavimo::app {

using namespace dialog;

namespace {

QString Latin1(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsChecked(QWidget* control) {
  auto* button = qobject_cast<QAbstractButton*>(control);
  return button != nullptr && button->isChecked();
}

Rgb ToRgb(const QColor& c) {
  return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
          static_cast<std::uint8_t>(c.blue())};
}

}  // namespace

MainWindow::MainWindow(WindowHooks hooks)
    : QWidget(nullptr), hooks_(std::move(hooks)), options_(platform::SettingsFolder()) {
  options_.Load();
  setObjectName(QLatin1String(kDialogObjectName));
  setWindowTitle(QLatin1String(kDialogCaption));
  // A caption with close and minimize buttons only: no maximize, no resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(ProgramIcon());

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFont(DialogFont());
  units_ = BaseUnitsOf(client->fontMetrics());
  client->setFixedSize(ToPixels(units_, QSize(kDialogWidthDu, kDialogHeightDu)));

  CreateControls(client);
  CreateMenu();
  CreatePreview(client);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menuBar_);
  layout->addWidget(client);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The dialog's own position, from the screen's upper-left corner, as far
  // as the screen allows; showEvent corrects it once the frame is known.
  layout->activate();
  move(ToPixels(units_, QPoint(kDialogXDu, kDialogYDu)));
  KeepOnScreen(*this);

  // Initial state: Clockwise selected; saving waits for the first preview.
  static_cast<QRadioButton*>(Control(IDC_CLOCKWISE))->setChecked(true);
  MenuCommand(IDM_SAVEAS)->setEnabled(false);
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls(QWidget* client) {
  std::vector<QWidget*> frames;
  for (const ControlDef& def : DialogControls()) {
    QWidget* w = MakeControl(def, units_, client);
    if (w == nullptr) continue;  // the preview, created after the menu
    if (def.kind == ControlKind::kPushButton) {
      const int id = def.id;
      connect(static_cast<QPushButton*>(w), &QPushButton::clicked, this, [this, id] { Command(id); });
    }
    if (def.kind == ControlKind::kGroupBox) frames.push_back(w);
    controls_.insert(def.id, w);
  }
  // Frames are drawn beneath the controls they surround.
  for (QWidget* frame : frames) frame->lower();
  NameFieldsByLabels(FieldLabels(), [this](int id) { return Control(id); });
}

void MainWindow::CreateMenu() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName(QStringLiteral("MenuBar"));
  // Always inside the window, so the client area lies below it.
  menuBar_->setNativeMenuBar(false);

  auto addCommand = [this](QMenu* menu, const char* text, int id, const char* name) {
    QAction* action = menu->addAction(QLatin1String(text));
    action->setObjectName(QLatin1String(name));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { Command(id); });
    menuCommands_.insert(id, action);
  };
  QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("MenuFile"));
  addCommand(file, "&Save As", IDM_SAVEAS, "IDM_SAVEAS");
  addCommand(file, kOptionsMenuText, IDM_OPTIONS, "IDM_OPTIONS");
  file->addSeparator();
  addCommand(file, "E&xit", IDM_EXIT, "IDM_EXIT");
  QMenu* help = menuBar_->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("MenuHelp"));
  addCommand(help, "About", IDM_ABOUT, "IDM_ABOUT");
}

void MainWindow::CreatePreview(QWidget* client) {
  const ControlDef& def = *FindControl(IDC_GRAPHIC);
  const QRect geometry = ToPixels(units_, QRect(def.x, def.y, def.width, def.height));
  const Rgb fill = ToRgb(QApplication::palette().color(QPalette::Button));
  surface_ = hooks_.makeSurface ? hooks_.makeSurface(geometry.width(), geometry.height(), fill)
                                : std::make_unique<PixelSurface>(geometry.width(), geometry.height(), fill);
  preview_ = new PreviewWidget(*surface_, client);
  preview_->setObjectName(QLatin1String(def.name));
  preview_->setAccessibleName(static_cast<QGroupBox*>(Control(IDC_FRAMECELLBLOCK))->title());
  preview_->setGeometry(geometry);
  controls_.insert(def.id, preview_);
  surface_->SetRedrawHandler([this] { preview_->ShowBuffer(); });

  // One unit per pixel, origin at the lower-left corner, y upward.
  const int w = surface_->ClientWidth();
  const int h = surface_->ClientHeight();
  surface_->Attach(true);
  surface_->SetScale(0, h, w, 0);
}

// A click that reaches the window while a long preview or save handles
// events points at the running request too.
void MainWindow::Command(int id) {
  switch (id) {
    case IDC_CREATECELLS:
      CreateCells(*this, CellTarget::kScreen);
      break;
    case IDC_SAVECELLS:
    case IDM_SAVEAS:
      CreateCells(*this, CellTarget::kSave);
      break;
    case IDM_OPTIONS:
      OpenOptions();
      break;
    case IDM_EXIT:
      EndDialog();
      break;
    case IDM_ABOUT:
      ShowMessage(AboutText(), kAboutCaption, kAboutStyle);
      break;
    default:
      break;
  }
}

std::string MainWindow::GetText(Field field) {
  auto* edit = qobject_cast<QLineEdit*>(Control(ControlOf(field)));
  // 8-bit text: a character outside Latin-1 reads as '?', which no number contains.
  return edit != nullptr ? edit->text().toLatin1().toStdString() : std::string();
}

void MainWindow::SetText(Field field, std::string_view text) {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(ControlOf(field)))) edit->setText(Latin1(text));
}

bool MainWindow::IsClockwise() { return IsChecked(Control(IDC_CLOCKWISE)); }

bool MainWindow::IsCounterClockwise() { return IsChecked(Control(IDC_COUNTERCLOCKWISE)); }

void MainWindow::ShowNotice(const Notice& notice) { ShowMessage(notice.text, notice.caption, StyleOf(notice.icon)); }

void MainWindow::OpenOptions() {
  if (ending_) return;
  // A request reads the options as it starts; one at a time, as with the
  // other commands.
  if (RequestRunning()) {
    PointAtRunningRequest();
    return;
  }
  // A command while the window is open (the menu is out of reach then) opens no second one.
  if (openOptions_) {
    openOptions_->raise();
    openOptions_->activateWindow();
    return;
  }
  OptionsDialog dialog(this, options_, [this](std::string_view text, std::string_view caption, unsigned style) {
    ShowMessage(text, caption, style);
  });
  openOptions_ = &dialog;
  dialog.exec();
}

void MainWindow::EnableSaving() {
  MenuCommand(IDM_SAVEAS)->setEnabled(true);
  Control(IDC_SAVECELLS)->setEnabled(true);
}

PreviewSurface& MainWindow::Preview() { return *surface_; }

void MainWindow::PointAtRunningRequest() {
  for (const QPointer<QMessageBox>& box : openBoxes_) {
    if (box) {
      box->raise();
      box->activateWindow();
    }
  }
  if (activeProgress_ != nullptr && activeProgress_->Dialog() != nullptr) {
    activeProgress_->Dialog()->raise();
    activeProgress_->Dialog()->activateWindow();
  }
}

void MainWindow::RunWithProgress(const char* label, const std::function<void(Progress&)>& work) {
  ProgressWindow progress(this, QLatin1String(label));
  activeProgress_ = &progress;
  auto reset = qScopeGuard([this] { activeProgress_ = nullptr; });
  work(progress);
}

void MainWindow::ShowMessage(std::string_view text, std::string_view caption, unsigned style) {
  if (ending_) return;
  // A save that fails says so at its end; its progress dialog goes first.
  if (activeProgress_ != nullptr) activeProgress_->CloseForGood();
  if (hooks_.showMessage) {
    hooks_.showMessage(text, caption, style);
    return;
  }
  // No owner: the box is a window of its own.
  QMessageBox box(IconForStyle(style), DisplayText(caption), DisplayText(text), QMessageBox::Ok);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setTextFormat(Qt::PlainText);
  KeepLinesWhole(box);
  openBoxes_.emplace_back(&box);
  if (style & kMessageTaskModal) {
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
  } else {
    // The window stays usable while the box is open; wait for the box
    // in a local loop so the caller goes on only once it is closed.
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
  }
  std::erase_if(openBoxes_, [&box](const QPointer<QMessageBox>& p) { return p == &box || !p; });
}

std::optional<std::string> MainWindow::AskSaveFileName(std::string_view initialName,
                                                       std::string_view filter,
                                                       std::string_view defaultExtension) {
  if (ending_) return std::nullopt;
  if (hooks_.askSaveFileName) return hooks_.askSaveFileName(initialName, filter, defaultExtension);
  return RunSaveDialog(this, initialName, filter, defaultExtension);
}

void MainWindow::EndDialog() {
  if (ending_) return;
  ending_ = true;
  // Close what a running request has open and stop its work; the request
  // then unwinds without showing or saving anything more (a cancelled save
  // removes its temporary files).
  if (activeProgress_ != nullptr) activeProgress_->Cancel();
  for (const QPointer<QMessageBox>& box : openBoxes_) {
    if (box) box->done(QMessageBox::Ok);
  }
  for (QFileDialog* dialog : findChildren<QFileDialog*>()) dialog->reject();
  if (openOptions_) openOptions_->reject();
  hide();
  if (hooks_.exit) hooks_.exit(0);
  else QCoreApplication::exit(0);
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    if (!isActiveWindow()) {
      QWidget* focus = QApplication::focusWidget();
      if (focus != nullptr && isAncestorOf(focus)) savedFocus_ = focus;
    } else if (savedFocus_) {
      savedFocus_->setFocus(Qt::ActiveWindowFocusReason);
      savedFocus_.clear();
    }
  }
  QWidget::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  EndDialog();
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placed_) return;  // later, the user's own moves stand
  placed_ = true;
  // The title bar and border are known once the window exists on the
  // screen, on some systems only after the window manager has framed it.
  KeepOnScreen(*this);
  QTimer::singleShot(0, this, [this] { KeepOnScreen(*this); });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape reach the window from text boxes and radio buttons;
  // there is no default or cancel button, so they do nothing.
  event->accept();
}

}  // namespace tavimo::app
