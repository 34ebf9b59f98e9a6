#include "design/schematic_labels.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "design/filter_names.h"

namespace {

std::string Format(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

void Add(std::vector<SchematicLabel>* out, std::string text, LabelFont font, uint32_t colour, int x, int y) {
    out->push_back(SchematicLabel{std::move(text), font, colour, x, y});
}

void OutputPortLabels(const PaneRecord& r, int i, std::vector<SchematicLabel>* out) {
    const NetworkElement& e = r.elements[i];
    const float* p = r.params[i].p;
    const int x = e.x1, y = e.y1;
    Add(out, Format("Out%.0f", p[kParamOutputNumber]), LabelFont::Large, kOutputNumberRed, x + 15, y + 8);
    // A title from a file may lack its NUL: read no further than the field.
    const char* title = r.driver_file_title[i];
    const void* end = std::memchr(title, 0, kDriverPathChars);
    const std::size_t length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - title) : kDriverPathChars;
    Add(out, std::string(title, length), LabelFont::Tiny, kDarkRedText, x + 5, y + 30);
    Add(out, p[kParamPlotFlag] == 1.0f ? "OK To Plot" : "Do NOT Plot", LabelFont::Small, kLabelGreen, x + 15, y + 40);
    Add(out, Format("F1: %.1f Hz", p[kParamLowEdge]), LabelFont::Small, kLabelGreen, x + 15, y + 50);
    Add(out, Format("F2: %.1f Hz", p[kParamHighEdge]), LabelFont::Small, kLabelGreen, x + 15, y + 60);
    Add(out, "Del:", LabelFont::Small, kLabelGreen, x + 15, y + 70);
    Add(out, Format("%.3f ms", p[kParamChannelDelay]), LabelFont::Small, kLabelGreen, x + 35, y + 70);
    Add(out, Format("Gain: %.1f dB", p[kParamOutputGain]), LabelFont::Small, kLabelGreen, x + 15, y + 90);
    Add(out, "CABS:", LabelFont::Small, kLabelGreen, x + 15, y + 100);
    Add(out, Format("%.3f ms", p[kParamCabsDelay]), LabelFont::Small, kLabelGreen, x + 45, y + 100);
    Add(out, p[kParamPolarity] == 1.0f ? "IN Phase" : "OUT of Phase", LabelFont::Small, kDarkRedText, x + 15, y + 80);
}

void FilterBlockLabels(const PaneRecord& r, int i, std::vector<SchematicLabel>* out) {
    const NetworkElement& e = r.elements[i];
    const float* p = r.params[i].p;
    const int x = e.x1, y = e.y1;
    if (p[kParamBypass] == 1.0f) {
        Add(out, "By-Passed", LabelFont::Tiny, kDarkRedText, x - 5, y + 17);
        return;
    }
    const int family = ListIndexOf(p[kParamFilterFamily], kFamilyEntries);
    if (family < 0) return;
    Add(out, FamilyName(family), LabelFont::Tiny, kDarkRedText, x - 5, y + 17);
    auto line = [&](int row, std::string text) { Add(out, std::move(text), LabelFont::Small, kNavyText, x + 5, y + 30 + 10 * row); };
    if (family <= kFamilyIndexLinkwitz) {
        // A slope that selects no entry writes no slope line; the frequency still shows.
        if (const char* slope = SlopeNameOf(p[kParamFilterSlope])) line(0, slope);
        line(1, Format("Fo: %.1f Hz", p[kParamFilterFrequency]));
    } else if (family == kFamilyIndexQParametric) {
        line(0, Format("Q: %.3f", p[kParamCabsDelay]));
        line(1, Format("Gain: %.2f", p[kParamFilterGain]));
        line(2, Format("Fo: %.1f Hz", p[kParamFilterFrequency]));
    } else if (family <= kFamilyIndexLastShelving) {
        line(0, Format("Gain: %.1f", p[kParamFilterGain]));
        line(1, Format("Fc: %.1f Hz", p[kParamFilterFrequency]));
    } else {
        line(0, Format("R: %.1f", p[kParamCabsDelay]));
        line(1, Format("Fc: %.1f Hz", p[kParamFilterFrequency]));
    }
}

void RoomEqLabels(const PaneRecord& r, int i, std::vector<SchematicLabel>* out) {
    const NetworkElement& e = r.elements[i];
    const float* p = r.params[i].p;
    const int x = e.x1, y = e.y1;
    if (p[kParamBypass] == 1.0f) {
        Add(out, "By-Passed", LabelFont::Tiny, kDarkRedText, x - 5, y + 17);
        return;
    }
    Add(out, "RoomEQ", LabelFont::Small, kDarkRedText, x - 5, y + 18);
    Add(out, Format("F1: %.1f Hz", p[kParamLowEdge]), LabelFont::Small, kNavyText, x + 5, y + 30);
    Add(out, Format("F2: %.1f Hz", p[kParamHighEdge]), LabelFont::Small, kNavyText, x + 5, y + 40);
}

}  // namespace

