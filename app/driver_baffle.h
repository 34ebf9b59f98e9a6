#pragma once
// The baffle data that travels with a driver file, moved between the program's baffle records
// (BaffleRecord and BaffleEdgePoints) and the driver file's restore and stamps.
#include "app/driver_data.h"
#include "app/global_records.h"

// What the next driver save stamps: the outline nodes 0..4, counts, outline state, positions and state words.
DriverBaffleState CollectDriverBaffle(const BaffleRecord& baffle, const BaffleEdgePointList& edges);

// Puts a restored (or stamped) state back: nodes 0..4, NodeCount, OutlineState, positions 0..4, the two state
// words (InsertAfterIndex, BaffleEditMode) and the edge counts; the fourth word of edge entries 0..4 becomes 0.
void ApplyDriverBaffle(const DriverBaffleState& state, BaffleRecord* baffle, BaffleEdgePointList* edges);
