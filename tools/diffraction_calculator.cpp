#include "tools/diffraction_calculator.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/settings.h"
#include "tools/driver_fields.h"

DiffractionSettings DiffractionCalculatorSettings;
uint32_t ShowPhase = 0;
DiffractionRunState DiffractionSlots;
BaffleEdgeElements BaffleEdgeElementList;
BaffleDrag BaffleDragState;

namespace {

constexpr int kNodeEntries = 64;
constexpr int kDriverEntries = 4;
constexpr int kMicrophoneEntry = 4;

std::string Format(const char* format, double a, double b) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Format(const char* format, double a, double b, int n) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, n);
    return text;
}

std::string Format(const char* format, int n, double a, double b) {
    char text[160];
    std::snprintf(text, sizeof text, format, n, a, b);
    return text;
}

double Raster(const BaffleRecord& b) { return BaffleRaster(b); }

// Texts show centimetres: grid units times the raster.
double Cm(const BaffleRecord& b, double grid) { return grid * Raster(b); }

BafflePoint Point(double x, double y) { return BafflePoint{static_cast<float>(x), static_cast<float>(y), 0, 0}; }

int NodeCountOf(const BaffleRecord& b) {
    const int n = b.NodeCount;
    return n < 0 ? 0 : n > kNodeEntries ? kNodeEntries : n;
}

bool NodeIs(const BaffleNode& node, int gx, int gy) { return node.x == gx && node.y == gy; }

void SetNode(BaffleNode* node, int gx, int gy) {
    node->x = gx;
    node->y = gy;
}

// A driver entry follows the pointer on each axis only while the driver stays clear of the canvas edges.
void MoveDriver(const CalculatorContext& c, int entry, int gx, int gy) {
    BafflePosition& p = c.baffle->Positions[entry];
    const double h = 0.55 * FieldNumber(c.driver->params[kDiameterField]) / Raster(*c.baffle);
    if (gx + h < 100.0 && gx - h > 2.0) p.x = static_cast<float>(gx);
    if (gy - h > 2.0 && gy + h < 115.0) p.y = static_cast<float>(gy);
}

// Moves what is picked to (gx, gy) and says so; false when nothing is picked.
bool MovePicked(const CalculatorContext& c, int gx, int gy, CalculatorStep* step) {
    BaffleRecord& b = *c.baffle;
    const BaffleDrag& d = *c.drag;
    const double cx = Cm(b, gx), cy = Cm(b, gy);
    if (d.DragNode >= 0 && d.DragNode < kNodeEntries) {
        SetNode(&b.Nodes[d.DragNode], gx, gy);
        step->title = Format("MOVING ENCLOSURE NODE AT X=%.2f, Y=%.2f", cx, cy);
    } else if (d.DragPosition >= 0 && d.DragPosition < kDriverEntries) {
        MoveDriver(c, d.DragPosition, gx, gy);
        step->title = Format("MOVING DRIVER NODE AT X=%.2f, Y=%.2f", cx, cy);
        step->driver1_label = d.DragPosition == 0;
        step->driver2_label = d.DragPosition == 1;
    } else if (d.DragMicrophone >= 0) {
        b.Positions[kMicrophoneEntry].x = static_cast<float>(gx);
        b.Positions[kMicrophoneEntry].y = static_cast<float>(gy);
        step->title = Format("MOVING MICROPHONE NODE AT X=%.2f, Y=%.2f", cx, cy);
        step->microphone_label = true;
    } else {
        return false;
    }
    step->redraw = true;
    return true;
}

void AddNode(const CalculatorContext& c, int gx, int gy, CalculatorStep* step) {
    BaffleRecord& b = *c.baffle;
    step->title = Format("PLACING NODE AT X=%.2f, Y=%.2f", Cm(b, gx), Cm(b, gy));
    const int n = NodeCountOf(b);
    for (int i = 1; i < n; ++i) {
        if (NodeIs(b.Nodes[i], gx, gy)) {
            AddWarning(&step->messages, kSplgClosedIncorrectly);
            if (n < kNodeEntries) SetNode(&b.Nodes[n], 0, 0);
            return;
        }
    }
    if (n > 0 && NodeIs(b.Nodes[0], gx, gy)) {
        b.OutlineState = 2;
        step->redraw = true;
        AddWarning(&step->messages, kSplgClosed);
        return;
    }
    if (n >= kMaxOutlineNodes) {
        AddWarning(&step->messages, kSplgSizeExceeded);  // the point is dropped; the outline keeps its nodes
        step->redraw = true;
        return;
    }
    SetNode(&b.Nodes[n], gx, gy);
    b.NodeCount = n + 1;
    step->redraw = true;
}

