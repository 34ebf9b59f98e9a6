#pragma once
// What the benchmark programs share: the machine's instruction set for the labels, and a console reporter
// that keeps one time per benchmark for the tables a program prints at the end.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// The widest vector instruction set the processor reports, e.g. "avx512f", "avx2", "avx", "sse2".
inline std::string MachineInstructionSet() {
#if defined(__GNUC__) && defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return "avx512f";
    if (__builtin_cpu_supports("avx2")) return "avx2";
    if (__builtin_cpu_supports("avx")) return "avx";
    return "sse2";
#elif defined(__aarch64__)
    return "neon";
#else
    return "scalar";
#endif
}

// A figure's label: the code path that ran and the machine it ran on, e.g. "avx2 path, cpu avx512f".
inline std::string PathLabel(const std::string& path) { return path + " path, cpu " + MachineInstructionSet(); }

// Console output as usual, and per benchmark one processor time in nanoseconds (of the whole process, so a
// peer's helper threads count too): the median aggregate when repetitions are reported as aggregates only
// (scripts/bench), otherwise the fastest repetition, the one least disturbed by other load. Tables() prints
// after the runs.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median") median_[name] = r.GetAdjustedCPUTime() * Scale(r);
            } else if (r.iterations > 0 && !r.error_occurred) {
                const double t = r.GetAdjustedCPUTime() * Scale(r);
                const auto it = fastest_.find(name);
                if (it == fastest_.end() || t < it->second) fastest_[name] = t;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        Tables();
    }
    virtual void Tables() = 0;

    // Nanoseconds of the benchmark of that name, or a negative value when it did not run.
    double Nanoseconds(const std::string& name) const {
        const auto m = median_.find(name);
        if (m != median_.end()) return m->second;
        const auto f = fastest_.find(name);
        return f == fastest_.end() ? -1.0 : f->second;
    }

private:
    static double Scale(const Run& r) {
        switch (r.time_unit) {
            case benchmark::kSecond: return 1e9;
            case benchmark::kMillisecond: return 1e6;
            case benchmark::kMicrosecond: return 1e3;
            default: return 1.0;
        }
    }
    std::map<std::string, double> median_, fastest_;
};
