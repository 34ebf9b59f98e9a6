// The "System-Wide Preferences" window: every control changes its setting the moment it reports a command;
// there is no OK or Cancel.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/colour_editor.h"
#include "app/global_records.h"
#include "app/preferences_controls.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/colour_editor_controls.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"
#include "engine/endpoints.h"
#include "engine/win32/endpoints.h"

namespace {

enum class Kind { CheckBox, List, Edit };

struct ControlSpec {
    int id;
    Kind kind;
    const char* text;
    int x, y, w, h;
};

// Every control but the colour editor's, in creation order.
constexpr ControlSpec kControls[] = {
    {kPrefCaptureList, Kind::List, nullptr, 10, 40, 300, 120},
    {kPrefRenderList, Kind::List, nullptr, 320, 40, 300, 120},
    {kPrefSampleRateList, Kind::List, nullptr, 650, 40, 105, 70},
    {kPrefBlockSizeList, Kind::List, nullptr, 770, 40, 105, 70},
    {kPref16BitMls, Kind::CheckBox, "16 Bit MLS", 650, 115, 120, 15},
    {kPref24BitMls, Kind::CheckBox, "24 Bit MLS", 650, 135, 120, 15},
    {kPrefAutostart, Kind::CheckBox, "AUTOSTART", 420, 165, 100, 15},
    {kPrefPlayerMode, Kind::CheckBox, "Player Mode", 420, 190, 105, 15},
    {kPrefDebugMode, Kind::CheckBox, "WASAPI De-Bug Mode", 420, 215, 165, 15},
    {kPrefInvertMlsData, Kind::CheckBox, "Invert MLS Data Channel", 630, 165, 200, 25},
    {kPrefInvertMlsReference, Kind::CheckBox, "Invert MLS Reference Channel", 630, 190, 220, 25},
    {kPrefMlsDelayEdit, Kind::Edit, nullptr, 850, 220, 50, 20},
    {kPrefInputs12, Kind::CheckBox, "Inputs 1-2", 630, 265, 85, 15},
    {kPrefInputs112, Kind::CheckBox, "Inputs 1-12", 630, 290, 92, 15},
    {kPrefInputs18, Kind::CheckBox, "Inputs 1-8", 630, 315, 85, 15},
    {kPrefInputs16, Kind::CheckBox, "Inputs 1-6", 630, 340, 85, 15},
    {kPrefOutputs8, Kind::CheckBox, "8 Outputs", 730, 265, 80, 15},
    {kPrefOutputs16, Kind::CheckBox, "16 Outputs", 730, 290, 90, 15},
    {kPrefOutputs8Spdif, Kind::CheckBox, "8 + SPDIF", 730, 315, 90, 15},
    {kPrefBassStandard, Kind::CheckBox, "Standard", 830, 265, 90, 15},
    {kPrefBassBbmInput, Kind::CheckBox, "BBM Input", 830, 290, 107, 15},
    {kPrefBassSummed, Kind::CheckBox, "Summed L+R", 830, 315, 107, 15},
    {kPrefCenterToLr, Kind::CheckBox, "Center->LR", 830, 340, 100, 15},
    {kPrefBassBbmOutput, Kind::CheckBox, "BBM Output", 560, 530, 100, 15},
    {kPrefRenderTiming, Kind::CheckBox, "Render Timing", 630, 390, 120, 15},
    {kPrefCaptureTiming, Kind::CheckBox, "Capture Timing", 630, 415, 120, 15},
    {kPrefQueueList, Kind::List, nullptr, 770, 410, 110, 70},
    {10152, Kind::Edit, nullptr, 500, 300, 30, 20},
    {10154, Kind::Edit, nullptr, 500, 322, 30, 20},
    {10153, Kind::Edit, nullptr, 500, 344, 30, 20},
    {10155, Kind::Edit, nullptr, 500, 366, 30, 20},
    {10158, Kind::Edit, nullptr, 500, 435, 30, 20},
    {10159, Kind::Edit, nullptr, 500, 457, 30, 20},
    {10160, Kind::Edit, nullptr, 500, 479, 30, 20},
    {10054, Kind::Edit, nullptr, 500, 550, 30, 20},
    {10055, Kind::Edit, nullptr, 500, 572, 30, 20},
    {10060, Kind::Edit, nullptr, 500, 594, 30, 20},
    {10061, Kind::Edit, nullptr, 500, 616, 30, 20},
    {kPrefSub1SourceEdit, Kind::Edit, nullptr, 580, 550, 30, 20},
    {kPrefSub2SourceEdit, Kind::Edit, nullptr, 580, 572, 30, 20},
};
constexpr int kControlCount = sizeof kControls / sizeof kControls[0];

// The window's own handles: the controls above by position in kControls, and its colour editor.
HWND g_window = nullptr;
HWND g_controls[kControlCount] = {};
ColourEditorControls g_colourControls;

HWND Control(int id) {
    for (int i = 0; i < kControlCount; ++i)
        if (kControls[i].id == id) return g_controls[i];
    return nullptr;
}

void Text(HDC dc, int x, int y, const char* text) { TextOutA(dc, x, y, text, lstrlenA(text)); }

void Frame(HDC dc, int left, int top, int right, int bottom) { RoundRect(dc, left, top, right, bottom, 10, 10); }

void MarkerLine(HDC dc, HPEN pen, int y) {
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 540, y, nullptr);
    LineTo(dc, 560, y);
    SelectObject(dc, old);
}

