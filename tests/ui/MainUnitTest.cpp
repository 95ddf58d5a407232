#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <deque>

#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "subtitles/SubtitleUnit.h"
#include "support/TestSupport.h"
#include "ui/MainUnit.h"
#include "ui/PreviewUnit.h"
#include "ui/RunWindow.h"
#include "ui/WindowJobHost.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct Box {
  std::string text;
  std::string caption;
  UINT type;
};

// Runs windows against a temporary program folder, with every dialog, box
// and shell request recorded instead of shown.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "xdg").string()));
    previousBox = SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, UINT type) {
          boxes.push_back({text, caption, type});
          return IDOK;
        });
    previousShell = SetShellHandler([this](const std::string& verb, const std::string& target) {
      shell.push_back(verb + " " + target);
      return true;
    });
  }
  void TearDown() override {
    SetMessageBoxHandler(previousBox);
    SetShellHandler(previousShell);
  }

  std::unique_ptr<TMainForm> Open() {
    TMainFormEnvironment environment;
    environment.ProgramFolder = dir.path().string() + "/";
    environment.UserFolder = (dir / "user").string();
    environment.FileDialog =
        [this](QWidget*,
               const FILEDIALOGS::FileDialogRequest& request) -> std::optional<std::string> {
      dialogs.push_back(request);
      if (answers.empty()) return std::nullopt;
      std::optional<std::string> answer = answers.front();
      answers.pop_front();
      return answer;
    };
    environment.FontDialog = [this](QWidget*, SUBTITLEFONT::SubtitleFont& font) {
      if (!fontAnswer) return false;
      font = *fontAnswer;
      return true;
    };
    return std::make_unique<TMainForm>(environment);
  }

  template <typename T>
  T* Find(TMainForm& form, const char* name) {
    T* found = form.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QString Text(TMainForm& form, const char* name) { return Find<QLineEdit>(form, name)->text(); }
  QStringList Log(TMainForm& form) {
    QString text = Find<QPlainTextEdit>(form, "MDebug")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
  }
  QStringList Items(TMainForm& form, const char* name) {
    QComboBox* list = Find<QComboBox>(form, name);
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
  }
  std::string Ini() { return ReadFile(dir / "Tolvane.ini"); }

  TempDir dir;
  std::vector<Box> boxes;
  std::vector<std::string> shell;
  std::vector<FILEDIALOGS::FileDialogRequest> dialogs;
  std::deque<std::optional<std::string>> answers;
  std::optional<SUBTITLEFONT::SubtitleFont> fontAnswer;
  MessageBoxHandler previousBox;
  ShellHandler previousShell;
};

TEST_F(MainFormTest, OpensWithEveryControlInItsInitialState) {
  auto form = Open();
  form->show();
  QApplication::processEvents();
  EXPECT_EQ(form->windowTitle(), "Tolvane v2.02");
  EXPECT_EQ(form->width(), 548);
  EXPECT_EQ(form->height(), 450);
  EXPECT_EQ(Find<QWidget>(*form, "PMain")->height(), 397);
  EXPECT_FALSE(Find<QWidget>(*form, "PMain")->isHidden());
  for (const char* hidden : {"POptions", "PDebug", "PAbout", "PQueue", "PLinks", "IDown"})
    EXPECT_TRUE(Find<QWidget>(*form, hidden)->isHidden()) << hidden;
  for (const char* shown : {"PTime", "PFramerate", "PSize", "IUp"})
    EXPECT_FALSE(Find<QWidget>(*form, shown)->isHidden()) << shown;
  EXPECT_TRUE(Find<QPushButton>(*form, "BStart")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(*form, "BStop")->isEnabled());
  EXPECT_EQ(Find<QPushButton>(*form, "BStart")->statusTip(), "Start processing");
  EXPECT_EQ(Find<QPushButton>(*form, "BDestinationVideo")->toolTip(),
            "Choose subtitled video filename");
  for (const char* edit : {"EElapsedTime", "EEstimatedTime", "ETotalTime"})
    EXPECT_EQ(Text(*form, edit), "    00:00:00");
  for (const char* edit : {"EAvgFramerate", "ECurrentFramerate", "EAudioSize", "EVideoSize",
                           "EWrittenSize", "ETotalSize"})
    EXPECT_EQ(Text(*form, edit), "0");
  QTimer* timer = form->findChild<QTimer*>("TRefresh");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_FALSE(timer->isActive());
  for (const char* action : {"ToolButton1", "TBOptions", "ToolButton4", "TBQueue", "ToolButton5",
                             "ToolButton6", "ToolButton3", "ToolButton8", "ToolButton9"})
    EXPECT_NE(form->findChild<QAction*>(action), nullptr) << action;
  EXPECT_EQ(Find<QSpinBox>(*form, "UDCorrectFrames")->minimum(), -32768);
  EXPECT_EQ(Find<QLineEdit>(*form, "ECorrectTime")->text(), "0");
  // Defaults of a missing settings file, and nothing logged.
  EXPECT_EQ(Text(*form, "EFontName"), "Arial");
  EXPECT_EQ(Text(*form, "EFontSize"), "10");
  EXPECT_EQ(Text(*form, "EFontScript"), "Western");
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBAutoSize")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBSaveOnExit")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(*form, "CBTranscodeVideo")->isChecked());
  EXPECT_TRUE(Log(*form).isEmpty());
  EXPECT_TRUE(boxes.empty());
  ASSERT_NE(form->Materials().Decoder, nullptr);
  ASSERT_NE(form->Materials().Subtitles, nullptr);
}

TEST_F(MainFormTest, ApplicationNameAddsNothingToCaptions) {
  const QString name = QCoreApplication::applicationName();
  RUNWINDOW::SetUpApplication();
  EXPECT_EQ(QCoreApplication::applicationName(), "Tolvane");
  // A display name of its own would be appended to every caption.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tolvane");
  QCoreApplication::setApplicationName(name);
}

