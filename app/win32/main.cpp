#include <windows.h>

#include "app/win32/app_windows.h"
#include "measure/win32/mls_windows.h"
#include "measure/win32/room_eq_windows.h"
#include "panels/win32/control_panels.h"
#include "tools/win32/tool_windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    InstallControlPanels();
    InstallMeasurementWindows();
    InstallToolWindows();
    InstallRoomEqualizer();
    if (!StartApplication(instance, previous, commandLine, showCommand)) {
        ReleaseApplication();
        return 1;
    }
    int code = RunMessageLoop();
    ReleaseApplication();
    return code;
}
