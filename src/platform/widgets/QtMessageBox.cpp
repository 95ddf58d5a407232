#include "platform/widgets/QtMessageBox.h"

#include <QMessageBox>

#include "platform/MessageBox.h"

int ShowQtMessageBox(const std::string& text, const std::string& caption, UINT type) {
  QMessageBox box;
  box.setObjectName("MessageBox");
  box.setWindowTitle(QString::fromLocal8Bit(caption));
  // Texts carry file names: "<b>" in one is part of the name, not markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromLocal8Bit(text).replace("\r\n", "\n"));
  box.setIcon((type & MB_ICONINFORMATION) == MB_ICONINFORMATION ? QMessageBox::Information
              : (type & MB_ICONSTOP) == MB_ICONSTOP             ? QMessageBox::Critical
                                                                : QMessageBox::NoIcon);
  const bool yesNo = (type & MB_YESNO) == MB_YESNO;
  box.setStandardButtons(yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
  // With no owner the box must still block every window of the program.
  box.setWindowModality(Qt::ApplicationModal);
  if ((type & MB_SYSTEMMODAL) == MB_SYSTEMMODAL) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  const int answer = box.exec();
  if (!yesNo) return IDOK;
  return answer == QMessageBox::Yes ? IDYES : IDNO;
}

void InstallQtMessageBox() { SetMessageBoxHandler(ShowQtMessageBox); }