TEST_F(MainFormTest, ClosingWithoutSettingsWritesExactlyTheSavedKeys) {
  auto form = Open();
  form->close();
  EXPECT_EQ(Ini(),
            "[OTHER]\r\nSaveOnExit=1\r\nShowStatistics=1\r\nFixAudioVBR=0\r\nTranscodeVideo=0\r\n"
            "\r\n[FILES]\r\nSourceVideo=\r\nSubtitle=\r\nDestinationVideo=\r\n"
            "\r\n[FONT]\r\nName=Arial\r\nSize=10\r\nColor=0x000000\r\nCharset=0\r\nBold=0\r\n"
            "Italic=0\r\nUnderline=0\r\nStrikeOut=0\r\n"
            "\r\n[SUBTITLE]\r\nAutoSize=1\r\nUseFrames=1\r\nFramesDelay=0\r\nTimeDelay=0\r\n");
  EXPECT_EQ(form->Materials().Decoder, nullptr);
  EXPECT_EQ(form->Materials().Subtitles, nullptr);
  // The queue's file is made only once a job is queued.
  EXPECT_FALSE(std::filesystem::exists(dir / "Tolvane.queue"));
}

// The compressor dialog starts from the choice the settings file keeps, and
// what it confirms goes back there at close.
TEST_F(MainFormTest, TheCompressorChoiceIsKeptAcrossRuns) {
  const std::string kept =
      "[COMPRESSOR]\r\nCode=DIB\r\nQuality=5000\r\nKeyFrames=30\r\nKeyFramesOn=1\r\n"
      "DataRate=800\r\nDataRateOn=0\r\n";
  WriteFile(dir / "Tolvane.ini", kept);
  auto form = Open();
  QString shown;
  int quality = 0;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* list = dialog->findChild<QComboBox*>("CBCompressor");
    shown = list->currentText();
    quality = dialog->findChild<QSpinBox*>("UDQuality")->value();
    list->setCurrentIndex(list->count() - 1);
    dialog->findChild<QSpinBox*>("UDQuality")->setValue(40);
    dialog->findChild<QPushButton*>("BOK")->click();
  });
  ENCODERCHOICE::EncoderChoice choice;
  ASSERT_TRUE(form->CompressorChooser()({}, choice));
  EXPECT_EQ(shown, "Full Frames (Uncompressed)");
  EXPECT_EQ(quality, 50);
  form->close();
  std::string last;
  for (int i = 0; i < 4; ++i) last += char((choice.Codec >> (8 * i)) & 0xFF);
  last.erase(last.find_last_not_of(' ') + 1);
  EXPECT_EQ(Ini().rfind("[COMPRESSOR]\r\nCode=" + last +
                            "\r\nQuality=4000\r\nKeyFrames=30\r\nKeyFramesOn=1\r\n"
                            "DataRate=800\r\nDataRateOn=0\r\n\r\n[OTHER]\r\n",
                        0),
            0u)
      << Ini();
  EXPECT_NE(last, "DIB");
}

TEST_F(MainFormTest, SettingsDriveTheControlsAndComeBackAtClose) {
  WriteFile(dir / "Tolvane.ini",
            "[FILES]\nSourceVideo=/v/in.avi\nDestinationVideo=/v/out.avi\n"
            "[FONT]\nName=DejaVu Sans\nSize=14\nColor=0xFF0000\nCharset=128\nBold=1\n"
            "[SUBTITLE]\nUseFrames=0\nTimeDelay=-12\n[OTHER]\nShowStatistics=0\nFixAudioVBR=1\n");
  auto form = Open();
  form->show();
  QApplication::processEvents();
  EXPECT_EQ(form->height(), 364);
  EXPECT_EQ(Find<QWidget>(*form, "PMain")->height(), 311);
  EXPECT_FALSE(Find<QWidget>(*form, "IDown")->isHidden());
  EXPECT_FALSE(Find<QWidget>(*form, "PLinks")->isHidden());
  for (const char* hidden : {"PTime", "PFramerate", "PSize", "IUp"})
    EXPECT_TRUE(Find<QWidget>(*form, hidden)->isHidden()) << hidden;
  EXPECT_EQ(Text(*form, "EVideoFile"), "/v/in.avi");
  EXPECT_TRUE(Items(*form, "CBVideoStreams").isEmpty());
  EXPECT_EQ(Text(*form, "EFontScript"), "");  // 128 has no script name
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBFontBold")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(*form, "EFontColor")->palette().color(QPalette::Base), Qt::blue);
  EXPECT_TRUE(Find<QAbstractButton>(*form, "RBCorrectTime")->isChecked());
  EXPECT_FALSE(Find<QAbstractButton>(*form, "RBCorrectFrames")->isChecked());
  EXPECT_EQ(Find<QSpinBox>(*form, "UDCorrectTime")->value(), -12);
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBFixAudioVBR")->isChecked());
  Find<QLineEdit>(*form, "ESubtitleFile")->setText("  /v/sub.srt  ");
  form->IDownClick();
  EXPECT_EQ(form->height(), 450);
  form->close();
  const SETTINGS::Settings saved = SETTINGS::LoadSettings((dir / "Tolvane.ini").string());
  EXPECT_EQ(saved.Subtitle, "/v/sub.srt");
  EXPECT_EQ(saved.Font.Charset, 128);  // kept as read
  EXPECT_EQ(saved.Font.Color, 0xFF0000u);
  EXPECT_TRUE(saved.ShowStatistics);
  EXPECT_FALSE(saved.UseFrames);
  EXPECT_EQ(saved.TimeDelay, -12);
}

TEST_F(MainFormTest, AutosaveOffWritesOnlySaveOnExit) {
  WriteFile(dir / "Tolvane.ini", "[FILES]\r\nSourceVideo=/old.avi\r\n");
  auto form = Open();
  Find<QLineEdit>(*form, "EVideoFile")->setText("/new.avi");
  Find<QCheckBox>(*form, "CBSaveOnExit")->setChecked(false);
  form->close();
  EXPECT_EQ(Ini(), "[FILES]\r\nSourceVideo=/old.avi\r\n\r\n[OTHER]\r\nSaveOnExit=0\r\n");
}

