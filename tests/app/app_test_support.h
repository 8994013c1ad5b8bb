#pragma once
// Helpers shared by the GUI tests: a window whose message boxes, Save As
// dialog and exit are recorded, and ways to reach its controls.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "preview/pixel_surface.h"

namespace tavimo::app::test {

// The texts the user reads, as the tests expect them.
inline constexpr std::string_view kSizeChangedCaption = "Size changed...";
inline constexpr std::string_view kWidthChangedText =
    "The total width of the cell block has been increased to match the cell width";
inline constexpr std::string_view kWrongAngleCaption = "Wrong angle";
inline constexpr std::string_view kWrongAngleText = "Please enter a value between 0 and 90 degrees";
inline constexpr std::string_view kUnknownTypeCaption = "Unknown file type";
inline constexpr std::string_view kSaveFailedCaption = "Save failed";

struct Message {
  std::string text;
  std::string caption;
  unsigned style;
};

struct SaveAsk {
  std::string initialName;
  std::string filter;
  std::string defaultExtension;
};

// Records what the window would show; `nextPaths` answers the Save As dialog
// in turn (nothing = cancel).
struct Recorder {
  std::vector<Message> messages;
  std::vector<SaveAsk> asks;
  std::vector<std::optional<std::string>> nextPaths;
  std::vector<int> exits;
  // Called as each message is recorded, to look at the windows then.
  std::function<void()> onMessage;

  WindowHooks Hooks(bool recordMessages = true, bool recordSaveDialog = true) {
    WindowHooks hooks;
    if (recordMessages) {
      hooks.showMessage = [this](std::string_view text, std::string_view caption, unsigned style) {
        messages.push_back({std::string(text), std::string(caption), style});
        if (onMessage) onMessage();
      };
    }
    if (recordSaveDialog) {
      hooks.askSaveFileName = [this](std::string_view initialName, std::string_view filter,
                                     std::string_view defaultExtension) -> std::optional<std::string> {
        asks.push_back({std::string(initialName), std::string(filter), std::string(defaultExtension)});
        if (nextPaths.empty()) return std::nullopt;
        std::optional<std::string> path = nextPaths.front();
        nextPaths.erase(nextPaths.begin());
        return path;
      };
    }
    hooks.exit = [this](int code) { exits.push_back(code); };
    return hooks;
  }
};

inline QLineEdit* Edit(MainWindow& w, const char* name) {
  return w.findChild<QLineEdit*>(QLatin1String(name));
}
inline QPushButton* Button(MainWindow& w, const char* name) {
  return w.findChild<QPushButton*>(QLatin1String(name));
}
inline QRadioButton* Radio(MainWindow& w, const char* name) {
  return w.findChild<QRadioButton*>(QLatin1String(name));
}
inline QAction* Action(MainWindow& w, const char* name) {
  return w.findChild<QAction*>(QLatin1String(name));
}

inline constexpr std::uint32_t kBlue = 0x0000FF;

inline std::size_t CountPixels(const PixelSurface& surface, std::uint32_t colour) {
  const auto& p = surface.pixels();
  return static_cast<std::size_t>(std::count(p.begin(), p.end(), colour));
}

// The colour the preview shows before the first drawing.
inline std::uint32_t ButtonFace() {
  return QApplication::palette().color(QPalette::Button).rgb() & 0xFFFFFFu;
}

inline bool Untouched(const PixelSurface& surface) {
  return CountPixels(surface, ButtonFace()) == surface.pixels().size();
}

// Sets a text box as a user would: select all, type the new text.
inline void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// Watches for new visible top-level windows of type T while the event loop
// runs (for instance inside a message box's own loop) and hands each one,
// once, to `onNew`.
template <class T>
class WindowWatcher {
 public:
  explicit WindowWatcher(std::function<void(T*)> onNew) : onNew_(std::move(onNew)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  int Seen() const { return static_cast<int>(seen_.size()); }

  static std::vector<T*> Visible() {
    std::vector<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* t = qobject_cast<T*>(w); t != nullptr && t->isVisible()) found.push_back(t);
    }
    return found;
  }

 private:
  void Poll() {
    for (T* t : Visible()) {
      // By QPointer: a box on the stack may reuse the address of the last one.
      const bool known = std::any_of(seen_.begin(), seen_.end(),
                                     [t](const QPointer<T>& p) { return p == t; });
      if (!known) {
        seen_.emplace_back(t);
        // Handled outside this timer's slot: Qt does not re-enter a running
        // timer, so a nested loop started by the handler could not be watched.
        QTimer::singleShot(0, &timer_, [this, p = QPointer<T>(t)] {
          if (p) onNew_(p);
        });
      }
    }
  }

  std::function<void(T*)> onNew_;
  QTimer timer_;
  std::vector<QPointer<T>> seen_;
};

}  // namespace tavimo::app::test
