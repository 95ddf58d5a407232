#pragma once

// The open and save dialogs of the three "..." buttons and the queue's
// folder choice, behind a seam: the window runs them through a
// FileDialogRunner that tests replace.
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace FILEDIALOGS {

struct FileDialogRequest {
  std::string Name;  // the dialog's control name, e.g. "ODVideoFile"
  bool Save = false;
  std::string Title;
  std::string Filter;      // "Description|patterns|Description|patterns..."
  std::string DefaultExt;  // appended to a typed name without extension
  bool Folder = false;     // a folder is chosen, not a file
};

// The chosen file name, or nothing when the user cancelled.
using FileDialogRunner =
    std::function<std::optional<std::string>(QWidget* parent, const FileDialogRequest& request)>;

// The platform's dialog: open dialogs take a name of a file that does not
// exist, the save dialog does not ask before overwriting.
std::optional<std::string> RunQtFileDialog(QWidget* parent, const FileDialogRequest& request);

// Runs the dialog and, as the original dialog does, adds the default
// extension to a name typed without one.
std::optional<std::string> RunFileDialog(const FileDialogRunner& runner, QWidget* parent,
                                         const FileDialogRequest& request);

// "Avi files|*.avi|All files|*.*" as Qt writes it.
QString QtFilter(const std::string& filter);
std::string WithDefaultExtension(const std::string& name, const std::string& extension);
// The extension of a Qt filter's first pattern ("MP4 files (*.mp4 *.m4v)"
// gives "mp4"), or empty for "*".
QString FilterExtension(const QString& qtFilter);

}  // namespace FILEDIALOGS