void InsertNode(const CalculatorContext& c, int gx, int gy, CalculatorStep* step) {
    BaffleRecord& b = *c.baffle;
    step->title = Format("INSERTING ENCLOSURE NODE AT X=%.2f Y=%.2f", Cm(b, gx), Cm(b, gy));
    const int n = NodeCountOf(b);
    // The word holds what was typed: a negative index is as far beyond the outline as one past its end.
    const long long after = static_cast<int32_t>(b.InsertAfterIndex);
    if (after < 0 || after > n - 1) {
        AddWarning(&step->messages, kInsertBeyondEnd);
        return;
    }
    if (n >= kMaxOutlineNodes) {
        AddWarning(&step->messages, kSplgSizeExceeded);  // inserting would push the last node out
        return;
    }
    for (long long i = n; i > after + 1; --i) b.Nodes[i] = b.Nodes[i - 1];
    SetNode(&b.Nodes[after + 1], gx, gy);
    b.NodeCount = n + 1;
    step->redraw = true;
}

void DeleteNodes(const CalculatorContext& c, int gx, int gy, CalculatorStep* step) {
    BaffleRecord& b = *c.baffle;
    step->title = Format("DELETING ENCLOSURE NODE AT X=%.2f, Y=%.2f", Cm(b, gx), Cm(b, gy));
    int n = NodeCountOf(b);
    for (int i = 0; i < n;) {
        if (!NodeIs(b.Nodes[i], gx, gy)) {
            ++i;
            continue;
        }
        for (int j = i; j + 1 < n; ++j) b.Nodes[j] = b.Nodes[j + 1];
        --n;
        if (n < 2) b.OutlineState = 0;
    }
    b.NodeCount = n;
    step->redraw = true;
}

void PickNearest(const CalculatorContext& c, int gx, int gy, CalculatorStep* step) {
    const BaffleRecord& b = *c.baffle;
    BaffleDrag& d = *c.drag;
    d = BaffleDrag{};
    const BafflePoint at = Point(gx, gy);
    const int n = NodeCountOf(b);
    int node = -1;
    float nodeDistance = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float r = PointDistance(at, Point(b.Nodes[i].x, b.Nodes[i].y));
        if (node < 0 || r < nodeDistance) {
            node = i;
            nodeDistance = r;
        }
    }
    int entry = 0;
    float entryDistance = PointDistance(at, Point(b.Positions[0].x, b.Positions[0].y));
    for (int k = 1; k < kDriverEntries; ++k) {
        const float r = PointDistance(at, Point(b.Positions[k].x, b.Positions[k].y));
        if (r < entryDistance) {
            entry = k;
            entryDistance = r;
        }
    }
    const BafflePosition& mic = b.Positions[kMicrophoneEntry];
    const float micDistance = PointDistance(at, Point(mic.x, mic.y));
    int number;
    double x, y;
    if (node >= 0 && nodeDistance <= entryDistance && nodeDistance <= micDistance) {
        d.DragNode = node;
        number = node;
        x = b.Nodes[node].x;
        y = b.Nodes[node].y;
    } else if (entryDistance <= micDistance) {
        d.DragPosition = entry;
        number = entry;
        x = b.Positions[entry].x;
        y = b.Positions[entry].y;
    } else {
        d.DragMicrophone = 1;
        number = 1;
        x = mic.x;
        y = mic.y;
    }
    step->move_cursor = true;
    step->cursor_x = static_cast<int>(4.0 * x + 6.0);
    step->cursor_y = static_cast<int>(4.0 * (116.0 - y) + 6.0);
    step->title = Format("ClOSEST DISTANCE IS N %d  X=%.2f, Y=%.2f", number, Cm(b, x), Cm(b, y));
}

}  // namespace

std::string MikeDistanceText(float centimetres) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2fm", 0.01 * centimetres);
    return text;
}

bool CanvasPixelToGrid(int px, int py, int* gx, int* gy) {
    if (!(px > 1 && px < 412 && py > 1 && py < 471)) return false;
    *gx = (px - 4) / 4;
    *gy = 116 - (py - 4) / 4;
    return true;
}

std::string MicrophoneLabel(const BaffleRecord& b) {
    const BafflePosition& m = b.Positions[kMicrophoneEntry];
    return Format("MK X=%.1f,  Y=%.1f [cm]", Cm(b, m.x), Cm(b, m.y));
}

std::string Driver1Label(const BaffleRecord& b) {
    return Format("Driver 1 X=%.1f, Y=%.1f [cm]", Cm(b, b.Positions[0].x), Cm(b, b.Positions[0].y));
}

std::string Driver2Label(const BaffleRecord& b, Driver2Form form) {
    const char* format = form == Driver2Form::kPlain         ? "Driver 2 X=%.1f, Y=%.1f"
                         : form == Driver2Form::kCentimetres ? "Driver 2 X=%.1f, Y=%.1f [cm]"
                                                             : "Driver 2 X=%.2f, Y=%.2f";
    return Format(format, Cm(b, b.Positions[1].x), Cm(b, b.Positions[1].y));
}

