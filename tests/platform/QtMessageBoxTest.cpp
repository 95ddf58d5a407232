#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/MessageBox.h"
#include "platform/widgets/QtMessageBox.h"

namespace {

struct Seen {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::WindowModality modality = Qt::NonModal;
  Qt::TextFormat format = Qt::AutoText;
  int width = 0;
  int captionWidth = 0;
};

class QtMessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallQtMessageBox(); }
  void TearDown() override { SetMessageBoxHandler(nullptr); }

  int Show(const char* text, const char* caption, UINT type, QMessageBox::StandardButton answer) {
    QTimer::singleShot(0, [this, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = {box->windowTitle(),    box->text(),
              box->icon(),           box->standardButtons(),
              box->windowModality(), box->textFormat(),
              box->width(),          box->fontMetrics().horizontalAdvance(box->windowTitle())};
      box->button(answer)->click();
    });
    return MessageBoxA(nullptr, text, caption, type);
  }

  Seen seen;
};

TEST_F(QtMessageBoxTest, ErrorBoxHasTheStopIconAndOneOkButton) {
  EXPECT_EQ(Show("line one\r\nline two", "ERROR!", MB_ICONSTOP | MB_SYSTEMMODAL, QMessageBox::Ok),
            IDOK);
  EXPECT_EQ(seen.title, "ERROR!");
  EXPECT_EQ(seen.text, "line one\nline two");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
  EXPECT_EQ(seen.modality, Qt::ApplicationModal);
  // A name that looks like markup is shown as it stands.
  Show("Unable to write to /tmp/<b>x</b>/Tolvane.ini", "ERROR!", MB_ICONSTOP, QMessageBox::Ok);
  EXPECT_EQ(seen.text, "Unable to write to /tmp/<b>x</b>/Tolvane.ini");
  EXPECT_EQ(seen.format, Qt::PlainText);
}

TEST_F(QtMessageBoxTest, QuestionAnswersYesOrNo) {
  const UINT question = MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL;
  EXPECT_EQ(Show("Are you sure?", "STOP PROCESSING...", question, QMessageBox::Yes), IDYES);
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(Show("Are you sure?", "STOP PROCESSING...", question, QMessageBox::No), IDNO);
}

// The title bar holds an icon and buttons besides the caption.
TEST_F(QtMessageBoxTest, ABoxIsWideEnoughForItsCaption) {
  for (const char* caption : {"INFO...", "STOP PROCESSING..."}) {
    Show("OK", caption, MB_ICONINFORMATION | MB_SYSTEMMODAL, QMessageBox::Ok);
    EXPECT_GE(seen.width, seen.captionWidth + 150) << caption;
  }
  // A long text keeps its own width.
  const std::string text(200, 'w');
  Show(text.c_str(), "INFO...", MB_ICONINFORMATION, QMessageBox::Ok);
  EXPECT_GT(seen.width, QFontMetrics(QApplication::font()).horizontalAdvance("wwwwwwwwww") * 5);
}

TEST(MessageBoxSeamTest, WithoutAHandlerTheSafeAnswerIsGiven) {
  SetMessageBoxHandler(nullptr);
  EXPECT_EQ(MessageBoxA(nullptr, "text", "INFO...", MB_ICONINFORMATION), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Are you sure?", "STOP", MB_YESNO), IDNO);
}

}  // namespace
