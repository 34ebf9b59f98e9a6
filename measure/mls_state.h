#pragma once
// The measurement state that outlives the MLS pages, the wiring of the measurement functions to the global
// records, and the steps of Run MLS, Save IR, the imports, the resampling and Calculate SPL over those globals.
// The pages and the measurement threads only add windows, messages and streams around these.
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "measure/ir_import.h"
#include "measure/mls_analysis.h"
#include "measure/mls_sequence.h"
#include "measure/mls_spl.h"
#include "measure/res_file.h"

extern int MlsOrder;                 // register order of the current sequence, 13..18
extern int32_t RefPeakIndex;         // first-pass peaks of the last run (1 after an import, 0 for none)
extern int32_t InPeakIndex;
extern float RefLevelPeak;           // the levels of the last capture or import
extern float InLevelPeak;
extern uint32_t MlsStartTimes[2];    // low words of the performance counter: capture start, render start
extern int32_t MlsStartOffsetMs;
extern uint32_t IrPresent;           // 1 after any Run MLS that was not refused
extern uint32_t MlsSplSlot;          // next SPL and phase slot pair of Calculate SPL, 0..9
extern uint32_t MlsPhaseSlot;
extern uint8_t* MlsCaptureBuffer;    // kMlsCaptureBytes each while a measurement page holds them
extern uint8_t* MlsSavedBuffer;
extern uint32_t MlsSavedCapture24;   // the sample width of what MlsSavedBuffer holds
extern uint32_t MlsSavedRateIndex;   // and the rate and length it was captured with
extern uint32_t MlsSavedLengthIndex;
extern bool MlsSavedHoldsCapture;    // MlsSavedBuffer holds a complete capture or a loaded file
extern float MlsMeterScale;          // what the level meters multiply the levels by after the last run or import

inline constexpr const char* kMlsNoCaptureToSave =
    "There Is No MLS Capture To Save\nRun MLS Or Load A *.RES File First";

// The two bars of the input level meters after the last run, load or import, in the order the meters take
// them: the reference ("Ref"), then the measured channel ("In").
struct MlsMeterValues {
    float ref = 0.0f;
    float in = 0.0f;
};
MlsMeterValues CurrentMeterValues();

// The capture buffers, zeroed; kept until FreeMlsCaptureBuffers. Returns 0, or 1 when memory ran out (then
// neither exists).
int AllocateMlsCaptureBuffers();
void FreeMlsCaptureBuffers();
// The buffers for one more window that measures (the MLS page, the room equalizer): allocated for the first,
// shared with the others; each release is one user fewer, and the last one frees them, so a window that closes
// never frees them under another that is still open. Acquire returns 0, or 1 when memory ran out (then that
// window holds nothing and need not release).
int AcquireMlsCaptureBuffers();
void ReleaseMlsCaptureBuffers();
int MlsCaptureBufferUsers();

// The functions' buffers as the global records provide them (AllocateDspBuffers and AllocateCurveBuffers must
// have run).
MlsTables GlobalMlsTables();
MlsStimulusBuffers GlobalMlsStimulusBuffers();
MlsDeconvolutionBuffers GlobalMlsDeconvolutionBuffers();
SplBuffers GlobalSplBuffers();

// The settings as the pages keep them (MlsSettings, Capture24Bit, the polarities, the output delay text).
double MlsSampleRate();  // of MlsRateIndex
MlsStimulusSettings CurrentStimulusSettings();
MlsSplitSettings CurrentSplitSettings(uint32_t capture24);
SplSettings CurrentSplSettings(int32_t cursor_bin);

// Run MLS, steps before the streams start or the file is read: the spectrum work arrays and every run buffer
// cleared, the driver's log-grid curves blanked, IrPresent set, the stamps and the capture buffer zeroed.
// Refused (false, nothing changes but the spectrum arrays) while EngineRunning is set.
bool BeginMlsRun();

// After a live run: the first 263,500 frames of the capture kept in MlsSavedBuffer when the run is `complete`
// (a failed run keeps the previous capture there), then the split (levels into RefLevelPeak and InLevelPeak), the
// start-offset correction (only when `stamps_valid`, both threads having stamped their first period), and the
// deconvolution of both channels.
MlsAnalysisResult FinishLiveMlsRun(bool stamps_valid, bool complete = true);

// "Use Saved Buffer" with a *.RES file: the file into the capture, its rate and length taken over, the tables
// rebuilt for its order, kept in MlsSavedBuffer, split and deconvolved as a live run (no start-offset
// correction: the file carries no stamps). False when the file was refused (its message in `out`; the
// channels stay as BeginMlsRun left them).
bool LoadMlsResRun(const std::string& path, MessageList* out, MlsAnalysisResult* result);

// The capture (MlsCaptureBuffer, `capture24` its width) kept in MlsSavedBuffer with the width, rate and length
// it was taken with, so that a later save describes it whatever the settings say by then.
void KeepMlsSavedCapture(uint32_t capture24);

// Save IR: the saved capture as a *.RES file of the width, rate and length it was captured with. Nothing happens (0, no
// message) while EngineRunning is set, before any run, or without a saved buffer; a saved buffer that holds no
// capture (no run completed, no file loaded since the buffers were made) is refused with a message.
int SaveMlsIr(const std::string& path, MessageList* out);
// Whether Save IR may go on to its picker: false without a message in the silent cases above, false with the
// message when the saved buffer holds no capture.
bool MlsIrSavable(MessageList* out);

// "Use Saved Buffer" with a WAV or text file, after ReadImpulseWav (and the channel question for a stereo
// file) or directly: the import into the two channels, peaks 1, levels (a channel longer than the buffer is cut,
// with a warning in `out`).
void ApplyWavImport(const ImpulseWav& wav, int channel, MessageList* out = nullptr);
bool ImportTextRun(const std::string& path, MessageList* out);

// "From 48kHz IR": both responses resampled in place (hold-and-pick when `upsample_decimate` is 1, linear
// interpolation otherwise); MlsRateIndex becomes 0.
void ResampleImpulsesTo44k(uint32_t upsample_decimate);

// Calculate SPL over the globals.
SplResult CalculateSplNow(int32_t cursor_bin, MessageList* out);