TEST_F(MainFormTest, MissingLibraryDisablesStartAndShowsTheHint) {
  WriteFile(dir / "Tolvane.ini", "[DLL]\nAvCodec=/nowhere/libavcodec.so.59\n");
  auto form = Open();
  EXPECT_EQ(form->Materials().Decoder, nullptr);
  ASSERT_NE(form->Materials().Subtitles, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ERROR!");
  EXPECT_EQ(boxes[0].type, MB_ICONSTOP | MB_SYSTEMMODAL);
  const std::string hint =
      "\r\n\r\n     [Windows Vista/7 OS Hint]\r\nPlease delete Tolvane.ini file from\r\n"
      "\"Root partition:\\Users\\YourUserName\\AppData\\Local\\Virtual Store\\Program "
      "Files\\Tolvane\\\"\r\nor\r\n\"Root partition:\\Users\\YourUserName\\AppData\\Local\\"
      "Virtual Store\\Program Files (x86)\\Tolvane\\\"\r\nfolder and launch Tolvane again.";
  ASSERT_GT(boxes[0].text.size(), hint.size());
  EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - hint.size()), hint);
  EXPECT_EQ(boxes[0].text.rfind("[VelAvCodec::VelAvCodec] ", 0), 0u) << boxes[0].text;
  EXPECT_FALSE(Find<QPushButton>(*form, "BStart")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(*form, "BSourceVideo")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(*form, "BSubtitle")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(*form, "BDestinationVideo")->isEnabled());
  EXPECT_TRUE(Log(*form).isEmpty());
  // The teardown returns to the idle state but cannot bring back a decoder.
  form->CloseAll();
  EXPECT_EQ(Log(*form), QStringList{"Closing all..."});
  EXPECT_FALSE(Find<QPushButton>(*form, "BStart")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(*form, "BSourceVideo")->isEnabled());
  // Exit still ends the program normally.
  form->show();
  form->ToolButton9Click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_NE(Ini().find("SaveOnExit=1"), std::string::npos);
}

TEST_F(MainFormTest, PanelsSwitchOneAtATime) {
  auto form = Open();
  const struct {
    void (TMainForm::*handler)();
    const char* shown;
  } cases[] = {{&TMainForm::TBOptionsClick, "POptions"},
               {&TMainForm::ToolButton4Click, "PDebug"},
               {&TMainForm::ToolButton6Click, "PAbout"},
               {&TMainForm::TBQueueClick, "PQueue"},
               {&TMainForm::ToolButton1Click, "PMain"}};
  for (const auto& c : cases) {
    (form.get()->*c.handler)();
    for (const char* panel : {"PMain", "POptions", "PDebug", "PAbout", "PQueue"})
      EXPECT_EQ(Find<QWidget>(*form, panel)->isHidden(), std::string(panel) != c.shown)
          << c.shown << " " << panel;
  }
  form->findChild<QAction*>("TBOptions")->trigger();
  EXPECT_FALSE(Find<QWidget>(*form, "POptions")->isHidden());
}

TEST_F(MainFormTest, LogEntriesAndBoxes) {
  auto form = Open();
  form->AppendLog("first\r\nsecond");
  form->LogError("broken...");
  EXPECT_EQ(Log(*form),
            (QStringList{"first", "second", "[BEGIN ERROR]", "broken...", "[END ERROR]"}));
  form->ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", "OK");
  form->ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", "bad");
  form->ShowMessageBox(MESSAGEBOX::MessageKind::Error, "Own", "text");
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, "INFO...");
  EXPECT_EQ(boxes[0].type, MB_ICONINFORMATION | MB_SYSTEMMODAL);
  EXPECT_EQ(boxes[0].text, "OK");
  EXPECT_EQ(boxes[1].caption, "ERROR!");
  EXPECT_EQ(boxes[1].type, MB_ICONSTOP | MB_SYSTEMMODAL);
  EXPECT_EQ(boxes[2].caption, "Own");
}

TEST_F(MainFormTest, FontDialogChangesTheDisplayOnlyWhenConfirmed) {
  auto form = Open();
  form->Button4Click();  // cancelled
  EXPECT_EQ(Text(*form, "EFontName"), "Arial");
  SUBTITLEFONT::SubtitleFont chosen;
  chosen.Name = "DejaVu Sans";
  chosen.Size = 14;
  chosen.Color = 0xFF0000;
  chosen.Charset = 1;
  chosen.Bold = chosen.Underline = true;
  fontAnswer = chosen;
  form->Button4Click();
  EXPECT_EQ(Text(*form, "EFontName"), "DejaVu Sans");
  EXPECT_EQ(Text(*form, "EFontSize"), "14");
  EXPECT_EQ(Text(*form, "EFontScript"), "");
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBFontBold")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBFontUnderline")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(*form, "CBFontItalic")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(*form, "EFontColor")->palette().color(QPalette::Base), Qt::blue);
  EXPECT_EQ(form->SubtitleFontOfFD(), chosen);
  chosen.Color = 0x0000FF;
  fontAnswer = chosen;
  form->Button4Click();
  form->close();
  EXPECT_NE(Ini().find("Color=0x0000FF\r\n"), std::string::npos);
}

