// The queue page of the main window, offscreen: adding the window's job,
// a folder and dropped files, reordering, running a queue with a failing
// job, stopping it, and the queue file read back after a restart and by the
// command line.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include "avi/Vfw.h"
#include "platform/MessageBox.h"
#include "shell/JobArguments.h"
#include "shell/JobQueue.h"
#include "support/TestSupport.h"
#include "ui/JobMedia.h"
#include "ui/MainUnit.h"
#include "ui/QueuePanel.h"
#include "ui/WindowJobHost.h"

using namespace testsupport;
using JOBQUEUE::EntryState;

namespace {

class QueuePanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "xdg").string()));
    previousBox = SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, UINT type) {
          boxes.push_back(caption + "|" + text);
          return (type & MB_YESNO) ? answers.at(answered++) : IDOK;
        });
    MakeJobMedia(dir);
    Open();
  }
  void TearDown() override { SetMessageBoxHandler(previousBox); }

  void Open() {
    TMainFormEnvironment environment;
    environment.ProgramFolder = dir.path().string() + "/";
    environment.UserFolder = (dir / "user").string() + "/";
    environment.CompressorChooser = [this](const ENCODERCHOICE::ChoiceRequest&,
                                           ENCODERCHOICE::EncoderChoice& choice) {
      ++chooserCalls;
      if (!chooserAnswer) return false;
      choice = *chooserAnswer;
      return true;
    };
    environment.FileDialog = [this](QWidget*, const FILEDIALOGS::FileDialogRequest& request) {
      dialogs.push_back(request);
      return folderAnswer;
    };
    form = std::make_unique<TMainForm>(environment);
    SetFiles(Path("source.mkv"), Path("subs.srt"), Path("out.avi"));
    form->show();
    panel = form->findChild<TQueuePanel*>("PQueue");
    ASSERT_NE(panel, nullptr);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  void SetFiles(const std::string& source, const std::string& subtitles, const std::string& out) {
    form->findChild<QLineEdit*>("EVideoFile")->setText(QString::fromStdString(source));
    form->findChild<QLineEdit*>("ESubtitleFile")->setText(QString::fromStdString(subtitles));
    form->findChild<QLineEdit*>("ESavedVideoFile")->setText(QString::fromStdString(out));
  }
  void Click(const char* button) { form->findChild<QPushButton*>(button)->click(); }
  bool Enabled(const char* button) { return form->findChild<QPushButton*>(button)->isEnabled(); }
  QTreeWidget* List() { return form->findChild<QTreeWidget*>("TVQueue"); }
  void Choose(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }
  // Each row as "source > output: state".
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = List()->topLevelItem(i);
      rows.push_back((item->text(0) + " > " + item->text(1) + ": " + item->text(2)).toStdString());
    }
    return rows;
  }
  JOBQUEUE::JobQueue Stored() {
    JOBQUEUE::JobQueue queue;
    EXPECT_EQ(JOBQUEUE::LoadQueue(Path("Tolvane.queue"), queue), "");
    return queue;
  }
  // Adds the job of the main page with `output`.
  void AddJob(const std::string& source, const std::string& output) {
    SetFiles(source, Path("subs.srt"), output);
    Click("BQueueAdd");
  }
  std::string Log() {
    return form->findChild<QPlainTextEdit*>("MDebug")->toPlainText().toStdString();
  }
  int Frames(const std::string& file) {
    return std::atoi(Ffprobe("-count_frames -select_streams v -show_entries "
                             "stream=nb_read_frames -of csv=p=0 " +
                             file)
                         .c_str());
  }
  // A drag of these paths entering the panel, then dropped on it; whether
  // the panel took the drag. What the drop adds is added once the drop is
  // over.
  bool Drop(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(path.c_str()));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &drop);
    QApplication::processEvents();
    return true;
  }

  TempDir dir;
  std::unique_ptr<TMainForm> form;
  TQueuePanel* panel = nullptr;
  std::vector<std::string> boxes;
  // The answers of the yes-no boxes in turn.
  std::vector<int> answers;
  size_t answered = 0;
  int chooserCalls = 0;
  std::optional<ENCODERCHOICE::EncoderChoice> chooserAnswer = [] {
    ENCODERCHOICE::EncoderChoice choice;
    choice.Codec = ENCODERCHOICE::FourCC('X', 'V', 'I', 'D');
    choice.Quality = 8000;
    choice.KeyFrameEvery = 10;
    choice.KeyFramesOn = true;
    return choice;
  }();
  std::vector<FILEDIALOGS::FileDialogRequest> dialogs;
  std::optional<std::string> folderAnswer;
  MessageBoxHandler previousBox;
};

}  // namespace

