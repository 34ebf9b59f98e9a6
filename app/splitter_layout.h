#pragma once
// Geometry of the splitter windows: which channel panes each configuration shows, where the split bars
// stand, the cells the bars cut, and where the pointer grabs a bar. Portable so it can be tested as numbers.
#include <cstdint>
#include <vector>

#include "app/settings.h"

enum class SplitterKind { HomeTheatre, Stereo, Quadro, Bbm52, Bbm72, Bbm22 };
inline constexpr int kSplitterKinds = 6;

struct SplitterInfo {
    const char* className;
    const char* title;
    int placementSlot;
    int barSlot;
    int verticalBars;    // 1 or 2
    int horizontalBars;  // 0, 1 or 2
    int panes[9];        // pane numbers in creation order, 0-terminated
};

const SplitterInfo& InfoOf(SplitterKind kind);

// The splitter that shows a configuration (4 and 5 share one); false for a value outside 0..6.
bool SplitterForConfiguration(uint32_t configuration, SplitterKind* kind);

// Bar positions in client pixels. X1/Y1 stand for the single bar X/Y of windows with one bar.
struct SplitterBars {
    int32_t X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
};

// Reads the bars from their slot ({x = X1, y = Y1, cx = X2, cy = Y2}, only the fields the kind uses) and
// writes them back.
SplitterBars BarsFromSlot(const WindowPlacement& slot);
void BarsToSlot(SplitterKind kind, const SplitterBars& bars, WindowPlacement* slot);

// Clamps each bar on its own: above the far limit (size - 50) first, then below 50.
SplitterBars ClampBars(SplitterKind kind, SplitterBars bars, int width, int height);

struct PaneCell {
    int pane;  // 1..9
    int x, y, width, height;
};

// The cells of every pane for a client area of width x height, with the bars clamped first.
std::vector<PaneCell> LayoutPanes(SplitterKind kind, const SplitterBars& bars, int width, int height);

// Which bars a pointer at (x, y) lies on: the zone of a bar reaches two pixels either side of it.
struct BarHits {
    bool X1 = false, X2 = false, Y1 = false, Y2 = false;
    bool Any() const { return X1 || X2 || Y1 || Y2; }
};
BarHits HitBars(SplitterKind kind, const SplitterBars& bars, int x, int y);

enum class SplitterCursor { Arrow, SizeWE, SizeNS };
// The cursor for a pointer moving without a drag: vertical bars first, then horizontal ones.
SplitterCursor HoverCursor(const BarHits& hits);
// The cursor shown when a press takes bars: by groups (X1 with Y1, then X2 with Y2); the last group with a
// taken bar decides, a vertical bar before a horizontal one within its group.
SplitterCursor PressCursor(const BarHits& taken);

// Placement tracking of every MDI child: what a move or a size change writes into the window's slot.
struct FrameMetrics {
    int cxFrame, cyFrame, cyCaption;
};
void TrackMove(WindowPlacement* slot, int clientX, int clientY, const FrameMetrics& m, int usableWidth,
               int usableHeight);
void TrackSize(WindowPlacement* slot, int clientWidth, int clientHeight, const FrameMetrics& m, int usableWidth,
               int usableHeight, int extraHeight = 0);
