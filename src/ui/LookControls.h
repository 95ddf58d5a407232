#pragma once

// The look group of the options panel: its controls to and from a look.
#include "subtitles/SubtitleLook.h"

namespace Ui {
class TMainForm;
}

namespace LOOKCONTROLS {

// The colour edits take "0x" and up to six hexadecimal digits only.
void SetUpLookControls(Ui::TMainForm& ui);
void ShowLook(Ui::TMainForm& ui, const SUBTITLELOOK::SubtitleLook& look);
// A colour edit whose text is no number gives black.
SUBTITLELOOK::SubtitleLook CollectLook(const Ui::TMainForm& ui);

}  // namespace LOOKCONTROLS