// "Add to queue" stores the main page's job with every option and the
// compressor chosen then; read back over a settings file that says
// otherwise, it is the same job.
TEST_F(QueuePanelTest, AddingStoresTheWholeJobWithItsCompressorChoice) {
  form->findChild<QCheckBox*>("CBFixAudioVBR")->setChecked(true);
  form->findChild<QSpinBox*>("UDOutline")->setValue(3);
  form->findChild<QCheckBox*>("CBCleanMarkup")->setChecked(true);
  EXPECT_FALSE(std::filesystem::exists(dir / "Tolvane.queue"));
  Click("BQueueAdd");
  EXPECT_EQ(chooserCalls, 1);
  const JOBQUEUE::JobQueue queue = Stored();
  ASSERT_EQ(queue.Entries.size(), 1u);
  EXPECT_EQ(queue.Entries[0].State, EntryState::Waiting);
  EXPECT_EQ(Rows(), std::vector<std::string>{"source.mkv > out.avi: waiting"});

  SETTINGS::Settings other;
  other.Font.Bold = true;
  other.Look.Antialias = true;
  other.FixAudioVBR = false;
  JOBARGUMENTS::JobArguments job;
  ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(queue.Entries[0].Arguments, other, job), "");
  const JOBOPTIONS::JobOptions window = form->CollectJobOptions();
  EXPECT_EQ(job.Options.SourceVideo, Path("source.mkv"));
  EXPECT_EQ(job.Options.DestinationVideo, Path("out.avi"));
  EXPECT_TRUE(job.Options.FixAudioVBR);
  EXPECT_EQ(job.Options.Font, window.Font);
  EXPECT_EQ(job.Options.Look, window.Look);
  EXPECT_EQ(job.Options.Look.Outline, 3);
  EXPECT_EQ(job.Options.Reading, window.Reading);
  EXPECT_EQ(job.Compressor, "XVID");
  EXPECT_EQ(job.Quality, 8000);
  EXPECT_EQ(job.KeyFrames, 10);
  EXPECT_FALSE(job.DataRate.has_value());

  // A cancelled choice or a missing file adds nothing.
  chooserAnswer.reset();
  Click("BQueueAdd");
  SetFiles(Path("source.mkv"), "", Path("out.avi"));
  Click("BQueueAdd");
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|Please choose a subtitle file!"});
  EXPECT_EQ(Stored().Entries.size(), 1u);
}

// What the window's keeping boxes say goes into the queued job and comes
// back with it after a restart, whatever the settings say by then; a job
// that keeps everything names none of it.
TEST_F(QueuePanelTest, AQueuedJobKeepsTheWindowsChoiceOfOtherTracks) {
  using Choice = JOBOPTIONS::TrackKeeping::Choice;
  AddJob(Path("source.mkv"), Path("all.mkv"));
  form->findChild<QCheckBox*>("CBKeepAudio")->click();
  form->findChild<QCheckBox*>("CBKeepChapters")->click();
  AddJob(Path("source.mkv"), Path("some.mkv"));
  const JOBQUEUE::JobQueue stored = Stored();
  ASSERT_EQ(stored.Entries.size(), 2u);
  for (const std::string& arg : stored.Entries[0].Arguments)
    EXPECT_TRUE(arg.find("keep") == std::string::npos && arg != "--no-chapters") << arg;

  // Read back after a restart, over settings that say otherwise.
  form->close();
  form.reset();
  Open();
  const JOBQUEUE::JobQueue queue = Stored();
  ASSERT_EQ(queue.Entries.size(), 2u);
  SETTINGS::Settings later;
  later.Keeping = {{Choice::Listed, {3}}, {Choice::None, {}}, false, false};
  JOBARGUMENTS::JobArguments all, some;
  ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(queue.Entries[0].Arguments, later, all), "");
  ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(queue.Entries[1].Arguments, later, some), "");
  EXPECT_EQ(all.Options.Keeping, JOBOPTIONS::StreamKeeping{});
  EXPECT_EQ(some.Options.Keeping.Sound.Which, Choice::None);
  EXPECT_EQ(some.Options.Keeping.Subtitles.Which, Choice::All);
  EXPECT_FALSE(some.Options.Keeping.Chapters);
  EXPECT_TRUE(some.Options.Keeping.Attachments);
}

