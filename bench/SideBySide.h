// Runs a kernel, its plain scalar reference and a kernel that only moves the
// same bytes in one benchmark, each from the same starting state, so their
// ratios come from one run on one machine state. Cold variants sweep the caches
// before every timed call.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/Lcg.h"

namespace calidra::bench {

// The tests' generator: the benchmarks' data are as repeatable as theirs.
using test::Lcg;

// Twice the largest last-level cache of the machines we measure on: writing one
// byte of every line pushes every earlier line out of every cache level.
class CacheSweep {
public:
    static constexpr std::size_t kBytes = std::size_t{64} << 20;
    void Run() {
        for (std::size_t i = 0; i < buffer_.size(); i += 64) buffer_[i] = static_cast<unsigned char>(buffer_[i] + 1);
        benchmark::DoNotOptimize(buffer_.data());
        benchmark::ClobberMemory();
    }
    static CacheSweep& Shared() {
        static CacheSweep sweep;
        return sweep;
    }

private:
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kBytes, 0);
};

template <typename Call>
double SecondsOf(Call&& call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double MedianMicroseconds(std::vector<double>& seconds) {
    if (seconds.empty()) return 0;
    const auto middle = seconds.begin() + static_cast<std::ptrdiff_t>(seconds.size() / 2);
    std::nth_element(seconds.begin(), middle, seconds.end());
    return *middle * 1e6;
}

// The benchmark's time is the kernel's (manual time, the mean of its calls).
// Counters hold medians over the calls, which a call preempted on a busy
// machine does not move: the kernel's (p50_us), the reference's (scalar_us, or
// <referenceName>_us) and the byte mover's (bytes_us); x_scalar (x_<name>) is
// the reference's over the kernel's (the speed-up), x_bytes the kernel's over
// the byte mover's (how far from the memory bound).
template <typename Prepare, typename Kernel, typename Reference, typename Bytes>
void RunSideBySide(benchmark::State& state, bool cold, Prepare prepare, Kernel kernel, Reference reference, Bytes bytes,
                   const std::string& referenceName = "scalar") {
    CacheSweep& sweep = CacheSweep::Shared();
    std::vector<double> kernelSeconds, referenceSeconds, bytesSeconds;
    const auto calls = static_cast<std::size_t>(state.max_iterations);
    kernelSeconds.reserve(calls);
    referenceSeconds.reserve(calls);
    bytesSeconds.reserve(calls);
    auto timed = [&](auto& call) {
        prepare();
        if (cold) sweep.Run();
        return SecondsOf(call);
    };
    for (auto _ : state) {
        const double seconds = timed(kernel);
        state.SetIterationTime(seconds);
        kernelSeconds.push_back(seconds);
        referenceSeconds.push_back(timed(reference));
        bytesSeconds.push_back(timed(bytes));
    }
    const double kernelUs = MedianMicroseconds(kernelSeconds);
    const double referenceUs = MedianMicroseconds(referenceSeconds);
    const double bytesUs = MedianMicroseconds(bytesSeconds);
    state.counters["p50_us"] = kernelUs;
    state.counters[referenceName + "_us"] = referenceUs;
    state.counters["bytes_us"] = bytesUs;
    if (kernelUs > 0) state.counters["x_" + referenceName] = referenceUs / kernelUs;
    if (bytesUs > 0) state.counters["x_bytes"] = kernelUs / bytesUs;
}

// Registration settings: the kernel's own time, in microseconds, over a fixed
// number of calls so that a cold benchmark's three cache sweeps per iteration
// (a few milliseconds each) keep a run of repetitions short.
inline void Warm(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(400);
}
inline void Cold(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(60);
}

}  // namespace calidra::bench
