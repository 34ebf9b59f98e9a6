#pragma once
// The settings the design code reads beside the network headers. app/settings.h and
// design/network_validation.h both define kCurveViewFlagCount, so one file cannot include both; these are
// the same declarations as in app/settings.h.
#include <atomic>
#include <cstdint>

extern int EditTool;    // 1 Draw, 5 Move, 6 Wipe Comp, 8 Wipe Wire
extern int ActivePane;  // 1..9, 0 for none
extern int ShowNodes;
extern int ShowRaster;
extern uint32_t BassMode;
extern uint32_t OutputMode;
extern uint32_t HV_Buffer_Size;
extern std::atomic<int> EngineRunning;
extern std::atomic<int> ModalDialogOpen;
