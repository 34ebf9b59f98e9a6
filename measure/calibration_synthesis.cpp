#include "measure/calibration_synthesis.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/text_export.h"
#include "design/filter_families.h"
#include "measure/mls_spl.h"

namespace {

constexpr int kBins = kSplLinearPoints;
constexpr double kMikeFloor = 1e-10;
constexpr double kPreampFloor = 1e-13;
constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();

// The shelves of this dialog, in the design's naming: its falling shelves are the design's rising ones.
int DesignFamilyOf(uint32_t type) {
    switch (type) {
        case 4: return kFamilyShelvingPlus6;
        case 5: return kFamilyShelvingPlus12;
        case 6: return kFamilyShelvingMinus6;
        case 7: return kFamilyShelvingMinus12;
        default: return static_cast<int>(type);
    }
}

void ShowWithPen(PlotCurve& c, const ColourEntry& e) {
    c.Visible = 1.0f;
    CopyCurvePen(c, e);
}

}  // namespace

CalSectionSet DefaultCalSections() {
    CalSectionSet s{};
    s.sections[0] = CalSection{1, 5, 10.0f, 20.0f, -10.0f};
    s.sections[1] = CalSection{1, 3, 20000.0f, 20.0f, -10.0f};
    s.sections[2] = CalSection{3, 2, 15000.0f, 10.0f, 10.0f};
    s.sections[3] = CalSection{3, 1, 20000.0f, 10.0f, 14.0f};
    s.sections[4] = CalSection{3, 4, 30000.0f, 7.0f, 13.0f};
    s.invert = 0;
    return s;
}

CalSectionSet CalSections = DefaultCalSections();

CalResponse FilterSectionResponse(const CalSectionSet& sections, float f, uint32_t type, uint32_t slope, float cutoff,
                                  uint32_t section) {
    if (type >= kCalTypeBypass || slope >= kFilterSlopeCount || section >= kCalSections) return {1.0f, 0.0f};
    const CalSection& s = sections.sections[section];
    const AnalogResponse h = AnalogSectionResponse(DesignFamilyOf(type), static_cast<int>(slope), f, cutoff, s.q, s.gain);
    return {static_cast<float>(h.re), static_cast<float>(h.im)};
}

bool AcceptCalSections(CalSectionSet* sections, bool raised[kCalSections], std::string* refusal) {
    for (int s = 0; s < kCalSections; ++s) {
        raised[s] = !(sections->sections[s].cutoff >= 1.0f);
        if (raised[s]) sections->sections[s].cutoff = 1.0f;
    }
    // Each message names its section as the Linkwitz refusal does: "HP ..." for section 0, "LP ... s" after it.
    auto section_message = [](int s, const char* text) {
        std::string m(s == 0 ? "HP " : "LP ");
        m += text;
        if (s != 0) m += ' ' + std::to_string(s);
        return m;
    };
    for (int s = 0; s < kCalSections; ++s) {
        const CalSection& c = sections->sections[s];
        const bool odd = c.slope == 0 || c.slope == 2 || c.slope == 5 || c.slope == 7;
        if (c.type == kCalTypeLinkwitz && odd) {
            *refusal = section_message(s, "Option NOT Applicable To Linkwitz Filters");
            return false;
        }
        // A typed number beyond these ranges (or one that is no number) can make the sections' product overflow;
        // only what the section's type uses is checked (the gain for types 3..7, the Q for type 3).
        const TypedRange* out_of_range = nullptr;
        if (c.type >= kCalTypeBypass) continue;
        const bool uses_gain = c.type >= kCalTypeQParametric, uses_q = c.type == kCalTypeQParametric;
        if (!InTypedRange(c.cutoff, kCalCutoffRange, nullptr)) out_of_range = &kCalCutoffRange;
        else if (uses_gain && !InTypedRange(c.gain, kCalGainRange, nullptr)) out_of_range = &kCalGainRange;
        else if (uses_q && !InTypedRange(c.q, kCalQRange, nullptr)) out_of_range = &kCalQRange;
        if (out_of_range) {
            *refusal = section_message(s, out_of_range->message);
            return false;
        }
    }
    refusal->clear();
    return true;
}

