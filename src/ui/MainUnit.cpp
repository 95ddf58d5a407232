#include "ui/MainUnit.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "compressors/widgets/CompressorDialog.h"
#include "drawing/SubtitleOverlay.h"
#include "job/JobLog.h"
#include "job/SubtitleJob.h"
#include "media/LibraryLog.h"
#include "media/SubtitleTrack.h"
#include "media/VelAvCodec.h"
#include "output/MediaOutput.h"
#include "platform/MessageBox.h"
#include "platform/ProgramInfo.h"
#include "platform/Shell.h"
#include "shell/Charsets.h"
#include "shell/FolderJobs.h"
#include "shell/HelpPage.h"
#include "shell/JobSettings.h"
#include "shell/SettingsLocation.h"
#include "subtitles/SubtitleUnit.h"
#include "ui/LicenseText.h"
#include "ui/LookControls.h"
#include "ui/PictureControls.h"
#include "ui/PreviewUnit.h"
#include "ui/QueuePanel.h"
#include "ui/WidgetText.h"
#include "ui/WindowJobHost.h"
#include "ui_MainUnit.h"

namespace {

constexpr int kClientWidth = 548;
constexpr int kHeightWithStatistics = 450;
constexpr int kHeightWithoutStatistics = 364;
constexpr int kToolBarHeight = 34;
constexpr int kStatusBarHeight = 19;

// Appended to the decoder's message when its libraries cannot be bound: the
// usual cause is a settings file naming libraries that are not there.
constexpr const char* kDecoderFailureHint =
    "\r\n\r\n     [Windows Vista/7 OS Hint]\r\n"
    "Please delete Tolvane.ini file from\r\n"
    "\"Root partition:\\Users\\YourUserName\\AppData\\Local\\Virtual Store\\Program "
    "Files\\Tolvane\\\"\r\n"
    "or\r\n"
    "\"Root partition:\\Users\\YourUserName\\AppData\\Local\\Virtual Store\\Program Files "
    "(x86)\\Tolvane\\\"\r\n"
    "folder and launch Tolvane again.";

const FILEDIALOGS::FileDialogRequest kVideoFileDialog = {
    "ODVideoFile", false, "Chose the source video file...",
    "Video files|*.avi;*.mp4;*.mkv;*.mov;*.m4v;*.mpg;*.mpeg;*.ts;*.m2ts;*.wmv;*.flv;*.webm;*.ogv;"
    "*.vob;*.3gp|Avi files|*.avi|All files|*.*",
    ""};
const FILEDIALOGS::FileDialogRequest kSubtitleFileDialog = {
    "ODSubtitleFile", false, "Chose subtitle file...", "Subtitle files|*.sub;*.srt|All files|*.*",
    ""};
const FILEDIALOGS::FileDialogRequest kSavedVideoFileDialog = {
    "SDSavedVideoFile", true, "Save subtitled video file as...",
    "Avi files|*.avi|Matroska files|*.mkv|MP4 files|*.mp4;*.m4v;*.mov", "avi"};

QFont WindowFont() {
  QFont font = QFontDatabase::families().contains("Tahoma")
                   ? QFont("Tahoma")
                   : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  // Points at 96 dots per inch, as on the platform the layout was made for:
  // 8 points are 11 pixels whatever the screen says.
  font.setPixelSize(SUBTITLEFONT::PixelsOfPoints(8));
  return font;
}

using Choice = JOBOPTIONS::TrackKeeping::Choice;

// A box left as shown keeps the tracks listed; clicked, it keeps all or none.
JOBOPTIONS::TrackKeeping KeptBy(const QCheckBox* box, const JOBOPTIONS::TrackKeeping& held) {
  if (!box->isEnabled()) return held;
  if (!box->isChecked()) return {Choice::None, {}};
  return held.Which == Choice::None ? JOBOPTIONS::TrackKeeping{} : held;
}

// A destination not yet named may still become any container.
bool WritesAvi(const std::string& destination) {
  return !JOBOPTIONS::IsBlankName(destination) &&
         MEDIAOUTPUT::ContainerOf(destination) == MEDIAOUTPUT::Container::Avi;
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QStyle* style) {
  return QIcon::fromTheme(name, style->standardIcon(fallback));
}

}  // namespace

