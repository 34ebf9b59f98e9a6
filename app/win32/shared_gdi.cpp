#include "app/win32/app_windows.h"

SharedDrawingObjects Gdi;

namespace {
HFONT CreateSharedFont(const char* face, int height, int width, int weight) {
    return CreateFontA(height, width, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, FF_SWISS | FIXED_PITCH, face);
}

TEXTMETRICA MetricsOf(HFONT font) {
    TEXTMETRICA tm{};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return tm;
}

// "Helv" is a raster face ("MS Sans Serif"), and a raster face is never drawn narrower than it is made:
// Windows gives a request for 6 x 4 pixels the face's smallest size at its own width. Wine narrows the cells
// to the width asked for and cuts off the right-hand part of every glyph ("0" reads "C"), so a raster face
// that would be narrowed is asked for at its own width.
HFONT MakeFont(const char* face, int height, int width, int weight) {
    HFONT font = CreateSharedFont(face, height, width, weight);
    if (!font || width == 0) return font;
    const bool raster = (MetricsOf(font).tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) == 0;
    if (!raster) return font;
    HFONT own = CreateSharedFont(face, height, 0, weight);
    if (!own) return font;
    if (MetricsOf(own).tmAveCharWidth > width) {
        DeleteObject(font);
        return own;
    }
    DeleteObject(own);
    return font;
}
HPEN Pen(int width, int r, int g, int b) { return CreatePen(PS_SOLID, width, RGB(r, g, b)); }
HBRUSH Brush(int r, int g, int b) { return CreateSolidBrush(RGB(r, g, b)); }

constexpr COLORREF kMeterColours[18] = {
    RGB(128, 0, 0),   RGB(196, 0, 0),   RGB(228, 0, 0),   RGB(255, 32, 0),  RGB(255, 64, 0),  RGB(255, 96, 0),
    RGB(255, 128, 0), RGB(255, 164, 0), RGB(255, 192, 0), RGB(255, 228, 0), RGB(255, 255, 0), RGB(228, 255, 0),
    RGB(196, 255, 0), RGB(164, 255, 0), RGB(128, 255, 0), RGB(96, 255, 0),  RGB(64, 255, 0),  RGB(0, 228, 0),
};
}  // namespace

void CreateSharedDrawingObjects() {
    Gdi.SmallFont = MakeFont("Helv", 6, 4, 100);
    Gdi.TitleFont = MakeFont("Arial", 24, 14, 700);
    Gdi.LabelFont = MakeFont("Arial", 12, 5, 100);
    Gdi.StockSystemFont = GetStockObject(SYSTEM_FONT);
    Gdi.BlackPen1 = Pen(1, 0, 0, 0);
    Gdi.DarkRedPen1 = Pen(1, 164, 0, 0);
    Gdi.BluePen1 = Pen(1, 0, 0, 192);
    Gdi.BluePen2 = Pen(2, 0, 0, 192);
    Gdi.GreenPen2 = Pen(2, 0, 164, 0);
    Gdi.DarkGreenPen1 = Pen(1, 0, 128, 0);
    Gdi.MagentaPen4 = Pen(4, 255, 0, 255);
    Gdi.RedPen2 = Pen(2, 192, 0, 0);
    Gdi.RedPen5 = Pen(5, 192, 0, 0);
    Gdi.GreenPen5 = Pen(5, 0, 164, 0);
    Gdi.AzurePen5 = Pen(5, 0, 128, 255);
    Gdi.OrangePen5 = Pen(5, 255, 164, 0);
    Gdi.MagentaPen5 = Pen(5, 255, 0, 255);
    Gdi.PurplePen5 = Pen(5, 128, 0, 128);
    Gdi.MagentaPen2 = Pen(2, 255, 0, 255);
    Gdi.CyanBrush = Brush(0, 255, 255);
    Gdi.YellowBrush = Brush(255, 255, 0);
    Gdi.GreyBrush164 = Brush(164, 164, 164);
    Gdi.GreyBrush64 = Brush(64, 64, 64);
    Gdi.WhiteBrush = Brush(255, 255, 255);
    Gdi.GreyBrush128 = Brush(128, 128, 128);
    for (int i = 0; i < 18; ++i) Gdi.MeterBrushes[i] = CreateSolidBrush(kMeterColours[i]);
    Gdi.BlueBrush = Brush(0, 32, 255);
    Gdi.MeasuredMarkerBrush = Brush(228, 0, 0);
    Gdi.EmptyMarkerBrush = Brush(0, 228, 0);
}

void DeleteSharedDrawingObjects() {
    HGDIOBJ objects[] = {Gdi.SmallFont,    Gdi.TitleFont,   Gdi.LabelFont,    Gdi.BlackPen1,    Gdi.DarkRedPen1,
                         Gdi.BluePen1,     Gdi.BluePen2,    Gdi.GreenPen2,    Gdi.DarkGreenPen1, Gdi.MagentaPen4,
                         Gdi.RedPen2,      Gdi.RedPen5,     Gdi.GreenPen5,    Gdi.AzurePen5,    Gdi.OrangePen5,
                         Gdi.MagentaPen5,  Gdi.PurplePen5,  Gdi.MagentaPen2,  Gdi.CyanBrush,    Gdi.YellowBrush,
                         Gdi.GreyBrush164, Gdi.GreyBrush64, Gdi.WhiteBrush,   Gdi.GreyBrush128, Gdi.BlueBrush,
                         Gdi.MeasuredMarkerBrush, Gdi.EmptyMarkerBrush};
    for (HGDIOBJ o : objects)
        if (o) DeleteObject(o);
    for (HBRUSH b : Gdi.MeterBrushes)
        if (b) DeleteObject(b);
    Gdi = SharedDrawingObjects{};
}
