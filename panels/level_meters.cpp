#include "panels/level_meters.h"

#include <vector>

namespace {

constexpr uint64_t kOutputFullScale = 2010624000u;  // 256 x 7,854,000
constexpr int kInputStepPixels = 5;
constexpr int kOutputStepPixels = 4;
constexpr int kBarPitch = 8;
constexpr int kBarInset = 4;
constexpr int kReferenceLineY = 23;

// Little-endian base-2^32 natural number with just what the thresholds need.
using BigNumber = std::vector<uint32_t>;

void MultiplySmall(BigNumber* n, uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& limb : *n) {
        const uint64_t v = static_cast<uint64_t>(limb) * factor + carry;
        limb = static_cast<uint32_t>(v);
        carry = v >> 32;
    }
    if (carry) n->push_back(static_cast<uint32_t>(carry));
}

// Floor division of a by b, both big; by repeated subtraction of shifted b (the numbers are small).
int Compare(const BigNumber& a, const BigNumber& b) {
    size_t na = a.size(), nb = b.size();
    while (na > 0 && a[na - 1] == 0) --na;
    while (nb > 0 && b[nb - 1] == 0) --nb;
    if (na != nb) return na < nb ? -1 : 1;
    for (size_t i = na; i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

void Subtract(BigNumber* a, const BigNumber& b) {
    int64_t borrow = 0;
    for (size_t i = 0; i < a->size(); ++i) {
        int64_t v = static_cast<int64_t>((*a)[i]) - borrow - (i < b.size() ? static_cast<int64_t>(b[i]) : 0);
        borrow = v < 0 ? 1 : 0;
        if (v < 0) v += (int64_t{1} << 32);
        (*a)[i] = static_cast<uint32_t>(v);
    }
}

BigNumber ShiftLeftBits(const BigNumber& b, int bits) {
    BigNumber r(static_cast<size_t>(bits / 32), 0u);
    const int s = bits % 32;
    uint32_t carry = 0;
    for (uint32_t limb : b) {
        r.push_back(s ? (limb << s) | carry : limb);
        carry = s ? limb >> (32 - s) : 0;
    }
    r.push_back(carry);
    return r;
}

// floor(a / b) for a quotient that fits 64 bits.
uint64_t Divide(BigNumber a, const BigNumber& b) {
    uint64_t q = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const BigNumber shifted = ShiftLeftBits(b, bit);
        if (Compare(a, shifted) >= 0) {
            Subtract(&a, shifted);
            q |= uint64_t{1} << bit;
        }
    }
    return q;
}

std::array<uint32_t, kOutputThresholdCount> ComputeOutputThresholds() {
    std::array<uint32_t, kOutputThresholdCount> u{};
    for (int k = 0; k < kOutputThresholdCount; ++k) {
        const int n = kOutputThresholdCount - 1 - k;
        BigNumber num{static_cast<uint32_t>(kOutputFullScale)};
        BigNumber den{1u};
        for (int i = 0; i < n; ++i) {
            MultiplySmall(&num, 17);
            MultiplySmall(&den, 20);
        }
        u[static_cast<size_t>(k)] = static_cast<uint32_t>(Divide(num, den));
    }
    return u;
}

template <typename T, size_t K>
int Steps(float value, const T (&thresholds)[K], int last) {
    int k = 0;
    const double v = value;
    for (int i = 1; i <= last; ++i)
        if (v >= static_cast<double>(thresholds[i])) k = i;
    return k;
}

}  // namespace

const std::array<uint32_t, kOutputThresholdCount>& OutputMeterThresholds() {
    static const std::array<uint32_t, kOutputThresholdCount> table = ComputeOutputThresholds();
    return table;
}

int InputBarHeight(float value) { return kInputStepPixels * Steps(value, kInputMeterThresholds, 33); }

bool InputClipped(float value) { return static_cast<double>(value) >= kInputMeterThresholds[34]; }

int OutputBarHeight(float value) {
    const auto& u = OutputMeterThresholds();
    int k = 0;
    const double v = value;
    for (int i = 1; i <= 44; ++i)
        if (v >= static_cast<double>(u[static_cast<size_t>(i)])) k = i;
    return kOutputStepPixels * k;
}

bool OutputClipped(float value) { return static_cast<double>(value) >= OutputMeterThresholds()[45]; }

MeterPen InputBarPen(int bar) {
    static constexpr MeterPen pens[kInputBars] = {MeterPen::kGreen, MeterPen::kOrange,  MeterPen::kGreen,
                                                  MeterPen::kBlue,  MeterPen::kMagenta, MeterPen::kBlue,
                                                  MeterPen::kGreen, MeterPen::kGreen};
    return bar >= 1 && bar <= kInputBars ? pens[bar - 1] : MeterPen::kGreen;
}

MeterPen OutputBarPen(int bar, const LiveKeyGroups& g) {
    MeterPen pen = (bar == 3 || bar == 4) ? MeterPen::kOrange : MeterPen::kGreen;
    if (bar == g.SubChannels[0] || bar == g.SubChannels[1]) pen = MeterPen::kMagenta;
    if (bar == g.CabsSubChannels[0] || bar == g.CabsSubChannels[1]) pen = MeterPen::kPurple;
    for (int32_t r : g.RearChannels)
        if (bar == r) pen = MeterPen::kBlue;
    return pen;
}

int InputMeterLines(int left, int right, int bottom, const float values[kInputBars], MeterLine* out) {
    int n = 0;
    out[n++] = {left, kReferenceLineY, right, kReferenceLineY, MeterPen::kGreen, true};
    for (int i = 1; i <= kInputBars; ++i) {
        const int x = left + kBarInset + kBarPitch * (i - 1);
        const float v = values[i - 1];
        out[n++] = {x, bottom - 2, x, bottom - 7 - InputBarHeight(v), InputBarPen(i), false};
        if (InputClipped(v)) out[n++] = {x, bottom - 172, x, bottom - 177, MeterPen::kDarkRed, false};
    }
    return n;
}

int OutputMeterLines(int left, int right, int bottom, const float values[kOutputBars], const LiveKeyGroups& groups,
                     MeterLine* out) {
    int n = 0;
    out[n++] = {left, kReferenceLineY, right, kReferenceLineY, MeterPen::kGreen, true};
    for (int i = 1; i <= kOutputBars; ++i) {
        const int x = left + kBarInset + kBarPitch * (i - 1);
        const float v = values[i - 1];
        out[n++] = {x, bottom, x, bottom - 7 - OutputBarHeight(v), OutputBarPen(i, groups), false};
        if (OutputClipped(v)) out[n++] = {x, bottom - 177, x, bottom - 184, MeterPen::kDarkRed, false};
    }
    return n;
}

bool MeterEraseCounter::Step() {
    const int c = count.fetch_add(1) + 1;
    if (c >= kMeterEraseEvery) {
        count.store(0);
        return true;
    }
    return false;
}
