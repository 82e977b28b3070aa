// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace board {

// The clock, as the game needs it: a fine-grained tick count for seeding the random
// generator, and the local time of day in whole seconds for the move master's stopwatch.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t HighResolutionTicks() const = 0;
    virtual int SecondsOfDay() const = 0; // 0 .. 86399, local time
};

class SystemClock final : public Clock {
public:
    std::uint64_t HighResolutionTicks() const override;
    int SecondsOfDay() const override;
};

// Uniform numbers in [0, 1) in single precision, with a reseed from the clock.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual float Next() = 0;
    virtual void Reseed() = 0;
};

// xoshiro256** whose reseed mixes a clock reading into the running state instead of replacing
// it: two reseeds within one clock tick still lead to fresh draws, and the stream stays uniform.
class ClockMixedRandom final : public RandomSource {
public:
    explicit ClockMixedRandom(const Clock& clock);
    ClockMixedRandom(const Clock& clock, std::uint64_t seed);

    float Next() override;
    void Reseed() override;

private:
    std::uint64_t NextBits();
    void Mix(std::uint64_t value);

    const Clock& clock_;
    std::array<std::uint64_t, 4> state_{};
};

} // namespace board
