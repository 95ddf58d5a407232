// The look group on the options panel and the still before a run; the
// disc subtitle pictures' controls beside the subtitle choice.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <optional>

#include "platform/MessageBox.h"
#include "shell/Settings.h"
#include "support/DiscLetters.h"
#include "support/PgsWriter.h"
#include "support/TestSupport.h"
#include "ui/MainUnit.h"
#include "ui/PreviewUnit.h"

using namespace testsupport;

namespace {

class MainFormLookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "xdg").string()));
    previousBox =
        SetMessageBoxHandler([this](const std::string& text, const std::string&, UINT type) {
          boxes.push_back(((type & MB_ICONSTOP) != 0 ? "error: " : "info: ") + text);
          return IDOK;
        });
  }
  void TearDown() override { SetMessageBoxHandler(previousBox); }

  std::unique_ptr<TMainForm> Open() {
    environment.ProgramFolder = dir.path().string() + "/";
    environment.UserFolder = (dir / "user").string();
    return std::make_unique<TMainForm>(environment);
  }
  template <typename T>
  static T* Find(TMainForm& form, const char* name) {
    T* found = form.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  TempDir dir;
  TMainFormEnvironment environment;
  std::vector<std::string> boxes;
  MessageBoxHandler previousBox;
};

// Sixteen colours, black first.
std::string Palette() {
  std::string colours = "000000";
  for (int k = 1; k < 16; ++k) colours += ",FFFFFF";
  return colours;
}

const char* const kLookControls[] = {"UDOutline",    "BOutlineColor", "UDShadow",    "BShadowColor",
                                     "UDBoxOpacity", "BBoxColor",     "CBAntialias", "UDMargin"};

}  // namespace

TEST_F(MainFormLookTest, LookGroupStartsPlainWithHintsAndRanges) {
  auto form = Open();
  for (const char* name : kLookControls) {
    QWidget* control = Find<QWidget>(*form, name);
    EXPECT_FALSE(control->toolTip().isEmpty()) << name;
    EXPECT_EQ(control->toolTip(), control->statusTip()) << name;
  }
  EXPECT_EQ(Find<QSpinBox>(*form, "UDOutline")->maximum(), 8);
  EXPECT_EQ(Find<QSpinBox>(*form, "UDShadow")->maximum(), 8);
  EXPECT_EQ(Find<QSpinBox>(*form, "UDBoxOpacity")->maximum(), 100);
  EXPECT_EQ(Find<QSpinBox>(*form, "UDMargin")->maximum(), 1000);
  EXPECT_EQ(Find<QPushButton>(*form, "BBoxColor")->toolTip().right(10), "(0x000000)");
  EXPECT_EQ(Find<QPushButton>(*form, "BBoxColor")->text(), "") << "the colour alone";
  EXPECT_FALSE(Find<QCheckBox>(*form, "CBAntialias")->isChecked());
  // The label has room for its word, and the box beside it stays clear.
  const QLabel* margin = Find<QLabel>(*form, "LMargin");
  EXPECT_LE(margin->fontMetrics().horizontalAdvance(margin->text()), margin->width());
  EXPECT_LE(margin->geometry().right(), Find<QWidget>(*form, "UDMargin")->geometry().left());
  EXPECT_EQ(form->CollectJobOptions().Look, SUBTITLELOOK::SubtitleLook{});
  QWidget* group = Find<QWidget>(*form, "PLookBox");
  // Below the Streams group, grown by its keeping boxes.
  EXPECT_EQ(group->geometry(), QRect(280, 310, 260, 136));
  EXPECT_EQ(group->parentWidget(), Find<QWidget>(*form, "POptions"));
}

