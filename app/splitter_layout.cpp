#include "app/splitter_layout.h"

namespace {

constexpr SplitterInfo kInfo[kSplitterKinds] = {
    {"Splitter", "Home Theatre System Configuration", 8, 9, 2, 1, {1, 2, 3, 4, 5, 6, 0}},
    {"Splitter1", "Stereo System Configuration", 10, 11, 1, 0, {1, 3, 0}},
    {"Splitter2", "Quadro System Configuration", 12, 13, 1, 1, {1, 3, 4, 6, 0}},
    {"Splitter3", "5.2 BBM System Configuration", 15, 16, 2, 1, {1, 2, 3, 4, 5, 6, 7, 0}},
    {"Splitter4", "7.2 BBM System Configuration", 19, 20, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"Splitter5", "2.2 BBM System Configuration", 23, 24, 1, 1, {1, 3, 5, 7, 0}},
};

constexpr int kBarMargin = 50;

int32_t ClampBar(int32_t bar, int size) {
    if (bar > size - kBarMargin) return size - kBarMargin;
    if (bar < kBarMargin) return kBarMargin;
    return bar;
}

bool OnBar(int32_t bar, int p) { return bar - 2 < p && p < bar + 2; }

struct Span {
    int start, length;
};

}  // namespace

const SplitterInfo& InfoOf(SplitterKind kind) { return kInfo[static_cast<int>(kind)]; }

bool SplitterForConfiguration(uint32_t configuration, SplitterKind* kind) {
    switch (configuration) {
        case 0: *kind = SplitterKind::Stereo; return true;
        case 1: *kind = SplitterKind::HomeTheatre; return true;
        case 2: *kind = SplitterKind::Quadro; return true;
        case 3: *kind = SplitterKind::Bbm52; return true;
        case 4:
        case 5: *kind = SplitterKind::Bbm72; return true;
        case 6: *kind = SplitterKind::Bbm22; return true;
        default: return false;
    }
}

SplitterBars BarsFromSlot(const WindowPlacement& slot) { return SplitterBars{slot.x, slot.cx, slot.y, slot.cy}; }

void BarsToSlot(SplitterKind kind, const SplitterBars& bars, WindowPlacement* slot) {
    const SplitterInfo& info = InfoOf(kind);
    slot->x = bars.X1;
    if (info.verticalBars == 2) slot->cx = bars.X2;
    if (info.horizontalBars >= 1) slot->y = bars.Y1;
    if (info.horizontalBars == 2) slot->cy = bars.Y2;
}

SplitterBars ClampBars(SplitterKind kind, SplitterBars bars, int width, int height) {
    const SplitterInfo& info = InfoOf(kind);
    bars.X1 = ClampBar(bars.X1, width);
    if (info.verticalBars == 2) bars.X2 = ClampBar(bars.X2, width);
    if (info.horizontalBars >= 1) bars.Y1 = ClampBar(bars.Y1, height);
    if (info.horizontalBars == 2) bars.Y2 = ClampBar(bars.Y2, height);
    return bars;
}

