#pragma once

// The look group of the options panel: its controls to and from a look. The
// three colours are swatches that open the colour dialog.
#include <QColor>
#include <functional>

#include "subtitles/StyledOptions.h"
#include "subtitles/SubtitleLook.h"

class QWidget;

namespace Ui {
class TMainForm;
}

namespace LOOKCONTROLS {

// Asks for a colour starting from `color`; false when the choice was
// cancelled. The colour dialog in the window, a stand-in in tests.
using ColorDialogRunner = std::function<bool(QWidget* parent, QColor& color)>;

bool RunColorDialog(QWidget* parent, QColor& color);

// Connects each swatch to the dialog that `choose` runs.
void SetUpLookControls(Ui::TMainForm& ui, ColorDialogRunner choose);
void ShowLook(Ui::TMainForm& ui, const SUBTITLELOOK::SubtitleLook& look);
SUBTITLELOOK::SubtitleLook CollectLook(const Ui::TMainForm& ui);
// The styled drawing's check boxes, also in the Look group.
void ShowStyled(Ui::TMainForm& ui, const STYLEDSCRIPT::StyledOptions& styled);
STYLEDSCRIPT::StyledOptions CollectStyled(const Ui::TMainForm& ui);

}  // namespace LOOKCONTROLS
