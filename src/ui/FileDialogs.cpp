#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <QStringList>

namespace FILEDIALOGS {

QString QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromLocal8Bit(filter).split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ').replace("*.*", "*");
    entries << parts[i] + " (" + patterns + ")";
  }
  return entries.join(";;");
}

std::string WithDefaultExtension(const std::string& name, const std::string& extension) {
  if (extension.empty() || name.empty()) return name;
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return hasExtension ? name : name + "." + extension;
}

QString FilterExtension(const QString& qtFilter) {
  const qsizetype open = qtFilter.indexOf("(*."),
                  end = qtFilter.indexOf(QRegularExpression("[ )]"), open + 3);
  if (open < 0 || end < 0) return {};
  return qtFilter.mid(open + 3, end - open - 3);
}

std::optional<std::string> RunQtFileDialog(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent, QString::fromLocal8Bit(request.Title));
  dialog.setObjectName(QString::fromStdString(request.Name));
  dialog.setNameFilter(QtFilter(request.Filter));
  dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.Folder ? QFileDialog::Directory : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::ShowDirsOnly, request.Folder);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!request.DefaultExt.empty()) {
    dialog.setDefaultSuffix(QString::fromStdString(request.DefaultExt));
    // A name typed without extension gets the one of the filter chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
      const QString extension = FilterExtension(f);
      if (!extension.isEmpty()) dialog.setDefaultSuffix(extension);
    });
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toLocal8Bit().toStdString();
}

std::optional<std::string> RunFileDialog(const FileDialogRunner& runner, QWidget* parent,
                                         const FileDialogRequest& request) {
  std::optional<std::string> name =
      runner ? runner(parent, request) : RunQtFileDialog(parent, request);
  if (name) *name = WithDefaultExtension(*name, request.DefaultExt);
  return name;
}

}  // namespace FILEDIALOGS
