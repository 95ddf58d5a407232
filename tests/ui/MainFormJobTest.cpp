// The job as the main window runs it: Start, Stop, the close box and Exit in
// the middle of a job.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "avi/Vfw.h"
#include "platform/MessageBox.h"
#include "support/TestSupport.h"
#include "ui/JobMedia.h"
#include "ui/MainUnit.h"

using namespace testsupport;

namespace {

class MainFormJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "xdg").string()));
    previousBox = SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, UINT type) {
          boxes.push_back(caption + "|" + text);
          boxTypes.push_back(type);
          return (type & MB_YESNO) ? yesNoAnswer : IDOK;
        });
    MakeJobMedia(dir);
    TMainFormEnvironment environment;
    environment.ProgramFolder = dir.path().string() + "/";
    environment.UserFolder = (dir / "user").string() + "/";
    environment.CompressorChooser = [](const ENCODERCHOICE::ChoiceRequest&,
                                       ENCODERCHOICE::EncoderChoice& choice) {
      choice.Codec = ENCODERCHOICE::FourCC('X', 'V', 'I', 'D');
      choice.Quality = ENCODERCHOICE::kDefaultQuality;
      return true;
    };
    form = std::make_unique<TMainForm>(environment);
    form->findChild<QLineEdit*>("EVideoFile")
        ->setText(QString::fromStdString((dir / "source.mkv").string()));
    form->findChild<QLineEdit*>("ESubtitleFile")
        ->setText(QString::fromStdString((dir / "subs.srt").string()));
    form->findChild<QLineEdit*>("ESavedVideoFile")->setText(QString::fromStdString(Output()));
    form->show();
  }
  void TearDown() override { SetMessageBoxHandler(previousBox); }

  std::string Output() const { return (dir / "out.avi").string(); }
  std::vector<std::string> Log() const {
    const QString text = form->findChild<QPlainTextEdit*>("MDebug")->toPlainText();
    std::vector<std::string> lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
  }
  // Start, Stop, the three file buttons, Options.
  std::vector<bool> States() const {
    std::vector<bool> states;
    for (const char* name : {"BStart", "BStop", "BSourceVideo", "BSubtitle", "BDestinationVideo"})
      states.push_back(form->findChild<QPushButton*>(name)->isEnabled());
    states.push_back(form->findChild<QAction*>("TBOptions")->isEnabled());
    return states;
  }
  // Runs action at the first message processing of the job.
  void DuringJob(std::function<void()> action) { QTimer::singleShot(0, form.get(), action); }
  int OutputFrames() {
    return std::atoi(Ffprobe("-count_frames -select_streams v -show_entries "
                             "stream=nb_read_frames -of csv=p=0 " +
                             Output())
                         .c_str());
  }

  TempDir dir;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> boxes;
  std::vector<UINT> boxTypes;
  int yesNoAnswer = IDYES;
  MessageBoxHandler previousBox;
};

const std::vector<bool> kIdle = {true, false, true, true, true, true};
const std::vector<bool> kWorking = {false, true, false, false, false, false};

}  // namespace

TEST_F(MainFormJobTest, StartRunsTheJobToOkWithProgressAndStatistics) {
  std::vector<bool> during;
  DuringJob([&] { during = States(); });
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_EQ(during, kWorking);
  EXPECT_EQ(States(), kIdle);
  const auto log = Log();
  EXPECT_EQ(log.front(), "-=[ START ]=-");
  EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
            (std::vector<std::string>{"Closing all...", "-=[ END ]=-"}));
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|OK"});
  EXPECT_EQ(form->findChild<QProgressBar*>("PB")->value(), 50);
  EXPECT_EQ(form->findChild<QLineEdit*>("EElapsedTime")->text(), "    00:00:00");
  EXPECT_FALSE(form->TRefresh->isActive());
  EXPECT_EQ(OutputFrames(), 50);
}

TEST_F(MainFormJobTest, TheStartAndEndFieldsWriteOnlyThatPart) {
  auto* start = form->findChild<QLineEdit*>("EStart");
  auto* end = form->findChild<QLineEdit*>("EEnd");
  ASSERT_NE(start, nullptr);
  ASSERT_NE(end, nullptr);
  // Beside the still's time, clear of the buttons.
  const QRect still = form->findChild<QLineEdit*>("EStillTime")->geometry();
  for (QWidget* field : {static_cast<QWidget*>(start), static_cast<QWidget*>(end)}) {
    EXPECT_EQ(field->geometry().top(), still.top());
    EXPECT_LT(field->geometry().right(), still.left());
    for (const char* other : {"BStart", "BStop", "BPreview", "BStill", "PB"})
      EXPECT_FALSE(field->geometry().intersects(form->findChild<QWidget*>(other)->geometry()))
          << other;
  }
  EXPECT_TRUE(start->text().isEmpty());
  EXPECT_TRUE(end->text().isEmpty());
  start->setText("0.5");
  end->setText("1.5");
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|OK"});
  EXPECT_EQ(OutputFrames(), 25);
  EXPECT_EQ(form->findChild<QProgressBar*>("PB")->value(), 25);
}

TEST_F(MainFormJobTest, AClipEndingBeforeItsStartIsRefused) {
  form->findChild<QLineEdit*>("EStart")->setText("1.5");
  form->findChild<QLineEdit*>("EEnd")->setText("0.5");
  form->findChild<QPushButton*>("BStart")->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("the end time 0.5 is not after the start time 1.5"), std::string::npos)
      << boxes[0];
  EXPECT_FALSE(fs::exists(Output()));
  EXPECT_EQ(States(), kIdle);
}