TEST_F(MainFormTest, HelpAndLinksGoToTheShell) {
  auto form = Open();
  form->ProgramFolder = "/opt/My Tools/";
  form->ToolButton5Click();
  form->ToolButton3Click();
  form->ToolButton8Click();
  form->Label30Click();
  ASSERT_EQ(shell.size(), 4u);
  EXPECT_EQ(shell[0], "open file:////opt/My Tools/Help/Help.html");
  EXPECT_EQ(shell[1], "open https://tolvane.example");
  EXPECT_EQ(shell[2], "open https://tolvane.example/index.php?p=1_4_Donations");
  EXPECT_EQ(shell[3], "open mailto:dev@tolvane.example,qa@tolvane.example");
  EXPECT_EQ(ShellTargetUrl("file:////opt/My Tools/Help/Help.html"),
            "file:///opt/My Tools/Help/Help.html");
  EXPECT_EQ(ShellTargetUrl("https://tolvane.example"), "https://tolvane.example");
  // The link lines answer a click like the toolbar.
  QLabel* contact = Find<QLabel>(*form, "Label33");
  EXPECT_EQ(contact->text(), "dev@tolvane.example - qa@tolvane.example");
  for (const char* line : {"Label30", "Label31", "Label33", "Label34"}) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Find<QLabel>(*form, line), &release);
  }
  ASSERT_EQ(shell.size(), 8u);
  EXPECT_EQ(shell[4], shell[3]);
  EXPECT_EQ(shell[5], shell[1]);
  EXPECT_EQ(shell[6], shell[3]);
  EXPECT_EQ(shell[7], shell[1]);
}

TEST_F(MainFormTest, CloseWhileRunningOnlyStopsTheJob) {
  auto form = Open();
  form->show();
  form->Running = true;
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->Running);
  EXPECT_FALSE(std::filesystem::exists(dir / "Tolvane.ini"));
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(std::filesystem::exists(dir / "Tolvane.ini"));
}

TEST_F(MainFormTest, UnwritableSettingsAreReportedOnceAndTheWindowCloses) {
  TMainFormEnvironment environment;
  WriteFile(dir / "blocker", "");
  environment.ProgramFolder = (dir / "absent").string() + "/";
  environment.UserFolder = (dir / "blocker" / "Tolvane").string();
  TMainForm form(environment);
  form.show();
  form.close();
  EXPECT_FALSE(form.isVisible());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Unable to write to " + (dir / "blocker" / "Tolvane" / "Tolvane.ini").string());
  form.close();
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(MainFormTest, PreviewOpensOnce) {
  auto form = Open();
  EXPECT_EQ(form->ShownPreview(), nullptr);
  form->BPreviewClick();
  TPreviewForm* preview = form->ShownPreview();
  ASSERT_NE(preview, nullptr);
  form->BPreviewClick();
  EXPECT_EQ(form->ShownPreview(), preview);
  EXPECT_EQ(form->findChildren<TPreviewForm*>().size(), 1);
  preview->close();
  QApplication::processEvents();
  EXPECT_FALSE(form->PreviewShown);
  EXPECT_EQ(form->ShownPreview(), nullptr);
  form->BPreviewClick();
  EXPECT_NE(form->ShownPreview(), nullptr);
}

// ---- Input selection ----

TEST_F(MainFormTest, DestinationDialogAddsTheDefaultExtension) {
  auto form = Open();
  answers = {std::nullopt, (dir / "out").string(), (dir / "film.AVI").string()};
  form->BDestinationVideoClick();
  EXPECT_EQ(Text(*form, "ESavedVideoFile"), "");
  form->BDestinationVideoClick();
  EXPECT_EQ(Text(*form, "ESavedVideoFile").toStdString(), (dir / "out.avi").string());
  form->BDestinationVideoClick();
  EXPECT_EQ(Text(*form, "ESavedVideoFile").toStdString(), (dir / "film.AVI").string());
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[0].Name, "SDSavedVideoFile");
  EXPECT_TRUE(dialogs[0].Save);
  EXPECT_EQ(dialogs[0].Title, "Save subtitled video file as...");
  EXPECT_EQ(dialogs[0].Filter, "Avi files|*.avi|Matroska files|*.mkv|MP4 files|*.mp4;*.m4v;*.mov");
  EXPECT_EQ(FILEDIALOGS::QtFilter("Subtitle files|*.sub;*.srt|All files|*.*"),
            "Subtitle files (*.sub *.srt);;All files (*)");
}

