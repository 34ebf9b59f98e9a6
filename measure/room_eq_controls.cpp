#include "measure/room_eq_controls.h"

#include <cmath>
#include <cstdio>

#include "app/colour_editor.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/typed_numbers.h"
#include "design/element_dialogs.h"
#include "design/network_model.h"
#include "measure/room_eq.h"
#include "measure/room_eq_resource_ids.h"
#include "measure/room_eq_state.h"

namespace {

constexpr int kPlotLeft = 60;
constexpr int kPlotColumnScale = 2000;
constexpr int kPlotDrawWidth = 1840;  // 800 x 2.4 - 80
constexpr int kLastMouseColumn = 782;
constexpr int kSplBandTop = 215, kSplBandBottom = 535;
constexpr int kDelayBandTop = 570, kDelayBandBottom = 730;
constexpr int kWindowTimeChars = 7;
constexpr int kWindowWidthChars = 8;
constexpr double kShortestWindowMs = 1.0;

std::string Cut(const std::string& s, std::size_t n) { return s.size() > n ? s.substr(0, n) : s; }

double RateOf(uint32_t rate_index) { return SampleRateOf(rate_index); }

void CopyText(char* dest, int width, const std::string& text) { CopySettingText(dest, width, text.c_str()); }

bool InBand(int y, int top, int bottom) { return y > top && y < bottom; }

struct ParamLimit {
    int control, param;
    TypedRange range;
};
constexpr ParamLimit kParamLimits[] = {
    {IDC_ROOMEQ_SLOPE, kParamFilterGain, kRoomEqSlopeLimits},
    {IDC_ROOMEQ_ADD_DB, kParamOutputGain, kRoomEqAddedLevelLimits},
    {IDC_ROOMEQ_ADD_DELAY, kParamChannelDelay, kRoomEqAddedDelayLimits},
};

}  // namespace

std::string RoomEqCorrectionName(int entry) {
    if (entry >= 0 && entry < kRoomEqCorrectionEntries - 1) return "Output Port " + std::to_string(entry + 1);
    return "No Correction";
}

RoomEqBoxTexts RoomEqOpeningTexts(const float* p) {
    RoomEqBoxTexts t;
    t.add_db = FormatValue("%.1f", p[kParamOutputGain]);
    t.add_delay = FormatValue("%.4f", p[kParamChannelDelay]);
    t.from = FormatValue("%.1f", p[kParamLowEdge]);
    t.to = FormatValue("%.1f", p[kParamHighEdge]);
    t.slope = FormatValue("%.2f", p[kParamFilterGain]);
    return t;
}

bool ApplyRoomEqBox(int control, const std::string& text, float* p, MessageList* out) {
    const float v = static_cast<float>(ReadDialogNumber(text, kRoomEqBoxChars));
    switch (control) {
        case IDC_ROOMEQ_FROM: p[kParamLowEdge] = v < kRoomEqLowestBandEdge ? kRoomEqLowestBandEdge : v; return true;
        case IDC_ROOMEQ_TO: p[kParamHighEdge] = v > kRoomEqHighestBandEdge ? kRoomEqHighestBandEdge : v; return true;
        default: break;
    }
    for (const ParamLimit& l : kParamLimits) {
        if (l.control != control) continue;
        // Read as typed, so that "1e39" (no float holds it) is refused like any value out of range.
        if (!TypedFloatWithin(text, l.range.lowest, l.range.highest, &p[l.param], kRoomEqBoxChars))
            AddWarning(out, l.range.message);
        return true;
    }
    return false;
}

bool RoomEqParamsInRange(const float* p, MessageList* out) {
    for (const ParamLimit& l : kParamLimits)
        if (!InTypedRange(p[l.param], l.range, out)) return false;
    return true;
}

std::string RoomEqWindowTimeText(const char* width_text, uint32_t rate_index) {
    return Cut(FormatValue("%f", SettingTextNumber(width_text) * 1000.0 / RateOf(rate_index)), kWindowTimeChars);
}

