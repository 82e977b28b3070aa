// SPDX-License-Identifier: GPL-3.0-or-later
#include "random.h"

#include <chrono>
#include <ctime>

namespace board {
namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr std::uint64_t RotateLeft(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

} // namespace

std::uint64_t SystemClock::HighResolutionTicks() const {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

int SystemClock::SecondsOfDay() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now); // Windows' thread-safe form, arguments the other way round
#else
    localtime_r(&now, &local);
#endif
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

ClockMixedRandom::ClockMixedRandom(const Clock& clock)
    : ClockMixedRandom(clock, static_cast<std::uint64_t>(
                                  std::chrono::system_clock::now().time_since_epoch().count()) ^
                                  clock.HighResolutionTicks()) {}

ClockMixedRandom::ClockMixedRandom(const Clock& clock, std::uint64_t seed) : clock_(clock) {
    for (auto& word : state_)
        word = SplitMix64(seed);
}

std::uint64_t ClockMixedRandom::NextBits() {
    const std::uint64_t result = RotateLeft(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = RotateLeft(state_[3], 45);
    return result;
}

float ClockMixedRandom::Next() {
    // The top 24 bits fill a float's mantissa exactly: 0 <= r <= 1 - 2^-24.
    return static_cast<float>(NextBits() >> 40) * (1.0f / 16777216.0f);
}

void ClockMixedRandom::Mix(std::uint64_t value) {
    std::uint64_t x = value;
    for (auto& word : state_)
        word ^= SplitMix64(x);
    if ((state_[0] | state_[1] | state_[2] | state_[3]) == 0)
        state_[0] = 1; // the all-zero state would repeat itself forever
    NextBits();
}

void ClockMixedRandom::Reseed() {
    Mix(clock_.HighResolutionTicks());
}

} // namespace board
