#include "layout_check.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

// Room the common controls keep around their texts (at 96 dots per inch; scaled with the screen's):
// a push button draws its text inside its edges less two pixels each side, a check box or radio button
// puts its 13-pixel box and half a digit's width before the text, a group box starts its caption after a
// short stretch of frame and ends it before the corner.
constexpr int kPushButtonInset = 2;
constexpr int kCheckBoxSize = 13;
constexpr int kGroupBoxCaptionInset = 8;
// A tab draws its label inside its edges.
constexpr int kTabLabelInset = 2;

std::string ClassOf(HWND control) {
    char name[64] = {};
    GetClassNameA(control, name, sizeof name);
    return name;
}

std::string TextOf(HWND control) {
    const int n = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(control, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}

int Scaled(HWND control, int pixels) {
    HDC dc = GetDC(control);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(control, dc);
    return MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

std::string Describe(HWND window, HWND control) {
    char head[160];
    std::snprintf(head, sizeof head, "control %d (%s \"", GetDlgCtrlID(control), ClassOf(control).c_str());
    std::string title = TextOf(window);
    return "[" + title + "] " + head + TextOf(control) + "\")";
}

std::string Size(const char* what, int needed, int has) {
    char text[96];
    std::snprintf(text, sizeof text, "%s needs %d px, has %d", what, needed, has);
    return text;
}

// The control's window rectangle must lie inside its parent's client area.
void CheckInside(HWND window, HWND control, std::vector<std::string>* faults) {
    HWND parent = GetParent(control);
    if (!parent) return;
    RECT client;
    GetClientRect(parent, &client);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    if (r.left < 0 || r.top < 0 || r.right > client.right || r.bottom > client.bottom) {
        char text[160];
        std::snprintf(text, sizeof text, ": (%ld, %ld)-(%ld, %ld) outside the parent's client area %ldx%ld", r.left,
                      r.top, r.right, r.bottom, client.right, client.bottom);
        faults->push_back(Describe(window, control) + text);
    }
}

void CheckFits(HWND window, HWND control, const char* what, SIZE needed, int width, int height,
               std::vector<std::string>* faults) {
    if (needed.cx > width) faults->push_back(Describe(window, control) + ": " + Size(what, needed.cx, width) + " wide");
    if (needed.cy > height) faults->push_back(Describe(window, control) + ": " + Size(what, needed.cy, height) + " high");
}

void CheckStaticText(HWND window, HWND control, std::vector<std::string>* faults) {
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const std::string text = TextOf(control);
    if (text.empty()) return;
    const bool prefix = (style & SS_NOPREFIX) == 0;
    RECT rc;
    GetClientRect(control, &rc);
    switch (style & SS_TYPEMASK) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
            // These wrap at word breaks: the lines must fit across and, all of them, down.
            CheckFits(window, control, "text", ControlTextExtent(control, text, rc.right, prefix), rc.right, rc.bottom,
                      faults);
            break;
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            CheckFits(window, control, "text", ControlTextExtent(control, text, 0, prefix), rc.right, rc.bottom, faults);
            break;
        default:
            break;  // pictures, frames and owner-drawn statics
    }
}

void CheckPushText(HWND window, HWND control, const std::string& text, const RECT& rc, bool multiline,
                   std::vector<std::string>* faults) {
    const int inset = Scaled(control, kPushButtonInset);
    const int w = rc.right - 2 * inset, h = rc.bottom - 2 * inset;
    CheckFits(window, control, "text", ControlTextExtent(control, text, multiline ? w : 0, true), w, h, faults);
}

void CheckButtonText(HWND window, HWND control, std::vector<std::string>* faults) {
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const std::string text = TextOf(control);
    if (text.empty()) return;
    RECT rc;
    GetClientRect(control, &rc);
    const bool multiline = (style & BS_MULTILINE) != 0;
    switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            CheckPushText(window, control, text, rc, multiline, faults);
            break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE: {
            if (style & BS_PUSHLIKE) {
                CheckPushText(window, control, text, rc, multiline, faults);
                break;
            }
            const SIZE digit = ControlTextExtent(control, "0", 0, false);
            const int w = rc.right - Scaled(control, kCheckBoxSize) - digit.cx / 2;
            CheckFits(window, control, "box and text", ControlTextExtent(control, text, multiline ? w : 0, true), w,
                      rc.bottom, faults);
            break;
        }
        case BS_GROUPBOX: {
            const int w = rc.right - 2 * Scaled(control, kGroupBoxCaptionInset);
            CheckFits(window, control, "caption", ControlTextExtent(control, text, 0, true), w, rc.bottom, faults);
            break;
        }
        default:
            break;  // owner-drawn and user buttons draw their own texts
    }
}

