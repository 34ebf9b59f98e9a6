// Printing by taking a picture of the screen: a window's client area is captured as a packed DIB and
// stretched onto one page of the chosen printer, at the scale and orientation of the print settings.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/messages.h"
#include "app/print_layout.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"

char DefaultPrinterName[81];
char DefaultPrinterDriver[81];
char DefaultPrinterPort[81];

namespace {

constexpr const char* kPrintCaption = "Test";
constexpr const char* kScreenNotCaptured = "Screen NOT captured";
constexpr const char* kUnableToStartJob = "Unable To Start Print Job";
constexpr const char* kErrorClosingJob = "Error Closing Print Job";
constexpr const char* kDocumentName = "Sonavix";
constexpr int kDialogDone = 1;
constexpr int kDialogCancel = 2;

PrinterChoiceHook g_printerHook;

void ShowPrintMessage(HWND owner, const char* text) {
    HvMessage m{text, kPrintCaption};
    m.icon = MessageIcon::Warning;
    ShowHvMessage(owner, m);
}

void ReadDefaultPrinter() {
    char device[81] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    const DefaultPrinterText p = SplitDefaultPrinter(device);
    CopySettingText(DefaultPrinterName, sizeof DefaultPrinterName, p.name.c_str());
    CopySettingText(DefaultPrinterDriver, sizeof DefaultPrinterDriver, p.driver.c_str());
    CopySettingText(DefaultPrinterPort, sizeof DefaultPrinterPort, p.port.c_str());
}

const BITMAPINFOHEADER* Header(const char* dib) { return reinterpret_cast<const BITMAPINFOHEADER*>(dib); }

void ShowScaleText(HWND dialog) {
    const int row = PrintScaleRow(PrintSettings.scale);
    SetDlgItemTextA(dialog, IDC_PRINT_SCALE_TEXT, row >= 0 ? PrintScaleNames[row] : "");
}

void CheckOrientation(HWND dialog) {
    CheckDlgButton(dialog, IDC_PRINT_LANDSCAPE, PrintSettings.orientation == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PRINT_PORTRAIT, PrintSettings.orientation == 1 ? BST_UNCHECKED : BST_CHECKED);
}

void ReadField(HWND dialog, int id, char* field, int chars) {
    char text[kSettingTextWidth] = {};
    GetDlgItemTextA(dialog, id, text, chars + 1);
    CopySettingText(field, kSettingTextWidth, text);
}

}  // namespace

void SetPrinterChoiceHook(PrinterChoiceHook hook) { g_printerHook = std::move(hook); }

long long ScreenColourCount(HDC dc) {
    return ScreenColourCount(GetDeviceCaps(dc, BITSPIXEL), GetDeviceCaps(dc, PLANES));
}

INT_PTR CALLBACK EnterScalesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            SetDlgItemTextA(dialog, IDC_PRINTER_TYPE, DefaultPrinterDriver);
            SetDlgItemTextA(dialog, IDC_PRINTER_MODEL, DefaultPrinterName);
            SetDlgItemTextA(dialog, IDC_PRINTER_PORT, DefaultPrinterPort);
            HWND list = GetDlgItem(dialog, IDC_PRINT_SCALE_LIST);
            for (const char* name : PrintScaleNames)
                SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(PrintScaleRow(PrintSettings.scale)), 0);
            ShowScaleText(dialog);
            CheckOrientation(dialog);
            SetDlgItemTextA(dialog, IDC_PRINT_X_OFFSET, PrintSettings.xOffset);
            SetDlgItemTextA(dialog, IDC_PRINT_Y_OFFSET, PrintSettings.yOffset);
            SetDlgItemTextA(dialog, IDC_PRINT_COLOUR_COUNT, PrintSettings.colourCount);
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PRINT_LANDSCAPE:
                    PrintSettings.orientation = 1;
                    CheckOrientation(dialog);
                    return TRUE;
                case IDC_PRINT_PORTRAIT:
                    PrintSettings.orientation = 0;
                    CheckOrientation(dialog);
                    return TRUE;
                case IDC_PRINT_SCALE_LIST:
                    if (HIWORD(wParam) == LBN_SELCHANGE) {
                        const LRESULT row = SendDlgItemMessageA(dialog, IDC_PRINT_SCALE_LIST, LB_GETCURSEL, 0, 0);
                        if (row >= 0 && row < kPrintScaleRows) PrintSettings.scale = PrintScalePercents[row];
                        ShowScaleText(dialog);
                    }
                    return TRUE;
                case IDOK:
                    ReadField(dialog, IDC_PRINT_X_OFFSET, PrintSettings.xOffset, kPrintOffsetChars);
                    ReadField(dialog, IDC_PRINT_Y_OFFSET, PrintSettings.yOffset, kPrintOffsetChars);
                    ReadField(dialog, IDC_PRINT_COLOUR_COUNT, PrintSettings.colourCount, kPrintColourCountChars);
                    EndDialog(dialog, kDialogDone);
                    return TRUE;
                case IDCANCEL: EndDialog(dialog, kDialogCancel); return TRUE;
                default: return FALSE;
            }
        case WM_RBUTTONDOWN:
            CopyWindowToClipboard(FrameWindow);
            return TRUE;
        default: return FALSE;
    }
}