// A swatch opens the colour dialog with its colour; a choice becomes the
// look's colour and the swatch's, a cancelled dialog changes nothing.
TEST_F(MainFormLookTest, ColourSwatchesChooseTheirColourThroughTheDialog) {
  std::vector<QColor> offered;
  std::optional<QColor> answer = QColor(0x12, 0x34, 0x56);
  environment.ColorDialog = [&](QWidget*, QColor& color) {
    offered.push_back(color);
    if (!answer) return false;
    color = *answer;
    return true;
  };
  auto form = Open();
  auto* outline = Find<QPushButton>(*form, "BOutlineColor");
  outline->click();
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0], QColor(0, 0, 0));
  EXPECT_EQ(form->CollectJobOptions().Look.OutlineColor, 0x563412u);  // 0x00BBGGRR
  EXPECT_EQ(outline->toolTip().right(10), "(0x563412)");
  EXPECT_NE(outline->styleSheet().indexOf("#123456"), -1) << outline->styleSheet().toStdString();
  answer.reset();
  outline->click();
  EXPECT_EQ(offered.back(), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(form->CollectJobOptions().Look.OutlineColor, 0x563412u);
  answer = QColor(255, 255, 255);
  Find<QPushButton>(*form, "BShadowColor")->click();
  Find<QPushButton>(*form, "BBoxColor")->click();
  EXPECT_EQ(form->CollectJobOptions().Look.ShadowColor, 0xFFFFFFu);
  EXPECT_EQ(form->CollectJobOptions().Look.BoxColor, 0xFFFFFFu);
  EXPECT_EQ(form->CollectJobOptions().Look.OutlineColor, 0x563412u);
}

TEST_F(MainFormLookTest, SettingsDriveTheLookAndComeBackAtClose) {
  WriteFile(dir / "Tolvane.ini",
            "[LOOK]\nOutline=3\nOutlineColor=0x0000FF\nShadow=1\nShadowColor=0x00FF00\n"
            "BoxOpacity=60\nBoxColor=0x202020\nAntialias=1\nMargin=30\n");
  environment.ColorDialog = [](QWidget*, QColor& color) {
    color = QColor(0xEF, 0xCD, 0xAB);
    return true;
  };
  auto form = Open();
  EXPECT_EQ(Find<QSpinBox>(*form, "UDOutline")->value(), 3);
  EXPECT_EQ(Find<QPushButton>(*form, "BOutlineColor")->toolTip().right(10), "(0x0000FF)");
  EXPECT_EQ(Find<QSpinBox>(*form, "UDBoxOpacity")->value(), 60);
  EXPECT_TRUE(Find<QCheckBox>(*form, "CBAntialias")->isChecked());
  const SUBTITLELOOK::SubtitleLook expected{3, 0x0000FF, 1, 0x00FF00, 60, 0x202020, true, 30};
  EXPECT_EQ(form->CollectJobOptions().Look, expected);
  Find<QSpinBox>(*form, "UDShadow")->setValue(5);
  Find<QPushButton>(*form, "BBoxColor")->click();
  form->close();
  SUBTITLELOOK::SubtitleLook saved = expected;
  saved.Shadow = 5;
  saved.BoxColor = 0xABCDEF;
  EXPECT_EQ(SETTINGS::LoadSettings((dir / "Tolvane.ini").string()).Look, saved);
}

TEST_F(MainFormLookTest, OptionsPanelScrollsToTheLookGroupWhenTheStatisticsAreHidden) {
  auto form = Open();
  form->show();
  form->TBOptionsClick();
  auto* scroll = Find<QScrollArea>(*form, "SOptions");
  QWidget* group = Find<QWidget>(*form, "PLookBox");
  // The taller window scrolls less: since the Streams group holds its
  // keeping boxes, the groups no longer fit even there.
  form->IDownClick();
  QApplication::processEvents();
  const int taller = scroll->verticalScrollBar()->maximum();

  form->IUpClick();
  QApplication::processEvents();
  QScrollBar* bar = scroll->verticalScrollBar();
  ASSERT_GT(bar->maximum(), taller);
  auto groupBottomShown = [&] {
    const QPoint bottom = group->mapTo(scroll->viewport(), QPoint(0, group->height()));
    return bottom.y() <= scroll->viewport()->height();
  };
  bar->setValue(0);
  EXPECT_FALSE(groupBottomShown());
  bar->setValue(bar->maximum());
  EXPECT_TRUE(groupBottomShown());
}

