#pragma once
// Draws a plot's labels without letting two of them overprint each other.
#include <windows.h>

#include <vector>

#include "app/plot_labels.h"

// Draws the labels in the font selected into `dc`, leaving out those that would come closer than a space's
// width to another on their line, or whose characters would overlap another's in their column (LabelsToDraw).
void DrawPlotLabels(HDC dc, const std::vector<PlacedLabel>& labels);