// ---- Capture -----------------------------------------------------------------------------------------------

HBITMAP CopyScreenRectToBitmap(const RECT& rect) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return nullptr;
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!screen) return nullptr;
    const int width = GetDeviceCaps(screen, HORZRES), height = GetDeviceCaps(screen, VERTRES);
    const int left = rect.left < 0 ? 0 : rect.left, top = rect.top < 0 ? 0 : rect.top;
    const int right = rect.right > width ? width : rect.right, bottom = rect.bottom > height ? height : rect.bottom;
    HBITMAP bitmap = nullptr;
    if (right > left && bottom > top) {
        HDC mem = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, right - left, bottom - top);
        if (mem && bitmap) {
            HGDIOBJ old = SelectObject(mem, bitmap);
            BitBlt(mem, 0, 0, right - left, bottom - top, screen, left, top, SRCCOPY);
            SelectObject(mem, old);
        }
        if (mem) DeleteDC(mem);
    }
    DeleteDC(screen);
    return bitmap;
}

HPALETTE CopySystemPalette() {
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    // Only a palette display has a system palette to copy; on others the colour count means nothing.
    HPALETTE palette = nullptr;
    if (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) {
        const int n = PaletteEntriesToCopy(PrintSettings.colourCount, GetDeviceCaps(screen, SIZEPALETTE));
        if (n > 0) {
            std::vector<char> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<std::size_t>(n));
            auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
            logical->palVersion = 0x300;
            logical->palNumEntries = static_cast<WORD>(n);
            GetSystemPaletteEntries(screen, 0, static_cast<UINT>(n), logical->palPalEntry);
            palette = CreatePalette(logical);
        }
    }
    ReleaseDC(nullptr, screen);
    return palette;
}

int DibNumColors(const char* dib) { return DibColourEntries(Header(dib)->biBitCount, Header(dib)->biClrUsed); }

int DibPaletteSize(const char* dib) { return DibNumColors(dib) * static_cast<int>(sizeof(RGBQUAD)); }

char* FindDibBits(char* dib) { return dib + Header(dib)->biSize + DibPaletteSize(dib); }

HGLOBAL BitmapToDib(HBITMAP bitmap, HPALETTE palette) {
    BITMAP bm{};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return nullptr;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = bm.bmWidth;
    header.biHeight = bm.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(DibBitsPerPixel(bm.bmPlanes * bm.bmBitsPixel));
    header.biCompression = BI_RGB;
    const std::size_t tableBytes = static_cast<std::size_t>(DibColourEntries(header.biBitCount, 0)) * sizeof(RGBQUAD);

    HDC screen = GetDC(nullptr);
    HPALETTE used = palette ? palette : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    HPALETTE oldPalette = SelectPalette(screen, used, FALSE);
    RealizePalette(screen);

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof header + tableBytes);
    bool ok = block != nullptr;
    if (ok) {
        auto* info = static_cast<BITMAPINFO*>(GlobalLock(block));
        info->bmiHeader = header;
        ok = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), nullptr, info, DIB_RGB_COLORS) != 0;
        if (ok && info->bmiHeader.biSizeImage == 0)
            info->bmiHeader.biSizeImage = static_cast<DWORD>(DibImageBytes(header.biBitCount, bm.bmWidth, bm.bmHeight));
        info->bmiHeader.biClrUsed = 0;  // the table is the full one of the bit count
        const SIZE_T total = sizeof header + tableBytes + info->bmiHeader.biSizeImage;
        GlobalUnlock(block);
        if (ok) {
            HGLOBAL grown = GlobalReAlloc(block, total, GMEM_MOVEABLE | GMEM_ZEROINIT);
            ok = grown != nullptr;
            if (ok) block = grown;
        }
        if (ok) {
            char* dib = static_cast<char*>(GlobalLock(block));
            ok = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), FindDibBits(dib),
                           reinterpret_cast<BITMAPINFO*>(dib), DIB_RGB_COLORS) != 0;
            GlobalUnlock(block);
        }
        if (!ok) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    return block;
}

