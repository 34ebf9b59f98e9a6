#pragma once
// Screenshots for the reproduction scripts: when HV_SCREENSHOT_DIR is set, a test saves what the screen shows
// as <dir>/<name>.bmp (scripts/screenshots turns them into PNGs).
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

inline bool ScreenshotsWanted() {
    const char* dir = std::getenv("HV_SCREENSHOT_DIR");
    return dir && *dir;
}

// Saves the screen rectangle `r` (the whole screen when it is empty) as a 24-bit BMP.
inline void SaveScreenRect(const char* name, RECT r) {
    if (!ScreenshotsWanted()) return;
    if (r.right <= r.left || r.bottom <= r.top) r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bih{sizeof bih, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = ((w * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<size_t>(stride) * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    BITMAPFILEHEADER bfh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof bih + pixels.size()), 0, 0,
                         sizeof(BITMAPFILEHEADER) + sizeof bih};
    std::ofstream f(std::string(std::getenv("HV_SCREENSHOT_DIR")) + "/" + name + ".bmp", std::ios::binary);
    f.write(reinterpret_cast<const char*>(&bfh), sizeof bfh);
    f.write(reinterpret_cast<const char*>(&bih), sizeof bih);
    f.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

inline void SaveScreen(const char* name) { SaveScreenRect(name, RECT{0, 0, 0, 0}); }

// Brings the window (or the MDI child of `mdi_client` that holds it) to the front, above other programs'
// windows, lets it paint (its picture reaches the screen from the message loop) and saves its picture.
inline void SaveWindowScreenshot(const std::string& name, HWND window, HWND mdi_client) {
    if (!ScreenshotsWanted() || !window) return;
    HWND child = window;
    while (GetParent(child) && GetParent(child) != mdi_client) child = GetParent(child);
    if (GetParent(child) == mdi_client) SendMessageA(mdi_client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
    HWND top = GetAncestor(window, GA_ROOT);
    SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 10; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(15);
    }
    RECT r;
    GetWindowRect(window, &r);
    SaveScreenRect(name.c_str(), r);
    SetWindowPos(top, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