// The clip's fields go into the queued arguments as any option does, and
// the queued job writes only that part.
TEST_F(QueuePanelTest, AQueuedJobKeepsTheWindowsClip) {
  form->findChild<QLineEdit*>("EStart")->setText(" 0.5 ");
  form->findChild<QLineEdit*>("EEnd")->setText("0:00:01.5");
  AddJob(Path("source.mkv"), Path("clip.mkv"));
  form->findChild<QLineEdit*>("EStart")->clear();
  form->findChild<QLineEdit*>("EEnd")->clear();
  AddJob(Path("source.mkv"), Path("whole.mkv"));
  const JOBQUEUE::JobQueue queue = Stored();
  ASSERT_EQ(queue.Entries.size(), 2u);
  const std::vector<std::string>& clip = queue.Entries[0].Arguments;
  const auto start = std::find(clip.begin(), clip.end(), "--start");
  ASSERT_NE(start, clip.end());
  ASSERT_LT(start + 1, clip.end());
  EXPECT_EQ(start[1], "0.5");
  const auto end = std::find(clip.begin(), clip.end(), "--end");
  ASSERT_NE(end, clip.end());
  ASSERT_LT(end + 1, clip.end());
  EXPECT_EQ(end[1], "0:00:01.5");
  for (const std::string& arg : queue.Entries[1].Arguments)
    EXPECT_TRUE(arg != "--start" && arg != "--end") << arg;
  JOBARGUMENTS::JobArguments parsed;
  ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(clip, SETTINGS::Settings(), parsed), "");
  EXPECT_EQ(parsed.Options.ClipStart, "0.5");
  EXPECT_EQ(parsed.Options.ClipEnd, "0:00:01.5");
  EXPECT_EQ(parsed.Options.ClipDuration, "");
}

