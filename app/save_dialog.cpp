#include "app/save_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QString>

namespace tavimo::app {
namespace {

QString Latin1(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A name with a wildcard ("*.dxf", the initial name) is a pattern, not a
// file: accepting it selects the filter with that pattern, if there is
// one, and keeps the dialog open instead of creating a file named "*.dxf".
class SaveFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  void accept() override {
    const QString name = QFileInfo(selectedFiles().value(0)).fileName();
    if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) {
      for (const QString& f : nameFilters()) {
        if (f.endsWith(QStringLiteral("(%1)").arg(name))) selectNameFilter(f);
      }
      return;
    }
    QFileDialog::accept();
  }
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
  QPointer<QFileDialog> dialog = new SaveFileDialog(owner);
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
