#include "app/save_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "dialog/dialog_texts.h"
#include "app/message_boxes.h"
#include "export/save_block.h"

namespace tavimo::app {
namespace {

QString Latin1(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// The extension of a filter's first pattern ("Orvel Format (*.cht)" ->
// "cht"), or nothing for a pattern that names no single extension.
QString SuffixOfFilter(const QString& filter) {
  const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
  if (open < 0) return {};
  const QString pattern = filter.mid(open + 1).section(QLatin1Char(' '), 0, 0).remove(QLatin1Char(')'));
  if (!pattern.startsWith(QStringLiteral("*."))) return {};
  const QString suffix = pattern.mid(2);
  if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?'))) return {};
  return suffix;
}

// A name with a wildcard ("*.dxf", the initial name) is a pattern, not a
// file: accepting it selects the filter with that pattern, if there is
// one, and keeps the dialog open instead of creating a file named "*.dxf".
// A name typed without an extension gets the one of the chosen file type,
// and the question before replacing names every file the save replaces:
// a CHT file and its RWS companion are asked about once, together.
class SaveFileDialog : public QFileDialog {
 public:
  SaveFileDialog(QWidget* owner, const QString& fallbackSuffix)
      : QFileDialog(owner), fallbackSuffix_(fallbackSuffix) {
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
    const QString suffix = SuffixOfFilter(selectedNameFilter());
    setDefaultSuffix(suffix.isEmpty() ? fallbackSuffix_ : suffix);
    const QString path = selectedFiles().value(0);
    if (!QFileInfo(path).isDir() && !ReplacingIsAgreed(path)) return;
    QFileDialog::accept();
  }

 private:
  bool ReplacingIsAgreed(const QString& path) {
    std::vector<std::string> existing;
    for (const std::string& file : FilesOfSave(QFile::encodeName(path).toStdString())) {
      const QString name = QFile::decodeName(QByteArray::fromStdString(file));
      if (QFileInfo::exists(name)) existing.push_back(QFileInfo(name).fileName().toStdString());
    }
    if (existing.empty()) return true;
    const QString text = DisplayText(dialog::ReplaceQuestion(existing));
    return QMessageBox::warning(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
  }

  QString fallbackSuffix_;
};

}  // namespace

QStringList NameFiltersFrom(std::string_view filter) {
  const QStringList parts = Latin1(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
  }
  return filters;
}

std::optional<std::string> RunSaveDialog(QWidget* owner, std::string_view initialName,
                                         std::string_view filter, std::string_view defaultExtension) {
  // Qt's own dialog rather than the desktop's: the same on every platform,
  // and it runs without a desktop session.
  QPointer<QFileDialog> dialog = new SaveFileDialog(owner, Latin1(defaultExtension));
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
