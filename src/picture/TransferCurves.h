#pragma once

// The HDR transfer curves of ITU-R BT.2100, one owner for the subtitle's
// colours and the tone mapping alike.
namespace TRANSFERCURVES {

// PQ (SMPTE ST 2084): display light in cd/m2 to the signal 0..1, and back.
double PqSignalOf(double nits);
double NitsOfPq(double signal);
// HLG: normalised scene light 0..1 to the signal 0..1, and back.
double HlgSignalOf(double sceneLight);
double SceneOfHlg(double signal);

}  // namespace TRANSFERCURVES