void EnableDriversOf(uint32_t config, BaffleRecord* b) {
    const int drivers = config == 0 ? 1 : config <= 2 ? 2 : config == 3 ? 4 : 0;
    if (drivers == 0) return;  // an arrangement the calculator does not know keeps its words
    for (int k = 0; k < kDriverEntries; ++k) b->Positions[k].Enabled = k < drivers ? 1 : 0;
}

CalculatorStep CalculatorLeftDown(const CalculatorContext& c, int px, int py) {
    CalculatorStep step;
    int gx, gy;
    if (!CanvasPixelToGrid(px, py, &gx, &gy)) return step;
    step.handled = true;
    switch (c.baffle->BaffleEditMode) {
        case kEditAdd: AddNode(c, gx, gy, &step); break;
        case kEditInsert: InsertNode(c, gx, gy, &step); break;
        case kEditDelete: DeleteNodes(c, gx, gy, &step); break;
        case kEditMove: PickNearest(c, gx, gy, &step); break;
        default: break;
    }
    return step;
}

CalculatorStep CalculatorMouseMove(const CalculatorContext& c, int px, int py) {
    CalculatorStep step;
    int gx, gy;
    if (!CanvasPixelToGrid(px, py, &gx, &gy)) return step;
    step.handled = true;
    const BaffleRecord& b = *c.baffle;
    const double cx = Cm(b, gx), cy = Cm(b, gy);
    switch (b.BaffleEditMode) {
        case kEditAdd: step.title = Format("PLACING NODE AT X=%.2f, Y=%.2f, Ns=%d", cx, cy, c.edge_element_count); break;
        case kEditInsert:
            step.title = Format("INSERTING NODE AT X=%.2f, Y=%.2f, Ns=%d", cx, cy, c.edge_element_count);
            break;
        case kEditDelete:
            step.title = Format("DELETING NODE AT X=%.2f, Y=%.2f, Ns=%d", cx, cy, c.edge_element_count);
            break;
        case kEditMove:
            if (!MovePicked(c, gx, gy, &step)) step.title = Format("JUST MOVING AROUND AT X=%.2f, Y=%.2f", cx, cy);
            break;
        default: break;
    }
    return step;
}

CalculatorStep CalculatorLeftUp(const CalculatorContext& c, int px, int py) {
    CalculatorStep step;
    int gx, gy;
    if (!CanvasPixelToGrid(px, py, &gx, &gy)) {
        *c.drag = BaffleDrag{};  // released off the grid: the object stays where it was last put
        return step;
    }
    step.handled = true;
    if (c.baffle->BaffleEditMode != kEditMove) return step;
    MovePicked(c, gx, gy, &step);
    *c.drag = BaffleDrag{};
    return step;
}

CalculatorStep ToggleTwoDrivers(BaffleRecord* b, HV_Driver_Data* driver) {
    CalculatorStep step;
    step.handled = true;
    uint32_t& config = DriverConfig(*driver);
    config = config == 1 ? 0 : 1;
    b->Positions[0].x = 50.0f;
    b->Positions[0].y = 55.0f;
    if (config == 0) {
        step.title = "PLACING DRIVER 1";
        EnableDriversOf(0, b);
    } else {
        step.title = "PLACING DRIVER 1 and 2";
        EnableDriversOf(1, b);
        b->Positions[1].x = 45.0f;
        b->Positions[1].y = 50.0f;
    }
    step.driver1_label = true;
    step.driver2_label = true;
    b->BaffleEditMode = kEditMove;
    step.redraw = true;
    return step;
}

CalculatorStep SetRasterText(BaffleRecord* b, const char* text) {
    CalculatorStep step;
    step.handled = true;
    char field[kRasterChars + 1] = {};
    std::snprintf(field, sizeof field, "%s", text);
    CopySettingText(b->Raster, sizeof b->Raster, field);
    const double v = FieldNumber(b->Raster, sizeof b->Raster);
    if (!(v > 0.0) || !FitsFloat(v)) {
        CopySettingText(b->Raster, sizeof b->Raster, "0.01");
        return step;
    }
    step.microphone_label = step.driver1_label = step.driver2_label = true;
    return step;
}

const char* EditModeTitle(uint32_t mode) {
    switch (mode) {
        case kEditAdd: return "ADDING NODE";
        case kEditInsert: return "INSERTING NODE";
        case kEditDelete: return "DELETING NODE";
        case kEditMove: return "MOVING NODE";
        default: return "";
    }
}

bool ReadEdgeValue(const char* text, float* value) {
    char field[kEdgeValueChars + 1] = {};
    std::snprintf(field, sizeof field, "%s", text);
    const double v = std::strtod(field, nullptr);
    if (!FitsFloat(v)) return false;
    *value = static_cast<float>(v);
    return true;
}

uint32_t InsertIndexOf(const char* text) {
    char field[kInsertIndexChars + 1] = {};
    std::snprintf(field, sizeof field, "%s", text);
    errno = 0;
    long v = std::strtol(field, nullptr, 10);
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<uint32_t>(static_cast<int32_t>(v));
}
