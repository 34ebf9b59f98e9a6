// Times ComputeRoomEq (average, cut-only EQ, the two minimum-phase transforms, excess phase and group delay)
// after a location run, with the Bode sums through FFT convolutions and summed term by term as written, at
// N = 512 and N = 4096 (65,536 bins per transform); and prints how far the EQ phases of the two lie apart.
// Build without sanitizers for meaningful figures (scripts/bench does).
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdio>

#include "measure/room_eq.h"
#include "tests/measure/room_eq_test_buffers.h"

namespace {

// Two locations of a room with a 45 Hz mode and a 90 Hz dip; the EQ cuts 20..200 Hz to 0 dB re 90 dB.
void MeasureTwoLocations(RoomEqTestBuffers& t) {
    auto room = [](double f, double mode) {
        const std::complex<double> s(0.0, f / mode);
        const std::complex<double> peak = (s * s + s + 1.0) / (s * s + s / 6.0 + 1.0);
        const std::complex<double> dip = (s * s / 4.0 + s / 16.0 + 1.0) / (s * s / 4.0 + s / 2.0 + 1.0);
        return 20.0 * std::log10(std::abs(peak * dip)) + 3.0;
    };
    t.SetLocation(0, [&](double f) { return room(f, 45.0); }, [](double f) { return -0.2 * f; });
    t.SetLocation(3, [&](double f) { return room(f, 47.0); }, [](double f) { return -0.25 * f; });
}

void BM_ComputeRoomEq(benchmark::State& state, BodeMethod method) {
    const uint32_t size_index = state.range(0) == 4096 ? 3 : 0;
    RoomEqTestBuffers t(size_index);
    MeasureTwoLocations(t);
    for (auto _ : state) ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers(method));
}

void BM_ComputeRoomEqFast(benchmark::State& state) { BM_ComputeRoomEq(state, BodeMethod::kFast); }
void BM_ComputeRoomEqLiteral(benchmark::State& state) { BM_ComputeRoomEq(state, BodeMethod::kLiteral); }

BENCHMARK(BM_ComputeRoomEqFast)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComputeRoomEqLiteral)->Arg(512)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);

void PrintAgreement(uint32_t size_index) {
    RoomEqTestBuffers a(size_index), b(size_index);
    MeasureTwoLocations(a);
    MeasureTwoLocations(b);
    ComputeRoomEq(*a.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, a.Buffers(BodeMethod::kFast));
    ComputeRoomEq(*b.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, b.Buffers(BodeMethod::kLiteral));
    double eq = 0.0, room = 0.0;
    for (int k = 0; k < 16 * a.n; ++k) {
        eq = std::fmax(eq, std::fabs(std::remainder(a.curves[kRoomEqEqPhaseSlot].Values[k] -
                                                        b.curves[kRoomEqEqPhaseSlot].Values[k], 360.0)));
        room = std::fmax(room, std::fabs(std::remainder(a.curves[kRoomEqMinimumPhaseSlot].Values[k] -
                                                            b.curves[kRoomEqMinimumPhaseSlot].Values[k], 360.0)));
    }
    std::printf("N = %d: fast vs literal, largest phase difference %.5f degrees (EQ), %.5f degrees (room)\n", a.n, eq,
                room);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintAgreement(0);
    PrintAgreement(3);
    return 0;
}
