// The three measurement-import converters: the open picker, the file read whole, and the modal dialog that
// shows the file's first lines, takes the corrections and the column layout, and converts on "Amplitude".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "tools/driver_fields.h"
#include "tools/measurement_import.h"
#include "tools/resource_ids.h"
#include "tools/win32/tool_windows.h"

namespace {

constexpr int kCorrectionChars = 9;
constexpr int kPreviewColumnPixels = 8;
constexpr int kPreviewRowPixels = 12;

// One converter run: the member and its file, read whole, until the dialog closes.
struct ImportSession {
    ImportMember member;
    std::string path;
    std::vector<char> image;  // ImportFileImage
};

// The owners the pickers were set up for, by member (the frame sets them up just before each import).
HWND g_pickerOwner[3] = {};
// The frame's path and title buffers of each converter.
char g_importPath[3][kPathWidth];
char g_importTitle[3][kPathWidth];

ImportSession* SessionOf(HWND dialog) { return reinterpret_cast<ImportSession*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void SetText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

void SetNumber(HWND dialog, int id, const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    SetText(dialog, id, text);
}

// An edit's text into a driver text field, at most `chars` characters.
void EditToField(HWND dialog, int id, char* field, int chars) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, chars + 1);
    CopySettingText(field, chars + 1, text);
}

int EditInteger(HWND dialog, int id) {
    char text[32] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return std::atoi(text);
}

void StoreCorrections(HWND dialog) {
    EditToField(dialog, IDC_IMPORT_EFFICIENCY, DriverEfficiencyText(*CurrentDriver), kCorrectionChars);
    EditToField(dialog, IDC_IMPORT_DELAY, DriverImportDelay(*CurrentDriver), kCorrectionChars);
    EditToField(dialog, IDC_IMPORT_SCALE, DriverImportScale(*CurrentDriver), kCorrectionChars);
}

ImportColumns ColumnsFromPreferences() {
    ImportColumns c;
    for (int i = 0; i < kImportColumnBoxes; ++i) c.include[i] = Preferences->IncludeColumn[i];
    c.column_count = static_cast<int32_t>(Preferences->TotalColumns);
    c.erase_lines = static_cast<int32_t>(Preferences->EraseLines);
    return c;
}

void OnInit(HWND dialog, ImportSession* s) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(s));
    const ImportMemberInfo& info = ImportMemberOf(s->member);
    char text[64];
    if (info.length_format[1] == 'l') {
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(s->image.size()));
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(s->image.size()));
    }
    SetText(dialog, IDC_IMPORT_LENGTH, text);
    SetText(dialog, IDC_IMPORT_DELAY, DriverImportDelay(*CurrentDriver));
    SetText(dialog, IDC_IMPORT_SCALE, DriverImportScale(*CurrentDriver));
    SetText(dialog, IDC_IMPORT_EFFICIENCY, DriverEfficiencyText(*CurrentDriver));
    SetDlgItemInt(dialog, IDC_IMPORT_ERASE_LINES, Preferences->EraseLines, TRUE);
    SetDlgItemInt(dialog, IDC_IMPORT_COLUMN_COUNT, Preferences->TotalColumns, TRUE);
    for (int i = 0; i < kImportColumnBoxes; ++i)
        CheckDlgButton(dialog, IDC_IMPORT_COLUMN_1 + i, Preferences->IncludeColumn[i] == 1 ? BST_CHECKED : BST_UNCHECKED);
    for (int id : {IDC_IMPORT_DELAY, IDC_IMPORT_SCALE, IDC_IMPORT_EFFICIENCY})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kCorrectionChars, 0);
    SetWindowTextA(dialog, s->path.c_str());
    SetFocus(GetDlgItem(dialog, IDC_IMPORT_ERASE_LINES));
}

// The preview: up to 21 lines of the file, a character every 8 pixels, a line every 12.
void DrawPreview(const DRAWITEMSTRUCT* item, const ImportSession& s) {
    HDC dc = item->hDC;
    const RECT rc = item->rcItem;
    HGDIOBJ pen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ brush = SelectObject(dc, Gdi.WhiteBrush);
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    SetBkMode(dc, TRANSPARENT);
    const ImportPreview preview = MakeImportPreview(s.image.data(), s.image.size());
    std::vector<INT> advance(128, kPreviewColumnPixels);
    const int rows = static_cast<int>(preview.lines.size());
    for (int r = 0; r < rows; ++r) {
        const std::string& line = preview.lines[r];
        if (preview.line_cut && r == rows - 1) {
            TextOutA(dc, 5, 5 + kPreviewRowPixels * r, "[.......]", 9);
            break;
        }
        if (advance.size() < line.size()) advance.resize(line.size(), kPreviewColumnPixels);
        ExtTextOutA(dc, 5, 5 + kPreviewRowPixels * r, 0, nullptr, line.data(), static_cast<UINT>(line.size()),
                    advance.data());
    }
    if (preview.more) TextOutA(dc, 5, 257, "[.......]", 9);
    SelectObject(dc, font);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
}