TEST_F(MainFormLookTest, StillNeedsItsInputsAndATime) {
  auto form = Open();
  auto* time = Find<QLineEdit>(*form, "EStillTime");
  EXPECT_EQ(time->text(), "0");
  form->BStillClick();
  Find<QLineEdit>(*form, "EVideoFile")->setText("/no/such/film.mp4");
  form->BStillClick();
  Find<QLineEdit>(*form, "ESubtitleFile")->setText("/no/such/subs.srt");
  time->setText("soon");
  form->BStillClick();
  time->setText("1:30");
  form->BStillClick();
  EXPECT_EQ(boxes,
            (std::vector<std::string>{
                "info: Please choose a source video file!", "info: Please choose a subtitle file!",
                "info: Please give the time of the still in seconds or as h:mm:ss!",
                "error: [VelAvCodec::PreOpen] Can't open input file..."}));
  EXPECT_EQ(form->ShownPreview(), nullptr);
}

// Quarters red, green / blue, white; the entry on an opaque red box.
TEST_F(MainFormLookTest, StillShowsThePictureWithItsSubtitleInThePreview) {
  const std::string film = (dir / "film.mp4").string();
  Ffmpeg(
      "-f lavfi -i \"color=red:s=80x60:d=3[a];color=lime:s=80x60:d=3[b];"
      "color=blue:s=80x60:d=3[c];color=white:s=80x60:d=3[d];"
      "[a][b]hstack[t];[c][d]hstack[u];[t][u]vstack\" -c:v libx264 -qp 0 " +
      film);
  WriteFile(dir / "subs.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\nBoxed\r\n\r\n");
  WriteFile(dir / "Tolvane.ini", "[LOOK]\nBoxOpacity=100\nBoxColor=0x0000FF\nMargin=40\n");
  auto form = Open();
  Find<QLineEdit>(*form, "EVideoFile")->setText(QString::fromStdString(film));
  Find<QLineEdit>(*form, "ESubtitleFile")
      ->setText(QString::fromStdString((dir / "subs.srt").string()));
  Find<QLineEdit>(*form, "EStillTime")->setText("1.5");
  Find<QPushButton>(*form, "BStill")->click();
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  TPreviewForm* preview = form->ShownPreview();
  ASSERT_NE(preview, nullptr);

  auto colourAt = [&](const QImage& shown, double fx, double fy) {
    const QRect r = TPreviewForm::kPictureRect;
    return QColor(shown.pixel(r.left() + int(fx * r.width()), r.top() + int(fy * r.height())));
  };
  auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
  };
  for (int pass = 0; pass < 2; ++pass) {  // a repaint keeps the still
    const QImage shown = preview->grab().toImage();
    EXPECT_TRUE(near(colourAt(shown, 0.1, 0.1), Qt::red)) << pass;
    EXPECT_TRUE(near(colourAt(shown, 0.9, 0.1), Qt::green)) << pass;
    EXPECT_TRUE(near(colourAt(shown, 0.1, 0.95), Qt::blue)) << pass;
    EXPECT_TRUE(near(colourAt(shown, 0.9, 0.95), Qt::white)) << pass;
    // The box, raised by the margin: red over the blue and white halves.
    int boxed = 0;
    for (double fy = 0.55; fy < 0.9; fy += 0.01)
      boxed += near(colourAt(shown, 0.5, fy), Qt::red) ? 1 : 0;
    EXPECT_GT(boxed, 3) << pass;
  }
  // The job's pictures replace it.
  std::vector<uint8_t> black(sizeof(BITMAPINFOHEADER) + 8 * 8 * 3, 0);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(black.data());
  *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 8, 8, 1, 24, BI_RGB, 8 * 8 * 3, 0, 0, 0, 0};
  preview->DrawFrame(header);
  EXPECT_EQ(colourAt(preview->grab().toImage(), 0.1, 0.1), QColor(Qt::black));
}

