#include "measure/post_processing.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "measure/mls_spl.h"
#include "tools/driver_fields.h"

namespace {

constexpr int kBins = kSplLinearPoints;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPhaseZeroRe = 1e-9;

PlotCurve& RealSlot(const PostProcessBuffers& b, int buffer) { return b.buffers[2 * buffer - 2]; }
PlotCurve& ImagSlot(const PostProcessBuffers& b, int buffer) { return b.buffers[2 * buffer - 1]; }

void SetColour(PlotCurve& c, float r, float g, float bl) {
    c.Red = r;
    c.Green = g;
    c.Blue = bl;
}

bool SourceIn(const char* text, int lo, int hi, int* value) {
    *value = SettingTextInteger(text);
    return *value >= lo && *value <= hi;
}

// A driver SPL whose complex value relative to 90 dB a float still holds.
bool SplFitsBuffer(double spl_db) { return FitsFloat(spl_db) && FitsFloat(std::pow(10.0, 0.05 * (spl_db - 90.0))); }

bool Refuse(MessageList* out) {
    AddWarning(out, kPostResultOutOfRange);
    return false;
}

// The response times e^(-j theta).
void Rotate(float* re, float* im, double theta) {
    const double c = std::cos(theta), s = std::sin(theta);
    const double r = *re, i = *im;
    *re = static_cast<float>(r * c + i * s);
    *im = static_cast<float>(i * c - r * s);
}

}  // namespace

void MeasuredPairSlots(uint32_t spl_slot, uint32_t phase_slot, int* spl, int* phase) {
    *spl = static_cast<int>((spl_slot + kMlsSlotPairs - 1) % kMlsSlotPairs);
    *phase = kMlsSlotPairs + static_cast<int>((phase_slot + kMlsSlotPairs - 1) % kMlsSlotPairs);
}

void RefreshMeasuredPair(const PostProcessBuffers& b) {
    int spl, phase;
    MeasuredPairSlots(b.spl_slot, b.phase_slot, &spl, &phase);
    for (int k = 0; k < kBins; ++k) {
        b.mls_curves[spl].Values[k] = b.driver->spl_lin[k] - 90.0f;
        b.mls_curves[phase].Values[k] = b.driver->phase_lin[k];
    }
}

void ToggleMeasuredPair(const PostProcessBuffers& b) {
    int spl, phase;
    MeasuredPairSlots(b.spl_slot, b.phase_slot, &spl, &phase);
    const float shown = b.mls_curves[spl].Visible == 1.0f ? 0.0f : 1.0f;
    b.mls_curves[spl].Visible = shown;
    b.mls_curves[phase].Visible = shown;
}

void SplToComplex(double spl_db, double phase_deg, float* re, float* im) {
    const double a = std::pow(10.0, 0.05 * (spl_db - 90.0));
    const double p = phase_deg * kPostRadiansPerDegree;
    *re = static_cast<float>(a * std::cos(p));
    *im = static_cast<float>(a * std::sin(p));
}

double ComplexToSpl(float re, float im) {
    return 10.0 * std::log10(static_cast<double>(re) * re + static_cast<double>(im) * im + 1e-16) + 90.0;
}

double ComplexToPhase(float re, float im) {
    return std::atan2(static_cast<double>(im), re == 0.0f ? kPhaseZeroRe : static_cast<double>(re)) * kSplDegreesPerRadian;
}

bool StoreSplInBuffer(const PostProcessBuffers& b, int buffer, MessageList* out) {
    for (int k = 0; k < kBins; ++k)
        if (!SplFitsBuffer(b.driver->spl_lin[k]) || !std::isfinite(b.driver->phase_lin[k])) return Refuse(out);
    PlotCurve& re = RealSlot(b, buffer);
    PlotCurve& im = ImagSlot(b, buffer);
    CopyCurvePen(re, b.colours[2 * buffer - 1]);
    CopyCurvePen(im, b.colours[2 * buffer]);
    for (int k = 0; k < kBins; ++k) SplToComplex(b.driver->spl_lin[k], b.driver->phase_lin[k], &re.Values[k], &im.Values[k]);
    return true;
}

