#include "engine/engine_status.h"

#include <algorithm>
#include <cstring>

void PublishedText::Write(const char* text) {
    char buffer[kPublishedTextChars] = {};
    const std::size_t n = text ? std::min(std::strlen(text), static_cast<std::size_t>(kPublishedTextChars - 1)) : 0;
    if (n) std::memcpy(buffer, text, n);
    const uint32_t s = sequence_.load(std::memory_order_relaxed);
    sequence_.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (int w = 0; w < kWords; ++w) {
        uint64_t word;
        std::memcpy(&word, buffer + 8 * w, sizeof word);
        words_[w].store(word, std::memory_order_relaxed);
    }
    sequence_.store(s + 2, std::memory_order_release);
    changes_.fetch_add(1, std::memory_order_acq_rel);
}

std::string PublishedText::Read() const {
    char buffer[kPublishedTextChars];
    for (;;) {
        const uint32_t before = sequence_.load(std::memory_order_acquire);
        if (before & 1u) continue;
        for (int w = 0; w < kWords; ++w) {
            const uint64_t word = words_[w].load(std::memory_order_relaxed);
            std::memcpy(buffer + 8 * w, &word, sizeof word);
        }
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) == before) break;
    }
    buffer[kPublishedTextChars - 1] = '\0';
    return std::string(buffer);
}

int PanelTextControl(PanelText text) {
    switch (text) {
        case PanelText::ProcessingTime: return kProcessingTimeControl;
        case PanelText::RenderTime1: return kRenderTimeControl1;
        case PanelText::RenderTime2: return kRenderTimeControl2;
        case PanelText::Period: return kPeriodControl;
        case PanelText::BlockNumber: return kBlockNumberControl;
        case PanelText::Queue: return kQueueControl;
        case PanelText::Count: break;
    }
    return 0;
}

void EngineStatusBoard::PublishErrorTitle(const char* title) {
    DesignPanelTitle.Write(title);
    PlayerPanelTitle.Write(title);
}

void EngineStatusBoard::ClearStatusLines() {
    for (auto& stream : StatusLines)
        for (PublishedText& line : stream)
            if (!line.Read().empty()) line.Clear();
}

namespace {

// Keeps the larger of the stored peak and `value` (a NaN is never larger). Only one thread raises a board's
// peaks, but the reader may reset one in between: the exchange then starts again from its 0.
void RaisePeak(std::atomic<float>& peak, float value) {
    float seen = peak.load(std::memory_order_relaxed);
    while (value > seen && !peak.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

}  // namespace

void EngineStatusBoard::RaiseInputPeaks(const float peaks[8]) {
    for (int i = 0; i < 8; ++i) RaisePeak(InputPeaks[i], peaks[i]);
}

void EngineStatusBoard::RaiseOutputPeaks(const float peaks[16]) {
    for (int i = 0; i < 16; ++i) RaisePeak(OutputPeaks[i], peaks[i]);
}

bool EngineStatusBoard::TakePeaks(uint32_t* seen, float inputs[8], float outputs[16]) {
    const uint32_t blocks = MeterBlocks.load(std::memory_order_acquire);
    if (blocks == *seen) return false;
    *seen = blocks;
    for (int i = 0; i < 8; ++i) inputs[i] = InputPeaks[i].exchange(0.0f, std::memory_order_relaxed);
    for (int i = 0; i < 16; ++i) outputs[i] = OutputPeaks[i].exchange(0.0f, std::memory_order_relaxed);
    return true;
}

void EngineStatusBoard::ClearPeaks() {
    for (auto& p : InputPeaks) p.store(0.0f, std::memory_order_relaxed);
    for (auto& p : OutputPeaks) p.store(0.0f, std::memory_order_relaxed);
}