// The file is read back at start: a job cut short is waiting again, and the
// order and removals made in the window are what the file keeps.
TEST_F(QueuePanelTest, AReopenedWindowShowsTheQueueAndReordersAndRemovesWaitingJobs) {
  form.reset();
  JOBQUEUE::JobQueue written;
  const auto job = [&](int id, EntryState state, const std::string& name) {
    written.Entries.push_back(
        {id, state, "", {"--source", Path(name + ".mkv"), "--output", Path(name + ".avi")}});
  };
  job(1, EntryState::Done, "a");
  job(2, EntryState::Running, "b");
  job(3, EntryState::Waiting, "c");
  job(4, EntryState::Failed, "d");
  ASSERT_EQ(JOBQUEUE::SaveQueue(Path("Tolvane.queue"), written), "");
  Open();
  EXPECT_EQ(Rows(),
            (std::vector<std::string>{"a.mkv > a.avi: done", "b.mkv > b.avi: waiting",
                                      "c.mkv > c.avi: waiting", "d.mkv > d.avi: failed: "}));
  Choose(0);
  EXPECT_FALSE(Enabled("BQueueUp"));  // a job done keeps its place
  EXPECT_TRUE(Enabled("BQueueRemove"));
  Choose(2);
  Click("BQueueUp");
  Click("BQueueUp");
  EXPECT_FALSE(Enabled("BQueueUp"));  // first now
  Choose(3);
  EXPECT_FALSE(Enabled("BQueueDown"));
  Click("BQueueRemove");
  Choose(2);
  Click("BQueueDown");  // the last place: nothing below
  std::vector<int> ids;
  for (const auto& entry : Stored().Entries) ids.push_back(entry.Id);
  EXPECT_EQ(ids, (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(Rows()[0], "c.mkv > c.avi: waiting");
  EXPECT_TRUE(boxes.empty());
}

// A damaged queue file is reported and left as it is: nothing the window
// does overwrites it.
TEST_F(QueuePanelTest, ADamagedQueueFileIsReportedAndKept) {
  form.reset();
  const std::string damaged = "[Job 1]\nState=lost\nArgument=--source\n";
  WriteFile(dir / "Tolvane.queue", damaged);
  Open();
  EXPECT_NE(Log().find("is damaged: line 2: unknown state 'lost'"), std::string::npos) << Log();
  EXPECT_TRUE(Rows().empty());
  Click("BQueueAdd");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("ERROR!|the queue '" + Path("Tolvane.queue") + "' is damaged", 0), 0u)
      << boxes[0];
  EXPECT_EQ(ReadFile(dir / "Tolvane.queue"), damaged);
}

// Three jobs, the second of which cannot read its source: the other two are
// written, the failure is kept with its reason, and the run asks nothing and
// shows one box at its end.
TEST_F(QueuePanelTest, ARunOfThreeGoesOnPastAFailedJob) {
  AddJob(Path("source.mkv"), Path("first.avi"));
  AddJob(Path("missing.mkv"), Path("second.avi"));
  AddJob(Path("source.mkv"), Path("third.mkv"));
  chooserCalls = 0;
  std::string during, afterMove;
  QTimer::singleShot(0, form.get(), [&] {
    during = Rows()[0];
    EXPECT_FALSE(form->findChild<QPushButton*>("BStart")->isEnabled());
    EXPECT_FALSE(Enabled("BQueueRun"));
    EXPECT_TRUE(Enabled("BQueueStop"));
    // Waiting jobs still move while one runs; the running one stays running
    // and cannot be taken out from under the run.
    Choose(1);
    Click("BQueueUp");
    afterMove = Rows()[1];
    Choose(1);
    EXPECT_FALSE(Enabled("BQueueRemove"));
  });
  Click("BQueueRun");
  EXPECT_EQ(during.rfind("source.mkv > first.avi: running", 0), 0u) << during;
  EXPECT_EQ(afterMove.rfind("source.mkv > first.avi: running", 0), 0u) << afterMove;
  EXPECT_EQ(chooserCalls, 0);
  const JOBQUEUE::JobQueue queue = Stored();
  ASSERT_EQ(queue.Entries.size(), 3u);
  EXPECT_EQ(queue.Entries[0].State, EntryState::Failed);
  EXPECT_EQ(queue.Entries[0].Error, "[VelAvCodec::PreOpen] Can't open input file...");
  EXPECT_EQ(queue.Entries[1].State, EntryState::Done);
  EXPECT_EQ(queue.Entries[2].State, EntryState::Done);
  EXPECT_EQ(Rows()[0], "missing.mkv > second.avi: failed: " + queue.Entries[0].Error);
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|Queue run: 2 done, 1 failed, 0 stopped."});
  EXPECT_EQ(Frames(Path("first.avi")), 50);
  EXPECT_EQ(Frames(Path("third.mkv")), 50);
  EXPECT_FALSE(std::filesystem::exists(dir / "second.avi"));
  // Every job's lines stand in the log as a single job writes them.
  const std::string log = Log();
  EXPECT_NE(log.find("Queue job 2 of 3: " + Path("missing.mkv")), std::string::npos);
  size_t starts = 0;
  for (size_t at = log.find("-=[ START ]=-"); at != std::string::npos;
       at = log.find("-=[ START ]=-", at + 1))
    ++starts;
  EXPECT_EQ(starts, 3u);
  EXPECT_NE(log.find("[BEGIN ERROR]"), std::string::npos);
  EXPECT_TRUE(Enabled("BQueueAdd"));
  EXPECT_TRUE(Enabled("BQueueRun"));  // the failed job runs again with the next run
}

// What the queue's row shows of a running job: the percent with each new
// one, the time still to go with each refresh of the figures, and never
// 100% before the job is done.
TEST_F(QueuePanelTest, AQueuedJobsHostReportsPercentAndTimeLeft) {
  WINDOWJOBHOST::WindowJobHost host(*form);
  WINDOWJOBHOST::QueuedJob queued;
  std::vector<std::string> reports;
  queued.Progress = [&](int percent, const std::string& left) {
    reports.push_back(std::to_string(percent) + " " + left);
  };
  host.SetQueued(&queued);
  host.ShowStatistics(JOBSTATISTICS::ResetTexts(), {});
  host.SetProgressMaximum(200);
  for (int position : {0, 1, 50}) host.SetProgressPosition(position);
  JOBSTATISTICS::Progress figures;
  figures.MsSinceStart = 1000;
  figures.FrameIndex = 50;
  figures.TotalFrames = 200;
  host.ShowStatistics(JOBSTATISTICS::ComputeStatistics(figures), figures);
  host.SetProgressPosition(200);
  EXPECT_EQ(reports, (std::vector<std::string>{"0 ", "25 ", "25 00:00:03", "99 00:00:03"}));
  host.ErrorReported("[Job] It broke...", "");
  EXPECT_EQ(queued.Error, "[Job] It broke...");
  EXPECT_TRUE(boxes.empty());
}

// Stop ends the running job as it always has, then asks about the rest:
// "No" runs them, "Yes" leaves them waiting.
TEST_F(QueuePanelTest, StopAsksWhetherTheRestOfTheQueueStopsToo) {
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) AddJob(Path("source.mkv"), Path(name));
  answers = {IDYES, IDNO};
  QTimer::singleShot(0, form.get(), [&] { Click("BQueueStop"); });
  Click("BQueueRun");
  EXPECT_EQ(boxes, (std::vector<std::string>{"STOP PROCESSING...|Are you sure?",
                                             "STOP QUEUE...|Stop the rest of the queue too?",
                                             "INFO...|Queue run: 2 done, 0 failed, 1 stopped."}));
  std::vector<EntryState> states;
  for (const auto& entry : Stored().Entries) states.push_back(entry.State);
  EXPECT_EQ(states,
            (std::vector<EntryState>{EntryState::Stopped, EntryState::Done, EntryState::Done}));

  // Again, stopping the whole queue at its first job: a run takes every job
  // not done, so the one stopped before comes first and is stopped again.
  for (const char* name : {"d.avi", "e.avi"}) AddJob(Path("source.mkv"), Path(name));
  boxes.clear();
  answers = {IDYES, IDYES};
  answered = 0;
  QTimer::singleShot(0, form.get(), [&] { form->BStopClick(); });
  Click("BQueueRun");
  EXPECT_EQ(boxes.back(), "INFO...|Queue run: 0 done, 0 failed, 1 stopped.");
  states.clear();
  for (const auto& entry : Stored().Entries) states.push_back(entry.State);
  EXPECT_EQ(states,
            (std::vector<EntryState>{EntryState::Stopped, EntryState::Done, EntryState::Done,
                                     EntryState::Waiting, EntryState::Waiting}));
  EXPECT_GT(Frames(Path("a.avi")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "d.avi"));
}