void ClearPostBuffer(const PostProcessBuffers& b, int buffer) {
    PlotCurve& re = RealSlot(b, buffer);
    PlotCurve& im = ImagSlot(b, buffer);
    std::memset(&re, 0, sizeof re);
    std::memset(&im, 0, sizeof im);
    SetColour(re, 255, 255, 255);
    SetColour(im, 192, 0, 0);
}

bool SumIntoMaster(const PostProcessBuffers& b, const int weights[kPostBuffers], MessageList* out) {
    auto sum = [&](int k, bool imaginary) {
        double v = 0.0;
        for (int buffer = 1; buffer <= kPostBuffers; ++buffer) {
            const int w = weights[buffer - 1];
            if (w != 0) v += w * (imaginary ? ImagSlot(b, buffer) : RealSlot(b, buffer)).Values[k];
        }
        return v;
    };
    for (int k = 0; k < kBins; ++k)
        if (!FitsFloat(sum(k, false)) || !FitsFloat(sum(k, true))) return Refuse(out);
    PlotCurve& mr = b.buffers[kMasterRealSlot];
    PlotCurve& mi = b.buffers[kMasterRealSlot + 1];
    CopyCurvePen(mr, b.colours[1]);
    CopyCurvePen(mi, b.colours[2]);
    for (int k = 0; k < kBins; ++k) {
        mr.Values[k] = static_cast<float>(sum(k, false));
        mi.Values[k] = static_cast<float>(sum(k, true));
    }
    return true;
}

int MergeSplitBin(const float* bin_frequency, double frequency) {
    double f = frequency;
    if (!(f > 1.0)) f = 1.0;
    if (f > bin_frequency[kBins - 2]) f = bin_frequency[kBins - 2];
    for (int k = 0; k < kBins; ++k)
        if (f < bin_frequency[k]) return k == 0 ? 0 : k - 1;
    return kBins - 2;
}

bool MergeIntoMaster(const PostProcessBuffers& b, const char* source1, const char* source2, const char* frequency,
                     MessageList* out) {
    int s1, s2;
    if (!SourceIn(source1, 1, kPostBuffers, &s1)) {
        AddWarning(out, kIncorrectMerge1);
        return false;
    }
    if (!SourceIn(source2, 1, kPostBuffers, &s2)) {
        AddWarning(out, kIncorrectMerge2);
        return false;
    }
    const int m = MergeSplitBin(b.bin_frequency, SettingTextNumber(frequency));
    PlotCurve& mr = b.buffers[kMasterRealSlot];
    PlotCurve& mi = b.buffers[kMasterRealSlot + 1];
    for (int k = 0; k < kBins; ++k) {
        const int s = k < m ? s1 : s2;
        mr.Values[k] = RealSlot(b, s).Values[k];
        mi.Values[k] = ImagSlot(b, s).Values[k];
    }
    return true;
}

bool AddGainToBuffer(const PostProcessBuffers& b, const char* db_text, const char* destination, MessageList* out) {
    int d;
    if (!SourceIn(destination, 0, kMasterBuffer, &d)) {
        AddWarning(out, kIncorrectSaveDestination);
        return false;
    }
    const double x = std::strtod(db_text, nullptr);
    if (!InTypedRange(x, kPostGainRange, out)) return false;
    // A gain that would carry any point beyond float range changes nothing: the curve is checked whole first. The
    // driver's SPL must stay within what its complex form holds, or a later delay or store turns it into NaN.
    if (d == 0) {
        for (int k = 0; k < kBins; ++k)
            if (!SplFitsBuffer(b.driver->spl_lin[k] + x)) return Refuse(out);
        for (int k = 0; k < kBins; ++k) b.driver->spl_lin[k] = static_cast<float>(b.driver->spl_lin[k] + x);
        RefreshMeasuredPair(b);
        return true;
    }
    const double g = std::pow(10.0, 0.05 * x);
    PlotCurve& re = RealSlot(b, d);
    PlotCurve& im = ImagSlot(b, d);
    for (int k = 0; k < kBins; ++k)
        if (!FitsFloat(re.Values[k] * g) || !FitsFloat(im.Values[k] * g)) return Refuse(out);
    for (int k = 0; k < kBins; ++k) {
        re.Values[k] = static_cast<float>(re.Values[k] * g);
        im.Values[k] = static_cast<float>(im.Values[k] * g);
    }
    return true;
}