// Styled subtitles: the check boxes follow the settings file's section, the
// styled formats open only with them on, and the still draws styles.
TEST_F(MainFormLookTest, StyledSubtitlesFromTheCheckBoxReachTheStillAndTheSettings) {
  const std::string film = (dir / "film.mp4").string();
  Ffmpeg("-f lavfi -i color=black:s=160x90:d=3 -c:v libx264 -qp 0 " + film);
  const std::string ass = (dir / "subs.ass").string();
  WriteFile(ass,
            "[Script Info]\nPlayResX: 160\nPlayResY: 90\n\n[V4+ Styles]\n"
            "Format: Name, Fontname, Fontsize, PrimaryColour\n"
            "Style: Default,DejaVu Sans,30,&H000000FF\n\n[Events]\n"
            "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
            "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,{\\an8}Top\n");
  WriteFile(dir / "Tolvane.ini", "[STYLED]\nStyled=0\nLeftToRight=1\n");
  auto form = Open();
  auto* styled = Find<QCheckBox>(*form, "CBStyled");
  auto* leftToRight = Find<QCheckBox>(*form, "CBStyledLeftToRight");
  EXPECT_FALSE(styled->isChecked());
  EXPECT_FALSE(leftToRight->isEnabled());
  EXPECT_FALSE(form->CollectJobOptions().Styled.LeftToRight);
  form->OpenSubtitleFile(ass);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "error: [SubtitleFile::Open] Unknown file format...");

  styled->setChecked(true);
  EXPECT_TRUE(leftToRight->isEnabled());
  EXPECT_EQ(form->CollectJobOptions().Styled, (STYLEDSCRIPT::StyledOptions{true, true}));
  form->OpenSubtitleFile(ass);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(Find<QLineEdit>(*form, "ESubtitleFile")->text().toStdString(), ass);
  Find<QLineEdit>(*form, "EVideoFile")->setText(QString::fromStdString(film));
  Find<QLineEdit>(*form, "EStillTime")->setText("1.5");
  Find<QPushButton>(*form, "BStill")->click();
  ASSERT_EQ(boxes.size(), 1u) << boxes.back();
  TPreviewForm* preview = form->ShownPreview();
  ASSERT_NE(preview, nullptr);
  const QImage shown = preview->grab().toImage();
  const QRect r = TPreviewForm::kPictureRect;
  int redTop = 0, redBottom = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c(shown.pixel(x, y));
      if (c.red() > 150 && c.green() < 60) ++(y < r.center().y() ? redTop : redBottom);
    }
  EXPECT_GT(redTop, 20);
  EXPECT_EQ(redBottom, 0);

  leftToRight->setChecked(false);
  form->close();
  EXPECT_EQ(SETTINGS::LoadSettings((dir / "Tolvane.ini").string()).Styled,
            (STYLEDSCRIPT::StyledOptions{true, false}));
}

