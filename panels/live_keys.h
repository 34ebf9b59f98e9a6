#pragma once
// The live-adjustment keys of the control panels, as one function over plain values. Each panel's
// message-filter hook copies the shared values in, calls ApplyLiveKey and then does what the result asks of
// its window (title, phase boxes, volume bar, gain text, profile timer) and stores the values back.
#include <atomic>
#include <cstdint>

inline constexpr int kTrimCount = 16;
inline constexpr int kLiveKeyTitleChars = 256;

// Key codes the hook reacts to (WM_CHAR characters and WM_KEYDOWN virtual keys).
inline constexpr uint32_t kKeyCharMinimumPhase = 0x6D;  // 'm'
inline constexpr uint32_t kKeyCharLinearPhase = 0x6C;   // 'l'
inline constexpr uint32_t kKeyEscape = 0x1B;
inline constexpr uint32_t kKeyPageUp = 0x21;
inline constexpr uint32_t kKeyPageDown = 0x22;
inline constexpr uint32_t kKeyEnd = 0x23;
inline constexpr uint32_t kKeyHome = 0x24;
inline constexpr uint32_t kKeyLeft = 0x25;
inline constexpr uint32_t kKeyUp = 0x26;
inline constexpr uint32_t kKeyRight = 0x27;
inline constexpr uint32_t kKeyDown = 0x28;
inline constexpr uint32_t kKeyInsert = 0x2D;
inline constexpr uint32_t kKeyDelete = 0x2E;
inline constexpr uint32_t kKeyDigit0 = 0x30;
inline constexpr uint32_t kKeyDigit9 = 0x39;

// Panel controls the keys drive; every panel template has them under these ids.
inline constexpr int kLinearPhaseBox = 4912;
inline constexpr int kMinimumPhaseBox = 4913;
inline constexpr int kVolumeBar = 5020;
inline constexpr int kGainText = 30;
inline constexpr int kVolumeBarMax = 66;
inline constexpr int kVolumeAfterStop = 9;  // -42 dB

enum class LiveKeyPanel { kDesign, kPlayer, kWavPlayer };

// What differs between the three panels' copies of the hook.
struct LiveKeyVariant {
    int32_t volume_ceiling;   // Up/Down hold VolumePosition within 0..ceiling
    const char* rear_down;    // Left readout
    const char* rear_up;      // Right readout
    double bbm_offset;        // added to BbmGain before the logarithm of the BBM readout
    int profile_timer;        // timer armed by a digit key
    int profile_delay_ms;
};
const LiveKeyVariant& LiveKeyVariantOf(LiveKeyPanel panel);

// Output numbers (1..16) of the groups, parsed from the record's live-key channel fields.
struct LiveKeyGroups {
    int32_t RearChannels[4] = {3, 4, 5, 6};
    int32_t TweeterChannels[3] = {7, 8, 9};
    int32_t SubChannels[2] = {1, 2};
    int32_t CabsSubChannels[2] = {1, 2};
    int32_t BbmSourceChannels[2] = {1, 2};
};

// One field's decimal value (leading blanks and sign as atoi reads them; a field without a NUL is read up to
// its last byte), clamped to 1..16.
int32_t ParseLiveKeyChannel(const char* field, int width);
// The five groups from the 20 fields of 20 characters: 0-3 rear, 4-6 tweeter, 8-9 BBM sources, 10-11 subs,
// 12-13 CABS subs.
LiveKeyGroups ParseLiveKeyChannels(const char fields[][20]);

// The values the keys change. The engine threads read the shared copies while they stream.
struct LiveKeyValues {
    int32_t VolumePosition = kVolumeAfterStop;
    float MasterGain = 0.0f;
    int32_t PhaseMode = 0;
    float BbmGain = 0.5f;
    float ChannelTrims[kTrimCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    float LastTrimValue = 0.0f;
    int32_t ProfileNumber = 0;
};

// 10^((position - 51) / 20) as a float, 0 when that is below 0.003 (only position 0 and below).
float MasterGainOf(int32_t volume_position);

enum class KeyMessage { kChar, kKeyDown, kOther };

// What the panel does after a key; the values have already been changed.
struct LiveKeyResult {
    bool acted = false;           // the key was one of the table
    bool set_title = false;
    char title[kLiveKeyTitleChars] = {};
    int phase_boxes = -1;         // 0: check Lin-PH, clear Min-PH; 1: the reverse; -1 untouched
    bool move_volume_bar = false; // SetScrollPos(5020, VolumePosition, redraw)
    bool clear_gain_text = false; // control 30 := "" so the panel repaints its gain text
    int arm_timer = 0;            // timer id to arm (0 none) ...
    int timer_ms = 0;             // ... with this delay
    bool stop_engine = false;     // EngineRunning := 0 (after the timer is armed)
};

// The filter code of the dialog manager (MSGF_DIALOGBOX), which hands the hooks what IsDialogMessage sees.
// Menus, scroll bars and the other modal loops of the thread pass other codes.
inline constexpr int kFilterCodeDialogBox = 0;

// Where a key message is addressed.
enum class KeyTarget {
    kPanel,      // the panel's dialog or one of its controls
    kPanelEdit,  // an edit control on the panel: its keys are typing, not adjustments
    kElsewhere,  // any other window: another dialog, a list, a message box, the frame
};

// Whether the hook acts at all: a key the dialog manager hands on for the panel itself (not one a menu or
// another loop filters, nor one for another window or an edit control), no modal dialog open, the panel open.
// The hook sees every key of the thread; acting on one meant for a list or a menu would change the sound.
bool LiveKeysActive(int filter_code, int modal_dialog_open, bool panel_open, KeyTarget target);

// One key message. Keys outside the table (and 'M', 'L', keypad digits) leave everything unchanged.
LiveKeyResult ApplyLiveKey(LiveKeyPanel panel, KeyMessage message, uint32_t code, const LiveKeyGroups& groups,
                           LiveKeyValues* values);

// The values shared between the panels, their hooks and the engine threads. Each is one aligned 32-bit word,
// written whole by the user-interface thread and read without a lock by the engine.
struct LiveSharedValues {
    std::atomic<float> MasterGain{0.0f};
    std::atomic<float> ChannelTrims[kTrimCount];
    float LastTrimValue = 0.0f;  // only the hooks' readouts use it
    int32_t ProfileNumber = 0;
    LiveKeyGroups Groups;
    LiveSharedValues() {
        for (auto& t : ChannelTrims) t.store(1.0f);
    }
};
extern LiveSharedValues LiveShared;

// Every trim back to 1.0 (panel creation, profile load).
void ResetChannelTrims(LiveSharedValues* shared);
