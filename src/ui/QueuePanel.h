#pragma once

// The queue page: jobs kept in the queue file beside the settings, added
// from the window's current choices, from a folder or by dropping files,
// reordered while they wait and run one after another through the window's
// job. The file is read afresh and saved under its lock on every change, so
// the command line may add to it meanwhile.
#include <QFrame>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "shell/FolderJobs.h"
#include "shell/JobArguments.h"
#include "shell/JobQueue.h"
#include "ui/FileDialogs.h"
#include "ui/WindowSides.h"

class QTreeWidgetItem;

namespace Ui {
class TQueuePanel;
}

class TQueuePanel : public QFrame {
  Q_OBJECT
 public:
  TQueuePanel(WINDOWSIDES::QueueSide& window, std::string queuePath,
              FILEDIALOGS::FileDialogRunner fileDialog, QWidget* parent = nullptr);
  ~TQueuePanel() override;

  // The buttons.
  void BQueueAddClick();
  void BQueueAddFolderClick();
  void BQueueRemoveClick();
  void BQueueUpClick();
  void BQueueDownClick();
  void BQueueRunClick();

  // After Stop has ended a queued job: asks whether the rest of the queue
  // is to stop too, when any of it is still to run.
  void AskStopQueue();
  // The window closes: the queue stops once the running job has.
  void StopQueue() { stopAll_ = true; }
  // Fits the buttons to the jobs, the chosen one and whether a job runs.
  void UpdateButtons();

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The jobs of a folder, or the dropped videos and folders, queued with
  // the window's current options; false when there were none.
  bool AddFolder(const std::string& folder);
  bool AddDropped(const std::vector<std::string>& paths);
  bool Busy() const;
  void Reload();
  void KeepRunningMark(JOBQUEUE::JobQueue& queue) const;
  bool Change(const std::function<bool(JOBQUEUE::JobQueue&)>& change);
  bool Append(std::vector<JOBARGUMENTS::Arguments> jobs);
  bool AddFolderJobs(const std::vector<FOLDERJOBS::FolderJob>& found);
  bool ChooseCompressor(JOBARGUMENTS::JobArguments& job);
  void Move(int step);
  int ChosenId() const;
  const JOBQUEUE::QueueEntry* Entry(int id) const;
  void ShowQueue();
  void ShowProgress(int percent, const std::string& remaining);

  int TakeNextJob(JOBARGUMENTS::Arguments& arguments, int& remaining);
  void RunEntry(int id, const JOBARGUMENTS::Arguments& arguments, const std::string& place);
  void FinishEntry(int id, JOBQUEUE::EntryState state, const std::string& error);
  void ReportRun();

  WINDOWSIDES::QueueSide& form_;
  std::unique_ptr<Ui::TQueuePanel> ui_;
  std::string path_;
  FILEDIALOGS::FileDialogRunner fileDialog_;
  JOBQUEUE::JobQueue queue_;
  bool running_ = false;
  bool stopAll_ = false;
  int runningId_ = 0;
  std::set<int> tried_;  // the jobs of this run, each run once at most
  std::vector<JOBQUEUE::EntryState> ended_;
};
