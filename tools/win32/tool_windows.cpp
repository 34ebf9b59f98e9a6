#include "tools/win32/tool_windows.h"

#include "app/win32/child_windows.h"
#include "app/win32/window_registry.h"

void InstallToolWindows() {
    Dialogs.transferFunction = CreateTransferFunctionDialog;
    Dialogs.diffractionCalculator = CreateDiffractionCalculator;
    Dialogs.importMeasurement = RunImportCommand;
    Dialogs.exportImpulseResponse = RunExportImpulseResponse;
    Painters.hbt = [](HDC dc, int mode) { PaintHbtWindow(dc, mode); };
    Painters.irView = [](HDC dc, int mode) { DrawImpulseResponseView(dc, mode); };
    Painters.irSplFrame = [](HDC dc) { DrawIrSplFrame(dc); };
    Painters.irSplCurves = [](HDC dc, int row, int) { DrawIrSplCurves(dc, row); };
    Painters.diffraction = [](HDC dc) { PaintDiffractionPlot(dc); };
}
