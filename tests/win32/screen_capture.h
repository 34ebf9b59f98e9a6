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
