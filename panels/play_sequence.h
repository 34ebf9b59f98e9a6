#pragma once
// The road from Play to a built pair of filter banks, as portable steps over the program's records: the Play
// checks of each panel, the panes each configuration plays in their order, the recompute of one pane
// (load, validate, solve), both filter banks, and the tidy values the panels share.
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "engine/filter_synthesis.h"

struct PaneRecord;
struct WorkingNetwork;

// ---- Play checks ----------------------------------------------------------------------------------------

struct PlaySettings {
    uint32_t SystemConfiguration = 0;  // 0 Stereo .. 6 2.2 BBM
    uint32_t InputMode = 0;            // 0 "Inputs 1-2", 1 "Inputs 1-12", 2 "Inputs 1-8", 3 "Inputs 1-6"
    uint32_t BassMode = 0;             // 0 "Standard", 1 "BBM Input", 2 "Summed L+R", 3 "BBM Output"
    int SampleRate = 48000;            // the rate of HV_Sampling
    uint32_t HV_Buffer_Size = 1;       // 0..3 = 512 .. 4096 frames
    uint32_t Capture24Bit = 1;         // 0 "16 Bit MLS"
};

// The message of the first Play rule that refuses the combination, empty when Play may go on. Every control
// panel asks this one table (engine/play_checks.h), so the same settings play from each panel or from none.
std::string PlayRefusal(const PlaySettings& s);
// The WAV player's rules: the same table without the three rules its panel does not have ("Unable To Run BBM
// In 5.1HT Mode", "Unable To Run BBM With Stereo Inputs" and the 16-bit capture rule: a file has no capture
// width).
std::string WavPlayRefusal(const PlaySettings& s);

// ---- Pane schedule --------------------------------------------------------------------------------------

inline constexpr int kSchedulePanes = 9;

// One pane of the player panels' recompute, in their order.
struct PaneStep {
    int pane;               // 1..9
    int label_control;      // 60..68
    const char* short_name; // "FL", ...
    const char* ok_label;   // "FL OK", ...
    uint16_t configurations;  // bit S set when configuration S plays this pane
};
extern const PaneStep kPaneSteps[kSchedulePanes];

// The panes configuration S recomputes, in order; returns how many (0 for an unknown S).
int PaneSchedule(uint32_t configuration, int panes[kSchedulePanes]);

// The design panel's channel buttons 20001..20009: the pane each recomputes (0 for another id).
int PaneOfChannelButton(int id);

// ---- Recompute ------------------------------------------------------------------------------------------

enum class RecomputeResult { kSolved, kInvalid, kUnsolvable };

// Recomputes pane n (1..9) with the program's records: ActivePane := n, the pane into the WorkingNetwork,
// ValidateNetwork, and only when that passes SolveNetwork. Messages of both go into `messages`.
RecomputeResult RecomputePane(int pane, MessageList* messages);

// The player panels' sequence: every pane of the configuration in order until the first failure. `on_pane`
// is called after each solved pane (the panel writes its "OK" label). Returns true when all were solved.
// A pane that failed to validate or to solve ends the sequence: nothing is played from stale spectra.
template <typename OnPane>
bool RecomputeConfiguration(uint32_t configuration, MessageList* messages, OnPane on_pane) {
    int panes[kSchedulePanes];
    const int n = PaneSchedule(configuration, panes);
    for (int i = 0; i < n; ++i) {
        if (RecomputePane(panes[i], messages) != RecomputeResult::kSolved) return false;
        on_pane(panes[i]);
    }
    return true;
}

// Both filter banks from the solved spectra: the synthesis with SplOnlyEq forced to 1 (bank 0 and its copy
// in bank 1), then with the user's SplOnlyEq (bank 0 again); SplOnlyEq keeps its value.
void PrepareFilterBanks();
// What those syntheses read: the solved spectra, polarities and delays, the block size, the rate, SplOnlyEq and
// IrMethod of the records (the impulse-response dialog builds its previews from the same).
FilterSynthesisInputs GlobalSynthesisInputs();

// BlockFrames and BinFrequencyTable from the record's rate and the block-size index.
void RefreshBlockGrid();

// The step label of a pane ("FL OK") and its short name ("FL"); null for another pane.
const PaneStep* PaneStepOf(int pane);

// ---- Design panel helpers -------------------------------------------------------------------------------

// The palette kind of a click at (x, y) in the palette's own pixels: 1..6 for y strictly inside row k's 40
// pixels, `previous` on a row edge (40, 80, ...). *counts is false outside 0 < x < 40, 0 < y < 240.
int PaletteKindAt(int x, int y, int previous, bool* counts);

// "Clear Plots": the values and flag words of every curve of the PlotCurveTable to 0 (every curve hidden),
// bins 0..65535 of every OutputSpectrum to 0 and of every PhaseReferenceSpectrum to 1e-7.
void ClearPlots();

// ValidateNetwork of the WorkingNetwork again, as "Curve Selection" does after Done (it marks the curves that
// CurveViewFlags enables). Returns its code.
int RevalidateWorkingNetwork(MessageList* messages);