TEST_F(MainFormTest, SubtitleChoiceIsCheckedAndReported) {
  const std::string good = (dir / "good.srt").string();
  WriteFile(good, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n\r\n");
  const std::string wide = (dir / "wide.srt").string();
  WriteFile(wide,
            std::string("\xFF\xFE", 2) + std::string("1\0\r\0\n\0", 6) + std::string(64, '\0'));
  SUBTITLEFILE::SubtitleFile reference;
  ASSERT_TRUE(reference.Open(good));
  const std::string report = reference.Info;
  ASSERT_FALSE(reference.Open(wide));
  const std::string refusal = reference.ErrorText;

  auto form = Open();
  answers = {std::nullopt, good, wide};
  form->BSubtitleClick();
  EXPECT_TRUE(Log(*form).isEmpty());
  form->BSubtitleClick();
  EXPECT_EQ(Text(*form, "ESubtitleFile").toStdString(), good);
  EXPECT_EQ(Log(*form).join("\n"), QString::fromLocal8Bit(report).replace("\r\n", "\n"));
  form->BSubtitleClick();
  EXPECT_EQ(Text(*form, "ESubtitleFile").toStdString(), good);
  const QStringList log = Log(*form);
  ASSERT_GE(log.size(), 3);
  EXPECT_EQ(log.mid(log.size() - 3),
            (QStringList{"[BEGIN ERROR]", QString::fromStdString(refusal), "[END ERROR]"}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ERROR!");
  EXPECT_EQ(boxes[0].text, refusal);
  EXPECT_EQ(dialogs[0].Title, "Chose subtitle file...");
  EXPECT_EQ(dialogs[0].Filter, "Subtitle files|*.sub;*.srt|All files|*.*");
}

TEST_F(MainFormTest, SourceChoiceFillsTheStreamListsAndKeepsThemOnFailure) {
  const std::string two = (dir / "two.mkv").string();
  testsupport::Ffmpeg(
      "-f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i "
      "testsrc2=size=64x48:rate=10 -map 0 -map 1 -t 0.5 -c:v mpeg4 '" +
      two + "'");
  const std::string withAudio = (dir / "sound.avi").string();
  testsupport::Ffmpeg(
      "-f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i sine=r=8000 -t 0.5 "
      "-c:v mpeg4 -c:a pcm_s16le '" +
      withAudio + "'");
  const std::string missing = (dir / "missing.avi").string();

  auto form = Open();
  answers = {two, missing, withAudio};
  form->BSourceVideoClick();
  EXPECT_EQ(Text(*form, "EVideoFile").toStdString(), two);
  EXPECT_EQ(Items(*form, "CBVideoStreams"), (QStringList{"1", "2"}));
  EXPECT_EQ(Find<QComboBox>(*form, "CBVideoStreams")->currentIndex(), 0);
  EXPECT_TRUE(Items(*form, "CBAudioStreams").isEmpty());
  EXPECT_EQ(Find<QComboBox>(*form, "CBAudioStreams")->currentIndex(), -1);
  const QStringList report = Log(*form);
  ASSERT_FALSE(report.isEmpty());
  EXPECT_EQ(report.front(), "[ BEGIN MOVIE INFO ]");

  form->BSourceVideoClick();  // a name that does not exist
  EXPECT_EQ(Text(*form, "EVideoFile").toStdString(), two);
  EXPECT_EQ(Items(*form, "CBVideoStreams"), (QStringList{"1", "2"}));
  const QStringList log = Log(*form);
  ASSERT_EQ(log.size(), report.size() + 3);
  EXPECT_EQ(log[report.size()], "[BEGIN ERROR]");
  EXPECT_EQ(log.back(), "[END ERROR]");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ERROR!");
  EXPECT_EQ(QString::fromStdString(boxes[0].text), log[report.size() + 1]);

  form->BSourceVideoClick();
  EXPECT_EQ(Items(*form, "CBVideoStreams"), (QStringList{"1"}));
  EXPECT_EQ(Items(*form, "CBAudioStreams"), (QStringList{"1"}));
  EXPECT_EQ(Find<QComboBox>(*form, "CBAudioStreams")->currentIndex(), 0);
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[0].Name, "ODVideoFile");
  EXPECT_EQ(dialogs[0].Title, "Chose the source video file...");
  EXPECT_EQ(dialogs[0].Filter.rfind("Video files|*.avi;*.mp4;*.mkv;", 0), 0u);
  EXPECT_NE(dialogs[0].Filter.find("|Avi files|*.avi|All files|*.*"), std::string::npos);
  EXPECT_EQ(dialogs[0].DefaultExt, "");
}

}  // namespace

TEST_F(MainFormTest, ReadingGroupSitsBelowOtherOptionsWithItsHints) {
  auto form = Open();
  QWidget* group = Find<QWidget>(*form, "PReadingBox");
  const QWidget* other = Find<QWidget>(*form, "POtherBox");
  EXPECT_EQ(group->parentWidget(), other->parentWidget());
  EXPECT_EQ(group->geometry(), QRect(8, 304, 264, 78));
  EXPECT_GT(group->geometry().top(), other->geometry().bottom());
  EXPECT_EQ(Find<QLabel>(*form, "LReadingHeader")->text(), "Reading");
  EXPECT_EQ(Find<QLabel>(*form, "LReadingHeader")->styleSheet(),
            Find<QLabel>(*form, "LOtherHeader")->styleSheet());
  // The panel is tall enough to scroll to the whole group.
  EXPECT_GE(Find<QWidget>(*form, "POptions")->minimumHeight(), group->geometry().bottom());
  for (const char* name : {"CBUnicode", "CBDetectCodePage", "CBCleanMarkup", "CBTolerant"}) {
    QCheckBox* box = Find<QCheckBox>(*form, name);
    EXPECT_EQ(box->parentWidget(), group) << name;
    EXPECT_FALSE(box->isChecked()) << name;
    EXPECT_FALSE(box->toolTip().isEmpty()) << name;
    EXPECT_EQ(box->statusTip(), box->toolTip()) << name;
  }
}

TEST_F(MainFormTest, ReadingGroupComesFromTheSettingsAndGoesBackAtClose) {
  WriteFile(dir / "Tolvane.ini", "[READING]\nUnicode=1\nTolerant=1\n");
  auto form = Open();
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBUnicode")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(*form, "CBDetectCodePage")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(*form, "CBCleanMarkup")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBTolerant")->isChecked());
  Find<QCheckBox>(*form, "CBCleanMarkup")->setChecked(true);
  Find<QCheckBox>(*form, "CBTolerant")->setChecked(false);
  const SUBTITLEFILE::ReadingOptions expected{true, false, true, false};
  EXPECT_EQ(form->CollectJobOptions().Reading, expected);
  form->close();
  EXPECT_EQ(SETTINGS::LoadSettings((dir / "Tolvane.ini").string()).Reading, expected);
}

TEST_F(MainFormTest, SubtitleChoiceIsCheckedWithTheReadingGroup) {
  const std::string marked = (dir / "marked.srt").string();
  WriteFile(marked,
            "\xEF\xBB\xBF"
            "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n");
  auto form = Open();
  answers = {marked, marked};
  form->BSubtitleClick();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(Text(*form, "ESubtitleFile"), "");
  Find<QCheckBox>(*form, "CBUnicode")->setChecked(true);
  Find<QCheckBox>(*form, "CBDetectCodePage")->setChecked(true);
  form->BSubtitleClick();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(Text(*form, "ESubtitleFile").toStdString(), marked);
  EXPECT_TRUE(Log(*form).contains("Subtitle encoding is UTF-8"));
}

