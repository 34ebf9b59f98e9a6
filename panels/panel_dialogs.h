#pragma once
// The state and actions of the design panel's small dialogs (Copy Speaker, Plot Control, Test Tones) and of
// the profile reload, kept apart from their windows so tests can drive them directly.
#include <atomic>
#include <cstdint>
#include <string>

#include "app/messages.h"

// ---- Copy Speaker Control -------------------------------------------------------------------------------

inline constexpr int kCopyBoxes = 9;
inline constexpr int kCopySourceFirstBox = 4950;  // 4950..4958 "Copy This Speaker"
inline constexpr int kCopyTargetFirstBox = 4960;  // 4960..4968 "To This Speaker"
// Pane of box i (0..8) of either group: Front Left, Center, Front Right, Rear Left, Subwoofer, Subwoofer 2,
// Rear Right, Side Left, Side Right.
inline constexpr int kCopyBoxPanes[kCopyBoxes] = {1, 2, 3, 4, 5, 7, 6, 8, 9};

// 9 source flags, then 9 target flags; kept between openings.
struct CopySpeakerSelection {
    uint32_t flags[2 * kCopyBoxes] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
};
extern CopySpeakerSelection CopySelection;

// A click on box id (4950..4958 or 4960..4968): that flag 1, the others of its group 0. False for another id.
bool SelectCopyBox(CopySpeakerSelection* s, int box_id);
// The pane of the selected source (or target), 0 when none.
int CopySourcePane(const CopySpeakerSelection& s);
int CopyTargetPane(const CopySpeakerSelection& s);

// Done: copies the source pane's record onto the target pane's (not through the WorkingNetwork), and reloads
// the WorkingNetwork only when the target is the active pane, so the network being edited stays the one the
// active pane shows. Returns the target pane written, 0 when nothing was copied.
int CopySelectedSpeaker(const CopySpeakerSelection& s);

// ---- Plot Control ---------------------------------------------------------------------------------------

inline constexpr int kPlotBoxes = 12;
// Check box of CurveViewFlags entry i.
inline constexpr int kPlotBoxIds[kPlotBoxes] = {4801, 4800, 4802, 4803, 4806, 4805,
                                                4807, 4808, 4804, 4809, 4811, 4812};
// Entry of a box id, -1 for another id.
int PlotFlagOfBox(int box_id);
// A box click: a non-zero flag becomes 0, a zero flag 1. Returns the new value, -1 for another id.
int TogglePlotFlag(uint32_t* flags, int box_id);

// ---- Test Tones -----------------------------------------------------------------------------------------

inline constexpr int kTestTonePortCount = 18;  // "NONE", "Port 1".."Port 16", "ALL"
inline constexpr int kToneFrequencyEdit = 5038;
inline constexpr int kTonePortList = 5037;
inline constexpr int kToneTextChars = 10;      // at most 9 characters are read
const char* TestTonePortName(int index);

// What the capture thread's tone generator reads while it streams.
struct TestToneRequest {
    std::atomic<float> Frequency{0.0f};  // TestToneFrequency, Hz
    std::atomic<int32_t> Channel{0};     // TestToneChannel: 0 none, 1..16 one output, 17 all
    char FrequencyText[kToneTextChars] = "1000.0";  // TestToneFrequencyText
};
extern TestToneRequest TestTone;

inline constexpr const char* kToneFrequencyRange = "Test Tone Frequency Is Out Of Range";
// The edit's text read into the request (cut to 9 characters); a text that is not a number gives 0 Hz, and one
// whose number no float holds ("inf", "nan", "1e39") leaves the frequency as it was.
void SetTestToneFrequencyText(TestToneRequest* t, const char* text);
// Done: refused with kToneFrequencyRange while the text holds a number no float holds.
bool TestToneDone(const TestToneRequest& t, MessageList* out);
// The list's selection (0..17) as the channel; another value is ignored.
void SetTestToneChannel(TestToneRequest* t, int selection);

// ---- Profile reload -------------------------------------------------------------------------------------

enum class ProfileLoad { kLoaded, kNotFound, kRefused };

// Slot of a profile number: 1..9 select slots 1..9, 0 the tenth (index 9); -1 for another number.
int ProfileSlotIndex(int32_t profile_number);

// Reads the profile of `profile_number` into the system record and applies it. Only a profile that was read
// and applied becomes the last project path (a refused or missing file leaves it, and the design, as they
// were). On success also: the mirrored settings, the block size grid, the volume back to position 9 with its
// MasterGain (whatever position the file was saved at), every trim 1.0 and the live-key groups parsed again. The path is returned in `path` either way; messages go into `out`.
ProfileLoad LoadProfile(int32_t profile_number, MessageList* out, std::string* path);