// "Amplitude": the corrections and the column layout are stored, then both grids are converted. The points
// are binned in one pass, so the statistics show where the conversion ended: the last linear bin written.
void Convert(HWND dialog, ImportSession* s) {
    StoreCorrections(dialog);
    Preferences->TotalColumns = static_cast<uint32_t>(EditInteger(dialog, IDC_IMPORT_COLUMN_COUNT));
    Preferences->EraseLines = static_cast<uint32_t>(EditInteger(dialog, IDC_IMPORT_ERASE_LINES));
    ImportConversion conversion;
    conversion.member = s->member;
    conversion.columns = ColumnsFromPreferences();
    conversion.log_table = LogFrequencyTable;
    conversion.bin_table = BinFrequencyTable;
    conversion.block_frames = BlockFrames;
    MessageList messages;
    const int converted = WithWaitCursor(
        [&] { return ConvertImportFile(s->image.data(), s->image.size(), conversion, CurrentDriver, &messages); });
    ShowHvMessages(dialog, messages);
    if (converted != 1) return;
    const ImportMemberInfo& info = ImportMemberOf(s->member);
    const int last = 8 * BlockFrames;
    SetNumber(dialog, IDC_IMPORT_FREQUENCY, "%.1f", BinFrequencyTable[last]);
    SetNumber(dialog, IDC_IMPORT_AMPLITUDE_VALUE, info.amplitude_format, CurrentDriver->spl_lin[last]);
    SetNumber(dialog, IDC_IMPORT_PHASE_VALUE, info.phase_format, CurrentDriver->phase_lin[last]);
    EndDialog(dialog, 1);
}

INT_PTR ImportBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ImportSession* s = SessionOf(dialog);
    switch (message) {
        case WM_INITDIALOG:
            OnInit(dialog, reinterpret_cast<ImportSession*>(lParam));
            return FALSE;  // the focus is set
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (s && item->CtlID == IDC_IMPORT_PREVIEW) {
                DrawPreview(item, *s);
                return TRUE;
            }
            return FALSE;
        }
        case WM_RBUTTONDOWN:
            CopyWindowToClipboard(FrameWindow);
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (!s) return FALSE;
            if (id >= IDC_IMPORT_COLUMN_1 && id <= IDC_IMPORT_COLUMN_5) {
                uint32_t& flag = Preferences->IncludeColumn[id - IDC_IMPORT_COLUMN_1];
                flag = flag == 1 ? 0 : 1;
                CheckDlgButton(dialog, id, flag == 1 ? BST_CHECKED : BST_UNCHECKED);
                return TRUE;
            }
            switch (id) {
                case IDC_IMPORT_CONVERT: Convert(dialog, s); return TRUE;
                case IDC_IMPORT_PRINT:
                    if (FrameWindow) PrintWindowImage(FrameWindow, dialog);
                    return TRUE;
                case IDCANCEL:
                    StoreCorrections(dialog);
                    EndDialog(dialog, 0);
                    return TRUE;
                default: return FALSE;
            }
        }
        default: return FALSE;
    }
}

int LoadAndConvert(ImportMember member, HWND owner, const char* path) {
    ImportSession session{member, path, {}};
    MessageList messages;
    if (!LoadImportFile(path, &session.image, &messages)) {
        ShowHvMessages(owner, messages);
        return 0;
    }
    static INT_PTR(CALLBACK* const kProcs[3])(HWND, UINT, WPARAM, LPARAM) = {ImportImpBoxProc, ImportLmsBoxProc,
                                                                            ImportClioBoxProc};
    const int m = static_cast<int>(member);
    const INT_PTR result = DialogBoxParamA(AppInstance, ImportMemberOf(member).dialog_template, owner, kProcs[m],
                                           reinterpret_cast<LPARAM>(&session));
    return result == 1 ? 1 : 0;
}

int ImportFile(ImportMember member, HWND owner, char* path, char* title) {
    if (!RunFilePicker(owner, ImportFilePicker(member), path, title)) return 0;
    return LoadAndConvert(member, owner, path);
}

}  // namespace

INT_PTR CALLBACK ImportImpBoxProc(HWND d, UINT m, WPARAM w, LPARAM l) { return ImportBoxProc(d, m, w, l); }
INT_PTR CALLBACK ImportLmsBoxProc(HWND d, UINT m, WPARAM w, LPARAM l) { return ImportBoxProc(d, m, w, l); }
INT_PTR CALLBACK ImportClioBoxProc(HWND d, UINT m, WPARAM w, LPARAM l) { return ImportBoxProc(d, m, w, l); }

int InitImpImportPicker(HWND owner) {
    g_pickerOwner[0] = owner;
    return 0;
}
int InitLmsImportPicker(HWND owner) {
    g_pickerOwner[1] = owner;
    return 0;
}
int InitClioImportPicker(HWND owner) {
    g_pickerOwner[2] = owner;
    return 0;
}
int ImportImpFile(HWND owner, char* path, char* title) { return ImportFile(ImportMember::kImp, owner, path, title); }
int ImportLmsFile(HWND owner, char* path, char* title) { return ImportFile(ImportMember::kLms, owner, path, title); }
int ImportClioFile(HWND owner, char* path, char* title) { return ImportFile(ImportMember::kClio, owner, path, title); }
int LoadAndConvertImp(HWND owner, const char* path) { return LoadAndConvert(ImportMember::kImp, owner, path); }
int LoadAndConvertLms(HWND owner, const char* path) { return LoadAndConvert(ImportMember::kLms, owner, path); }
int LoadAndConvertClio(HWND owner, const char* path) { return LoadAndConvert(ImportMember::kClio, owner, path); }

int RunImportCommand(HWND owner, int command) {
    switch (command) {
        case IDM_IMPORT_IMP:
            InitImpImportPicker(owner);
            return ImportImpFile(owner, g_importPath[0], g_importTitle[0]);
        case IDM_IMPORT_LMS:
        case IDM_IMPORT_LMS_ALT:
            InitLmsImportPicker(owner);
            return ImportLmsFile(owner, g_importPath[1], g_importTitle[1]);
        case IDM_IMPORT_CLIO:
        case IDM_IMPORT_MLSSA:
            InitClioImportPicker(owner);
            return ImportClioFile(owner, g_importPath[2], g_importTitle[2]);
        default: return 0;
    }
}