// A damaged source: FFmpeg's reason in the log before the decoder's error,
// as a video handed to the program by the desktop is opened.
TEST_F(MainFormTest, ADamagedSourceIsExplainedByTheLibrariesFirst) {
  const std::string whole = (dir / "whole.mp4").string(), cut = (dir / "cut.mp4").string();
  testsupport::Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v mpeg4 '" + whole + "'");
  const std::string bytes = ReadFile(whole);
  WriteFile(cut, bytes.substr(0, bytes.size() / 2));
  auto form = Open();
  form->OpenSourceVideo(cut);
  EXPECT_EQ(Log(*form),
            (QStringList{"[FFmpeg::mov] moov atom not found...", "[BEGIN ERROR]",
                         "[VelAvCodec::PreOpen] Can't open input file...", "[END ERROR]"}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "[VelAvCodec::PreOpen] Can't open input file...");
  EXPECT_EQ(Text(*form, "EVideoFile"), "");
  form->OpenSourceVideo(whole);
  EXPECT_EQ(Text(*form, "EVideoFile").toStdString(), whole);
}

namespace {

// A drag of these files entering the window, then dropped on it; whether
// the window took the drag.
bool DropFiles(TMainForm& form, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls.push_back(QUrl::fromLocalFile(path));
  data.setUrls(urls);
  const QPointF at(20, 60);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &drop);
  return true;
}

}  // namespace

// Dropped files are taken as if chosen in their dialogs: checked, reported,
// and only then named in their fields; other files are passed over.
TEST_F(MainFormTest, DroppedVideoAndSubtitleFilesBecomeTheSourceAndTheSubtitleFile) {
  const std::string film = (dir / "film.mkv").string();
  testsupport::Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=10 -t 0.5 -c:v mpeg4 '" + film + "'");
  const std::string subs = (dir / "film.srt").string();
  WriteFile(subs, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n\r\n");
  const std::string notes = (dir / "notes.txt").string();
  WriteFile(notes, "x");

  auto form = Open();
  // The fields leave a drop to the window rather than take the address.
  EXPECT_FALSE(Find<QLineEdit>(*form, "EVideoFile")->acceptDrops());
  ASSERT_TRUE(DropFiles(*form, {QString::fromStdString(notes), QString::fromStdString(subs),
                                QString::fromStdString(film)}));
  EXPECT_EQ(Text(*form, "EVideoFile").toStdString(), film);
  EXPECT_EQ(Text(*form, "ESubtitleFile").toStdString(), subs);
  EXPECT_EQ(Items(*form, "CBVideoStreams"), QStringList{"1"});
  const QString log = Log(*form).join("\n");
  EXPECT_TRUE(log.contains("Subtitle format is SubRip")) << log.toStdString();
  EXPECT_TRUE(log.contains("[ BEGIN MOVIE INFO ]")) << log.toStdString();
  EXPECT_TRUE(boxes.empty());

  // A subtitle file that cannot be read is refused as in its dialog.
  const std::string broken = (dir / "broken.sub").string();
  WriteFile(broken, "no entries here\nnor here\n");
  ASSERT_TRUE(DropFiles(*form, {QString::fromStdString(broken)}));
  EXPECT_EQ(Text(*form, "ESubtitleFile").toStdString(), subs);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ERROR!");
}

TEST_F(MainFormTest, AlignBoxSitsInTheSubtitleGroupAndReachesTheJob) {
  auto form = Open();
  QCheckBox* box = Find<QCheckBox>(*form, "CBAlign");
  const QWidget* group = Find<QWidget>(*form, "PSubtitleBox");
  EXPECT_EQ(box->parentWidget(), group);
  EXPECT_TRUE(group->rect().contains(box->geometry()));
  EXPECT_FALSE(box->geometry().intersects(Find<QWidget>(*form, "Label21")->geometry()));
  EXPECT_EQ(box->text(), "Align to speech");
  EXPECT_EQ(box->statusTip(), box->toolTip());
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(form->CollectJobOptions().AlignToSpeech);
  box->setChecked(true);
  EXPECT_TRUE(form->CollectJobOptions().AlignToSpeech);
  form->close();
  EXPECT_NE(Ini().find("[ALIGN]\r\nAlignToSpeech=1\r\n"), std::string::npos) << Ini();
  EXPECT_TRUE(Find<QCheckBox>(*Open(), "CBAlign")->isChecked());
}

TEST_F(MainFormTest, ForcedOnlyBoxSitsBesideTheTrackChoiceAndReachesTheJob) {
  auto form = Open();
  QCheckBox* box = Find<QCheckBox>(*form, "CBForcedOnly");
  const QWidget* group = box->parentWidget();
  EXPECT_EQ(group, Find<QWidget>(*form, "CBSubtitleTrack")->parentWidget());
  // Above the subtitle file's field, within its width.
  const QRect field = Find<QWidget>(*form, "ESubtitleFile")->geometry();
  EXPECT_GE(box->geometry().left(), field.left());
  EXPECT_LE(box->geometry().right(), field.right());
  EXPECT_LT(box->geometry().bottom(), field.top());
  for (const char* other : {"Label2", "CBSubtitleTrack", "ESubtitleFile"})
    EXPECT_FALSE(box->geometry().intersects(Find<QWidget>(*form, other)->geometry())) << other;
  EXPECT_EQ(box->text(), "Forced only");
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(form->CollectJobOptions().ForcedOnly);
  box->setChecked(true);
  EXPECT_TRUE(form->CollectJobOptions().ForcedOnly);
  form->close();
  EXPECT_NE(Ini().find("[PICTURES]\r\nForcedOnly=1\r\n"), std::string::npos) << Ini();
  EXPECT_TRUE(Find<QCheckBox>(*Open(), "CBForcedOnly")->isChecked());
}

TEST_F(MainFormTest, CopyUntouchedBoxSitsBesideTranscodeAndReachesTheJob) {
  auto form = Open();
  QCheckBox* box = Find<QCheckBox>(*form, "CBSmart");
  const QCheckBox* transcode = Find<QCheckBox>(*form, "CBTranscodeVideo");
  EXPECT_EQ(box->parentWidget(), transcode->parentWidget());
  EXPECT_TRUE(box->parentWidget()->rect().contains(box->geometry()));
  EXPECT_EQ(box->geometry().top(), transcode->geometry().top());
  EXPECT_FALSE(box->geometry().intersects(transcode->geometry()));
  EXPECT_EQ(box->text(), "Copy untouched");
  EXPECT_EQ(box->statusTip(), box->toolTip());
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(form->CollectJobOptions().CopyUntouched);
  box->setChecked(true);
  EXPECT_TRUE(form->CollectJobOptions().CopyUntouched);
  form->close();
  EXPECT_NE(Ini().find("[SMART]\r\nCopyUntouched=1\r\n"), std::string::npos) << Ini();
  EXPECT_TRUE(Find<QCheckBox>(*Open(), "CBSmart")->isChecked());
}

// The copied and encoded counts come into view with a copying job's figures,
// beside the frame rates and clear of them, and go with the next job's reset.
TEST_F(MainFormTest, CopyCountsShowOnlyForACopyingJob) {
  auto form = Open();
  form->show();
  WINDOWJOBHOST::WindowJobHost host(*form);
  const char* names[] = {"LCopiedFrames", "ECopiedFrames", "LEncodedFrames", "EEncodedFrames"};
  for (const char* name : names) EXPECT_FALSE(Find<QWidget>(*form, name)->isVisible()) << name;
  JOBSTATISTICS::Progress figures;
  figures.FrameIndex = 75;
  figures.TotalFrames = 150;
  figures.CopiedFrames = 1200;
  figures.MsSinceStart = 3000;
  host.ShowStatistics(JOBSTATISTICS::ComputeStatistics(figures), figures);
  const QWidget* panel = Find<QWidget>(*form, "PFramerate");
  for (const char* name : names) {
    const QWidget* widget = Find<QWidget>(*form, name);
    EXPECT_TRUE(widget->isVisible()) << name;
    EXPECT_EQ(widget->parentWidget(), panel) << name;
    EXPECT_TRUE(panel->rect().contains(widget->geometry())) << name;
    for (const char* other : {"Label9", "ECurrentFramerate", "Label10"})
      EXPECT_FALSE(widget->geometry().intersects(Find<QWidget>(*form, other)->geometry()))
          << name << " " << other;
  }
  EXPECT_EQ(Find<QLineEdit>(*form, "ECopiedFrames")->text(), "1200");
  EXPECT_EQ(Find<QLineEdit>(*form, "EEncodedFrames")->text(), "75");
  EXPECT_EQ(Find<QLabel>(*form, "LCopiedFrames")->text(), "Copied frames");
  // Neither label is cut short.
  for (const char* name : {"LCopiedFrames", "LEncodedFrames"}) {
    const QLabel* label = Find<QLabel>(*form, name);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << name;
  }
  host.ShowStatistics(JOBSTATISTICS::ResetTexts(), {});
  for (const char* name : names) EXPECT_FALSE(Find<QWidget>(*form, name)->isVisible()) << name;
}

// The [COLOUR] values reach the jobs, start the compressor dialog's colour
// fields, take what it confirms and are written back at close.
TEST_F(MainFormTest, ColourSettingsReachTheJobAndTheDialogAndSurviveTheWindow) {
  WriteFile(dir / "Tolvane.ini",
            "[OTHER]\r\nSaveOnExit=1\r\n[COLOUR]\r\nBitDepth=10\r\nSubtitleNits=150\r\n");
  auto form = Open();
  EXPECT_EQ(form->CollectJobOptions().BitDepth, 10);
  EXPECT_EQ(form->CollectJobOptions().SubtitleNits, 150.0);
  int shownNits = 0;
  bool shownSdr = true;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    shownNits = dialog->findChild<QSpinBox*>("UDSubtitleNits")->value();
    shownSdr = dialog->findChild<QCheckBox*>("CBSdr")->isChecked();
    dialog->findChild<QSpinBox*>("UDSubtitleNits")->setValue(250);
    dialog->findChild<QCheckBox*>("CBSdr")->setChecked(true);
    dialog->findChild<QPushButton*>("BOK")->click();
  });
  ENCODERCHOICE::EncoderChoice choice;
  ASSERT_TRUE(form->CompressorChooser()({}, choice));
  EXPECT_EQ(shownNits, 150);
  EXPECT_FALSE(shownSdr);
  EXPECT_EQ(choice.Asked.SubtitleNits, 250);
  EXPECT_EQ(form->CollectJobOptions().SubtitleNits, 250.0);
  EXPECT_TRUE(form->CollectJobOptions().Sdr);
  form->close();
  EXPECT_NE(Ini().find("[COLOUR]\r\n"), std::string::npos) << Ini();
  EXPECT_NE(Ini().find("SubtitleNits=250\r\n"), std::string::npos) << Ini();
  EXPECT_NE(Ini().find("Sdr=1\r\n"), std::string::npos) << Ini();
}