// Each tab's label fits its tab and is drawn in whole glyphs.
void CheckTabLabels(HWND window, HWND control, std::vector<std::string>* faults) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    const int inset = Scaled(control, kTabLabelInset);
    for (int i = 0; i < static_cast<int>(SendMessageA(control, TCM_GETITEMCOUNT, 0, 0)); ++i) {
        char label[128] = {};
        TCITEMA item{TCIF_TEXT, 0, 0, label, sizeof label, 0, 0};
        RECT r{};
        SendMessageA(control, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        SendMessageA(control, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        const std::string tab = std::string("tab \"") + label + "\"";
        CheckFits(window, control, tab.c_str(), ControlTextExtent(control, label, 0, true), r.right - r.left - 2 * inset,
                  r.bottom - r.top, faults);
        for (const std::string& glyph : GlyphFaults(font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), label))
            faults->push_back(Describe(window, control) + " " + tab + ": " + glyph);
    }
}

struct Walk {
    HWND window;
    std::vector<std::string>* faults;
};

BOOL CALLBACK CheckControl(HWND control, LPARAM lp) {
    auto* walk = reinterpret_cast<Walk*>(lp);
    if (!IsWindowVisible(control)) return TRUE;
    CheckInside(walk->window, control, walk->faults);
    const std::string cls = ClassOf(control);
    if (lstrcmpiA(cls.c_str(), "Static") == 0) CheckStaticText(walk->window, control, walk->faults);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) CheckButtonText(walk->window, control, walk->faults);
    if (lstrcmpiA(cls.c_str(), WC_TABCONTROLA) == 0) CheckTabLabels(walk->window, control, walk->faults);
    return TRUE;
}

}  // namespace

SIZE ControlTextExtent(HWND control, const std::string& text, int wrapWidth, bool prefix) {
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    UINT flags = DT_CALCRECT | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    if (!prefix) flags |= DT_NOPREFIX;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    // The internal leading above the first line is room for accents: the letters of these texts do not
    // reach into it, and a control may cut it off without cutting a letter.
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{r.right - r.left, r.bottom - r.top - tm.tmInternalLeading};
}

std::vector<std::string> GlyphFaults(HFONT font, const std::string& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    // Each glyph is drawn alone, black on white, with room all round for ink that leaves its cell.
    const int margin = tm.tmHeight, w = tm.tmMaxCharWidth + 2 * margin, h = tm.tmHeight + 2 * margin;
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, canvas);
    SetBkMode(dc, TRANSPARENT);
    // A scalable face states its overhangs, and its smoothing may reach one pixel past the outline's box.
    const bool scalable = (tm.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0;
    std::vector<std::string> faults;
    std::map<std::string, char> shapes;  // the ink of each character drawn, by its pixels
    std::string drawn;
    if (!bits) faults.push_back("no canvas to draw on");
    for (const char c : bits ? text : std::string()) {
        if (c == ' ' || drawn.find(c) != std::string::npos) continue;
        drawn += c;
        PatBlt(dc, 0, 0, w, h, WHITENESS);
        TextOutA(dc, margin, margin, &c, 1);
        GdiFlush();
        SIZE advance{};
        GetTextExtentPoint32A(dc, &c, 1, &advance);
        int left = 0, right = static_cast<int>(advance.cx);
        ABC abc{};
        const auto code = static_cast<UINT>(static_cast<unsigned char>(c));
        if (scalable && GetCharABCWidthsA(dc, code, code, &abc)) {
            left = std::min(0, abc.abcA) - 1;
            right = std::max(right, abc.abcA + static_cast<int>(abc.abcB)) + 1;
        }
        std::string shape;
        int outside = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((static_cast<const DWORD*>(bits)[y * w + x] & 0xFFFFFF) != 0xFFFFFF) {
                    shape += std::to_string(x - margin) + "," + std::to_string(y - margin) + ";";
                    if (x - margin < left || x - margin >= right || y < margin || y >= margin + tm.tmHeight) ++outside;
                }
        if (outside > 0) faults.push_back(std::string("'") + c + "' puts " + std::to_string(outside) + " pixels outside its cell");
        const auto same = shapes.emplace(shape, c).first;
        if (same->second != c) faults.push_back(std::string("'") + c + "' draws the same pixels as '" + same->second + "'");
    }
    SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    DeleteObject(canvas);
    DeleteDC(dc);
    return faults;
}

std::vector<std::string> LayoutFaults(HWND window) {
    std::vector<std::string> faults;
    if (!window || !IsWindow(window)) {
        faults.push_back("no window");
        return faults;
    }
    Walk walk{window, &faults};
    EnumChildWindows(window, CheckControl, reinterpret_cast<LPARAM>(&walk));
    return faults;
}