HGLOBAL CaptureScreenRectToDib(const RECT& rect) {
    HBITMAP bitmap = CopyScreenRectToBitmap(rect);
    if (!bitmap) return nullptr;
    HPALETTE palette = CopySystemPalette();
    HGLOBAL dib = BitmapToDib(bitmap, palette);
    DeleteObject(bitmap);
    if (palette) DeleteObject(palette);
    return dib;
}

HGLOBAL CaptureClientToDib(HWND window) {
    RECT rc;
    if (!GetClientRect(window, &rc)) return nullptr;
    POINT corners[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
    ClientToScreen(window, &corners[0]);
    ClientToScreen(window, &corners[1]);
    return CaptureScreenRectToDib(RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y});
}

// ---- Printer -----------------------------------------------------------------------------------------------

HDC ChoosePrinterDc(HWND owner) {
    if (g_printerHook) return g_printerHook(owner);
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_PRINTSETUP | PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_HIDEPRINTTOFILE;
    pd.nFromPage = 1;
    pd.nToPage = 1;
    pd.nMinPage = 1;
    pd.nMaxPage = 1;
    pd.nCopies = 1;
    const BOOL chosen = PrintDlgA(&pd);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    return chosen ? pd.hDC : nullptr;
}

int StretchDibToRect(HDC dc, const RECT& dest, const RECT& clip, const char* dib, const char* bits) {
    const BITMAPINFOHEADER* h = Header(dib);
    PageRect drawn, source;
    if (!StretchSourceRect(PageRect{dest.left, dest.top, dest.right, dest.bottom},
                           PageRect{clip.left, clip.top, clip.right, clip.bottom}, h->biWidth, h->biHeight, &drawn,
                           &source))
        return 0;
    const int lines = StretchDIBits(dc, drawn.left, drawn.top, drawn.right - drawn.left, drawn.bottom - drawn.top,
                                    source.left, h->biHeight - source.bottom, source.right - source.left,
                                    source.bottom - source.top, bits, reinterpret_cast<const BITMAPINFO*>(dib),
                                    DIB_RGB_COLORS, SRCCOPY);
    return lines == 0 || lines == static_cast<int>(GDI_ERROR) ? 1 : 0;
}

int PrintCapturedDib(HWND, HGLOBAL dibBlock, HDC printer) {
    char* dib = static_cast<char*>(GlobalLock(dibBlock));
    if (!dib) return 1;
    const PageRect page =
        PrintDestinationRect(PrintSettings, GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES));
    const RECT dest{page.left, page.top, page.right, page.bottom};
    SetStretchBltMode(printer, COLORONCOLOR);
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = kDocumentName;
    if (StartDocA(printer, &doc) <= 0) {
        GlobalUnlock(dibBlock);
        return 2;
    }
    StartPage(printer);
    StretchDibToRect(printer, dest, dest, dib, FindDibBits(dib));
    if (EndPage(printer) <= 0) {
        // A page that did not end leaves no job behind.
        AbortDoc(printer);
        GlobalUnlock(dibBlock);
        return 3;
    }
    EndDoc(printer);
    GlobalUnlock(dibBlock);
    return 0;
}

int PrintWindowImage(HWND window, HWND second) {
    ReadDefaultPrinter();
    HDC screen = GetDC(nullptr);
    if (!screen) {
        ShowPrintMessage(window, kScreenNotCaptured);
        return 1;
    }
    std::snprintf(PrintSettings.colourCount, sizeof PrintSettings.colourCount, "%lld", ScreenColourCount(screen));
    ReleaseDC(nullptr, screen);
    if (DialogBoxParamA(AppInstance, "EnterScales", window, EnterScalesDialogProc, 0) != kDialogDone) return 1;
    UpdateWindow(window);
    if (second) UpdateWindow(second);
    HGLOBAL dib = CaptureClientToDib(window);
    if (!dib) {
        ShowPrintMessage(window, kScreenNotCaptured);
        return 1;
    }
    HDC printer = ChoosePrinterDc(window);
    if (!printer) {
        GlobalFree(dib);
        return 1;
    }
    UpdateWindow(window);
    if (second) UpdateWindow(second);
    const int result = PrintCapturedDib(window, dib, printer);
    if (result == 2) ShowPrintMessage(window, kUnableToStartJob);
    if (result == 3) ShowPrintMessage(window, kErrorClosingJob);
    DeleteDC(printer);
    GlobalFree(dib);
    return 0;
}