// A source with subtitle tracks offers them beside the subtitle file; one
// chosen is burned, styled, with no file needed.
TEST_F(MainFormLookTest, SourceSubtitleTracksAreOfferedAndDrawn) {
  const std::string plain = (dir / "plain.mp4").string(), tracks = (dir / "tracks.mkv").string();
  Ffmpeg("-f lavfi -i color=black:s=160x90:d=3 -c:v libx264 -qp 0 " + plain);
  WriteFile(dir / "t.srt",
            "1\n00:00:01,000 --> 00:00:02,000\n<font color=\"#FF0000\">Red</font>\n");
  Ffmpeg("-i " + plain + " -i " + (dir / "t.srt").string() +
         " -map 0 -map 1 -c:v copy -c:s srt -metadata:s:s:0 language=eng " + tracks);
  auto form = Open();
  auto* choice = Find<QComboBox>(*form, "CBSubtitleTrack");
  EXPECT_TRUE(choice->isHidden());
  form->OpenSourceVideo(plain);
  EXPECT_TRUE(choice->isHidden());
  EXPECT_EQ(form->CollectJobOptions().SubtitleTrack, 0);
  form->OpenSourceVideo(tracks);
  ASSERT_FALSE(choice->isHidden());
  ASSERT_EQ(choice->count(), 2);
  EXPECT_EQ(choice->itemText(1).toStdString(), "Track 1: eng, SubRip");
  EXPECT_EQ(form->CollectJobOptions().SubtitleTrack, 0);
  choice->setCurrentIndex(1);
  const JOBOPTIONS::JobOptions options = form->CollectJobOptions();
  EXPECT_EQ(options.SubtitleTrack, 1);
  EXPECT_TRUE(options.Styled.On);

  Find<QLineEdit>(*form, "EStillTime")->setText("1.5");
  Find<QPushButton>(*form, "BStill")->click();
  ASSERT_TRUE(boxes.empty()) << boxes.front();
  TPreviewForm* preview = form->ShownPreview();
  ASSERT_NE(preview, nullptr);
  const QImage shown = preview->grab().toImage();
  int red = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const QColor c(shown.pixel(x, y));
      red += c.red() > 150 && c.green() < 60 && c.blue() < 60;
    }
  EXPECT_GT(red, 10);
}

// The look and reading groups share a small panel: no caption of theirs is
// cut.
TEST_F(MainFormLookTest, CheckBoxesOfTheNewGroupsShowTheirWholeCaptions) {
  auto form = Open();
  form->show();
  form->TBOptionsClick();
  QApplication::processEvents();
  for (const char* group : {"PLookBox", "PReadingBox"}) {
    const auto boxes = Find<QWidget>(*form, group)->findChildren<QCheckBox*>();
    ASSERT_FALSE(boxes.empty()) << group;
    for (const QCheckBox* box : boxes)
      EXPECT_GE(box->width(), box->sizeHint().width()) << box->objectName().toStdString();
  }
}

// The pictures' row: "Restyle pictures" beside "Forced only", whole and
// clear of its neighbours, reaching the job and [PICTURES]; the languages,
// which no control shows, kept through the window's save.
TEST_F(MainFormLookTest, RestyleBoxSitsBesideForcedOnlyAndReachesTheJob) {
  WriteFile(dir / "Tolvane.ini", "[PICTURES]\nOcrLanguage=fra+deu\n");
  auto form = Open();
  form->show();
  QApplication::processEvents();
  QCheckBox* box = Find<QCheckBox>(*form, "CBRestylePictures");
  const QWidget* forced = Find<QWidget>(*form, "CBForcedOnly");
  EXPECT_EQ(box->parentWidget(), forced->parentWidget());
  EXPECT_EQ(box->geometry().top(), forced->geometry().top());
  for (const char* other :
       {"Label2", "CBForcedOnly", "CBSubtitleTrack", "BSaveAsText", "ESubtitleFile"})
    EXPECT_FALSE(box->geometry().intersects(Find<QWidget>(*form, other)->geometry())) << other;
  EXPECT_GE(box->width(), box->sizeHint().width());
  const QPushButton* save = Find<QPushButton>(*form, "BSaveAsText");
  EXPECT_EQ(save->text(), "Save as text");
  EXPECT_LE(save->fontMetrics().horizontalAdvance(save->text()), save->width() - 8);
  EXPECT_LE(save->geometry().right(), Find<QWidget>(*form, "BSubtitle")->geometry().right());
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(form->CollectJobOptions().Restyle);
  EXPECT_EQ(form->CollectJobOptions().OcrLanguage, "fra+deu");
  box->setChecked(true);
  EXPECT_TRUE(form->CollectJobOptions().Restyle);
  form->close();
  const std::string ini = ReadFile(dir / "Tolvane.ini");
  const SETTINGS::Settings saved = SETTINGS::LoadSettings((dir / "Tolvane.ini").string());
  EXPECT_TRUE(saved.Restyle) << ini;
  EXPECT_EQ(saved.OcrLanguage, "fra+deu") << ini;
  EXPECT_TRUE(Find<QCheckBox>(*Open(), "CBRestylePictures")->isChecked());
}

