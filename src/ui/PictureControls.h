#pragma once

// The picture group of the options panel: the crop, the output's size and
// the subtitle's place and raise, to and from the job's shape options.
#include "job/ShapeOptions.h"

namespace Ui {
class TMainForm;
}

namespace PICTURECONTROLS {

// Shows `shape`; a crop or size the lists lack (an exact crop, another
// size) joins its list as its own choice, so the window keeps it.
void ShowShape(Ui::TMainForm& ui, const PICTURESHAPE::ShapeOptions& shape);
// `shown` as the controls now have it: what they do not show (the picture
// scale, the palette) and what they show unchanged keep their spelling.
PICTURESHAPE::ShapeOptions CollectShape(const Ui::TMainForm& ui,
                                        const PICTURESHAPE::ShapeOptions& shown);

}  // namespace PICTURECONTROLS
