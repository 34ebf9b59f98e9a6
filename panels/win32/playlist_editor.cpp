// The "Playlist Editor" (Play_List): the playlist as a six-column list, Add Song, Delete Song, Clear, Save
// and Load Playlist. A click on a song makes it the next song to play, and ends the playing one.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/global_records.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "panels/playlist_editor.h"
#include "panels/resource_ids.h"
#include "panels/wav_player.h"
#include "panels/win32/control_panels.h"
#include "panels/win32/panel_common.h"

namespace {

constexpr int kEditorSlot = 22;
constexpr int kListLeft = 2, kListTop = 2, kListWidth = 820, kListHeight = 430;
constexpr int kListGap = 6;  // between the list and the buttons

struct ColumnInfo {
    const char* title;
    int width;
};
constexpr ColumnInfo kColumns[kPlaylistViewColumns] = {{"Title", 250}, {"Length", 70}, {"Size", 70},
                                                       {"Type", 100},  {"Bit Rate", 80}, {"Location", 600}};

HWND PlaylistListView = nullptr;

// Each file dialog keeps its own path and file title for the whole run, so it opens where it was last.
char SongOpenPath[kPathWidth], SongOpenTitle[kPathWidth];
char PlaylistOpenPath[kPathWidth], PlaylistOpenTitle[kPathWidth];
char PlaylistSavePath[kPathWidth], PlaylistSaveTitle[kPathWidth];

FilePickerDescription EditorPicker(const char* filter, const char* pattern, bool for_save) {
    FilePickerDescription p;
    p.filters = {{filter, pattern}};
    p.default_extension = "*.*";
    p.for_save = for_save;
    p.hide_read_only = true;
    p.create_prompt = true;
    return p;
}

// A file dialog with the live keys quiet while it is open.
bool PickFile(HWND editor, const FilePickerDescription& picker, char* path, char* title) {
    ModalDialogOpen = 1;
    const bool chosen = RunFilePicker(editor, picker, path, title);
    ModalDialogOpen = 0;
    return chosen;
}

int ResetPlaylistView(HWND list, int rows) {
    // One repaint for the whole list, not one per row.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    ListView_SetItemCount(list, rows);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = LPSTR_TEXTCALLBACKA;
    for (int i = 0; i < rows; ++i) {
        item.iItem = i;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return 1;
}

void ShowTitle(HWND editor) {
    SetWindowTextA(editor, PlaylistEditorTitle(Playlist.SongsTotal, WavPlayer.SongIndex + 1).c_str());
}

void SelectRow(HWND list, int row) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
}

// The list fills the dialog's left part up to the buttons, at most at its own size.
RECT ListRectangle(HWND editor) {
    RECT client, button;
    GetClientRect(editor, &client);
    GetWindowRect(GetDlgItem(editor, IDC_ADD_SONG), &button);
    MapWindowPoints(nullptr, editor, reinterpret_cast<POINT*>(&button), 2);
    const int width = std::min<int>(kListWidth, button.left - kListGap - kListLeft);
    const int height = std::min<int>(kListHeight, client.bottom - 2 * kListTop);
    return RECT{kListLeft, kListTop, kListLeft + width, kListTop + height};
}

BOOL OnInitDialog(HWND editor) {
    WavPlayer.SongIndex = 0;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    const RECT r = ListRectangle(editor);
    PlaylistListView = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                       WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, editor,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PLAYLIST_VIEW)), AppInstance, nullptr);
    ListView_SetExtendedListViewStyle(PlaylistListView, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    for (int c = 0; c < kPlaylistViewColumns; ++c) {
        column.pszText = const_cast<char*>(kColumns[c].title);
        column.cx = kColumns[c].width;
        column.iSubItem = c;
        SendMessageA(PlaylistListView, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    RefreshPlaylistView(PlaylistViewRows, Playlist);
    ResetPlaylistView(PlaylistListView, kPlaylistSlots);
    SelectRow(PlaylistListView, WavPlayer.SongIndex);
    SetFocus(PlaylistListView);
    ShowTitle(editor);
    return FALSE;  // the focus is set
}

void OnAddSong(HWND editor) {
    if (EngineRunning || Playlist.SongsTotal >= kMaxSongs) return;
    if (!PickFile(editor, EditorPicker("Wave Files (*.wav)", "*.wav", false), SongOpenPath, SongOpenTitle)) return;
    MessageList messages;
    WavSettings applied;
    const AddSongResult added = AddSongToPlaylist(&Playlist, SongOpenPath, SongOpenTitle, &applied, &messages);
    ShowHvMessages(FrameWindow, messages);
    if (added != AddSongResult::kAdded) return;
    ApplyWavSettings(applied, {&pr_file->tail.HV_Sampling, &InputMode, &WavPlayer.WavIs24Bit});
    ResetPlaylistView(PlaylistListView, kPlaylistSlots);
    SelectRow(PlaylistListView, static_cast<int>(Playlist.SongsTotal) - 1);
    ShowTitle(editor);
}

void OnDeleteSong(HWND editor) {
    if (EngineRunning) return;
    if (!DeleteSongFromPlaylist(&Playlist, WavPlayer.SongIndex)) return;
    ResetPlaylistView(PlaylistListView, kPlaylistSlots);
    ShowTitle(editor);
}

void OnSavePlaylist(HWND editor) {
    if (EngineRunning) return;
    if (!PickFile(editor, EditorPicker("Playlist Files (*.ply)", "*.ply", true), PlaylistSavePath, PlaylistSaveTitle))
        return;
    MessageList messages;
    SavePlaylistFile(PlaylistSavePath, Playlist, &messages);
    ShowHvMessages(editor, messages);
}

void OnLoadPlaylist(HWND editor) {
    if (EngineRunning) return;
    if (PickFile(editor, EditorPicker("Playlist Files (*.ply)", "*.ply", false), PlaylistOpenPath, PlaylistOpenTitle)) {
        MessageList messages;
        LoadPlaylistFile(PlaylistOpenPath, &Playlist, &messages);
        ShowHvMessages(editor, messages);
        ShowTitle(editor);
    }
    // Whether or not a file was loaded, every song in the list is checked again; the first that fails ends
    // the pass with its message, and the rows of those before it are brought up to date.
    MessageList messages;
    const int passed = CheckPlaylistSongs(Playlist, &messages);
    for (int i = 0; i < passed; ++i) RefreshPlaylistViewRow(&PlaylistViewRows[i], Playlist.slots[i]);
    ShowHvMessages(FrameWindow, messages);
    if (passed < static_cast<int>(Playlist.SongsTotal)) return;
    // The rows after the songs follow the record too, so that a later full listing shows no stale songs.
    RefreshPlaylistView(PlaylistViewRows, Playlist);
    WavPlayer.SongIndex = 0;
    ResetPlaylistView(PlaylistListView, static_cast<int>(Playlist.SongsTotal));
    SelectRow(PlaylistListView, 0);
    ShowTitle(editor);
}

void OnClearPlaylist(HWND editor) {
    if (EngineRunning) return;
    if (!ClearPlaylistSongs(&Playlist)) return;
    WavPlayer.SongIndex = 0;
    ResetPlaylistView(PlaylistListView, kPlaylistSlots);
    // No song is left to select: both counts read 0.
    SetWindowTextA(editor, PlaylistEditorTitle(0, 0).c_str());
}

// Taken also while the player plays: the clicked song is the next one, and the playing one ends.
void OnListClick(HWND editor) {
    const int first = ListView_GetNextItem(PlaylistListView, -1, LVNI_SELECTED);
    if (first >= 0) SetFocus(PlaylistListView);
    MessageList messages;
    if (ClickPlaylistRow(first, Playlist.SongsTotal, &WavPlayer.SongIndex, &messages)) WavPlayer.SongJumpRequest = 1;
    WavPlayer.InterruptedSong = -1;  // a STOP now leaves the song chosen here as the next one
    ShowHvMessages(FrameWindow, messages);
    SelectRow(PlaylistListView, WavPlayer.SongIndex);
    ShowTitle(editor);
}

BOOL OnNotify(HWND editor, const NMHDR* header) {
    if (header->idFrom != IDC_PLAYLIST_VIEW) return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA: {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header));
        const int row = info->item.iItem;
        if ((info->item.mask & LVIF_TEXT) && row >= 0 && row < kPlaylistSlots)
            info->item.pszText = const_cast<char*>(PlaylistViewRows[row].Column(info->item.iSubItem));
        return TRUE;
    }
    case NM_CLICK: OnListClick(editor); return TRUE;
    default: return FALSE;
    }
}

