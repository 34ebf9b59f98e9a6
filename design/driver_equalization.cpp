#include "design/driver_equalization.h"

#include <vector>

#include "engine/min_phase.h"

int BuildDriverEqualization(const PaneRecord& net, int element, const float* binFrequency, int blockFrames,
                            float* minPhaseWork) {
    if (element < 0 || element >= kMaxElements || !binFrequency || !minPhaseWork) return 1;
    // The level work array of the routine: allocated on first use, kept for the run.
    static std::vector<float> levelWork(static_cast<std::size_t>(kDriverResponseBins));
    const DriverResponse& d = net.driver_responses[element];
    const float* p = net.params[element].p;
    return BuildMinimumPhaseResponse(d.re, d.im, p[kParamLowEdge], p[kParamHighEdge], binFrequency, blockFrames,
                                     levelWork.data(), minPhaseWork);
}