// Start's job is the window's own: the queue cannot run or grow under it,
// and it ends with its "OK" as ever.
TEST_F(QueuePanelTest, StartsJobLeavesTheQueueAlone) {
  AddJob(Path("source.mkv"), Path("queued.avi"));
  SetFiles(Path("source.mkv"), Path("subs.srt"), Path("single.avi"));
  std::vector<bool> during;
  QTimer::singleShot(0, form.get(), [&] {
    during = {Enabled("BQueueAdd"), Enabled("BQueueRun"), Enabled("BQueueStop")};
    Click("BQueueRun");
    Drop({Path("source.mkv")});
  });
  Click("BStart");
  EXPECT_EQ(during, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|OK"});
  ASSERT_EQ(Stored().Entries.size(), 1u);
  EXPECT_EQ(Stored().Entries[0].State, EntryState::Waiting);
  EXPECT_FALSE(std::filesystem::exists(dir / "queued.avi"));
  QApplication::processEvents();
  EXPECT_TRUE(Enabled("BQueueAdd"));
  EXPECT_TRUE(Enabled("BQueueRun"));
}

// Closing the window during a queued job stops the job and the queue and
// keeps the window, as for a single job; Exit closes it once the job is
// closed, with no box and the rest of the queue left waiting.
TEST_F(QueuePanelTest, CloseAndExitDuringARunStopTheWholeQueue) {
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) AddJob(Path("source.mkv"), Path(name));
  QTimer::singleShot(0, form.get(), [&] { form->close(); });
  Click("BQueueRun");
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(boxes, std::vector<std::string>{"INFO...|Queue run: 0 done, 0 failed, 1 stopped."});
  boxes.clear();
  QTimer::singleShot(0, form.get(), [&] { form->ToolButton9Click(); });
  Click("BQueueRun");
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(boxes.empty());
  std::vector<EntryState> states;
  for (const auto& entry : Stored().Entries) states.push_back(entry.State);
  // The second run took the stopped job first again.
  EXPECT_EQ(states, (std::vector<EntryState>{EntryState::Stopped, EntryState::Waiting,
                                             EntryState::Waiting}));
  EXPECT_GT(Frames(Path("a.avi")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "b.avi"));
  form.reset();
}

