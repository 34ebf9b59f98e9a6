#pragma once
// The MDI child windows that frame the program's views: placement tracking, titles, client-size records and
// read-outs. What each view draws comes from the painter its owner registers.
#include <windows.h>

#include <cstdint>

struct ClientSize {
    int32_t width, height;
};
extern ClientSize SplPlotClientSize, IrViewClientSize, IrSplViewClientSize, HbtViewClientSize,
    DiffractionViewClientSize, MlsImpulseClientSize, MlsSplPageSize;

// Painters of the views, registered by the parts of the program that own them; a view whose painter is
// not registered shows its background only.
struct ChildPainters {
    void (*splPlot)(HDC dc) = nullptr;
    void (*irView)(HDC dc, int mode) = nullptr;
    void (*irSplFrame)(HDC dc) = nullptr;
    void (*irSplCurves)(HDC dc, int row, int flag) = nullptr;
    void (*hbt)(HDC dc, int flag) = nullptr;
    void (*diffraction)(HDC dc) = nullptr;
    void (*penColours)(HDC dc) = nullptr;
    void (*preferences)(HDC dc) = nullptr;
    void (*mlsImpulse)(HDC dc) = nullptr;
    // The "MLS Impulse Response" window's cursor (a left click, an arrow key) and its scroll moves.
    void (*mlsImpulseClick)(HWND window, LPARAM position) = nullptr;
    void (*mlsImpulseKey)(HWND window, WPARAM key) = nullptr;
    void (*mlsImpulseScrolled)() = nullptr;
    // The pages of the "MLS Frequency Domain" window: creates page 0..3 as a child of the tab control.
    HWND (*mlsSplPage)(HWND tab, int page) = nullptr;
};
extern ChildPainters Painters;

// Placement tracking shared by every MDI child: the move writes x and y, the size cx and cy (read from the
// window's own client area), both kept inside the usable screen.
void TrackChildMove(HWND window, int slot, LPARAM lParam);
void TrackChildSize(HWND window, int slot, int extraHeight);

LRESULT CALLBACK SplPlottingWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK IrChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK IrSplChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditorChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DiffractionChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK PenColourChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK PreferencesChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK MlsSplChildWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK MlsImpChildWndProc(HWND, UINT, WPARAM, LPARAM);

LRESULT CALLBACK HomeTheatreSplitterWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StereoSplitterWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK QuadroSplitterWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Bbm52SplitterWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Bbm72SplitterWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Bbm22SplitterWndProc(HWND, UINT, WPARAM, LPARAM);

// The "MLS Frequency Domain" window's tab control, its page dialog and page number (0..3).
extern HWND MlsSplTabControl;
extern HWND MlsSplPageDialog;
extern int32_t MlsSplPageIndex;
// The first sample shown and the cursor sample of the "MLS Impulse Response" window.
extern int32_t MlsImpulseScroll;
extern int32_t MlsImpulseCursor;

// The "szChild_IR" read-out state and inputs the impulse-response tools own.
extern int32_t IrCursorBin;
extern int32_t IrTimeScale;
extern float* IrDrBuffer;