TMainForm::TMainForm(TMainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      TRefresh(new QTimer(this)),
      ui(std::make_unique<Ui::TMainForm>()),
      Environment(std::move(environment)) {
  ui->setupUi(this);
  SetUpLooks();
  ui->CBSubtitleTrack->hide();  // until a source with subtitle tracks is chosen
  SetUpLinks();
  ConnectHandlers();
  // The file fields pass dropped files on to the window instead of taking
  // their addresses as text.
  setAcceptDrops(true);
  for (QLineEdit* field : {ui->EVideoFile, ui->ESubtitleFile, ui->ESavedVideoFile})
    field->setAcceptDrops(false);
  FormCreate();
  queuePanel_ = new TQueuePanel(
      *this, SETTINGS::SettingsLocation(ProgramFolder, Environment.UserFolder).QueuePath(),
      Environment.FileDialog, ui->PClient);
  ui->LayoutPanels->addWidget(queuePanel_, 0, 0);
  queuePanel_->hide();
}

TMainForm::~TMainForm() {
  // The job's AVI objects go before the objects it refers to.
  SubtitleJobRun.reset();
}

// ---- Start-up and close ----

void TMainForm::FormCreate() {
  ProgramFolder = Environment.ProgramFolder.empty() ? SETTINGS::RunningProgramFolder()
                                                    : Environment.ProgramFolder;
  if (ProgramFolder.back() != '/') ProgramFolder += '/';
  FDFont = SUBTITLEFONT::SubtitleFont{};
  FDFont.Name = "Tahoma";
  FDFont.Size = 8;
  materials_.Decoder.reset();
  materials_.Subtitles.reset();
  Running = false;
  PreviewShown = false;
  materials_.Overlay = std::make_unique<SUBTITLEOVERLAY::SubtitleOverlay>();
  const SETTINGS::Settings settings = SETTINGS::LoadSettings(SettingsPath());
  ui->EVideoFile->setText(ToQString(settings.SourceVideo));
  ui->ESubtitleFile->setText(ToQString(settings.Subtitle));
  ui->CBSecondPlace->setCurrentIndex(settings.SecondPlace == "above" ? 1 : 0);
  ui->ESavedVideoFile->setText(ToQString(settings.DestinationVideo));
  FDFont = settings.Font;
  FillFontDisplay();
  ui->CBAutoSize->setChecked(settings.AutoSize);
  ui->CBAlign->setChecked(settings.AlignToSpeech);
  ui->CBForcedOnly->setChecked(settings.ForcedOnly);
  ui->CBRestylePictures->setChecked(settings.Restyle);
  ocrLanguage_ = settings.OcrLanguage;
  colour_ = {settings.BitDepth, settings.SubtitleNits, settings.Sdr};
  convertAudio_ = settings.ConvertAudio;
  ui->CBSmart->setChecked(settings.CopyUntouched);
  ui->RBCorrectFrames->setChecked(settings.UseFrames);
  ui->RBCorrectTime->setChecked(!settings.UseFrames);
  ui->UDCorrectFrames->setValue(settings.FramesDelay);
  ui->UDCorrectTime->setValue(settings.TimeDelay);
  ShowStatistics = settings.ShowStatistics;
  ui->CBSaveOnExit->setChecked(settings.SaveOnExit);
  ui->CBFixAudioVBR->setChecked(settings.FixAudioVBR);
  ui->CBTranscodeVideo->setChecked(settings.TranscodeVideo);
  LOOKCONTROLS::ShowLook(*ui, settings.Look);
  LOOKCONTROLS::ShowStyled(*ui, settings.Styled);
  ShowReading(settings.Reading);
  keeping_ = settings.Keeping;
  ShowKeeping();
  shape_ = settings.Shape;
  PICTURECONTROLS::ShowShape(*ui, shape_);
  if (ShowStatistics)
    IDownClick();
  else
    IUpClick();
  CreateDecoder(settings);
  materials_.Subtitles = std::make_unique<SUBTITLEFILE::SubtitleFile>();
  CompressorMemory = SETTINGS::LoadCompressorChoice(SettingsPath());
}

void TMainForm::CreateDecoder(const SETTINGS::Settings& settings) {
  try {
    materials_.Decoder = std::make_unique<VELAVCODEC::VelAvCodec>(
        settings.AvCodec, settings.AvFormat, settings.AvUtil, settings.SwScale);
  } catch (const VELAVCODEC::VelException& exception) {
    ui->BStart->setEnabled(false);
    ui->BSourceVideo->setEnabled(false);
    ShowMessageBox(MESSAGEBOX::MessageKind::Error, "",
                   std::string(exception.Message) + kDecoderFailureHint);
  }
}

std::string TMainForm::SettingsPath() const {
  return SETTINGS::SettingsLocation(ProgramFolder, Environment.UserFolder).ReadPath();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (FormClose())
    event->accept();
  else
    event->ignore();
}

bool TMainForm::FormClose() {
  // The frame loop is on the stack until the job returns: stop it and stay.
  if (Running || JobActive()) {
    if (JobActive()) SubtitleJobRun->EndRunning();
    queuePanel_->StopQueue();
    Running = false;
    return false;
  }
  // A close after a refused write must not release or save twice.
  if (ObjectsReleased) return true;
  ObjectsReleased = true;
  materials_.Overlay.reset();
  materials_.Decoder.reset();
  materials_.Subtitles.reset();
  SaveSettings();
  return true;
}

SETTINGS::Settings TMainForm::CollectSettings() const {
  SETTINGS::Settings settings;
  settings.SaveOnExit = ui->CBSaveOnExit->isChecked();
  settings.SourceVideo = FromQString(ui->EVideoFile->text());
  settings.Subtitle = FromQString(ui->ESubtitleFile->text());
  // The top is the default, which the settings file leaves unsaid.
  settings.SecondPlace = ui->CBSecondPlace->currentIndex() == 1 ? "above" : "";
  settings.DestinationVideo = FromQString(ui->ESavedVideoFile->text());
  settings.Font = FDFont;
  settings.AutoSize = ui->CBAutoSize->isChecked();
  settings.AlignToSpeech = ui->CBAlign->isChecked();
  settings.ForcedOnly = ui->CBForcedOnly->isChecked();
  settings.Restyle = ui->CBRestylePictures->isChecked();
  settings.OcrLanguage = ocrLanguage_;
  settings.BitDepth = colour_.BitDepth;
  settings.SubtitleNits = colour_.SubtitleNits;
  settings.Sdr = colour_.Sdr;
  settings.ConvertAudio = convertAudio_;
  settings.CopyUntouched = ui->CBSmart->isChecked();
  settings.UseFrames = ui->RBCorrectFrames->isChecked();
  settings.FramesDelay = ui->UDCorrectFrames->value();
  settings.TimeDelay = ui->UDCorrectTime->value();
  settings.ShowStatistics = ShowStatistics;
  settings.FixAudioVBR = ui->CBFixAudioVBR->isChecked();
  settings.TranscodeVideo = ui->CBTranscodeVideo->isChecked();
  settings.Look = LOOKCONTROLS::CollectLook(*ui);
  settings.Reading = CollectReading();
  settings.Styled = LOOKCONTROLS::CollectStyled(*ui);
  settings.Keeping = CollectKeeping();
  settings.Shape = PICTURECONTROLS::CollectShape(*ui, shape_);
  return settings;
}

void TMainForm::SaveSettings() {
  std::string error;
  const SETTINGS::Settings settings = CollectSettings();
  if (!SETTINGS::SettingsLocation(ProgramFolder, Environment.UserFolder).Save(settings, error) ||
      (settings.SaveOnExit && CompressorMemory &&
       !SETTINGS::SaveCompressorChoice(SettingsPath(), *CompressorMemory, error)))
    ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", error);
}

void TMainForm::ShowReading(const SUBTITLEFILE::ReadingOptions& reading) {
  ui->CBUnicode->setChecked(reading.Unicode);
  ui->CBDetectCodePage->setChecked(reading.DetectCodePage);
  ui->CBCleanMarkup->setChecked(reading.CleanMarkup);
  ui->CBTolerant->setChecked(reading.Tolerant);
}

SUBTITLEFILE::ReadingOptions TMainForm::CollectReading() const {
  return {ui->CBUnicode->isChecked(), ui->CBDetectCodePage->isChecked(),
          ui->CBCleanMarkup->isChecked(), ui->CBTolerant->isChecked()};
}

void TMainForm::ShowKeeping() {
  const bool shown = !WritesAvi(FromQString(ui->ESavedVideoFile->text()));
  const std::pair<QCheckBox*, bool> boxes[] = {
      {ui->CBKeepAudio, keeping_.Sound.Which != Choice::None},
      {ui->CBKeepSubtitles, keeping_.Subtitles.Which != Choice::None},
      {ui->CBKeepChapters, keeping_.Chapters}};
  for (const auto& [box, kept] : boxes) {
    box->setEnabled(shown);
    box->setChecked(shown && kept);
  }
}

JOBOPTIONS::StreamKeeping TMainForm::CollectKeeping() const {
  JOBOPTIONS::StreamKeeping keeping = keeping_;
  keeping.Sound = KeptBy(ui->CBKeepAudio, keeping_.Sound);
  keeping.Subtitles = KeptBy(ui->CBKeepSubtitles, keeping_.Subtitles);
  if (ui->CBKeepChapters->isEnabled()) keeping.Chapters = ui->CBKeepChapters->isChecked();
  return keeping;
}

void TMainForm::FollowDestination() {
  keeping_ = CollectKeeping();
  ShowKeeping();
}

// ---- Message log and boxes ----

void TMainForm::AppendLog(const std::string& text) {
  ui->MDebug->appendPlainText(ToQString(text).replace("\r\n", "\n"));
}

void TMainForm::LogError(const std::string& text) {
  for (const std::string& line : JOBLOG::ErrorBlock(text)) AppendLog(line);
}

void TMainForm::ShowMessageBox(MESSAGEBOX::MessageKind kind, const std::string& caption,
                               const std::string& text) {
  const bool error = kind == MESSAGEBOX::MessageKind::Error;
  const std::string shownCaption = !caption.empty() ? caption : error ? "ERROR!" : "INFO...";
  MessageBoxA(nullptr, text.c_str(), shownCaption.c_str(),
              (error ? MB_ICONSTOP : MB_ICONINFORMATION) | MB_SYSTEMMODAL);
}

// ---- Panels and statistics ----

void TMainForm::ShowPanel(QWidget* shown) {
  for (QFrame* panel :
       {ui->PMain, ui->POptions, ui->PDebug, ui->PAbout, static_cast<QFrame*>(queuePanel_)})
    if (panel != shown) panel->hide();
  shown->show();
  OptionsScroll->setVisible(shown == ui->POptions);
}

// The groups of the options panel keep their places; when the window is
// too low to show them all, the panel scrolls.
void TMainForm::WrapOptionsPanel() {
  OptionsScroll = new QScrollArea(ui->PClient);
  OptionsScroll->setObjectName("SOptions");
  OptionsScroll->setFrameShape(QFrame::NoFrame);
  OptionsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  OptionsScroll->setWidgetResizable(true);
  // The layout hands back the panel's old item, which is ours to delete.
  delete ui->LayoutPanels->replaceWidget(ui->POptions, OptionsScroll);
  ui->POptions->setMinimumHeight(ui->POptions->childrenRect().bottom() + 9);
  OptionsScroll->setWidget(ui->POptions);
  OptionsScroll->hide();
}

void TMainForm::ToolButton1Click() { ShowPanel(ui->PMain); }
void TMainForm::TBOptionsClick() { ShowPanel(ui->POptions); }
void TMainForm::ToolButton4Click() { ShowPanel(ui->PDebug); }
void TMainForm::ToolButton6Click() { ShowPanel(ui->PAbout); }
void TMainForm::TBQueueClick() { ShowPanel(queuePanel_); }

void TMainForm::SetClientHeight(int height) { setFixedSize(kClientWidth, height); }

void TMainForm::IDownClick() {
  ui->IDown->hide();
  ui->IUp->show();
  ui->PLinks->hide();
  ui->PTime->show();
  ui->PFramerate->show();
  ui->PSize->show();
  SetClientHeight(kHeightWithStatistics);
  ShowStatistics = true;
}

void TMainForm::IUpClick() {
  ui->IDown->show();
  ui->IUp->hide();
  ui->PTime->hide();
  ui->PFramerate->hide();
  ui->PSize->hide();
  ui->PLinks->show();
  SetClientHeight(kHeightWithoutStatistics);
  ShowStatistics = false;
}

// ---- Input selection ----

void TMainForm::FillStreamList(QComboBox* list, int count) {
  list->clear();
  for (int i = 1; i <= count; ++i) list->addItem(QString::number(i));
  if (list->count() > 0) list->setCurrentIndex(0);
}

void TMainForm::BSourceVideoClick() {
  if (!HasDecoder()) return;
  const auto name = FILEDIALOGS::RunFileDialog(Environment.FileDialog, this, kVideoFileDialog);
  if (name) OpenSourceVideo(*name);
}

void TMainForm::OpenSourceVideo(const std::string& name) {
  if (!HasDecoder()) return;
  materials_.Decoder->Close();
  LIBRARYLOG::BeginRun();
  const bool opened = materials_.Decoder->PreOpen(name);
  for (const std::string& line : LIBRARYLOG::TakeLines()) AppendLog(line);
  if (!opened) {
    const std::string message = materials_.Decoder->ErrorText;
    materials_.Decoder->Close();
    LogError(message);
    ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", message);
    return;
  }
  AppendLog(materials_.Decoder->Info);
  FillStreamList(ui->CBVideoStreams, materials_.Decoder->VideoStreamCount);
  FillStreamList(ui->CBAudioStreams, materials_.Decoder->AudioStreamCount);
  FillSubtitleTracks();
  materials_.Decoder->Close();
  ui->EVideoFile->setText(ToQString(name));
}

void TMainForm::BSubtitleClick() {
  if (!materials_.Subtitles) return;
  const auto name = FILEDIALOGS::RunFileDialog(Environment.FileDialog, this, kSubtitleFileDialog);
  if (name) OpenSubtitleFile(*name);
}

// The second file is read when the job starts, as the first is then too.
void TMainForm::BSecondSubtitleClick() {
  const auto name = FILEDIALOGS::RunFileDialog(Environment.FileDialog, this, kSubtitleFileDialog);
  if (name) ui->ESecondSubtitleFile->setText(ToQString(*name));
}

void TMainForm::OpenSubtitleFile(const std::string& name) {
  if (!materials_.Subtitles) return;
  materials_.Subtitles->Clear();
  materials_.Subtitles->Reading = JOBOPTIONS::ReadingOf(CollectJobOptions());
  if (materials_.Subtitles->Open(name)) {
    AppendLog(materials_.Subtitles->Info);
    materials_.Subtitles->Clear();
    ui->ESubtitleFile->setText(ToQString(name));
    return;
  }
  const std::string message = materials_.Subtitles->ErrorText;
  materials_.Subtitles->Clear();
  LogError(message);
  ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", message);
}

void TMainForm::BDestinationVideoClick() {
  const auto name = FILEDIALOGS::RunFileDialog(Environment.FileDialog, this, kSavedVideoFileDialog);
  if (name) ui->ESavedVideoFile->setText(ToQString(*name));
}

// ---- Font options ----

void TMainForm::Button4Click() {
  SUBTITLEFONT::SubtitleFont font = FDFont;
  const bool chosen = Environment.FontDialog ? Environment.FontDialog(this, font)
                                             : FONTDIALOG::RunFontDialog(this, font);
  if (!chosen) return;
  FDFont = font;
  FillFontDisplay();
}

void TMainForm::FillFontDisplay() {
  ui->EFontName->setText(ToQString(FDFont.Name));
  ui->EFontSize->setText(QString::number(FDFont.Size));
  QPalette palette = ui->EFontColor->palette();
  palette.setColor(QPalette::All, QPalette::Base, ToQColor(FDFont.Color));
  palette.setColor(QPalette::Disabled, QPalette::Base, ToQColor(FDFont.Color));
  ui->EFontColor->setPalette(palette);
  ui->EFontScript->setText(ToQString(CHARSETS::CharsetName(FDFont.Charset)));
  ui->CBFontBold->setChecked(FDFont.Bold);
  ui->CBFontItalic->setChecked(FDFont.Italic);
  ui->CBFontUnderline->setChecked(FDFont.Underline);
  ui->CBFontStrikeOut->setChecked(FDFont.StrikeOut);
}

// ---- Help, links and exit ----

namespace {
void OpenWithShell(const std::string& target) {
  ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
}  // namespace

void TMainForm::ToolButton5Click() {
  OpenWithShell("file:///" + HELPPAGE::HelpPagePath(ProgramFolder));
}
void TMainForm::ToolButton3Click() { OpenWithShell(PROGRAMINFO::kWebSite); }
void TMainForm::ToolButton8Click() {
  OpenWithShell(std::string(PROGRAMINFO::kWebSite) + PROGRAMINFO::kDonationPath);
}
void TMainForm::Label30Click() {
  OpenWithShell(std::string("mailto:") + PROGRAMINFO::kContactAddress1 + "," +
                PROGRAMINFO::kContactAddress2);
}

void TMainForm::ToolButton9Click() {
  // Deleting the job's objects under its running loop is not an option: the
  // job ends first, and Start closes the window when it returns.
  if (JobActive()) {
    ExitPending = true;
    JobHost->SetQuietEnd(true);
    SubtitleJobRun->EndRunning();
    return;
  }
  CloseAll();
  close();
}

// ---- Preview ----

void TMainForm::BPreviewClick() {
  if (PreviewShown) return;
  PreviewWindow = new TPreviewForm(this, [this] { PreviewShown = false; });
  PreviewWindow->show();
  PreviewShown = true;
}

TPreviewForm* TMainForm::ShownPreview() const { return PreviewShown ? PreviewWindow : nullptr; }

// ---- Teardown ----

void TMainForm::CloseAll() {
  if (ObjectsReleased) return;
  Job().CloseAll();
  Running = false;
}

// ---- Subtitling job ----

SUBTITLEJOB::SubtitleJob& TMainForm::Job() {
  if (!SubtitleJobRun) {
    JobHost = std::make_unique<WINDOWJOBHOST::WindowJobHost>(*this);
    SubtitleJobRun = std::make_unique<SUBTITLEJOB::SubtitleJob>(*JobHost, materials_);
  }
  return *SubtitleJobRun;
}

bool TMainForm::JobActive() const { return SubtitleJobRun && SubtitleJobRun->Active(); }

JOBOPTIONS::JobOptions TMainForm::CollectJobOptions() const {
  JOBOPTIONS::JobOptions options = SETTINGS::JobOptionsFromSettings(CollectSettings());
  options.VideoStream = ui->CBVideoStreams->currentIndex();
  options.AudioStream = ui->CBAudioStreams->currentIndex();
  // The first item is the subtitle file; a track is drawn styled.
  if (!ui->CBSubtitleTrack->isHidden()) options.SubtitleTrack = ui->CBSubtitleTrack->currentIndex();
  if (options.SubtitleTrack > 0) options.Styled.On = true;
  // A clip is the job's alone: the settings never hold one.
  options.ClipStart = FromQString(ui->EStart->text().trimmed());
  options.ClipEnd = FromQString(ui->EEnd->text().trimmed());
  options.SecondSubtitle = FromQString(ui->ESecondSubtitleFile->text().trimmed());
  return options;
}

// The source's own subtitle tracks, offered beside the subtitle file; the
// choice is shown only for a source that has any.
void TMainForm::FillSubtitleTracks() {
  ui->CBSubtitleTrack->clear();
  pictureTracks_.clear();
  const int32_t count = materials_.Decoder->SubtitleTrackCount();
  ui->CBSubtitleTrack->setHidden(count == 0);
  if (count == 0) return FollowSubtitleChoice();
  ui->CBSubtitleTrack->addItem("Subtitle file");
  for (int32_t k = 0; k < count; ++k) {
    pictureTracks_.push_back(
        materials_.Decoder->SelectSubtitleTrack(k) &&
        SUBTITLETRACK::IsPicture(materials_.Decoder->SubtitleTrackInfo().Codec));
    ui->CBSubtitleTrack->addItem(QString("Track %1: %2")
                                     .arg(k + 1)
                                     .arg(ToQString(materials_.Decoder->SubtitleTrackName(k))));
  }
  FollowSubtitleChoice();
}

// The dialog is centred on the window.
ENCODERCHOICE::Chooser TMainForm::CompressorChooser() {
  if (Environment.CompressorChooser) return Environment.CompressorChooser;
  // The dialog's colour fields are the [COLOUR] values the window keeps.
  return [this](const ENCODERCHOICE::ChoiceRequest& request, ENCODERCHOICE::EncoderChoice& choice) {
    const ENCODERCHOICE::ColourAsked colour{colour_.BitDepth, colour_.Sdr, colour_.SubtitleNits};
    if (!TCOMPRESSORDIALOG::ShowCompressorDialogFrom(this, request, choice, CompressorMemory,
                                                     &colour))
      return false;
    const ColourChoice unset;
    colour_ = {choice.Asked.BitDepth.value_or(unset.BitDepth),
               choice.Asked.SubtitleNits.value_or(unset.SubtitleNits),
               choice.Asked.Sdr.value_or(unset.Sdr)};
    return true;
  };
}

void TMainForm::BStartClick() {
  if (ObjectsReleased || JobActive()) return;
  Running = true;
  Job();
  JobHost->SetQuietEnd(false);
  SubtitleJobRun->Start(CollectJobOptions());
  Running = false;
  CloseIfExitPending();
}

SUBTITLEJOB::JobEnd TMainForm::RunQueuedJob(QUEUEDJOB::QueuedJob& queued) {
  if (ObjectsReleased || JobActive()) return SUBTITLEJOB::JobEnd::NotStarted;
  Running = true;
  Job();
  JobHost->SetQuietEnd(false);
  JobHost->SetQueued(&queued);
  const SUBTITLEJOB::JobEnd end = SubtitleJobRun->Start(queued.Arguments.Options);
  JobHost->SetQueued(nullptr);
  Running = false;
  return end;
}

bool TMainForm::CloseIfExitPending() {
  if (!ExitPending) return false;
  ExitPending = false;
  close();
  return true;
}

void TMainForm::BStopClick() {
  if (!JobActive() || !SubtitleJobRun->Running()) return;
  if (MessageBoxA(nullptr, "Are you sure?", "STOP PROCESSING...",
                  MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL) == IDYES) {
    SubtitleJobRun->EndRunning();
    queuePanel_->AskStopQueue();
  }
}

void TMainForm::SetRefreshTimerRunning(bool running) {
  if (running)
    TRefresh->start();
  else
    TRefresh->stop();
}

// The queue page fits its buttons now, and again once the job's call has
// returned (it is still active while it reports its end).
void TMainForm::JobStateChanged() {
  if (queuePanel_ == nullptr) return;
  queuePanel_->UpdateButtons();
  QMetaObject::invokeMethod(queuePanel_, &TQueuePanel::UpdateButtons, Qt::QueuedConnection);
}

void TMainForm::TRefreshTimer() {
  if (JobActive())
    SubtitleJobRun->RefreshTimerTick();
  else
    TRefresh->stop();
}

// ---- Looks and wiring ----

void TMainForm::SetUpLooks() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  ui->TB->setFixedHeight(kToolBarHeight);
  ui->SB->setFixedHeight(kStatusBarHeight);
  const QStyle* s = style();
  const struct {
    QAction* action;
    const char* theme;
    QStyle::StandardPixmap fallback;
  } icons[] = {
      {ui->ToolButton1, "go-home", QStyle::SP_DesktopIcon},
      {ui->TBOptions, "preferences-system", QStyle::SP_FileDialogDetailedView},
      {ui->ToolButton4, "utilities-terminal", QStyle::SP_FileDialogContentsView},
      {ui->TBQueue, "view-list-details", QStyle::SP_FileDialogListView},
      {ui->ToolButton5, "help-contents", QStyle::SP_DialogHelpButton},
      {ui->ToolButton6, "help-about", QStyle::SP_MessageBoxInformation},
      {ui->ToolButton3, "system-software-update", QStyle::SP_BrowserReload},
      {ui->ToolButton8, "emblem-favorite", QStyle::SP_DialogYesButton},
      {ui->ToolButton9, "application-exit", QStyle::SP_DialogCloseButton},
  };
  for (const auto& icon : icons) {
    icon.action->setIcon(ThemeIcon(icon.theme, icon.fallback, s));
    QWidget* button = ui->TB->widgetForAction(icon.action);
    button->setObjectName(icon.action->objectName());
    button->setFixedSize(40, kToolBarHeight);
  }
  ui->BStart->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
  ui->BStop->setIcon(s->standardIcon(QStyle::SP_MediaStop));
  ui->BPreview->setIcon(s->standardIcon(QStyle::SP_DesktopIcon));
  ui->IDown->setIcon(s->standardIcon(QStyle::SP_ArrowDown));
  ui->IUp->setIcon(s->standardIcon(QStyle::SP_ArrowUp));
  ui->IDown->hide();
  ui->IUp->hide();
  WrapOptionsPanel();
  ui->POptions->hide();
  ui->PDebug->hide();
  ui->PAbout->hide();
  ui->PLinks->hide();
  // The up-down's edit is the control the delay is typed into.
  ui->UDCorrectFrames->findChild<QLineEdit*>()->setObjectName("ECorrectFrames");
  ui->UDCorrectTime->findChild<QLineEdit*>()->setObjectName("ECorrectTime");
  for (QLabel* header : {ui->LFontHeader, ui->LStreamsHeader, ui->LSubtitleHeader, ui->LOtherHeader,
                         ui->LLookHeader, ui->LReadingHeader, ui->LPictureHeader})
    header->setStyleSheet(
        "font-weight: bold; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #f4f6fa, stop:1 #c9d3e3);");
  ui->EFontColor->setAutoFillBackground(true);
  LOOKCONTROLS::SetUpLookControls(*ui, [this](QWidget* parent, QColor& color) {
    return Environment.ColorDialog ? Environment.ColorDialog(parent, color)
                                   : LOOKCONTROLS::RunColorDialog(parent, color);
  });
  QFont title("Times New Roman");
  title.setPixelSize(19);
  title.setBold(true);
  ui->LAboutTitle->setFont(title);
  ui->LAboutTitle->setStyleSheet("color: blue");
  QFont bold = font();
  bold.setBold(true);
  ui->LAboutDescription->setFont(bold);
  ui->Label32->setFont(bold);
  ui->MLicense->setPlainText(LicenseText());
  TRefresh->setObjectName("TRefresh");
  TRefresh->setInterval(1000);
}

void TMainForm::SetUpLinks() {
  const QString contact =
      QString("%1 - %2").arg(PROGRAMINFO::kContactAddress1, PROGRAMINFO::kContactAddress2);
  for (QLabel* line : {ui->Label30, ui->Label33}) line->setText(contact);
  for (QLabel* line : {ui->Label31, ui->Label34}) line->setText(PROGRAMINFO::kWebSite);
  for (QLabel* line : {ui->Label30, ui->Label31, ui->Label33, ui->Label34}) {
    line->setStyleSheet("color: blue");
    line->setCursor(Qt::PointingHandCursor);
    line->installEventFilter(this);
  }
}

// ---- Dropped files ----

// Files dropped anywhere on the window: a video becomes the source and a
// subtitle file the subtitle file, as if chosen in their dialogs. Nothing
// changes while a job runs, as the choice buttons are off then.
void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !JobActive()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  if (JobActive()) return;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const std::string name = FromQString(url.toLocalFile());
    if (FOLDERJOBS::IsVideoName(name))
      OpenSourceVideo(name);
    else if (FOLDERJOBS::IsSubtitleName(name))
      OpenSubtitleFile(name);
  }
  event->acceptProposedAction();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == ui->Label30 || watched == ui->Label33) Label30Click();
    if (watched == ui->Label31 || watched == ui->Label34) ToolButton3Click();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ConnectHandlers() {
  connect(ui->ToolButton1, &QAction::triggered, this, &TMainForm::ToolButton1Click);
  connect(ui->TBOptions, &QAction::triggered, this, &TMainForm::TBOptionsClick);
  connect(ui->ToolButton4, &QAction::triggered, this, &TMainForm::ToolButton4Click);
  connect(ui->TBQueue, &QAction::triggered, this, &TMainForm::TBQueueClick);
  connect(ui->ToolButton5, &QAction::triggered, this, &TMainForm::ToolButton5Click);
  connect(ui->ToolButton6, &QAction::triggered, this, &TMainForm::ToolButton6Click);
  connect(ui->ToolButton3, &QAction::triggered, this, &TMainForm::ToolButton3Click);
  connect(ui->ToolButton8, &QAction::triggered, this, &TMainForm::ToolButton8Click);
  connect(ui->ToolButton9, &QAction::triggered, this, &TMainForm::ToolButton9Click);
  connect(ui->IDown, &QToolButton::clicked, this, &TMainForm::IDownClick);
  connect(ui->IUp, &QToolButton::clicked, this, &TMainForm::IUpClick);
  connect(ui->BSourceVideo, &QPushButton::clicked, this, &TMainForm::BSourceVideoClick);
  connect(ui->BSubtitle, &QPushButton::clicked, this, &TMainForm::BSubtitleClick);
  connect(ui->BSecondSubtitle, &QPushButton::clicked, this, &TMainForm::BSecondSubtitleClick);
  connect(ui->BDestinationVideo, &QPushButton::clicked, this, &TMainForm::BDestinationVideoClick);
  connect(ui->BSaveAsText, &QPushButton::clicked, this, &TMainForm::BSaveAsTextClick);
  connect(ui->CBSubtitleTrack, &QComboBox::currentIndexChanged, this,
          &TMainForm::FollowSubtitleChoice);
  connect(ui->ESubtitleFile, &QLineEdit::textChanged, this, &TMainForm::FollowSubtitleChoice);
  connect(ui->Button4, &QPushButton::clicked, this, &TMainForm::Button4Click);
  connect(ui->BPreview, &QPushButton::clicked, this, &TMainForm::BPreviewClick);
  connect(ui->BStill, &QPushButton::clicked, this, &TMainForm::BStillClick);
  connect(ui->BStart, &QPushButton::clicked, this, &TMainForm::BStartClick);
  connect(ui->BStop, &QPushButton::clicked, this, &TMainForm::BStopClick);
  connect(TRefresh, &QTimer::timeout, this, &TMainForm::TRefreshTimer);
  connect(ui->ESavedVideoFile, &QLineEdit::textChanged, this, &TMainForm::FollowDestination);
  // A click says all or none, whatever list the box stood for.
  for (const auto& boxAndKept :
       {std::pair{ui->CBKeepAudio, &JOBOPTIONS::StreamKeeping::Sound},
        std::pair{ui->CBKeepSubtitles, &JOBOPTIONS::StreamKeeping::Subtitles}}) {
    const auto kept = boxAndKept.second;
    connect(boxAndKept.first, &QCheckBox::clicked, this, [this, kept](bool on) {
      keeping_.*kept = on ? JOBOPTIONS::TrackKeeping{} : JOBOPTIONS::TrackKeeping{Choice::None, {}};
    });
  }
}
