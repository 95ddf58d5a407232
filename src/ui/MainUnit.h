#pragma once

// The main window: its panels and controls, the settings it loads at start
// and saves at close, the message log, the choice of the job's files and
// font, and the help and link commands.
#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compressors/EncoderChoice.h"
#include "job/JobHost.h"
#include "job/JobMaterials.h"
#include "job/JobOptions.h"
#include "platform/MessageBox.h"
#include "shell/Settings.h"
#include "subtitles/SubtitleFont.h"
#include "ui/FileDialogs.h"
#include "ui/FontDialogUnit.h"
#include "ui/LookControls.h"
#include "ui/WindowSides.h"

class QComboBox;
class QScrollArea;
class QTimer;
class TPreviewForm;
class TQueuePanel;

namespace Ui {
class TMainForm;
}
namespace SUBTITLEJOB {
class SubtitleJob;
}
namespace WINDOWJOBHOST {
class WindowJobHost;
}  // namespace WINDOWJOBHOST

// What the window takes from outside; tests fill it, the program leaves it
// empty.
struct TMainFormEnvironment {
  std::string ProgramFolder;  // with trailing separator; empty: the program's own
  std::string UserFolder;     // settings fall-back; empty: the user's configuration folder
  FILEDIALOGS::FileDialogRunner FileDialog;     // empty: the platform's dialogs
  FONTDIALOG::FontDialogRunner FontDialog;      // empty: TFontDialog
  LOOKCONTROLS::ColorDialogRunner ColorDialog;  // empty: the colour dialog
  ENCODERCHOICE::Chooser CompressorChooser;     // empty: the compressor dialog
};

