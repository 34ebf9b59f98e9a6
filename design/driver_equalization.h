#pragma once
// The output-port dialog's driver equalization step: the minimum-phase response of an output element's
// driver inside its band F1..F2, written into the first 16N points of MinPhaseWorkSpectrum.
#include "design/network_model.h"

// Returns 0 when the response was built, 1 when it could not be (N out of range); the work spectrum then
// keeps what it held (flat after the dialog's preparation).
int BuildDriverEqualization(const PaneRecord& net, int element, const float* binFrequency, int blockFrames,
                            float* minPhaseWork);