std::vector<SchematicLabel> ElementLabels(const PaneRecord& r, int i) {
    std::vector<SchematicLabel> out;
    switch (r.elements[i].kind) {
        case OutputPort: OutputPortLabels(r, i, &out); break;
        case InputTerminal:
            Add(&out, Format("In%.0f", r.params[i].p[kParamInputPort]), LabelFont::Large, kInputNumberGreen,
                r.elements[i].x1 - 20, r.elements[i].y1 - 30);
            break;
        case FilterBlock: FilterBlockLabels(r, i, &out); break;
        case RoomEqBlock: RoomEqLabels(r, i, &out); break;
        default: break;
    }
    return out;
}

std::vector<SchematicLabel> PaneElementLabels(const PaneRecord& r) {
    std::vector<SchematicLabel> out;
    const int n = ElementListLength(r);
    for (int i = 0; i < n; ++i) {
        std::vector<SchematicLabel> one = ElementLabels(r, i);
        out.insert(out.end(), one.begin(), one.end());
    }
    return out;
}

std::vector<SchematicLabel> ElementNodeNumbers(const NetworkElement& e) {
    std::vector<SchematicLabel> out;
    int dx1 = 0, dy1 = 0, dx2 = 0, dy2 = 0;
    bool second = true;
    switch (e.kind) {
        case OutputPort: dx1 = 4; dy1 = -5; dx2 = -12; dy2 = -6; break;
        case InputTerminal: break;
        case FilterBlock:
        case RoomEqBlock: dx1 = -8; dy1 = -12; dx2 = -5; dy2 = -12; break;
        case Junction: dx1 = 2; second = false; break;
        case Ground: dx1 = -12; dx2 = -12; break;
        default: return out;
    }
    auto add = [&](int node, int x, int y) {
        if (node < 0) return;
        char text[16];
        std::snprintf(text, sizeof text, "%d", node);
        Add(&out, text, LabelFont::Small, kNodeNumberColour, x, y);
    };
    add(e.node1, e.x1 + dx1, e.y1 + dy1);
    if (second) add(e.node2, e.x2 + dx2, e.y2 + dy2);
    return out;
}

std::vector<SchematicLabel> PaneNodeNumbers(const PaneRecord& r) {
    std::vector<SchematicLabel> out;
    const int n = ElementListLength(r);
    for (int i = 0; i < n; ++i) {
        std::vector<SchematicLabel> one = ElementNodeNumbers(r.elements[i]);
        out.insert(out.end(), one.begin(), one.end());
    }
    return out;
}

const char* PaneName(int pane, uint32_t bassMode) {
    static const char* const kFixed[10] = {nullptr,  "Front-Left", "Center",    "Front-Right", "Rear-Left",
                                           nullptr,  "Rear-Right", nullptr,     "Side Left",   "Side Right"};
    static const char* const kSub1[4] = {"Subwoofer 1", "Sub 1 BBM", "Sub 1 SUM", "S1 CABS+BBM"};
    static const char* const kSub2[4] = {"Subwoofer 2", "Sub 2 BBM", "Sub 2 SUM", "S2 CABS+BBM"};
    if (pane == 5) return bassMode < 4 ? kSub1[bassMode] : nullptr;
    if (pane == 7) return bassMode < 4 ? kSub2[bassMode] : nullptr;
    if (pane < 1 || pane > 9) return nullptr;
    return kFixed[pane];
}

uint32_t PaneNameColour(int pane, int activePane) { return pane == activePane ? kActiveNameRed : kLabelGreen; }

std::vector<ToolButtonState> ToolButtonStates(int editTool) {
    return {{kToolButtonDraw, editTool == 1},
            {kToolButtonMove, editTool == 5},
            {kToolButtonWipeComp, editTool == 6},
            {kToolButtonWipeWire, editTool == 8}};
}