// "Save as text" is offered for a picture track and a picture file alone,
// and writes what --subtitles-to-text writes where the save dialog says.
TEST_F(MainFormLookTest, SaveAsTextWritesAPictureTrackAsSubRip) {
  std::vector<pgswriter::DisplaySet> sets;
  pgswriter::DisplaySet set;
  set.Pts90k = 45000;
  set.CanvasWidth = 1280;
  set.CanvasHeight = 720;
  set.Palette = {{1, 255, 255, 255, 255}, {2, 0, 0, 0, 255}, {3, 128, 128, 128, 255}};
  const discletters::Picture line = discletters::Draw({"Where are you going?"}, 1000, {});
  set.Objects = {{140, 560, uint16_t(line.Width), uint16_t(line.Height), line.Indexes}};
  sets = {set, pgswriter::ClearingSet(set, 135000)};
  const fs::path sup = dir / "pictures.sup", film = dir / "film.mkv";
  WriteFile(sup, pgswriter::WriteSup(sets));
  WriteFile(dir / "t.srt", "1\n00:00:01,000 --> 00:00:02,000\nText\n");
  Ffmpeg("-f lavfi -i color=black:s=320x180:d=3 -copyts -i " + sup.string() + " -i " +
         (dir / "t.srt").string() + " -map 0 -map 1 -map 2 -c:v mpeg4 -c:s:0 copy -c:s:1 srt " +
         film.string());
  std::vector<FILEDIALOGS::FileDialogRequest> asked;
  const fs::path srt = dir / "saved.srt";
  environment.FileDialog = [&](QWidget*, const FILEDIALOGS::FileDialogRequest& request) {
    asked.push_back(request);
    return std::optional<std::string>(srt.string());
  };
  auto form = Open();
  QPushButton* save = Find<QPushButton>(*form, "BSaveAsText");
  EXPECT_FALSE(save->isEnabled());
  form->OpenSourceVideo(film.string());
  auto* choice = Find<QComboBox>(*form, "CBSubtitleTrack");
  ASSERT_EQ(choice->count(), 3);
  EXPECT_FALSE(save->isEnabled()) << "the subtitle file is no picture file";
  choice->setCurrentIndex(2);
  EXPECT_FALSE(save->isEnabled()) << "a text track";
  choice->setCurrentIndex(1);
  ASSERT_TRUE(save->isEnabled());
  save->click();
  ASSERT_TRUE(boxes.empty()) << boxes.front();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Name, "SDTextFile");
  EXPECT_TRUE(asked[0].Save);
  EXPECT_EQ(asked[0].DefaultExt, "srt");
  EXPECT_EQ(ReadFile(srt), "1\n00:00:00,500 --> 00:00:01,500\nWhere are you going?\n\n");
  // A .sup given as the subtitle file is read the same way.
  choice->setCurrentIndex(0);
  Find<QLineEdit>(*form, "ESubtitleFile")->setText(QString::fromStdString(sup.string()));
  ASSERT_TRUE(save->isEnabled());
  fs::remove(srt);
  save->click();
  EXPECT_EQ(ReadFile(srt), "1\n00:00:00,500 --> 00:00:01,500\nWhere are you going?\n\n");
}

