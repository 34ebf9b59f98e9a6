#include "measure/room_eq_run.h"

#include "app/settings.h"
#include "measure/room_eq.h"

namespace {

// Location files of panes 1..9.
constexpr const char* kPaneFileStems[] = {"Front_Left", "Centre",     "Front_Right", "Rear_Left",  "Subwoofer",
                                          "Rear_Right", "Subwoofer2", "Side_Left",   "Side_Right"};
constexpr int kPaneStemCount = sizeof kPaneFileStems / sizeof kPaneFileStems[0];

}  // namespace

float LocationMeterScale(uint32_t capture24) { return capture24 ? kLocationMeterScale24 : kLocationMeterScale16; }

MlsSplitSettings LocationSplitSettings(uint32_t capture24, int32_t ref_polarity, int32_t data_polarity) {
    MlsSplitSettings s;
    s.capture24 = capture24 ? 1 : 0;
    s.delay_read = 0;
    s.ref_polarity = ref_polarity;
    s.data_polarity = data_polarity;
    return s;
}

LocationDeconvolution DeconvolveLocation(float* ref, float* in, int order, const MlsDeconvolutionBuffers& b,
                                         PlotCurve* ref_display, PlotCurve* in_display, const ColourEntry* colours) {
    LocationDeconvolution r;
    r.ref_peak = MlsDeconvolveFirstPass(ref, order, b).peak;
    MlsDeconvolveSecondPass(ref, order, r.ref_peak, r.ref_peak, b);
    FillImpulseTrace(ref_display, ref, colours[kPenReferenceImpulse], kRoomEqImpulsePoints);
    r.in_peak = MlsDeconvolveFirstPass(in, order, b).peak;
    if (r.ref_peak == 0 || r.in_peak == 0) return r;
    MlsDeconvolveSecondPass(in, order, r.in_peak, r.ref_peak, b);
    FillImpulseTrace(in_display, in, colours[kPenMeasuredImpulse], kRoomEqImpulsePoints);
    r.aligned = true;
    return r;
}

std::string LocationFileName(int pane, int location) {
    if (pane < 1 || pane > kPaneStemCount || location < 0 || location >= kRoomEqLocationCount) return {};
    return std::string(kPaneFileStems[pane - 1]) + "_L" + std::to_string(location + 1) + ".res";
}
