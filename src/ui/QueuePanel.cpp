#include "ui/QueuePanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "job/SubtitleJob.h"
#include "platform/MessageBox.h"
#include "shell/Settings.h"
#include "ui/WidgetText.h"
#include "ui_QueuePanel.h"

namespace {

namespace fs = std::filesystem;
using JOBARGUMENTS::Arguments;
using JOBQUEUE::EntryState;
using JOBQUEUE::JobQueue;
using JOBQUEUE::QueueEntry;
using SUBTITLEJOB::JobEnd;

const FILEDIALOGS::FileDialogRequest kFolderDialog = {
    "ODQueueFolder", false, "Choose the folder of the videos...", "", "", true};

constexpr const char* kNothingFound =
    "No video with a subtitle file of its name beside it was found.";

QString StateText(const QueueEntry& entry) {
  if (entry.State == EntryState::Failed) return "failed: " + ToQString(entry.Error);
  return JOBQUEUE::StateName(entry.State);
}

EntryState StateOf(JobEnd end) {
  if (end == JobEnd::SourceEnded) return EntryState::Done;
  return end == JobEnd::Stopped ? EntryState::Stopped : EntryState::Failed;
}

// What the queue keeps of a job that ended without reporting why.
std::string EndText(JobEnd end) {
  switch (end) {
    case JobEnd::Stopped:
      return "stopped before the end of the source; the file written so far is complete";
    case JobEnd::NotStarted:
      return "the job did not start";
    case JobEnd::NoCompressor:
      return "the compressor could not be made";
    default:
      return "the job failed";
  }
}

void AddColumn(QTreeWidgetItem* item, int column, const std::string& path) {
  item->setText(column, ToQString(fs::path(path).filename().string()));
  item->setToolTip(column, ToQString(path));
}

}  // namespace

TQueuePanel::TQueuePanel(WINDOWSIDES::QueueSide& form, std::string queuePath,
                         FILEDIALOGS::FileDialogRunner fileDialog, QWidget* parent)
    : QFrame(parent),
      form_(form),
      ui_(std::make_unique<Ui::TQueuePanel>()),
      path_(std::move(queuePath)),
      fileDialog_(std::move(fileDialog)) {
  ui_->setupUi(this);
  setAcceptDrops(true);
  ui_->TVQueue->setColumnWidth(0, 170);
  ui_->TVQueue->setColumnWidth(1, 170);
  connect(ui_->BQueueAdd, &QPushButton::clicked, this, &TQueuePanel::BQueueAddClick);
  connect(ui_->BQueueAddFolder, &QPushButton::clicked, this, &TQueuePanel::BQueueAddFolderClick);
  connect(ui_->BQueueRemove, &QPushButton::clicked, this, &TQueuePanel::BQueueRemoveClick);
  connect(ui_->BQueueUp, &QPushButton::clicked, this, &TQueuePanel::BQueueUpClick);
  connect(ui_->BQueueDown, &QPushButton::clicked, this, &TQueuePanel::BQueueDownClick);
  connect(ui_->BQueueRun, &QPushButton::clicked, this, &TQueuePanel::BQueueRunClick);
  connect(ui_->BQueueStop, &QPushButton::clicked, this, [this] { form_.StopJob(); });
  connect(ui_->TVQueue, &QTreeWidget::currentItemChanged, this, &TQueuePanel::UpdateButtons);
  // A damaged file is reported once; the queue then shows empty and every
  // change is refused with the same error rather than overwrite the file.
  const std::string error = JOBQUEUE::LoadQueue(path_, queue_);
  if (!error.empty()) form_.LogError(error);
  ShowQueue();
}

TQueuePanel::~TQueuePanel() = default;

// ---- The file ----

// What another program wrote meanwhile shows when the page does.
void TQueuePanel::showEvent(QShowEvent* event) {
  Reload();
  QFrame::showEvent(event);
}

void TQueuePanel::Reload() {
  JobQueue queue;
  if (!JOBQUEUE::LoadQueue(path_, queue).empty()) return;
  queue_ = queue;
  KeepRunningMark(queue_);
  ShowQueue();
}

