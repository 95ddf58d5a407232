#include "platform/widgets/QtMessageBox.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "platform/MessageBox.h"

namespace {

// Room in a title bar besides its caption: the window's icon and its buttons.
constexpr int kTitleBarAllowance = 160;

// A box is as wide as its text; a short text ("OK") would cut the caption.
void WidenForCaption(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarAllowance;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

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
  WidenForCaption(box);
  const int answer = box.exec();
  if (!yesNo) return IDOK;
  return answer == QMessageBox::Yes ? IDYES : IDNO;
}

void InstallQtMessageBox() { SetMessageBoxHandler(ShowQtMessageBox); }
