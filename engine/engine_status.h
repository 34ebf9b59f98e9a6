#pragma once
// What the engine threads show, published as data: the set-up status lines of "WASAPI De-Bug Mode", the
// panels' timing and queue texts, the panels' titles and the level-meter peaks. The engine threads only
// store into this board; the user-interface thread reads it (engine/win32/engine_status_view.h) and draws.
// Nothing here blocks: texts are short sequence-locked records of atomic words, so a reader never waits on
// a writer and a writer never waits at all.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// A text of up to kPublishedTextChars - 1 characters, written by one thread and read by any.
inline constexpr int kPublishedTextChars = 64;

class PublishedText {
public:
    // Stores `text` (cut to the width). Only one thread may write a given text at a time.
    void Write(const char* text);
    // Clears the text (and counts as a change).
    void Clear() { Write(""); }
    // A consistent copy of the latest text.
    std::string Read() const;
    // Rises by one on every write: a reader compares it with the value it saw last.
    uint32_t Changes() const { return changes_.load(std::memory_order_acquire); }

private:
    static constexpr int kWords = kPublishedTextChars / 8;
    std::atomic<uint32_t> sequence_{0};  // odd while a write is under way
    std::atomic<uint32_t> changes_{0};
    std::atomic<uint64_t> words_[kWords] = {};
};

// The rows of the set-up status lines: one per stream step, 20 pixels apart from y = 10.
inline constexpr int kStatusRows = 12;
inline constexpr int kStatusFirstRowY = 10;
inline constexpr int kStatusRowStep = 20;
inline constexpr int kCaptureStatusX = 2;
inline constexpr int kRenderStatusX = 300;
inline int StatusRowY(int row) { return kStatusFirstRowY + kStatusRowStep * row; }

// The panel controls the engine writes.
inline constexpr int kProcessingTimeControl = 50;  // "Pt="
inline constexpr int kRenderTimeControl1 = 5030;   // "D1=", even periods
inline constexpr int kRenderTimeControl2 = 5031;   // "D1=", odd periods
inline constexpr int kPeriodControl = 5032;        // "Lt="
inline constexpr int kBlockNumberControl = 5034;   // "Fr="
inline constexpr int kQueueControl = 5036;         // "Del=" at the start, then "Buffers="

// The WAV player's line at the end of each song ("New Song %d, Bytes_Left %d  "), in the frame.
inline constexpr int kSongEndLineX = 400;
inline constexpr int kSongEndLineY = 550;

inline constexpr const char* kCaptureErrorTitle = "CAPTURING ERROR - RESTART";
inline constexpr const char* kRenderErrorTitle = "RENDERING ERROR - RESTART";

enum class PanelText { ProcessingTime, RenderTime1, RenderTime2, Period, BlockNumber, Queue, Count };
int PanelTextControl(PanelText text);

struct EngineStatusBoard {
    // Status lines by stream (0 capture at x = 2, 1 render at x = 300) and row.
    PublishedText StatusLines[2][kStatusRows];
    // Texts of the player panels (both panels show the same).
    PublishedText PanelTexts[static_cast<int>(PanelText::Count)];
    // Titles: the design panel's (recording counts and the error titles) and the player panel's (errors).
    PublishedText DesignPanelTitle;
    PublishedText PlayerPanelTitle;
    // The WAV player's diagnostic line of the last song's end.
    PublishedText SongEndLine;
    // Meter peaks: the highest of every block since the meters last took them, input ports 1..8 on the
    // 24-bit scale, outputs 1..16 on the word scale. A streaming thread raises them once per block; the
    // user-interface thread takes them (and so starts them again from 0) when it draws. Neither side locks
    // or waits, and no block's peak or clip mark is lost between two draws.
    std::atomic<float> InputPeaks[8] = {};
    std::atomic<float> OutputPeaks[16] = {};
    std::atomic<uint32_t> MeterBlocks{0};  // blocks whose peaks were raised

    void RaiseInputPeaks(const float peaks[8]);
    void RaiseOutputPeaks(const float peaks[16]);
    // One block's peaks are in: counts it for the readers.
    void CountMeterBlock() { MeterBlocks.fetch_add(1, std::memory_order_release); }
    // When a block came after *seen (*seen moves on): every peak since the last take, each reset to 0.
    // False, and nothing taken, when no block came.
    bool TakePeaks(uint32_t* seen, float inputs[8], float outputs[16]);
    void ClearPeaks();

    PublishedText& Text(PanelText t) { return PanelTexts[static_cast<int>(t)]; }
    const PublishedText& Text(PanelText t) const { return PanelTexts[static_cast<int>(t)]; }
    // Both titles take an error text.
    void PublishErrorTitle(const char* title);
    // Clears every status line (a new start draws its own).
    void ClearStatusLines();
};