// A job read back as running is taken for one cut short; the one this
// window runs is still running.
void TQueuePanel::KeepRunningMark(JobQueue& queue) const {
  for (QueueEntry& entry : queue.Entries)
    if (entry.Id == runningId_) entry.State = EntryState::Running;
}

// True when the change was made and saved.
bool TQueuePanel::Change(const std::function<bool(JobQueue&)>& change) {
  std::error_code ignored;
  fs::create_directories(fs::path(path_).parent_path(), ignored);
  bool changed = false;
  const std::string error = JOBQUEUE::ChangeQueue(path_, [&](JobQueue& queue) {
    KeepRunningMark(queue);
    changed = change(queue);
    queue_ = queue;
    return changed;
  });
  if (!error.empty()) {
    Reload();
    form_.ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", error);
    return false;
  }
  ShowQueue();
  return changed;
}

// ---- The list and its buttons ----

void TQueuePanel::ShowQueue() {
  const int chosen = ChosenId();
  QTreeWidget* list = ui_->TVQueue;
  list->clear();
  for (const QueueEntry& entry : queue_.Entries) {
    auto* item = new QTreeWidgetItem(list);
    item->setData(0, Qt::UserRole, entry.Id);
    AddColumn(item, 0, JOBARGUMENTS::OptionValue(entry.Arguments, "--source"));
    AddColumn(item, 1, JOBARGUMENTS::OptionValue(entry.Arguments, "--output"));
    item->setText(2, StateText(entry));
    item->setToolTip(2, StateText(entry));
    if (entry.Id == chosen) list->setCurrentItem(item);
  }
  UpdateButtons();
}

int TQueuePanel::ChosenId() const {
  const QTreeWidgetItem* item = ui_->TVQueue->currentItem();
  return item != nullptr ? item->data(0, Qt::UserRole).toInt() : 0;
}

const QueueEntry* TQueuePanel::Entry(int id) const {
  for (const QueueEntry& entry : queue_.Entries)
    if (entry.Id == id) return &entry;
  return nullptr;
}

bool TQueuePanel::Busy() const { return running_ || form_.JobActive(); }

void TQueuePanel::UpdateButtons() {
  const bool busy = Busy();
  const QueueEntry* chosen = Entry(ChosenId());
  const bool waiting = chosen != nullptr && chosen->State == EntryState::Waiting;
  const bool anyToRun = JOBQUEUE::AnyToRun(queue_);
  ui_->BQueueAdd->setEnabled(!busy);
  ui_->BQueueAddFolder->setEnabled(!busy);
  ui_->BQueueRun->setEnabled(!busy && anyToRun && form_.HasDecoder());
  ui_->BQueueStop->setEnabled(running_ && form_.JobActive());
  ui_->BQueueRemove->setEnabled(chosen != nullptr && chosen->State != EntryState::Running);
  ui_->BQueueUp->setEnabled(waiting && chosen != &queue_.Entries.front());
  ui_->BQueueDown->setEnabled(waiting && chosen != &queue_.Entries.back());
}

void TQueuePanel::BQueueRemoveClick() {
  const int id = ChosenId();
  Change([id](JobQueue& queue) {
    auto& entries = queue.Entries;
    const auto found = std::find_if(entries.begin(), entries.end(), [id](const QueueEntry& e) {
      return e.Id == id && e.State != EntryState::Running;
    });
    if (found == entries.end()) return false;
    entries.erase(found);
    return true;
  });
}

void TQueuePanel::BQueueUpClick() { Move(-1); }
void TQueuePanel::BQueueDownClick() { Move(1); }

// Only a waiting job moves: the order is the order they run in.
void TQueuePanel::Move(int step) {
  const int id = ChosenId();
  Change([id, step](JobQueue& queue) {
    auto& entries = queue.Entries;
    const auto found = std::find_if(entries.begin(), entries.end(), [id](const QueueEntry& e) {
      return e.Id == id && e.State == EntryState::Waiting;
    });
    const ptrdiff_t to = (found - entries.begin()) + step;
    if (found == entries.end() || to < 0 || to >= ptrdiff_t(entries.size())) return false;
    std::iter_swap(found, entries.begin() + to);
    return true;
  });
}

