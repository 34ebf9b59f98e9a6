#pragma once
// The diffraction plot without its window: the dB scale the driver record sets, the y of the curves, the
// three curve groups with their legends, and the title the run leaves on the window.
#include <string>

#include "app/driver_data.h"
#include "tools/tool_plot.h"

inline constexpr const char* kDiffractionChildTitle = "Enclosure Diffraction Modeling";
inline constexpr int kDiffractionGroupSlots = 5;

// ref and step: the leading numbers of dr.Spl_Reference and dr.Spl_Step ("90" and "5" by default). A step of
// 0 or no number places no level curve (the SPL and "Cpl" groups are skipped); the labels still read ref.
struct DiffractionScale {
    double ref = 90.0, step = 5.0;
    bool levels = true;  // the step can place level curves
};
DiffractionScale DiffractionScaleOf(const HV_Driver_Data& driver);

// Label k (0..18) of the dB axis: "%.0f" of 7 step + ref - k step; row 7 reads ref.
std::string DiffractionDbLabel(const DiffractionScale& s, int k);
// Label k of the phase axis: "%.0f" of 180 - 20k.
std::string DiffractionPhaseLabel(int k);

// y of a level value v (drawn where the axis reads v + 90) and of a phase in degrees, held in 19..Hc - 21.
int DiffractionLevelY(const ToolPlot& p, const DiffractionScale& s, double v);
int DiffractionPhaseY(const ToolPlot& p, double v);

// The groups in drawing order: "SPL" slots 0..4, "Ph" slots 5..9 (only with Show Phase), "Cpl" slots 10..14.
struct DiffractionGroup {
    const char* legend;
    int first_slot;
    int text_y;       // legend text at (Wc - 75, text_y)
    int stroke_base;  // legend stroke at y = stroke_base + 3 slot from Wc - 50 to Wc - 25
    bool phase;
};
const DiffractionGroup* DiffractionGroups();  // three entries
inline constexpr int kDiffractionGroups = 3;

// "Enclosure Diffraction Modeling  Frequency = %.1f Hz, SPL = %.2f".
std::string DiffractionRunTitle(double frequency_hz, double spl_db);