TEST_F(MainFormJobTest, StopAnsweredYesEndsTheJobWithAPlayableFile) {
  std::vector<bool> afterStop;
  DuringJob([&] {
    form->findChild<QPushButton*>("BStop")->click();
    afterStop = States();
  });
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_EQ(afterStop, (std::vector<bool>{true, false, false, false, false, false}));
  EXPECT_EQ(boxes, (std::vector<std::string>{"STOP PROCESSING...|Are you sure?", "INFO...|OK"}));
  EXPECT_EQ(boxTypes, (std::vector<UINT>{MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL,
                                         MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL}));
  EXPECT_EQ(States(), kIdle);
  EXPECT_GT(OutputFrames(), 0);
  EXPECT_LT(OutputFrames(), 50);
}

TEST_F(MainFormJobTest, StopAnsweredNoLetsTheJobRunToItsEnd) {
  yesNoAnswer = IDNO;
  std::vector<bool> afterNo;
  DuringJob([&] {
    form->findChild<QPushButton*>("BStop")->click();
    afterNo = States();
  });
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_EQ(afterNo, kWorking);
  EXPECT_EQ(boxes, (std::vector<std::string>{"STOP PROCESSING...|Are you sure?", "INFO...|OK"}));
  EXPECT_EQ(OutputFrames(), 50);
  // Without a job Stop asks nothing.
  boxes.clear();
  form->BStopClick();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormJobTest, CloseDuringAJobEndsTheJobAndKeepsTheWindow) {
  DuringJob([&] { form->close(); });
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Log().back(), "-=[ END ]=-");
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|OK"});
  EXPECT_LT(OutputFrames(), 50);
  EXPECT_TRUE(form->close());
}

TEST_F(MainFormJobTest, ExitDuringAJobClosesTheFileThenTheWindow) {
  DuringJob([&] { form->findChild<QAction*>("ToolButton9")->trigger(); });
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(boxes.empty());
  EXPECT_GT(OutputFrames(), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "Tolvane.ini") ||
              std::filesystem::exists(dir / "user" / "Tolvane.ini"));
  // Nothing of the job is left to run against the released objects.
  form->CloseAll();
  form.reset();
}

TEST_F(MainFormJobTest, AnOutputThatIsTheSourceIsRefusedWithTheErrorBox) {
  const std::string source = (dir / "source.mkv").string();
  const std::string before = ReadFile(dir / "source.mkv");
  form->findChild<QLineEdit*>("ESavedVideoFile")->setText(QString::fromStdString(source));
  form->findChild<QPushButton*>("BStart")->click();
  const std::string error =
      "[SubtitleJob::Start] The destination video file is the source video file...";
  EXPECT_EQ(boxes, std::vector<std::string>{"ERROR!|" + error});
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), error), log.end());
  EXPECT_EQ(States(), kIdle);
  EXPECT_EQ(ReadFile(dir / "source.mkv"), before);
}

TEST_F(MainFormJobTest, AlignToSpeechOnASourceWithoutSpeechFailsWithTheErrorBox) {
  WriteFile(dir / "subs.srt",
            "1\r\n00:00:00,200 --> 00:00:00,800\r\nHello\r\n\r\n"
            "2\r\n00:00:01,000 --> 00:00:01,800\r\nAgain\r\n\r\n");
  form->findChild<QCheckBox*>("CBAlign")->setChecked(true);
  form->findChild<QPushButton*>("BStart")->click();
  const std::string error =
      "[Align] No trustworthy timing found: no speech was found in the audio...";
  EXPECT_EQ(boxes, std::vector<std::string>{"ERROR!|" + error});
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "Speech alignment, on the one channel:"), log.end())
      << form->findChild<QPlainTextEdit*>("MDebug")->toPlainText().toStdString();
  EXPECT_NE(std::find(log.begin(), log.end(), error), log.end());
  EXPECT_EQ(States(), kIdle);
  EXPECT_FALSE(fs::exists(Output()));
}

// The second subtitle file's field sits under the first; the job reads it,
// a missing one fails the job, and its place is kept in the settings.
TEST_F(MainFormJobTest, TheSecondSubtitleFieldDrawsASecondFile) {
  auto* second = form->findChild<QLineEdit*>("ESecondSubtitleFile");
  auto* place = form->findChild<QComboBox*>("CBSecondPlace");
  ASSERT_NE(second, nullptr);
  ASSERT_NE(place, nullptr);
  const QRect first = form->findChild<QWidget*>("ESubtitleFile")->geometry();
  EXPECT_GT(second->geometry().top(), first.bottom());
  EXPECT_EQ(second->geometry().left(), first.left());
  for (const char* other : {"Label3", "ESavedVideoFile", "BSubtitle", "BSecondSubtitle"})
    EXPECT_FALSE(second->geometry().intersects(form->findChild<QWidget*>(other)->geometry()))
        << other;
  EXPECT_FALSE(place->geometry().intersects(second->geometry()));

  const auto infoBlocks = [this] {
    const std::vector<std::string> log = Log();
    return std::count(log.begin(), log.end(), "[ BEGIN SUBTITLE INFO ]");
  };
  form->findChild<QPushButton*>("BStart")->click();
  const auto alone = infoBlocks();
  second->setText(QString::fromStdString((dir / "subs.srt").string()));
  place->setCurrentIndex(1);
  form->findChild<QPushButton*>("BStart")->click();
  EXPECT_EQ(infoBlocks() - alone, alone + 1);
  EXPECT_EQ(OutputFrames(), 50);

  boxes.clear();
  second->setText(QString::fromStdString((dir / "missing.srt").string()));
  form->findChild<QPushButton*>("BStart")->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("ERROR!|", 0), 0u) << boxes[0];
  form->close();
  const std::string ini = ReadFile(dir / "Tolvane.ini");
  ASSERT_NE(ini.find("[SECOND]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Place=above", ini.find("[SECOND]")), std::string::npos) << ini;
}