std::vector<PaneCell> LayoutPanes(SplitterKind kind, const SplitterBars& raw, int W, int H) {
    const SplitterBars b = ClampBars(kind, raw, W, H);
    const SplitterInfo& info = InfoOf(kind);
    std::vector<PaneCell> cells;
    auto put = [&cells](int pane, Span col, Span row) { cells.push_back({pane, col.start, row.start, col.length, row.length}); };

    // Columns.
    Span left, middle{0, 0}, right;
    if (info.verticalBars == 1) {
        left = {1, b.X1 - 2};
        right = {b.X1 + 1, W - b.X1 - 3};
    } else {
        left = {1, b.X1 - 2};
        middle = {b.X1 + 1, b.X2 - b.X1};
        right = {b.X2 + 3, W - b.X2 - 4};
    }
    const int h = (b.X2 - b.X1) / 2;
    const Span halfLeft{b.X1 + 1, h};
    const Span halfRight{b.X1 + h + 3, h - 2};

    // Rows.
    const Span whole{1, H - 3};
    const Span top{1, b.Y1 - 2};
    const Span bottom{b.Y1 + 2, H - b.Y1 - 3};

    switch (kind) {
        case SplitterKind::Stereo:
            put(1, left, whole);
            put(3, right, whole);
            break;
        case SplitterKind::Quadro:
            put(1, left, top);
            put(3, right, top);
            put(4, left, bottom);
            put(6, right, bottom);
            break;
        case SplitterKind::Bbm22:
            put(1, left, top);
            put(3, right, top);
            put(5, left, bottom);
            put(7, right, bottom);
            break;
        case SplitterKind::HomeTheatre:
            put(1, left, top);
            put(2, middle, top);
            put(3, right, top);
            put(4, left, bottom);
            put(5, middle, bottom);
            put(6, right, bottom);
            break;
        case SplitterKind::Bbm52:
            put(1, left, top);
            put(2, middle, top);
            put(3, right, top);
            put(4, left, bottom);
            put(5, halfLeft, bottom);
            put(7, halfRight, bottom);
            put(6, right, bottom);
            break;
        case SplitterKind::Bbm72: {
            const Span middleRow{b.Y1 + 2, b.Y2 - b.Y1 - 3};
            const Span bottomRow{b.Y2 + 2, H - b.Y2 - 3};
            const Span belowTop{b.Y1 + 2, H - b.Y1 - 3};
            put(1, left, top);
            put(2, middle, top);
            put(3, right, top);
            put(8, left, middleRow);
            put(4, left, bottomRow);
            put(9, right, middleRow);
            put(6, right, bottomRow);
            put(5, halfLeft, belowTop);
            put(7, halfRight, belowTop);
            break;
        }
    }
    return cells;
}

BarHits HitBars(SplitterKind kind, const SplitterBars& b, int x, int y) {
    const SplitterInfo& info = InfoOf(kind);
    BarHits hits;
    hits.X1 = OnBar(b.X1, x);
    hits.X2 = info.verticalBars == 2 && OnBar(b.X2, x);
    hits.Y1 = info.horizontalBars >= 1 && OnBar(b.Y1, y);
    hits.Y2 = info.horizontalBars == 2 && OnBar(b.Y2, y);
    return hits;
}

SplitterCursor HoverCursor(const BarHits& hits) {
    if (hits.X1 || hits.X2) return SplitterCursor::SizeWE;
    if (hits.Y1 || hits.Y2) return SplitterCursor::SizeNS;
    return SplitterCursor::Arrow;
}

SplitterCursor PressCursor(const BarHits& taken) {
    SplitterCursor cursor = SplitterCursor::Arrow;
    if (taken.X1) cursor = SplitterCursor::SizeWE;
    else if (taken.Y1) cursor = SplitterCursor::SizeNS;
    if (taken.X2) cursor = SplitterCursor::SizeWE;
    else if (taken.Y2) cursor = SplitterCursor::SizeNS;
    return cursor;
}

void TrackMove(WindowPlacement* slot, int clientX, int clientY, const FrameMetrics& m, int usableWidth,
               int usableHeight) {
    slot->x = clientX - m.cxFrame;
    slot->y = clientY - m.cyCaption - m.cyFrame;
    if (slot->x > usableWidth) slot->x = 0;
    if (slot->y > usableHeight) slot->y = 0;
}

void TrackSize(WindowPlacement* slot, int clientWidth, int clientHeight, const FrameMetrics& m, int usableWidth,
               int usableHeight, int extraHeight) {
    slot->cx = clientWidth + 2 * m.cxFrame;
    slot->cy = clientHeight + m.cyCaption + 2 * m.cyFrame + extraHeight;
    if (slot->x < 0 || slot->x > usableWidth) slot->x = 0;
    if (slot->y < 0 || slot->y > usableHeight) slot->y = 0;
    if (slot->cx > usableWidth) slot->cx = usableWidth;
    if (slot->cy > usableHeight) slot->cy = usableHeight;
}
