#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>
#include <utility>

namespace {

bool OpenWithDesktop(const std::string&, const std::string& target) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(ShellTargetUrl(target))));
}

ShellHandler& Handler() {
  static ShellHandler handler = OpenWithDesktop;
  return handler;
}

constexpr intptr_t kShellTookIt = 42;
constexpr intptr_t kShellFileNotFound = 2;

}  // namespace

std::string ShellTargetUrl(const std::string& target) {
  // "file:///" followed by an absolute local path gives four slashes here.
  const std::string prefix = "file:///";
  if (target.rfind(prefix, 0) == 0 && target.size() > prefix.size() && target[prefix.size()] == '/')
    return QUrl::fromLocalFile(QString::fromLocal8Bit(target.substr(prefix.size())))
        .toString()
        .toStdString();
  return target;
}

intptr_t ShellExecuteA(void*, const char* verb, const char* file, const char*, const char*, int) {
  if (!Handler() || file == nullptr) return kShellFileNotFound;
  return Handler()(verb ? verb : "open", file) ? kShellTookIt : kShellFileNotFound;
}

ShellHandler SetShellHandler(ShellHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