void ColouredText(HDC dc, int x, int y, const char* text, COLORREF colour) {
    const COLORREF old = SetTextColor(dc, colour);
    Text(dc, x, y, text);
    SetTextColor(dc, old);
}

void SetMarks() {
    ControlMark marks[kPreferencesMarkCount];
    PreferencesMarks(GlobalPreferencesTargets(), marks);
    for (const ControlMark& m : marks)
        if (HWND box = Control(m.id)) SendMessageA(box, BM_SETCHECK, m.checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The lists show the settings' current items (also after a refused change).
void SelectCurrentItems() {
    SendMessageA(Control(kPrefSampleRateList), LB_SETCURSEL, pr_file ? pr_file->tail.HV_Sampling : 0, 0);
    SendMessageA(Control(kPrefBlockSizeList), LB_SETCURSEL, HV_Buffer_Size, 0);
    SendMessageA(Control(kPrefQueueList), LB_SETCURSEL, pr_file ? pr_file->tail.OutputQueue : 0, 0);
}

void SetEditText(int id, const char* text) { SetWindowTextA(Control(id), text); }

void FillEdits() {
    SetEditText(kPrefMlsDelayEdit, MlsOutputDelayText);
    if (!pr_file) return;
    for (const ControlSpec& c : kControls) {
        const int field = LiveKeyFieldOfControl(c.id);
        if (field < 0) continue;
        char text[kLiveKeyFieldChars + 1] = {};
        std::memcpy(text, pr_file->tail.LiveKeyChannelFields[field], kLiveKeyFieldChars);
        SetEditText(c.id, text);
    }
}

template <std::size_t N>
void FillList(int id, const char* const (&names)[N]) {
    for (const char* name : names) SendMessageA(Control(id), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

void PaintSettingFrames(HDC dc) {
    Frame(dc, 5, 2, 900, 158);
    Text(dc, 10, 5, "Audio Devices");
    Text(dc, 10, 19, "Preferred Input WASAPI Device");
    Text(dc, 320, 19, "Preferred Output WASAPI Device 1");
    Text(dc, 630, 220, "Delay MLS Output By [samples]");
    Text(dc, 770, 390, "Output Queue");

    Frame(dc, 5, 160, 400, 690);
    Text(dc, 10, 165, "Graph Colour Scheme");

    Frame(dc, 405, 260, 570, 390);
    Text(dc, 410, 265, "REAR LOUDSPEAKERS");
    ColouredText(dc, 410, 280, "[Left / Right Arrows]", RGB(0, 128, 255));
    static const char* const kRear[4] = {"Output 3", "Output 4", "Output 5", "Output 6"};
    for (int i = 0; i < 4; ++i) {
        ColouredText(dc, 410, 300 + 22 * i, kRear[i], RGB(0, 0, 0));
        MarkerLine(dc, Gdi.AzurePen5, 308 + 22 * i);
    }

    Frame(dc, 405, 395, 570, 505);
    Text(dc, 410, 400, "TWEETERS");
    ColouredText(dc, 410, 415, "[Home / End]", RGB(0, 128, 0));
    static const char* const kTweeters[3] = {"Tweeter 1", "Tweeter 2", "Tweeter 3"};
    for (int i = 0; i < 3; ++i) {
        Text(dc, 410, 435 + 22 * i, kTweeters[i]);
        MarkerLine(dc, Gdi.GreenPen5, 443 + 22 * i);
    }

    Frame(dc, 405, 510, 665, 642);
    Text(dc, 410, 515, "SUBWOOFERS");
    ColouredText(dc, 410, 530, "[Insert / Delete]", RGB(209, 0, 209));
    static const char* const kSubs[4] = {"Sub 1", "Sub 2", "Sub 3 CABS", "Sub 4 CABS"};
    for (int i = 0; i < 4; ++i) Text(dc, 410, 550 + 22 * i, kSubs[i]);
    Text(dc, 570, 550, "+");
    Text(dc, 570, 572, "+");
    MarkerLine(dc, Gdi.MagentaPen5, 558);
    MarkerLine(dc, Gdi.MagentaPen5, 580);
    MarkerLine(dc, Gdi.PurplePen5, 602);
    MarkerLine(dc, Gdi.PurplePen5, 624);
}

void PaintDeviceCounts(HDC dc) {
    char text[64];
    // "ot" in the capture count is how the window has always read.
    std::snprintf(text, sizeof text, "[out ot %u]", CaptureEndpointCount);
    Text(dc, 250, 19, text);
    std::snprintf(text, sizeof text, "[out of %u]", RenderEndpointCount);
    Text(dc, 560, 19, text);
    SendMessageA(Control(kPrefCaptureList), LB_SETCURSEL, CaptureDeviceIndex, 0);
    SendMessageA(Control(kPrefRenderList), LB_SETCURSEL, RenderDeviceIndex, 0);
}

}  // namespace

void RefreshPreferencesEndpoints() {
    if (!g_window) return;
    EnumCaptureEndpoints(g_window);
    EnumRenderEndpoints(g_window);
    RECT counts{0, 0, 900, 40};
    InvalidateRect(g_window, &counts, FALSE);
}

int CreatePreferencesControls(HWND window) {
    g_window = window;
    Painters.preferences = [](HDC dc) { PaintPreferences(dc); };
    g_colourControls = ColourEditorControls{};
    CreateColourEditor(window, PreferencesColourLayout, &g_colourControls);
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kControls[i];
        const char* cls = c.kind == Kind::List ? "Listbox" : c.kind == Kind::Edit ? "edit" : "button";
        DWORD style = WS_CHILD | WS_VISIBLE;
        if (c.kind == Kind::List) style |= WS_BORDER | WS_VSCROLL | LBS_NOTIFY;
        if (c.kind == Kind::Edit) style |= WS_BORDER;
        if (c.kind == Kind::CheckBox) style |= BS_CHECKBOX;
        g_controls[i] = CreateWindowA(cls, c.text, style, c.x, c.y, c.w, c.h, window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), AppInstance, nullptr);
    }
    for (int slot = 0; slot < kEndpointNameSlots; ++slot) {
        SendMessageA(Control(kPrefCaptureList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CaptureEndpointNames[slot]));
        SendMessageA(Control(kPrefRenderList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(RenderEndpointNames[slot]));
    }
    FillList(kPrefSampleRateList, SampleRateNames);
    FillList(kPrefBlockSizeList, BlockSizeNames);
    FillList(kPrefQueueList, OutputQueueNames);
    SelectCurrentItems();
    FillEdits();
    SetMarks();
    // The endpoints are listed once here, not at every paint; a device list taking the focus lists them again.
    RefreshPreferencesEndpoints();
    SetFocus(Control(kPrefSub2SourceEdit));
    return 0;
}

int PaintPreferences(HDC dc) {
    if (!g_window) return 0;
    HGDIOBJ oldPen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ oldFont = SelectObject(dc, Gdi.StockSystemFont);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_3DFACE));
    SetTextColor(dc, RGB(0, 0, 0));
    PaintSettingFrames(dc);
    PaintColourEditor(dc, PreferencesColourLayout, g_colourControls);
    SetMarks();
    PaintDeviceCounts(dc);
    Text(dc, 650, 20, "Sampling [Hz]");
    Text(dc, 770, 20, "Buffer Size");
    SelectCurrentItems();
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldPen);
    char title[64] = {};
    GetWindowTextA(g_window, title, sizeof title);
    if (lstrcmpA(title, "System-Wide Preferences") != 0) SetWindowTextA(g_window, "System-Wide Preferences");
    return 0;
}