// A folder, by its button or dropped, gives a job for every video with a
// subtitle file of its name; a dropped video gives its own job only.
TEST_F(QueuePanelTest, FoldersAndDroppedVideosBecomeJobsOfTheirPairs) {
  const fs::path films = dir / "films";
  fs::create_directory(films);
  for (const char* name : {"a.mkv", "a.srt", "b.mkv", "c.mp4", "c.srt", "notes.txt"})
    WriteFile(films / name, "x");
  SetFiles(Path("source.mkv"), Path("subs.srt"), Path("out.mkv"));
  folderAnswer = films.string();
  Click("BQueueAddFolder");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_TRUE(dialogs[0].Folder);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a.mkv > a-subtitled.mkv: waiting",
                                              "c.mp4 > c-subtitled.mkv: waiting"}));
  JOBARGUMENTS::JobArguments job;
  ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(Stored().Entries[1].Arguments, {}, job), "");
  EXPECT_EQ(job.Options.Subtitle, (films / "c.srt").string());
  EXPECT_EQ(job.Options.DestinationVideo, (films / "c-subtitled.mkv").string());
  EXPECT_EQ(chooserCalls, 1);  // once for the whole folder

  ASSERT_TRUE(Drop({(films / "c.mp4").string(), (films / "notes.txt").string()}));
  ASSERT_TRUE(Drop({films.string()}));
  EXPECT_EQ(Rows().size(), 5u);
  EXPECT_EQ(Rows()[2], "c.mp4 > c-subtitled.mkv: waiting");
  EXPECT_EQ(Rows()[3], "a.mkv > a-subtitled.mkv: waiting");
  EXPECT_TRUE(boxes.empty());
  // A video without a subtitle file of its name is no job.
  ASSERT_TRUE(Drop({(films / "b.mkv").string()}));
  EXPECT_EQ(Stored().Entries.size(), 5u);
  EXPECT_EQ(boxes, std::vector<std::string>{
                       "INFO...|No video with a subtitle file of its name beside it was found."});
}

// The window's queue file is the command line's: --queue runs what the
// window added, and the window then shows it done.
TEST_F(QueuePanelTest, TheCommandLineRunsTheWindowsQueue) {
  AddJob(Path("source.mkv"), Path("by-cli.avi"));
  const ProgramRun run = RunProgram("--queue " + Path("Tolvane.queue"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Frames(Path("by-cli.avi")), 50);
  form->TBQueueClick();  // the page reads the file again when shown
  EXPECT_EQ(Rows(), std::vector<std::string>{"source.mkv > by-cli.avi: done"});
}
