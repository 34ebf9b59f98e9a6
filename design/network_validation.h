#pragma once
// Connectivity and validation of a channel network: wires become joints (electrical nodes), every element
// terminal gets its node number, and ValidateNetwork decides whether a network can be solved and routed.
// On success it fills the RoutingMatrix from all nine panes and marks the plot curves of this channel valid.
#include <cstdint>

#include "app/global_records.h"
#include "app/messages.h"
#include "app/settings.h"
#include "design/network_model.h"

inline constexpr const char* kSplitterWindowCaption = "Splitter Window";

inline constexpr int kNetworkInputPorts = 9;     // input ports 1..9 (9 is the phantom BBM port)
inline constexpr int kRoutingMatrixRows = 10;    // rows 0..8 are input ports 1..9, row 9 is spare
inline constexpr int kRoutingMatrixColumns = kOutputCount;  // column c is output c + 1

// Curve slot groups of the PlotCurveTable (k = output number - 1).
inline constexpr int kCurveFilterSpl = 0;
inline constexpr int kCurveDriverSpl = 16;
inline constexpr int kCurveHbtSpl = 32;
inline constexpr int kCurveFinalSpl = 48;
inline constexpr int kCurveFilterPhase = 64;
inline constexpr int kCurveDriverPhase = 80;
inline constexpr int kCurveHbtPhase = 96;
inline constexpr int kCurveFinalPhase = 112;
inline constexpr int kCurveSystemSpl = 129;
inline constexpr int kCurveSystemPhase = 130;
inline constexpr int kCurveHbtFilterSpl = 133;
inline constexpr int kCurveHbtFilterPhase = 149;

// OutputMode values.
inline constexpr uint32_t kOutputModeEight = 0;   // "8 Outputs"
inline constexpr uint32_t kOutputModeSixteen = 1; // "16 Outputs"
inline constexpr uint32_t kOutputModeSpdif = 2;   // "8 + SPDIF"

// Result codes of ValidateNetwork.
inline constexpr int kValidationOk = 0;
inline constexpr int kValidationRefused = 1;
inline constexpr int kValidationInputPortRange = 2;
inline constexpr int kValidationDuplicateOutputs = 4;
inline constexpr int kValidationTooManyRoutes = 5;

// Everything validation reads and writes besides the WorkingNetwork; the program passes its globals
// (PaneRecords, OutputMode, CurveViewFlags, RoutingMatrix, PlotCurveTable), tests their own buffers.
struct ValidationContext {
    const PaneRecord* const* panes = nullptr;     // panes[n - 1] is pane n; nine entries, null ones are skipped
    uint32_t output_mode = kOutputModeSixteen;    // OutputMode
    const uint32_t* curve_view_flags = nullptr;   // CurveViewFlags[12]; null marks nothing
    int32_t (*routing_matrix)[kRoutingMatrixColumns] = nullptr;  // RoutingMatrix[10][16]
    PlotCurve* curves = nullptr;                  // PlotCurveTable (170 slots); null leaves the flags alone
};

// 1 when (x1, y1) lies on terminal 1 or 2 of some element slot and (x2, y2) does too (all 32 slots take
// part, in use or not); otherwise 0.
int WireEndsOnTerminals(const PaneRecord& net, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Rebuilds every joint from the wire list, numbers every terminal and refuses two filter-block outputs on
// one node. Returns 0, or 1 after "Parallel Connection of Outputs Is NOT Permitted...". A wire that overflows
// a joint raises "Unable to proceed, too many joints !" and the rebuild goes on with the next wire. Messages
// carry the caption "Splitter Window".
int RebuildJoints(PaneRecord* net, MessageList* messages);

// The steps of RebuildJoints, exposed for tests and for the editor.
int AddWireToJoints(PaneRecord* net, int32_t xa, int32_t ya, int32_t xb, int32_t yb, MessageList* messages);
int MergeJoints(PaneRecord* net);
void RemoveRepeatedJointPoints(PaneRecord* net);
void NumberTerminals(PaneRecord* net);

// Checks the WorkingNetwork of one channel before it is solved: 0 when it may be solved, otherwise the code
// of the first failed check after its message (caption "HV Message").
int ValidateNetwork(const PaneRecord& net, const ValidationContext& context, MessageList* messages);

// Float parameter to integer, truncated toward zero. Values that no int can hold (NaN, huge) give
// kUnrepresentablePort, which lies outside every port range.
inline constexpr int32_t kUnrepresentablePort = -2147483647 - 1;
int32_t TruncatePortNumber(float value);