int OnPreferencesCommand(HDC dc, WPARAM wParam, LPARAM lParam) {
    if (!g_window) return 0;
    const HWND sender = reinterpret_cast<HWND>(lParam);
    const bool fromBar = sender && (sender == g_colourControls.bars[0] || sender == g_colourControls.bars[1] ||
                                    sender == g_colourControls.bars[2]);
    const int id = LOWORD(wParam);
    if (!fromBar && id >= kPreferencesFirstId && id <= kPreferencesLastId) {
        if ((id == kPrefCaptureList || id == kPrefRenderList) && HIWORD(wParam) == LBN_SETFOCUS)
            RefreshPreferencesEndpoints();
        ControlReading reading;
        char text[64] = {};
        if (HWND control = Control(id)) {
            char cls[16] = {};
            GetClassNameA(control, cls, sizeof cls);
            if (lstrcmpiA(cls, "Listbox") == 0) {
                reading.caretIndex = static_cast<int>(SendMessageA(control, LB_GETCARETINDEX, 0, 0));
            } else if (lstrcmpiA(cls, "edit") == 0) {
                GetWindowTextA(control, text, sizeof text);
                reading.text = text;
            }
        }
        if (ApplyPreferencesControl(id, reading, EngineRunning.load() != 0, GlobalPreferencesTargets(),
                                    GlobalGridTargets())) {
            SetMarks();
            SelectCurrentItems();
        }
    }
    RunColourEditorStep(dc, PreferencesColourLayout, g_colourControls, wParam, lParam);
    return 0;
}

// Forgets the window's handles once it is gone (the host clears PreferencesWindow).
void ForgetPreferencesControls() {
    g_window = nullptr;
    for (HWND& h : g_controls) h = nullptr;
    g_colourControls = ColourEditorControls{};
}
