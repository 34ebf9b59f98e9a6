#pragma once
// What the room equalizer's dialog does with its texts, scroll bars and the mouse, apart from the controls
// themselves: the boxes' values and limits, the window time and width, the volume and threshold bars, the
// caption read-outs over the plots and the band edges set by clicks in the SPL plot.
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "app/typed_numbers.h"

// Characters read from an edit box.
inline constexpr int kRoomEqBoxChars = 9;
// Band limits of the boxes: a lower edge below 10.1 Hz and an upper edge above 250 Hz are held there.
inline constexpr float kRoomEqLowestBandEdge = 10.1f;
inline constexpr float kRoomEqHighestBandEdge = 250.0f;

inline constexpr const char* kRoomEqCaption = "Minimum-Phase Room Equalizer";
inline constexpr const char* kFrequencySelectionError = "Frequency Selection Error";

// The lists' entries.
inline constexpr const char* kRoomEqZoomNames[] = {"1xAmpl", "2xAmpl", "4xAmpl", "8xAmpl", "16xAmpl", "32xAmpl", "64xAmpl"};
inline constexpr const char* kRoomEqLengthNames[] = {"8191", "16383", "32767", "65535", "131071", "262143"};
inline constexpr int kRoomEqCorrectionEntries = 17;  // "Output Port 1" .. "Output Port 16", "No Correction"
std::string RoomEqCorrectionName(int entry);

// The box texts shown at opening for p13, p11, p2, p3, p10.
struct RoomEqBoxTexts {
    std::string add_db, add_delay, from, to, slope;
};
RoomEqBoxTexts RoomEqOpeningTexts(const float* p);

// The typed slope, added level and added delay stay within these, or the curves they shape would leave the
// floats the curves are kept in (901 dB added makes the average infinite, a slope of 1e30 the room's phase NaN).
inline constexpr const char* kRoomEqSlopeRange = "Projected Slope Is Out Of Range (-100.....+100dB)";
inline constexpr const char* kRoomEqAddedLevelRange = "Added SPL Is Out Of Range (-100.....+100dB)";
inline constexpr const char* kRoomEqAddedDelayRange = "Added Delay Is Out Of Range (-1000.....+1000ms)";
inline constexpr TypedRange kRoomEqSlopeLimits{-100.0, 100.0, kRoomEqSlopeRange};             // p10
inline constexpr TypedRange kRoomEqAddedLevelLimits{-100.0, 100.0, kRoomEqAddedLevelRange};   // p13
inline constexpr TypedRange kRoomEqAddedDelayLimits{-1000.0, 1000.0, kRoomEqAddedDelayRange}; // p11

// An edit box of the band, slope, added dB or added delay read into its parameter (ids 6021, 6022, 6023, 10170,
// 10147): a text that is not a number, or no float, reads as 0; the band edges are held within their limits
// (the box keeps what was typed); a slope, level or delay outside its limits is refused with its message in
// `out` and the parameter keeps its value. Other ids change nothing. Returns true when `control` is one of them.
bool ApplyRoomEqBox(int control, const std::string& text, float* p, MessageList* out = nullptr);

// True when the block's slope, added level and added delay (from the boxes or from a project file) lie within
// their limits; otherwise the first one's message goes to `out`.
bool RoomEqParamsInRange(const float* p, MessageList* out);

// "Win. Time [ms]" from the width in samples: "%f" of width x 1000 / rate, cut to 7 characters.
std::string RoomEqWindowTimeText(const char* width_text, uint32_t rate_index);
// The box typed into: its first 9 characters become the time text (below 1.0 ms, or not a number: "1.0"), and
// the width text "%f" of time x rate x 0.001 cut to 8 characters. Returns the text the box must show instead
// of what it holds, or "" when it stays.
std::string ApplyRoomEqWindowTime(const std::string& box_text, uint32_t rate_index);

// "Volume = %d%%" and the volume bar's new position (0..100) for a scroll code.
std::string RoomEqVolumeLabel(uint32_t level);
int RoomEqVolumeScroll(int current, int code, int thumb);
int RoomEqThresholdScroll(int current, int code, int thumb);

// The plots' column under client x: trunc((x - 60) x 2000 / 1840) when that is 0..782, else -1; and the first
// bin (0 .. 8N) whose frequency is not below the column's, 8N + 1 when there is none.
int RoomEqColumnAt(int x);
int RoomEqBinOfColumn(int column);

// The caption for the mouse at client (x, y): the measured level and phase over the SPL plot, the excess group
// delay over the delay plot, the plain title elsewhere. False (no change) inside either plot when the column is
// out of range.
bool RoomEqCaptionAt(int x, int y, std::string* caption);

// A click in the SPL plot sets a band edge: the left button the lower edge, the right button the upper one.
enum class RoomEqBandClick {
    kNone,   // outside the plot or its columns
    kError,  // the edge would pass the other one: "Frequency Selection Error", nothing changes
    kSet,    // `text` ("%.1f" of the bin's frequency) goes into the edge's box, then the EQ is recomputed
};
RoomEqBandClick RoomEqClickBand(bool left, int x, int y, const float* p, std::string* text);