std::string ApplyRoomEqWindowTime(const std::string& box_text, uint32_t rate_index) {
    std::string shown;
    std::string time = Cut(box_text, kRoomEqBoxChars);
    if (!(SettingTextNumber(time.c_str()) >= kShortestWindowMs)) {
        time = "1.0";
        shown = time;
    }
    CopyText(MlsSettings.TimeMsText, kSettingTextWidth, time);
    const double width = SettingTextNumber(time.c_str()) * RateOf(rate_index) * 0.001;
    CopyText(MlsSettings.WindowWidthText, kSettingTextWidth, Cut(FormatValue("%f", width), kWindowWidthChars));
    return shown;
}

std::string RoomEqVolumeLabel(uint32_t level) {
    char text[32];
    std::snprintf(text, sizeof text, "Volume = %u%%", level);
    return text;
}

int RoomEqVolumeScroll(int current, int code, int thumb) {
    return ScrollBarValue(current, code, thumb, ScrollBarSteps{1, 10, 0, 100});
}

int RoomEqThresholdScroll(int current, int code, int thumb) {
    return ScrollBarValue(current, code, thumb, ScrollBarSteps{1, 10, kRoomEqThresholdTop, kRoomEqThresholdBottom});
}

int RoomEqColumnAt(int x) {
    const int c = (x - kPlotLeft) * kPlotColumnScale / kPlotDrawWidth;  // truncated toward zero
    return c >= 0 && c <= kLastMouseColumn ? c : -1;
}

int RoomEqBinOfColumn(int column) {
    const int last = 8 * BlockFrames;
    const float f = RoomEqPlotFrequencyTable[column < 0 ? 0 : column >= kRoomEqPlotColumns ? kRoomEqPlotColumns - 1 : column];
    for (int k = 0; k <= last && k < kRoomEqGridBins; ++k)
        if (BinFrequencyTable[k] >= f) return k;
    return last + 1 < kRoomEqGridBins ? last + 1 : kRoomEqGridBins - 1;
}

bool RoomEqCaptionAt(int x, int y, std::string* caption) {
    const bool spl = InBand(y, kSplBandTop, kSplBandBottom), delay = InBand(y, kDelayBandTop, kDelayBandBottom);
    if (!spl && !delay) {
        *caption = kRoomEqCaption;
        return true;
    }
    const int c = RoomEqColumnAt(x);
    if (c < 0) return false;
    const int k = RoomEqBinOfColumn(c);
    char text[160];
    if (spl)
        std::snprintf(text, sizeof text, "%s: Ampl = %.2f dB, Phase = %.2f deg, Freq = %.1f Hz", kRoomEqCaption,
                      RoomEqCurves[kRoomEqAverageSplSlot].Values[k] + kRoomEqLevelOffset,
                      static_cast<double>(RoomEqCurves[kRoomEqAveragePhaseSlot].Values[k]),
                      static_cast<double>(BinFrequencyTable[k]));
    else
        std::snprintf(text, sizeof text, "%s: Excess Group Delay = %.1f ms,  Freq = %.1f Hz", kRoomEqCaption,
                      static_cast<double>(RoomEqCurves[kRoomEqGroupDelaySlot].Values[k]),
                      static_cast<double>(BinFrequencyTable[k]));
    *caption = text;
    return true;
}

RoomEqBandClick RoomEqClickBand(bool left, int x, int y, const float* p, std::string* text) {
    if (!InBand(y, kSplBandTop, kSplBandBottom)) return RoomEqBandClick::kNone;
    const int c = RoomEqColumnAt(x);
    if (c < 0) return RoomEqBandClick::kNone;
    const float f = BinFrequencyTable[RoomEqBinOfColumn(c)];
    if (left ? f >= p[kParamHighEdge] : p[kParamLowEdge] >= f) return RoomEqBandClick::kError;
    *text = FormatValue("%.1f", f);
    return RoomEqBandClick::kSet;
}
