#pragma once
// The network solver: the channel in the WorkingNetwork treated as a circuit at one frequency per bin.
// The input terminal is a 1 V source behind 0.001 ohm; each filter or room-EQ block senses its input node
// through 1 Mohm and drives its output node with H times that voltage through 0.1 ohm; each output port loads
// its nodes with 10 kohm; every node holding a Ground is the reference. From the node voltages it writes each
// output's designed spectrum, phase-reference spectrum, polarity, delay, CABS settings and plot curves.
#include <cstdint>

#include "app/frequency_grids.h"
#include "app/messages.h"
#include "design/complex_matrix.h"
#include "design/network_model.h"
#include "design/network_validation.h"

inline constexpr int kSolverSpectrumPoints = 65536;     // points of OutputSpectrum cleared before copy-out
inline constexpr int kCabsSamplesPerMs = 48;            // at every sample rate, as stored tunings expect

// Circuit constants of the solve.
inline constexpr double kSourceResistanceOhm = 0.001;
inline constexpr double kSenseResistanceOhm = 1000000.0;
inline constexpr double kDriveResistanceOhm = 0.1;
inline constexpr double kLoadResistanceOhm = 10000.0;

inline constexpr const char* kReconnectSourceText = "Please reconnect network differently 0";
inline constexpr const char* kReconnectNodesText = "Please reconnect network differently 1";
inline constexpr const char* kFloatingOutputText = "OUTPUT Port Is Not Connected To GROUND";
// After the channel's name: the solve gave a value that is not a finite number (a gain or response beyond
// any float) and nothing of it is played.
inline constexpr const char* kNotFiniteText =
    ": The Solution Is Not A Finite Number\nPlease Check The Gains, Delays And Driver Data Of This Channel";

struct SolverInputs {
    int block_frames = 512;                        // N; bins 0..8N are solved
    const float* bin_frequency = nullptr;          // BinFrequencyTable, at least 8N + 1 entries (bin 0 = 0.01 Hz)
    uint32_t spl_only_eq = 0;                      // SplOnlyEq
    const ColourEntry* colour_scheme = nullptr;    // ColourScheme, entries 0..15 at least; null: pens untouched
    int thread_count = 0;                          // 0: one per hardware thread (bins are independent)
    const char* pane_name = nullptr;               // the channel named in the solver's own messages
};

// Where the solve writes. Arrays are indexed by output index o = output number - 1; complex arrays are
// interleaved (re, im) floats, as the global spectra are. Any pointer may be null, and what it would receive
// is then skipped.
struct SolverOutputs {
    float* output_spectrum[kOutputCount] = {};           // OutputSpectrum, >= 65,536 points each
    float* phase_reference_spectrum[kOutputCount] = {};  // PhaseReferenceSpectrum, >= 65,536 points
    int32_t* output_polarity = nullptr;                         // OutputPolarity[16]
    float* output_delay_ms = nullptr;                           // OutputDelayMs[16]
    int32_t* cabs_enabled = nullptr;                            // CabsEnabled[16]
    int32_t* cabs_delay_samples = nullptr;                      // CabsDelaySamples[16]
    int32_t* output_element_index = nullptr;                    // OutputElementIndex[16]
    PlotCurve* curves = nullptr;                                // PlotCurveTable, 170 slots
    // The solver's own working storage (PortElectricalResponse / PortAcousticResponse), >= 8N + 1 points each.
    // An output without both arrays gets its curves but no copy-out.
    float* electrical_response[kOutputCount] = {};
    float* acoustic_response[kOutputCount] = {};
    float* min_phase_work_spectrum = nullptr;                   // left with its first 65,536 points at 0
};

// Solves the WorkingNetwork at every bin 0..8N. First it refreshes the derived nodes (p14, p15) of the
// network, so each output reads the node of its own terminal that is not tied to a Ground. Returns 0 after a
// complete solve. Returns 1 after a message, with OutputSpectrum, PhaseReferenceSpectrum, polarity, delay and
// CABS entries untouched, when the network cannot be solved: not exactly one input terminal ("Please
// reconnect network differently 0"), an output port with no terminal on a Ground, a node outside the joint
// list, or a singular or non-finite nodal system ("Please reconnect network differently 1"); an output
// whose gain, delay or any bin of its electrical or acoustic response is not a finite number (the channel's
// name and kNotFiniteText); a CABS delay longer than the engine's ring holds at this block size (the
// channel's name and "WARNING! Maximum Delay is %.1fms").
// The Keele families write their clamped ratio back into the block's p9, as the dialog shows it.
int SolveNetwork(WorkingNetwork* net, const SolverInputs& in, const SolverOutputs& out, MessageList* messages);

// The same solve built literally from the incidence, impedance and coupling matrices with the complex matrix
// kernel, one bin after another on one thread. Slow; kept to check SolveNetwork against.
int SolveNetworkReference(WorkingNetwork* net, const SolverInputs& in, const SolverOutputs& out,
                          MessageList* messages);

// phase(z) of the curves: atan2 in degrees by the program's factor 57.288, also where Re z is exactly 0 (a
// purely imaginary z is +-90 degrees, as filter synthesis takes it), 0 for z = 0.
double CurvePhaseDegrees(double re, double im);
