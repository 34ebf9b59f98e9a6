#include "engine/win32/engine_status_view.h"

#include <string>

#include "app/win32/app_windows.h"
#include "engine/engine_globals.h"

namespace {

EngineStatusShown ProgramShown;

int StatusLineX(int stream) { return stream == 0 ? kCaptureStatusX : kRenderStatusX; }

void DrawLine(HDC dc, int stream, int row, const std::string& text) {
    if (text.empty()) return;
    TextOutA(dc, StatusLineX(stream), StatusRowY(row), text.c_str(), static_cast<int>(text.size()));
}

void CALLBACK OnEngineStatusTimer(HWND frame, UINT, UINT_PTR, DWORD) {
    // At most one player panel is open: the Player Control panel or the WAV player's.
    ShowEngineStatus(ProgramEngineStatus(), &ProgramShown, frame, DesignPlayerPanelWindow,
                     PlayerPanelWindow ? PlayerPanelWindow : WavPlayerPanelWindow);
}

}  // namespace

void DrawEngineStatusLines(HDC dc, const EngineStatusBoard& board) {
    for (int stream = 0; stream < 2; ++stream)
        for (int row = 0; row < kStatusRows; ++row) DrawLine(dc, stream, row, board.StatusLines[stream][row].Read());
}

int ShowEngineStatus(const EngineStatusBoard& board, EngineStatusShown* shown, HWND frame, HWND design_panel,
                     HWND player_panel) {
    int changes = 0;
    HDC dc = nullptr;
    for (int stream = 0; stream < 2; ++stream) {
        for (int row = 0; row < kStatusRows; ++row) {
            const PublishedText& line = board.StatusLines[stream][row];
            const uint32_t seen = line.Changes();
            if (seen == shown->StatusLines[stream][row]) continue;
            shown->StatusLines[stream][row] = seen;
            ++changes;
            if (!frame) continue;
            if (!dc) dc = GetDC(frame);
            if (dc) DrawLine(dc, stream, row, line.Read());
        }
    }
    if (board.SongEndLine.Changes() != shown->SongEndLine) {
        shown->SongEndLine = board.SongEndLine.Changes();
        ++changes;
        const std::string line = board.SongEndLine.Read();
        if (frame && !dc) dc = GetDC(frame);
        if (dc) TextOutA(dc, kSongEndLineX, kSongEndLineY, line.c_str(), static_cast<int>(line.size()));
    }
    if (dc) ReleaseDC(frame, dc);

    for (int i = 0; i < static_cast<int>(PanelText::Count); ++i) {
        const PublishedText& text = board.PanelTexts[i];
        const uint32_t seen = text.Changes();
        if (seen == shown->PanelTexts[i]) continue;
        shown->PanelTexts[i] = seen;
        ++changes;
        const std::string value = text.Read();
        const int control = PanelTextControl(static_cast<PanelText>(i));
        if (design_panel) SetDlgItemTextA(design_panel, control, value.c_str());
        if (player_panel) SetDlgItemTextA(player_panel, control, value.c_str());
    }
    if (board.DesignPanelTitle.Changes() != shown->DesignTitle) {
        shown->DesignTitle = board.DesignPanelTitle.Changes();
        ++changes;
        const std::string title = board.DesignPanelTitle.Read();
        if (design_panel && !title.empty()) SetWindowTextA(design_panel, title.c_str());
    }
    if (board.PlayerPanelTitle.Changes() != shown->PlayerTitle) {
        shown->PlayerTitle = board.PlayerPanelTitle.Changes();
        ++changes;
        const std::string title = board.PlayerPanelTitle.Read();
        if (player_panel && !title.empty()) SetWindowTextA(player_panel, title.c_str());
    }
    return changes;
}

void StartEngineStatusTimer(HWND frame) { SetTimer(frame, kEngineStatusTimerId, kEngineStatusIntervalMs, OnEngineStatusTimer); }
void StopEngineStatusTimer(HWND frame) { KillTimer(frame, kEngineStatusTimerId); }