bool AddDelayToBuffer(const PostProcessBuffers& b, const char* ms_text, const char* destination, MessageList* out) {
    int d;
    if (!SourceIn(destination, 0, kMasterBuffer, &d)) {
        AddWarning(out, kIncorrectSaveDestination);
        return false;
    }
    const double t = std::strtod(ms_text, nullptr);
    if (!InTypedRange(t, kPostDelayRange, out)) return false;
    if (d == 0) {
        for (int k = 0; k < kBins; ++k)
            if (!SplFitsBuffer(b.driver->spl_lin[k]) || !std::isfinite(b.driver->phase_lin[k])) return Refuse(out);
        for (int k = 0; k < kBins; ++k) {
            float re, im;
            SplToComplex(b.driver->spl_lin[k], b.driver->phase_lin[k], &re, &im);
            Rotate(&re, &im, 0.001 * kTwoPi * b.bin_frequency[k] * t);
            b.driver->spl_lin[k] = static_cast<float>(ComplexToSpl(re, im));
            b.driver->phase_lin[k] = static_cast<float>(ComplexToPhase(re, im));
        }
        RefreshMeasuredPair(b);
        return true;
    }
    PlotCurve& re = RealSlot(b, d);
    PlotCurve& im = ImagSlot(b, d);
    for (int k = 0; k < kBins; ++k)
        if (!std::isfinite(re.Values[k]) || !std::isfinite(im.Values[k])) return Refuse(out);
    for (int k = 0; k < kBins; ++k) Rotate(&re.Values[k], &im.Values[k], 0.001 * kTwoPi * b.bin_frequency[k] * t);
    return true;
}

void UnwrapBufferPhase(const PlotCurve& re, const PlotCurve& im, float* degrees) {
    double offset = 0.0;
    double previous = 0.0;
    for (int k = 0; k < kBins; ++k) {
        double q = ComplexToPhase(re.Values[k], im.Values[k]) + offset;
        if (k > 0 && std::fabs(previous - q) > 300.0) {
            const double turn = q <= previous ? 360.0 : -360.0;
            q += turn;
            offset += turn;
        }
        degrees[k] = static_cast<float>(q);
        previous = q;
    }
}

bool ShowPhaseDifference(const PostProcessBuffers& b, const char* source1, const char* source2, MessageList* out) {
    int s1, s2;
    if (!SourceIn(source1, 1, kPostBuffers, &s1)) {
        AddWarning(out, kIncorrectPhase1);
        return false;
    }
    if (!SourceIn(source2, 1, kPostBuffers, &s2)) {
        AddWarning(out, kIncorrectPhase2);
        return false;
    }
    PlotCurve& first = b.buffers[kPhaseDifferenceSlot];
    PlotCurve& diff = b.buffers[kPhaseDifferenceSlot + 1];
    first.Visible = 1.0f;
    diff.Visible = 1.0f;
    CopyCurvePen(diff, b.colours[2]);
    UnwrapBufferPhase(RealSlot(b, s1), ImagSlot(b, s1), first.Values);
    UnwrapBufferPhase(RealSlot(b, s2), ImagSlot(b, s2), diff.Values);
    for (int k = 0; k < kBins; ++k) {
        float v = first.Values[k] - diff.Values[k];
        for (int turns = 0; turns < 10 && v > 360.0f; ++turns) v -= 360.0f;
        diff.Values[k] = v;
    }
    return true;
}

