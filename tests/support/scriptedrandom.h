// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board.h"
#include "random.h"

#include <cstdint>
#include <deque>
#include <initializer_list>

// A generator that answers from a script, for tests that need to know every draw. When the
// script runs out it answers an evenly spread sequence starting at `fallback` (so loops that
// wait for a new value still end) and counts the overruns, so a test can tell that the code
// drew more often than expected.
class ScriptedRandom final : public board::RandomSource {
public:
    ScriptedRandom() = default;
    ScriptedRandom(std::initializer_list<float> draws) : script_(draws) {}

    void Push(std::initializer_list<float> draws) { script_.insert(script_.end(), draws); }
    void SetFallback(float value) { fallback_ = value; }
    // The draws that deal `b`: one per tile, each landing in the tile's cell.
    void PushDeal(const board::Board& b) {
        for (board::TileNo tile = 1; tile <= board::kTileCount; ++tile)
            script_.push_back((b.CellOf(tile) - 1 + 0.5f) / 16.0f);
    }

    float Next() override {
        ++draws_;
        if (script_.empty()) {
            // Golden-ratio steps: every value differs and they cover [0, 1) evenly.
            const double r = fallback_ + 0.6180339887498949 * overruns_++;
            return static_cast<float>(r - static_cast<long long>(r));
        }
        const float r = script_.front();
        script_.pop_front();
        return r;
    }
    void Reseed() override { ++reseeds_; }

    int Draws() const { return draws_; }
    int Reseeds() const { return reseeds_; }
    int Overruns() const { return overruns_; }
    int Left() const { return static_cast<int>(script_.size()); }

private:
    std::deque<float> script_;
    float fallback_ = 0.0f;
    int draws_ = 0;
    int reseeds_ = 0;
    int overruns_ = 0;
};

// A clock whose readings the test sets.
class FakeClock final : public board::Clock {
public:
    std::uint64_t HighResolutionTicks() const override { return ticks_++; }
    int SecondsOfDay() const override { return secondsOfDay_; }

    void SetTicks(std::uint64_t ticks) { ticks_ = ticks; }
    void SetSecondsOfDay(int seconds) { secondsOfDay_ = seconds; }
    void SetTime(int hours, int minutes, int seconds) {
        secondsOfDay_ = hours * 3600 + minutes * 60 + seconds;
    }

private:
    mutable std::uint64_t ticks_ = 1;
    int secondsOfDay_ = 12 * 3600;
};
