#pragma once

// The compressor choice: a modal dialog listing the installed compressors
// with their quality, key-frame and data-rate settings.
#include <QDialog>
#include <memory>
#include <optional>

#include "compressors/EncoderChoice.h"

namespace Ui {
class TCompressorDialog;
}

namespace TCOMPRESSORDIALOG {

class TCompressorDialog : public QDialog {
  Q_OBJECT

 public:
  // request: whether the key-frame and data-rate fields show. The fields
  // start from startFrom, or when there is none from the last choice
  // confirmed while the program runs (MPEG-4 Part 2 at first).
  TCompressorDialog(QWidget* parent, const ENCODERCHOICE::ChoiceRequest& request,
                    const ENCODERCHOICE::EncoderChoice* startFrom = nullptr);
  ~TCompressorDialog() override;

  // The choice: the compressor, its quality, and the key frames and data
  // rate where they are asked for, apply and are switched on (the others
  // stay as the choice had them); its preset and encoder options where it
  // takes them, and the colour asked of the output.
  void FillChoice(ENCODERCHOICE::EncoderChoice& choice) const;
  // Every field, the values of those switched off included, to start from
  // the next time.
  ENCODERCHOICE::EncoderChoice Remembered() const;

 private:
  void CBCompressorChange(int index);
  void StartFrom(const ENCODERCHOICE::EncoderChoice& choice);
  uint32_t ChosenCode() const;
  void ListPresets();
  std::string ChosenPreset() const;
  ENCODERCHOICE::ColourAsked ChosenColour() const;

  std::unique_ptr<Ui::TCompressorDialog> ui_;
  ENCODERCHOICE::ChoiceRequest request_;
  // The preset last chosen, kept while compressors without it are shown.
  std::string chosenPreset_;
};

// Shows the dialog; on OK fills the choice, remembers it for the next time
// and answers true.
bool ShowCompressorDialog(QWidget* owner, const ENCODERCHOICE::ChoiceRequest& request,
                          ENCODERCHOICE::EncoderChoice& choice);
// The same, starting from remembered (when there is none, from the last
// choice of this run), which becomes the choice on OK: the window keeps it
// across runs. The colour fields start from colourFrom when it is given.
bool ShowCompressorDialogFrom(QWidget* owner, const ENCODERCHOICE::ChoiceRequest& request,
                              ENCODERCHOICE::EncoderChoice& choice,
                              std::optional<ENCODERCHOICE::EncoderChoice>& remembered,
                              const ENCODERCHOICE::ColourAsked* colourFrom = nullptr);

}  // namespace TCOMPRESSORDIALOG