namespace {

// The curve's point at frequency f: the product of the five sections, inverted when set, in dB and degrees.
CalPoint CalibrationPoint(const CalSectionSet& sections, float f, double floor) {
    double re = 1.0, im = 0.0;
    for (uint32_t s = 0; s < kCalSections; ++s) {
        const CalSection& c = sections.sections[s];
        const CalResponse h = FilterSectionResponse(sections, f, c.type, c.slope, c.cutoff, s);
        const double r = re * h.re - im * h.im;
        im = re * h.im + im * h.re;
        re = r;
    }
    if (!std::isfinite(re) || !std::isfinite(im)) return CalPoint{kNotANumber, kNotANumber};  // refused by the caller
    if (sections.invert == 1) {
        double n = re * re + im * im;
        if (!(n >= floor)) {
            // Held at the floor first: the inverse of nothing is the floor's opposite. The magnitude comes from
            // hypot, since n itself may have underflowed where re and im have not.
            const double magnitude = std::hypot(re, im);
            if (magnitude > 0.0) {
                const double scale = std::sqrt(floor) / magnitude;
                re *= scale;
                im *= scale;
            } else {
                re = std::sqrt(floor);
                im = 0.0;
            }
            n = floor;
        }
        re = re / n;
        im = -im / n;
    }
    const float spl = static_cast<float>(10.0 * std::log10(re * re + im * im + floor));
    const float phase = static_cast<float>(kSplDegreesPerRadian * std::atan2(im, re == 0.0 ? 1e-6 : re));
    return CalPoint{spl, phase};
}

}  // namespace

bool SynthesizeCalibrationCurve(CalTarget target, const CalSectionSet& sections, const float* bin_frequency,
                                CalPoint* curve, PlotCurve* mls_curves, CalPoint* driver_copy,
                                const ColourEntry* colours, MessageList* out) {
    const bool mike = target == CalTarget::kMike;
    const double floor = mike ? kMikeFloor : kPreampFloor;
    // The whole curve is checked before any of it is stored: a point that is not a number would reach every
    // measurement that uses the curve.
    for (int k = 0; k < kBins; ++k) {
        const CalPoint p = CalibrationPoint(sections, bin_frequency[k], floor);
        if (!std::isfinite(p.spl_db) || !std::isfinite(p.phase_deg)) {
            char text[160];
            std::snprintf(text, sizeof text, kCalCurveNotFinite, static_cast<double>(bin_frequency[k]));
            AddWarning(out, text);
            return false;
        }
    }
    PlotCurve& spl_slot = mls_curves[mike ? 25 : 27];
    PlotCurve& phase_slot = mls_curves[mike ? 26 : 28];
    for (int k = 0; k < kBins; ++k) {
        const CalPoint p = CalibrationPoint(sections, bin_frequency[k], floor);
        curve[k] = p;
        driver_copy[k] = p;
        spl_slot.Values[k] = p.spl_db;
        phase_slot.Values[k] = p.phase_deg;
    }
    ShowWithPen(spl_slot, colours[mike ? 5 : 3]);
    ShowWithPen(phase_slot, colours[mike ? 6 : 4]);
    return true;
}

std::string CalConstructionRefusal(uint32_t use_mike, uint32_t use_preamp) {
    if (use_mike == 1 && use_preamp == 1) return "Please Select Either Mike File Or Preamp File For Construction";
    return "";
}

std::string CalExportRefusal(uint32_t use_mike, uint32_t use_preamp) {
    if ((use_mike == 1) == (use_preamp == 1)) return kSelectOneCalFile;
    return "";
}