// ---- Adding jobs ----

// The compressor is chosen when the job is added, as Start would ask for it,
// so that the run asks nothing.
bool TQueuePanel::ChooseCompressor(JOBARGUMENTS::JobArguments& job) {
  const ENCODERCHOICE::Chooser chooser = form_.CompressorChooser();
  ENCODERCHOICE::EncoderChoice choice;
  if (!chooser || !chooser({}, choice)) return false;
  JOBARGUMENTS::TakeChoice(choice, job);
  return true;
}

bool TQueuePanel::Append(std::vector<Arguments> jobs) {
  for (Arguments& args : jobs) {
    JOBARGUMENTS::MakePathsAbsolute(args);
    if (const std::string problem = JOBQUEUE::ArgumentsProblem(args); !problem.empty()) {
      form_.ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", problem);
      return false;
    }
  }
  return Change([&jobs](JobQueue& queue) {
    for (const Arguments& args : jobs)
      queue.Entries.push_back({queue.NextId(), EntryState::Waiting, {}, args});
    return true;
  });
}

void TQueuePanel::BQueueAddClick() {
  if (Busy()) return;
  JOBARGUMENTS::JobArguments job;
  job.Options = form_.CollectJobOptions();
  if (const char* request =
          JOBOPTIONS::MissingFileRequest(JOBOPTIONS::FirstMissingFile(job.Options))) {
    form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", request);
    return;
  }
  if (ChooseCompressor(job)) Append({JOBARGUMENTS::FormatJobArguments(job)});
}

void TQueuePanel::BQueueAddFolderClick() {
  if (Busy()) return;
  const auto folder = FILEDIALOGS::RunFileDialog(fileDialog_, this, kFolderDialog);
  if (folder) AddFolder(*folder);
}

bool TQueuePanel::AddFolder(const std::string& folder) {
  return AddFolderJobs(
      FOLDERJOBS::FindFolderJobs(folder, form_.CollectJobOptions().DestinationVideo));
}

bool TQueuePanel::AddDropped(const std::vector<std::string>& paths) {
  const std::string outputLike = form_.CollectJobOptions().DestinationVideo;
  std::vector<FOLDERJOBS::FolderJob> found;
  for (const std::string& path : paths) {
    std::error_code error;
    const bool folder = fs::is_directory(path, error);
    if (!folder && !FOLDERJOBS::IsVideoName(path)) continue;
    const std::string where = folder ? path : fs::path(path).parent_path().string();
    for (const FOLDERJOBS::FolderJob& job : FOLDERJOBS::FindFolderJobs(where, outputLike))
      if (folder || fs::path(job.Source) == fs::path(path)) found.push_back(job);
  }
  return AddFolderJobs(found);
}

// Each pair becomes a job with the window's options; the stream choice
// belongs to the source the main page shows, so these take the first streams.
bool TQueuePanel::AddFolderJobs(const std::vector<FOLDERJOBS::FolderJob>& found) {
  if (found.empty()) {
    form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", kNothingFound);
    return false;
  }
  JOBARGUMENTS::JobArguments job;
  job.Options = form_.CollectJobOptions();
  job.Options.VideoStream = job.Options.AudioStream = -1;
  if (!ChooseCompressor(job)) return false;
  std::vector<Arguments> jobs;
  for (const FOLDERJOBS::FolderJob& pair : found) {
    job.Options.SourceVideo = pair.Source;
    job.Options.Subtitle = pair.Subtitle;
    job.Options.DestinationVideo = pair.Output;
    jobs.push_back(JOBARGUMENTS::FormatJobArguments(job));
  }
  return Append(std::move(jobs));
}

void TQueuePanel::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !Busy()) event->acceptProposedAction();
}

// The compressor dialog waits until the drop is over.
void TQueuePanel::dropEvent(QDropEvent* event) {
  if (Busy()) return;
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(FromQString(url.toLocalFile()));
  event->acceptProposedAction();
  QTimer::singleShot(0, this, [this, paths] { AddDropped(paths); });
}