void Close(HWND editor) {
    if (EngineRunning) return;
    DestroyWindow(editor);
}

}  // namespace

void SelectPlaylistRow(int row) {
    if (PlaylistEditorWindow && PlaylistListView) SelectRow(PlaylistListView, row);
}

void SetPlaylistEditorTitle(const char* title) {
    if (PlaylistEditorWindow) SetWindowTextA(PlaylistEditorWindow, title);
}

INT_PTR CALLBACK PlaylistEditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(editor);
    case WM_NOTIFY: return OnNotify(editor, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ADD_SONG: OnAddSong(editor); break;
        case IDC_DELETE_SONG: OnDeleteSong(editor); break;
        case IDC_SAVE_PLAYLIST: OnSavePlaylist(editor); break;
        case IDC_LOAD_PLAYLIST: OnLoadPlaylist(editor); break;
        case IDC_CLEAR_PLAYLIST: OnClearPlaylist(editor); break;
        case IDOK:
        case IDCANCEL: Close(editor); break;
        default: break;
        }
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
        Close(editor);
        return TRUE;
    case WM_MOVE:
        if (!EngineRunning) TrackPanelMove(lParam, kEditorSlot);
        return FALSE;
    case WM_SIZE:
        if (PlaylistListView) {
            const RECT r = ListRectangle(editor);
            MoveWindow(PlaylistListView, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        }
        return FALSE;
    case WM_DESTROY:
        PlaylistListView = nullptr;
        if (PlaylistEditorWindow == editor) PlaylistEditorWindow = nullptr;
        return FALSE;
    default: return FALSE;
    }
}

HWND CreatePlaylistEditor(HWND owner) { return CreateDialogParamA(AppInstance, "Play_List", owner, PlaylistEditorProc, 0); }