void RebuildDriverLogCurves(HV_Driver_Data* driver, const float* bin_frequency, const float* log_frequency) {
    for (int j = 0; j < kSplLogPoints; ++j) {
        driver->spl_log[j] = kSplFloorDb;
        driver->phase_log[j] = 0.0f;
    }
    // Bins and points both rise: one walk finds, for each bin, the first point above it.
    int j = 0;
    for (int k = 0; k < kBins; ++k) {
        while (j < kSplLogPoints && !(bin_frequency[k] < log_frequency[j])) ++j;
        if (j == kSplLogPoints) break;
        driver->spl_log[j] = driver->spl_lin[k];
        driver->phase_log[j] = driver->phase_lin[k];
    }
    FillLogGridHoles(driver->spl_log, 1, kSplLogPoints, false);
    FillLogGridHoles(driver->phase_log, 1, kSplLogPoints, true);
}

bool CopyMasterBuffer(const PostProcessBuffers& b, const char* destination, MessageList* out, int* copied_to) {
    int d;
    if (!SourceIn(destination, 0, kPostBuffers, &d)) {
        AddWarning(out, kIncorrectSaveDestination);
        return false;
    }
    if (copied_to) *copied_to = d;
    const PlotCurve& mr = b.buffers[kMasterRealSlot];
    const PlotCurve& mi = b.buffers[kMasterRealSlot + 1];
    if (d > 0) {
        PlotCurve& re = RealSlot(b, d);
        PlotCurve& im = ImagSlot(b, d);
        std::memcpy(re.Values, mr.Values, sizeof re.Values);
        std::memcpy(im.Values, mi.Values, sizeof im.Values);
        CopyCurvePen(re, b.colours[1]);
        CopyCurvePen(im, b.colours[2]);
        re.Visible = 1.0f;
        return true;
    }
    for (int k = 0; k < kBins; ++k) {
        b.driver->spl_lin[k] = static_cast<float>(ComplexToSpl(mr.Values[k], mi.Values[k]));
        b.driver->phase_lin[k] = static_cast<float>(ComplexToPhase(mr.Values[k], mi.Values[k]));
    }
    RefreshMeasuredPair(b);
    RebuildDriverLogCurves(b.driver, b.bin_frequency, b.log_frequency);
    return true;
}

void ClearAllPostBuffers(const PostProcessBuffers& b) {
    for (int slot = 0; slot < kPostSlots; ++slot) {
        PlotCurve& c = b.buffers[slot];
        const bool flat = slot <= kMasterRealSlot && slot % 2 == 0;
        for (float& v : c.Values) v = flat ? 1.0f : 0.0f;
        if (flat) SetColour(c, 255, 255, 255);
    }
}

std::vector<SwatchPoint> BufferSwatchPoints(const PlotCurve& re, const PlotCurve& im, const float* bin_frequency,
                                            const float* plot_frequency, int block_frames, int left, int top) {
    std::vector<SwatchPoint> points;
    int column = 0;
    for (int k = 0; k <= 8 * block_frames && k < kBins; ++k) {
        // The columns rise with the bins: the first column above a bin is never left of the last one's.
        while (column < 2000 && !(plot_frequency[column] > bin_frequency[k])) ++column;
        if (column == 2000) break;
        const double s = static_cast<double>(re.Values[k]) * re.Values[k] + static_cast<double>(im.Values[k]) * im.Values[k];
        double y = 15.0 - 5.0 * std::log10(s + 1e-13);
        if (y < 0.0) y = 0.0;
        if (y > 45.0) y = 45.0;
        points.push_back(SwatchPoint{static_cast<int>(left + 2 + 0.06 * column), static_cast<int>(top + y), column == 0});
    }
    return points;
}
