#pragma once
// The WorkingNetwork validated and solved as a channel button does it, over the program's records: the plot
// curves, the routing and the per-output results are written. Returns the validation's code, or the solver's.
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/messages.h"
#include "app/settings.h"
#include "design/network_solver.h"
#include "design/network_validation.h"

inline int ValidateAndSolveWorkingNetwork(MessageList* messages) {
    ValidationContext vc;
    vc.panes = PaneRecords;
    vc.output_mode = OutputMode;
    vc.curve_view_flags = CurveViewFlags;
    vc.routing_matrix = RoutingMatrix;
    vc.curves = PlotCurveTable;
    int code = ValidateNetwork(*WorkingNet, vc, messages);
    if (code != 0) return code;
    SolverInputs in;
    in.block_frames = BlockFrames;
    in.bin_frequency = BinFrequencyTable;
    in.colour_scheme = ColourScheme;
    SolverOutputs out;
    out.curves = PlotCurveTable;
    return SolveNetwork(WorkingNet, in, out, messages);
}
