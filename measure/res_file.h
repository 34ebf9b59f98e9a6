#pragma once
// MLS measurement files (*.RES): one raw capture, the two interleaved input channels as the measurement thread
// recorded them, then the sample-rate index and the MLS length index as short decimal texts. No header: the
// size tells the sample width.
//
//   offset 0       D bytes of the capture (D = 1,053,999 for 16-bit samples, 2,107,999 for 24-bit ones:
//                  263,500 frames less their final byte)
//   offset D       4 bytes: rate index as "%d" text, NUL-terminated within the slot
//   offset D + 4   4 bytes: MLS length index, the same way
//   offset D + 8   4 bytes, long variant only: the sample-width flag (0 = 16-bit, 1 = 24-bit)
//   offset D + 12  16 bytes, long variant only: not read
//
// The writer produces the short variant only. The room equalizer's location files are the same kind of file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/file_picker.h"
#include "app/messages.h"

inline constexpr std::size_t kResDataBytes16 = 1053999;
inline constexpr std::size_t kResDataBytes24 = 2107999;
inline constexpr long long kResFileBytes16 = 1054007;
inline constexpr long long kResFileBytes16Long = 1054027;
inline constexpr long long kResFileBytes24 = 2108007;
inline constexpr long long kResFileBytes24Long = 2108027;
inline constexpr std::size_t kResSlotBytes = 4;
inline constexpr uint32_t kResRateIndexCount = 3;    // 44100, 48000, 96000 Hz
inline constexpr uint32_t kResLengthIndexCount = 6;  // orders 13..18

inline constexpr const char* kResUnableToOpenCaption = "Unable To Open";
inline constexpr const char* kResSetTo24BitShort = "MLS  Is Set To 24bit";  // two blanks: the 16-bit short file
inline constexpr const char* kResSetTo24BitLong = "MLS Is Set To 24bit";    // one blank: the 16-bit long file
inline constexpr const char* kResSetTo16Bit = "MLS  Is Set To 16bit";
inline constexpr const char* kResNotRecognized = "This IR File is NOT Recognized";

constexpr std::size_t ResDataBytes(uint32_t capture24) { return capture24 ? kResDataBytes24 : kResDataBytes16; }

// What a file holds besides the capture.
struct ResFileInfo {
    uint32_t rate_index = 0;    // 0..2
    uint32_t length_index = 0;  // 0..5, order = index + 13
    uint32_t capture24 = 0;     // the sample width its size tells
};

enum class ResReadStatus {
    kLoaded,
    kOpenFailed,     // message: the path, caption "Unable To Open"
    kWidthMismatch,  // message: "MLS  Is Set To 24bit" and its kin; nothing read
    kNotRecognized,  // another size, a slot that is no number, indices out of range, or a width flag that
                     // contradicts the size
    kReadFailed,     // the file could not be read to its end (the capture is then partly overwritten)
};

// The slot text as atoi reads it, never past the slot's four bytes.
int32_t ReadResSlot(const uint8_t slot[kResSlotBytes]);

// Reads a measurement file for a program set to `capture24_setting`. The capture buffer (capture_bytes long,
// at least the data of the file's width) is zeroed and then receives the data only once the file is accepted;
// a refused file leaves it as it was. Each refusal adds its message.
ResReadStatus ReadResFile(const std::string& path, uint32_t capture24_setting, uint8_t* capture,
                          std::size_t capture_bytes, ResFileInfo* info, MessageList* out);

// Writes the short variant: the first D bytes of `saved` for the width the capture was taken with, then the
// rate and length slots, through a temporary file that then replaces the target. Indices out of range are
// refused before anything is written. Returns 1 when saved, 0 with the path as the message.
int WriteResFile(const std::string& path, const uint8_t* saved, uint32_t capture24, uint32_t rate_index,
                 uint32_t length_index, MessageList* out);

// The name Save IR proposes in a picker buffer of `capacity` bytes: the text up to its last '.' (searched from the
// end down to the second character; nothing when there is none), then "_44k", "_48k" or "_96k". The stem is
// shortened where the suffix would not fit.
void ProposeResFileName(char* buffer, std::size_t capacity, uint32_t rate_index);

// The picker of measurement files, shared by the MLS page and the room equalizer: "MLS Impulse (*.RES)", then
// text, WAV and all files; opening asks to create a missing file and hides read-only, saving asks before
// overwriting. A name typed without an extension gets ".res".
FilePickerDescription ResFilePicker(bool for_save);

// The reader a chosen path selects by its last three characters, compared without case.
enum class MlsFileKind { kRes, kWav, kText, kOther };
MlsFileKind MlsFileKindOf(const std::string& path);