namespace {

// The "Streams" group's keeping boxes: on by default, greyed and off for an
// AVI destination, back as they were for another container, and a list
// from the settings file kept until the box is clicked.
class KeepingBoxesTest : public MainFormTest {
 protected:
  using Choice = JOBOPTIONS::TrackKeeping::Choice;
  static constexpr const char* kBoxes[] = {"CBKeepAudio", "CBKeepSubtitles", "CBKeepChapters"};

  void Destination(TMainForm& form, const char* name) {
    Find<QLineEdit>(form, "ESavedVideoFile")->setText(name);
  }
  // Each box as "checked/enabled", "1" or "0" each.
  std::vector<std::string> Shown(TMainForm& form) {
    std::vector<std::string> shown;
    for (const char* name : kBoxes) {
      const QCheckBox* box = Find<QCheckBox>(form, name);
      shown.push_back(std::string(box->isChecked() ? "1" : "0") + "/" +
                      (box->isEnabled() ? "1" : "0"));
    }
    return shown;
  }
  const std::vector<std::string> kOn{"1/1", "1/1", "1/1"};
  const std::vector<std::string> kGreyed{"0/0", "0/0", "0/0"};
};

TEST_F(KeepingBoxesTest, BoxesSitInTheStreamsGroupAndKeepEverythingByDefault) {
  auto form = Open();
  const QWidget* group = Find<QWidget>(*form, "PStreamsBox");
  const char* texts[] = {"Keep other sound tracks", "Keep other subtitle tracks",
                         "Keep chapters and tags"};
  for (size_t i = 0; i < std::size(kBoxes); ++i) {
    QCheckBox* box = Find<QCheckBox>(*form, kBoxes[i]);
    EXPECT_EQ(box->text(), texts[i]);
    EXPECT_EQ(box->parentWidget(), group);
    EXPECT_TRUE(group->rect().contains(box->geometry())) << kBoxes[i];
    EXPECT_FALSE(box->toolTip().isEmpty());
    for (const QWidget* other : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (other != box) EXPECT_FALSE(box->geometry().intersects(other->geometry())) << kBoxes[i];
  }
  // The groups below make room for them and still do not overlap.
  EXPECT_GT(Find<QWidget>(*form, "PSubtitleBox")->geometry().top(), group->geometry().bottom());
  EXPECT_GT(Find<QWidget>(*form, "PLookBox")->geometry().top(),
            Find<QWidget>(*form, "PSubtitleBox")->geometry().bottom());
  // No destination yet: any container may still come.
  EXPECT_EQ(Shown(*form), kOn);
  EXPECT_EQ(form->CollectJobOptions().Keeping, JOBOPTIONS::StreamKeeping{});
  Destination(*form, "/v/out.mkv");
  EXPECT_EQ(Shown(*form), kOn);
  // Keeping everything writes no section of its own.
  form->close();
  EXPECT_EQ(Ini().find("[STREAMS]"), std::string::npos) << Ini();
}

TEST_F(KeepingBoxesTest, AnAviDestinationGreysTheBoxesAndAnotherGivesThemBack) {
  auto form = Open();
  Destination(*form, "/v/out.mkv");
  Find<QCheckBox>(*form, "CBKeepSubtitles")->click();
  EXPECT_EQ(form->CollectJobOptions().Keeping.Subtitles.Which, Choice::None);
  for (const char* avi : {"/v/out.avi", "/v/OUT.AVI", "/v/out", "/v.mkv/out"}) {
    Destination(*form, avi);
    EXPECT_EQ(Shown(*form), kGreyed) << avi;
  }
  // The choice waits for the next container that can hold it.
  EXPECT_EQ(form->CollectJobOptions().Keeping.Subtitles.Which, Choice::None);
  EXPECT_EQ(form->CollectJobOptions().Keeping.Sound.Which, Choice::All);
  for (const char* other : {"/v/out.webm", "/v/out.MP4", "/v/out.mov", "/v/out.m4v"}) {
    Destination(*form, other);
    EXPECT_EQ(Shown(*form), (std::vector<std::string>{"1/1", "0/1", "1/1"})) << other;
  }
  Find<QCheckBox>(*form, "CBKeepChapters")->click();
  Destination(*form, "/v/out.avi");
  Destination(*form, "/v/out.mkv");
  EXPECT_EQ(Shown(*form), (std::vector<std::string>{"1/1", "0/1", "0/1"}));
  const JOBOPTIONS::StreamKeeping keeping = form->CollectJobOptions().Keeping;
  EXPECT_EQ(keeping.Sound.Which, Choice::All);
  EXPECT_EQ(keeping.Subtitles.Which, Choice::None);
  EXPECT_FALSE(keeping.Chapters);
  EXPECT_TRUE(keeping.Attachments);
  // Saved while greyed, the choices are still what the boxes held.
  Destination(*form, "/v/out.avi");
  form->close();
  EXPECT_EQ(SETTINGS::LoadSettings((dir / "Tolvane.ini").string()).Keeping, keeping);
  EXPECT_NE(Ini().find("[STREAMS]\r\nKeepAudio=all\r\nKeepSubtitles=none\r\nKeepChapters=0\r\n"
                       "KeepAttachments=1\r\n"),
            std::string::npos)
      << Ini();
}

TEST_F(KeepingBoxesTest, ListedTracksStayListedUntilTheBoxIsClicked) {
  WriteFile(dir / "Tolvane.ini",
            "[FILES]\nDestinationVideo=/v/out.mkv\n[STREAMS]\nKeepAudio=2,3\nKeepSubtitles=4\n"
            "KeepChapters=0\nKeepAttachments=0\n");
  auto form = Open();
  EXPECT_EQ(Shown(*form), (std::vector<std::string>{"1/1", "1/1", "0/1"}));
  const JOBOPTIONS::TrackKeeping two{Choice::Listed, {2, 3}}, four{Choice::Listed, {4}};
  JOBOPTIONS::StreamKeeping keeping = form->CollectJobOptions().Keeping;
  EXPECT_EQ(keeping, (JOBOPTIONS::StreamKeeping{two, four, false, false}));
  Destination(*form, "/v/out.avi");
  EXPECT_EQ(Shown(*form), kGreyed);
  Destination(*form, "/v/out.mp4");
  EXPECT_EQ(form->CollectJobOptions().Keeping, keeping);
  // Clicked off and on again, the box keeps every track.
  QCheckBox* audio = Find<QCheckBox>(*form, "CBKeepAudio");
  audio->click();
  EXPECT_EQ(form->CollectJobOptions().Keeping.Sound.Which, Choice::None);
  audio->click();
  keeping = form->CollectJobOptions().Keeping;
  EXPECT_EQ(keeping.Sound, JOBOPTIONS::TrackKeeping{});
  EXPECT_EQ(keeping.Subtitles, four);
  form->close();
  EXPECT_EQ(SETTINGS::LoadSettings((dir / "Tolvane.ini").string()).Keeping, keeping);
  EXPECT_NE(Ini().find("KeepAudio=all\nKeepSubtitles=4\n"), std::string::npos) << Ini();
}

}  // namespace