// ---- Running ----

void TQueuePanel::BQueueRunClick() {
  if (Busy() || !form_.HasDecoder()) return;
  running_ = true;
  stopAll_ = false;
  tried_.clear();
  ended_.clear();
  UpdateButtons();
  Arguments arguments;
  int remaining = 0;
  for (int number = 1; !stopAll_ && !form_.ExitRequested(); ++number) {
    const int id = TakeNextJob(arguments, remaining);
    if (id == 0) break;
    RunEntry(id, arguments, std::to_string(number) + " of " + std::to_string(number + remaining));
  }
  running_ = false;
  ShowQueue();
  if (!form_.CloseIfExitPending()) ReportRun();
}

// The next job of this run by the queue's rule, marked running; 0 when
// there is none. `remaining` counts the jobs the run takes after it.
int TQueuePanel::TakeNextJob(Arguments& arguments, int& remaining) {
  int id = 0;
  remaining = 0;
  const bool taken = Change([&](JobQueue& queue) {
    const QueueEntry* next = JOBQUEUE::TakeNextJob(queue, tried_, remaining);
    id = next != nullptr ? next->Id : 0;
    if (next != nullptr) arguments = next->Arguments;
    return id != 0;
  });
  if (!taken) return 0;
  tried_.insert(id);
  runningId_ = id;
  return id;
}

// The job is read over the settings file as the command line reads it, and
// run by the window's job without a box.
void TQueuePanel::RunEntry(int id, const Arguments& arguments, const std::string& place) {
  form_.AppendLog("Queue job " + place + ": " + JOBARGUMENTS::OptionValue(arguments, "--source") +
                  " -> " + JOBARGUMENTS::OptionValue(arguments, "--output"));
  QUEUEDJOB::QueuedJob queued;
  const std::string error = JOBARGUMENTS::ParseJobArguments(
      arguments, SETTINGS::LoadSettings(form_.SettingsPath()), queued.Arguments);
  if (!error.empty()) {
    form_.LogError(error);
    FinishEntry(id, EntryState::Failed, error);
    return;
  }
  queued.Progress = [this](int percent, const std::string& left) { ShowProgress(percent, left); };
  const JobEnd end = form_.RunQueuedJob(queued);
  const EntryState state = StateOf(end);
  FinishEntry(id, state,
              state == EntryState::Done ? std::string()
              : queued.Error.empty()    ? EndText(end)
                                        : queued.Error);
}

void TQueuePanel::FinishEntry(int id, EntryState state, const std::string& error) {
  runningId_ = 0;
  ended_.push_back(state);
  // A job removed meanwhile has nothing to mark; a queue that cannot be
  // saved ends the run rather than run a job twice.
  const bool saved = Change([&](JobQueue& queue) {
    for (QueueEntry& entry : queue.Entries)
      if (entry.Id == id) {
        entry.State = state;
        entry.Error = error;
      }
    return true;
  });
  if (!saved) stopAll_ = true;
}

void TQueuePanel::ShowProgress(int percent, const std::string& remaining) {
  QTreeWidget* list = ui_->TVQueue;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    if (item->data(0, Qt::UserRole).toInt() != runningId_) continue;
    QString text = QString("running %1%").arg(percent);
    if (!remaining.empty()) text += ", " + ToQString(remaining) + " left";
    item->setText(2, text);
  }
}

void TQueuePanel::AskStopQueue() {
  if (!running_) return;
  const bool more = JOBQUEUE::AnyToRun(queue_, tried_);
  if (more && MessageBoxA(nullptr, "Stop the rest of the queue too?", "STOP QUEUE...",
                          MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL) == IDYES)
    stopAll_ = true;
}

// One box for the whole run, in place of the OK of each job.
void TQueuePanel::ReportRun() {
  if (ended_.empty()) return;
  const auto count = [this](EntryState state) {
    return std::to_string(std::count(ended_.begin(), ended_.end(), state));
  };
  form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "",
                       "Queue run: " + count(EntryState::Done) + " done, " +
                           count(EntryState::Failed) + " failed, " + count(EntryState::Stopped) +
                           " stopped.");
}
