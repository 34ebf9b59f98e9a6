#pragma once
// What the control panels share: the volume bar and its gain text, the phase boxes, the owner-drawn Play and
// STOP buttons, the live-key hook plumbing and the WAV save record.
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>

#include "app/file_picker.h"
#include "panels/live_keys.h"
#include "panels/play_sequence.h"

// VolumePosition := position (clamped to 0..66), the bar moved there, MasterGain, gain text emptied.
void SetVolumePosition(HWND panel, int32_t position);
// WM_HSCROLL of the volume bar (other scroll bars are ignored). Returns true when it was the volume bar.
bool OnVolumeScroll(HWND panel, WPARAM wParam, LPARAM lParam);
// Paints "Gain = %ddB (%.3f)    " into the owner-drawn gain text (control 30), black on yellow over cyan.
void DrawGainText(const DRAWITEMSTRUCT* item, HFONT font);
// The text itself, for tests and painting.
void FormatGainText(char* text, size_t size);

// Lin-PH and Min-PH for a phase mode (0: Lin-PH checked).
void SetPhaseBoxes(HWND panel, int32_t phase_mode);
// A phase button: the boxes, PhaseMode and the title "Linear Phase" / "Minimum Phase".
void SelectPhaseMode(HWND panel, int32_t phase_mode);

// The owner-drawn Play and STOP buttons of each panel: the design panel's small ones, the Player Control
// panel's outlined ones, and the WAV player's with the frame pen's shadow line and no outline.
enum class PanelButtonStyle { kDesign, kPlayer, kWavPlayer };
void DrawPlayStopButton(const DRAWITEMSTRUCT* item, PanelButtonStyle style);

// The live-key hook of a panel: for a key the dialog manager hands on for the panel itself (the dialog or one
// of its controls other than an edit), does what the key asks of `panel` and the shared values; then passes
// every message on through the panel's own hook handle.
LRESULT RunLiveKeyHook(LiveKeyPanel which, HWND panel, HHOOK own, int code, WPARAM wParam, LPARAM lParam);

// "BBM %.1fdB " of 20 log10(BbmGain + offset), the panels' opening title.
void SetBbmTitle(HWND panel, double offset);

// The live-key groups parsed from the record and every trim 1.0 (panel creation, profile load).
void ResetLiveKeyState();

// The save-file record of the output recording: filled by PrepareWavSaveDialog, completed by the caller.
extern OPENFILENAMEA WavSaveDialogRecord;
void PrepareWavSaveDialog(HWND owner);
// The same as a picker description for RunFilePicker (save, "Wave Files (*.wav)", OFN_CREATEPROMPT and
// OFN_HIDEREADONLY, default extension "*.*").
FilePickerDescription WavSavePicker();

// The start timer of a panel: "Del=0", the engine started, the meters following it; a refused start shows
// why.
void StartFromTimer(HWND panel);

// After a project or profile was loaded into the record: the volume back to position 9 with its bar, gain and
// gain text, the phase boxes from the loaded PhaseMode, and the live values handed on.
void SettleLiveControlsAfterLoad(HWND panel);

// What both player panels (Player_HV and WAVE_Player_HV) set up as they open: the plot grids, the meters as
// InputMeterWindow and OutputMeterWindow, the volume bar and MasterGain from VolumePosition, the phase boxes,
// EngineRunning cleared, the block grid, the engine's buffers, the "BBM" title, the pane labels, the
// live-key groups with every trim 1.0, and the last project's name.
void OpenPlayerControls(HWND panel);
// The pane labels 60..68 back to their short names ("FL" .. "SR").
void ResetPaneLabels(HWND panel);
// Both meters of the panel cleared.
void ClearPanelMeters(HWND panel);
// LoadedProfileName from the path (the part after its last backslash; a path without one leaves it), shown
// in control 35.
void ShowProfileName(HWND panel, const char* path);
// What a player panel shows once a profile was loaded from `path`: the pane labels back, the frame's title
// (the player's program text and the path) and its "Last Project File" item, the profile's name and the
// panel's "BBM" title.
void ShowLoadedProfile(HWND panel, const std::string& path);

// The settings in force that the Play checks read.
PlaySettings CurrentPlaySettings();

// Hands the live values to the engine after a change (every writer of them calls it).
void PublishLiveValues();

// The meters follow the engine's published peaks while it streams: a 50 ms panel timer that draws the
// newest peaks into the panel's meters and ends itself once EngineRunning is clear.
inline constexpr UINT_PTR kMeterTimer = 10160;
inline constexpr UINT kMeterIntervalMs = 50;
void StartMeterTimer(HWND panel);
void OnMeterTimer(HWND panel);

// The orange-red brush of pressed Play and STOP buttons, made on first use and kept.
HBRUSH PressedButtonBrush();

// Closes a control panel: its own key hook goes, the engine threads leave and are joined before the
// buffers the panel holds are released, the meters forget it, and its registry entry is cleared.
void ReleasePanel(HWND panel, HHOOK* hook, bool* buffersHeld, HWND* registryEntry);

// A panel remembers where it was moved to: the dialog's client origin less its caption and edges, kept
// inside the usable screen. It keeps no size.
void TrackPanelMove(LPARAM lParam, int slot);
