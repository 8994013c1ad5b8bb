#include "app/save_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "app/message_boxes.h"
#include "dialog/save_as.h"

namespace tavimo::app {
namespace {

QString Latin1(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A name with a wildcard ("*.dxf", the initial name) is a pattern, not a
// file: accepting it selects the filter with that pattern, if there is
// one, and keeps the dialog open instead of creating a file named "*.dxf".
// A name typed without an extension gets the one of the chosen file type,
// and the question before replacing names every file the save replaces:
// a CHT file and its RWS companion are asked about once, together.
class SaveFileDialog : public QFileDialog {
 public:
  SaveFileDialog(QWidget* owner, std::string_view filter, std::string_view defaultExtension)
      : QFileDialog(owner), filter_(filter), defaultExtension_(defaultExtension) {
    setOption(QFileDialog::DontConfirmOverwrite);
  }

  void accept() override {
    const QString name = QFileInfo(selectedFiles().value(0)).fileName();
    if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) {
      for (const QString& f : nameFilters()) {
        if (f.endsWith(QStringLiteral("(%1)").arg(name))) selectNameFilter(f);
      }
      return;
    }
    // QFileDialog adds the default suffix to a name typed without one.
    const auto entry = static_cast<std::size_t>(nameFilters().indexOf(selectedNameFilter()));
    setDefaultSuffix(Latin1(dialog::ExtensionForEntry(filter_, entry, defaultExtension_)));
    const QString path = selectedFiles().value(0);
    if (!QFileInfo(path).isDir() && !ReplacingIsAgreed(path)) return;
    QFileDialog::accept();
  }

 private:
  bool ReplacingIsAgreed(const QString& path) {
    const auto decoded = [](const std::string& file) { return QFile::decodeName(QByteArray::fromStdString(file)); };
    const std::optional<std::string> question = dialog::ReplaceQuestionFor(
        QFile::encodeName(path).toStdString(),
        [&](const std::string& file) { return QFileInfo::exists(decoded(file)); },
        [&](const std::string& file) { return QFileInfo(decoded(file)).fileName().toStdString(); });
    if (!question) return true;
    return QMessageBox::warning(this, windowTitle(), DisplayText(*question), QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
  }

  std::string filter_;
  std::string defaultExtension_;
};

}  // namespace

QStringList NameFiltersFrom(std::string_view filter) {
  QStringList filters;
  for (const dialog::FilterEntry& entry : dialog::FilterEntries(filter)) {
    QStringList patterns = Latin1(entry.pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    filters << QStringLiteral("%1 (%2)").arg(Latin1(entry.name), patterns.join(QLatin1Char(' ')));
  }
  return filters;
}

std::optional<std::string> RunSaveDialog(QWidget* owner, std::string_view initialName,
                                         std::string_view filter, std::string_view defaultExtension) {
  // Qt's own dialog rather than the desktop's: the same on every platform,
  // and it runs without a desktop session.
  QPointer<QFileDialog> dialog = new SaveFileDialog(owner, filter, defaultExtension);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFiltersFrom(filter);
  dialog->setNameFilters(filters);
  if (!filters.isEmpty()) dialog->selectNameFilter(filters.first());
  dialog->setDirectory(QDir::currentPath());
  dialog->selectFile(Latin1(initialName));
  dialog->setDefaultSuffix(Latin1(defaultExtension));

  std::optional<std::string> chosen;
  const int result = dialog->exec();
  if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
    const QString path = QFileInfo(dialog->selectedFiles().first()).absoluteFilePath();
    chosen = QFile::encodeName(path).toStdString();
  }
  delete dialog;
  return chosen;
}

}  // namespace tavimo::app