// The picture group: its choices reach the job and [GEOMETRY] and come back;
// a shape it cannot show (an exact crop, a size of both sides, the picture
// scale and palette) passes through the window's save as the file had it;
// untouched, the window writes no [GEOMETRY] at all.
TEST_F(MainFormLookTest, PictureGroupChoosesTheShapeAndKeepsWhatItCannotShow) {
  auto form = Open();
  form->show();
  form->TBOptionsClick();
  QApplication::processEvents();
  const QWidget* group = Find<QWidget>(*form, "PPictureBox");
  for (const char* other : {"PReadingBox", "POtherBox", "PLookBox", "PSubtitleBox"})
    EXPECT_FALSE(group->geometry().intersects(Find<QWidget>(*form, other)->geometry())) << other;
  for (const QLabel* label : group->findChildren<QLabel*>())
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
  for (const QWidget* field : group->findChildren<QWidget*>()) {
    if (field->inherits("QLabel") || field->parentWidget() != group) continue;
    EXPECT_GE(field->width(), field->sizeHint().width()) << field->objectName().toStdString();
  }
  const PICTURESHAPE::ShapeOptions untouched = form->CollectJobOptions().Shape;
  EXPECT_EQ(untouched.Crop, "");
  EXPECT_EQ(untouched.Height, 0);
  EXPECT_EQ(untouched.Place, "");
  form->close();
  EXPECT_EQ(ReadFile(dir / "Tolvane.ini").find("GEOMETRY"), std::string::npos);

  form = Open();
  Find<QComboBox>(*form, "CBCrop")->setCurrentIndex(1);
  Find<QComboBox>(*form, "CBPictureSize")->setCurrentIndex(2);
  Find<QComboBox>(*form, "CBSubtitlePlace")->setCurrentIndex(2);
  Find<QSpinBox>(*form, "UDSubtitleRaise")->setValue(7);
  const PICTURESHAPE::ShapeOptions chosen = form->CollectJobOptions().Shape;
  EXPECT_EQ(chosen.Crop, "auto");
  EXPECT_EQ(chosen.Scale, "");
  EXPECT_EQ(chosen.Width, 0);
  EXPECT_EQ(chosen.Height, 720);
  EXPECT_EQ(chosen.Place, "bars");
  EXPECT_EQ(chosen.Raise, 7);
  form->close();
  const SETTINGS::Settings saved = SETTINGS::LoadSettings((dir / "Tolvane.ini").string());
  EXPECT_EQ(saved.Shape.Crop, "auto");
  EXPECT_EQ(saved.Shape.Height, 720);
  EXPECT_EQ(saved.Shape.Place, "bars");
  EXPECT_EQ(saved.Shape.Raise, 7);
  form = Open();
  EXPECT_EQ(Find<QComboBox>(*form, "CBCrop")->currentIndex(), 1);
  EXPECT_EQ(Find<QComboBox>(*form, "CBPictureSize")->currentText(), "720 high");
  EXPECT_EQ(Find<QComboBox>(*form, "CBSubtitlePlace")->currentIndex(), 2);
  form->close();

  WriteFile(dir / "Tolvane.ini",
            "[GEOMETRY]\nCrop=1920:800:0:140\nScale=1280x536\nSubtitlePlace=bottom\n"
            "PictureScale=150\nVobSubPalette=" +
                Palette() + "\n");
  form = Open();
  EXPECT_EQ(Find<QComboBox>(*form, "CBCrop")->currentText(), "1920:800:0:140");
  EXPECT_EQ(Find<QComboBox>(*form, "CBPictureSize")->currentText(), "1280x536");
  EXPECT_EQ(Find<QComboBox>(*form, "CBSubtitlePlace")->currentIndex(), 0);
  form->close();
  const SETTINGS::Settings kept = SETTINGS::LoadSettings((dir / "Tolvane.ini").string());
  EXPECT_EQ(kept.Shape.Crop, "1920:800:0:140");
  EXPECT_EQ(kept.Shape.Scale, "1280x536");
  EXPECT_EQ(kept.Shape.Place, "bottom");
  EXPECT_EQ(kept.Shape.PictureScale, 150);
  EXPECT_EQ(kept.Shape.VobSubPalette.substr(0, 13), "000000,FFFFFF");
  // Choosing from the list replaces the exact choice.
  form = Open();
  Find<QComboBox>(*form, "CBCrop")->setCurrentIndex(0);
  Find<QComboBox>(*form, "CBPictureSize")->setCurrentIndex(0);
  EXPECT_EQ(form->CollectJobOptions().Shape.Crop, "none");
  EXPECT_EQ(form->CollectJobOptions().Shape.Scale, "");
  EXPECT_EQ(form->CollectJobOptions().Shape.PictureScale, 150);
}
