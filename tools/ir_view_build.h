#pragma once
// The impulse-response dialog's builds over the program's own records: the solved spectra, the window settings
// of the system record, the global windows and tapers, and the export buffers (IrExportBuffers[0] holds the
// response being drawn, [1] the shifted response, [2] the driver-convolved one). Everything the views draw and
// the file writer saves comes from here, so the views, the exported file and the engine's filters agree.
#include <cstdint>

#include "tools/ir_preview.h"

// The preview buffers of the globals (the synthesis inputs are those of Play: GlobalSynthesisInputs).
IrPreviewBuffers IrPreviewBuffersOfGlobals();

// The main build of IrOutput with the dialog's window length and type; the response is also stored in
// OutputImpulseResponse of that output.
void BuildMainView();
// What a save writes, each output built with its own stored window settings (those the summary lists and
// the engine's filter uses, not the window the dialog shows now) into OutputImpulseResponse: the response of
// IrOutput and, for "WAV 24bit Stereo, Different Data", that of IrSecondOutput (built first).
void BuildResponsesToSave();
// The windows and the response of output o with the dialog's window, without storing the response.
void BuildWindowsOnly(int o);
// The build of IrSummaryOutput with its stored window settings, without storing the response.
void BuildSummaryView();
// The driver convolution of the response built last, for output o, into `convolved`, and its SPL and phase
// into LogCurveTable slots 136 and 137. False when the output has no driver response to convolve with.
bool BuildDriverConvolution(int o, float* convolved);
// The non-linearised response of output o into IrExportBuffers[0].
bool BuildMinimumPhaseView(int o);

// The spectrum of a response (real parts of samples 0..16N-1 of an interleaved array) on the log grid, into a
// LogCurveTable SPL slot and phase slot, with the dialog's FFT length, the delay of the method and the Nyquist
// limit, gaps filled.
void IrLogSpectrumToSlots(const float* response, int spl_slot, int phase_slot);
