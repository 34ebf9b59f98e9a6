#pragma once
#include <windows.h>

#include <functional>

#include "app/file_picker.h"

// Shows the open or save picker the description asks for, on the caller's 2048-character path and title
// buffers (the path buffer's content is the name the picker starts on). True when a file was chosen.
bool RunFilePicker(HWND owner, const FilePickerDescription& picker, char* path, char* title);

// Tests may answer pickers in their place: the hook gets the description and the buffers and returns
// whether a file was "chosen". Pass nullptr to restore the real pickers.
using FilePickerHook = std::function<bool(const FilePickerDescription&, char* path, char* title)>;
void SetFilePickerHook(FilePickerHook hook);
