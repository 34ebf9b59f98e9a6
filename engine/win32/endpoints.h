#pragma once
// The endpoint lists over the system's WASAPI enumerator. Run on a thread with COM initialised (the
// user-interface thread is, from start-up). With a Preferences window given, its device list (control
// 10029 for capture, 10030 for render) mirrors the names and selects the chosen line.
#include <windows.h>

#include <cstdint>

inline constexpr int kCaptureDeviceListId = 10029;
inline constexpr int kRenderDeviceListId = 10030;

// Each returns the code of the first failing call, or S_OK.
int32_t EnumCaptureEndpoints(HWND preferences_window = nullptr);
int32_t EnumRenderEndpoints(HWND preferences_window = nullptr);