class TMainForm : public QMainWindow, public WINDOWSIDES::QueueSide, public WINDOWSIDES::HostSide {
  Q_OBJECT
 public:
  explicit TMainForm(TMainFormEnvironment environment = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Message log and boxes.
  void AppendLog(const std::string& text) override;
  void LogError(const std::string& text) override;
  void ShowMessageBox(MESSAGEBOX::MessageKind kind, const std::string& caption,
                      const std::string& text) override;

  // Panels and statistics switch.
  void ToolButton1Click();
  void TBOptionsClick();
  void ToolButton4Click();
  void ToolButton6Click();
  void TBQueueClick();
  void IDownClick();
  void IUpClick();

  // Input selection and font.
  void BSourceVideoClick();
  // What choosing the source in the dialog does after it: probe, report,
  // stream lists.
  void OpenSourceVideo(const std::string& name);
  void BSubtitleClick();
  void BSecondSubtitleClick();
  void FillSubtitleTracks();
  // What choosing a subtitle file in the dialog does after it: read it,
  // report it, take its name.
  void OpenSubtitleFile(const std::string& name);
  // A picture track (or file) chosen: read as text and saved as SubRip
  // where the save dialog says, as --subtitles-to-text does.
  void BSaveAsTextClick();
  void BDestinationVideoClick();
  void Button4Click();
  void FillFontDisplay();

  // Help, links and exit.
  void ToolButton5Click();
  void ToolButton3Click();
  void ToolButton8Click();
  void Label30Click();
  void ToolButton9Click();

  void BPreviewClick();
  // The picture of the time in EStillTime, drawn as the job would draw it,
  // shown in the preview window.
  void BStillClick();
  // The open preview window, or null when none is shown.
  TPreviewForm* ShownPreview() const override;

  // The subtitling job: Start runs it to its end, Stop asks whether to end
  // it, the timer paces its statistics.
  void BStartClick();
  void BStopClick();
  void StopJob() override { BStopClick(); }
  void TRefreshTimer();
  // The job's options as the controls hold them.
  JOBOPTIONS::JobOptions CollectJobOptions() const override;
  // Whether a job (the window's own or a queued one) has not yet ended.
  bool JobActive() const override;
  // A job of the queue, run as Start runs the window's own job but with the
  // compressor of its arguments and no box at its end.
  SUBTITLEJOB::JobEnd RunQueuedJob(QUEUEDJOB::QueuedJob& queued) override;
  // Exit was asked for while a job ran: nothing more may start, and the
  // window closes once the job has returned (true when it did).
  bool ExitRequested() const override { return ExitPending; }
  bool CloseIfExitPending() override;

  // Ends whatever runs and returns the controls to the idle state.
  void CloseAll();

  // The font of FD: the subtitle font.
  const SUBTITLEFONT::SubtitleFont& SubtitleFontOfFD() const { return FDFont; }
  // The file the settings were read from and are written to.
  std::string SettingsPath() const override;
  // How the job's compressor is chosen.
  ENCODERCHOICE::Chooser CompressorChooser() override;
  // The decoder, subtitle file and overlay the window lends to each job and
  // still; all null once the window has released them at its close.
  const JOBMATERIALS::JobMaterials& Materials() const { return materials_; }
  bool HasDecoder() const override { return materials_.Decoder != nullptr; }
  QWidget& Widgets() override { return *this; }
  void SetRefreshTimerRunning(bool running) override;
  void JobStateChanged() override;

  std::string ProgramFolder;
  bool Running = false;
  bool ShowStatistics = true;
  TPreviewForm* PreviewWindow = nullptr;
  bool PreviewShown = false;
  QTimer* TRefresh;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  bool FormClose();
  void LoadSettings();
  void SaveSettings();
  SETTINGS::Settings CollectSettings() const;
  // The "Reading" group.
  void ShowReading(const SUBTITLEFILE::ReadingOptions& reading);
  SUBTITLEFILE::ReadingOptions CollectReading() const;
  // The "Streams" group's keeping boxes: off and greyed while the
  // destination is an AVI, which keeps none of it.
  void ShowKeeping();
  JOBOPTIONS::StreamKeeping CollectKeeping() const;
  void FollowDestination();
  // "Save as text" is there for disc subtitle pictures alone.
  void FollowSubtitleChoice();
  void CreateDecoder(const SETTINGS::Settings& settings);
  void FillStreamList(QComboBox* list, int count);
  void SetUpLooks();
  void WrapOptionsPanel();
  void SetUpLinks();
  void ConnectHandlers();
  void ShowPanel(QWidget* shown);
  void SetClientHeight(int height);

  SUBTITLEJOB::SubtitleJob& Job();

  JOBMATERIALS::JobMaterials materials_;
  std::unique_ptr<Ui::TMainForm> ui;
  // Holds POptions, which scrolls when the window is too low for its groups.
  QScrollArea* OptionsScroll = nullptr;
  TQueuePanel* queuePanel_ = nullptr;
  TMainFormEnvironment Environment;
  SUBTITLEFONT::SubtitleFont FDFont;
  // [COLOUR]'s depth and HDR subtitle level: read with the settings, set in
  // the compressor dialog, kept for the jobs and written back.
  struct ColourChoice {
    int BitDepth = 0;
    int SubtitleNits = 203;
    bool Sdr = false;
  } colour_;
  // [AUDIO]'s conversion of sound the output cannot hold: kept the same way.
  bool convertAudio_ = false;
  // [PICTURES]' OcrLanguage, which no control shows: kept the same way.
  std::string ocrLanguage_;
  // Which of the source's subtitle tracks are pictures, as the choice lists
  // them.
  std::vector<bool> pictureTracks_;
  // [STREAMS]: what the keeping boxes stand for. A box shown checked keeps
  // the tracks the settings listed until it is clicked; greyed boxes keep
  // their choice here for the next destination that is not an AVI; the
  // attachments have no box.
  JOBOPTIONS::StreamKeeping keeping_;
  // The shape as the settings gave it; the picture group shows part of it.
  PICTURESHAPE::ShapeOptions shape_;
  // The compressor dialog's last choice, kept in the settings file once
  // there is one.
  std::optional<ENCODERCHOICE::EncoderChoice> CompressorMemory;
  bool ObjectsReleased = false;
  std::unique_ptr<WINDOWJOBHOST::WindowJobHost> JobHost;
  std::unique_ptr<SUBTITLEJOB::SubtitleJob> SubtitleJobRun;
  // Exit was asked for while a job ran: close once the job has returned.
  bool ExitPending = false;
};
