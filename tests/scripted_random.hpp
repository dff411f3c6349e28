// A generator for tests: hands out a scripted sequence of draws and records every draw and reseed, so a
// test can check which draws happen in which order.
#pragma once

#include "core/runtime.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace zarvo::testing {

class ScriptedRandom final : public RandomSource {
public:
    ScriptedRandom() = default;
    explicit ScriptedRandom(std::vector<float> script) : script_(std::move(script)) {}

    // Draws come from the script in turn; past its end, fallback is returned.
    float next() override
    {
        log += 'u';
        ++draws;
        if (position_ < script_.size()) {
            return script_[position_++];
        }
        return fallback;
    }
    void randomize(float /*seed*/) override
    {
        log += 'R';
        ++reseeds;
    }
    void push(float u) { script_.push_back(u); }
    void clearLog()
    {
        log.clear();
        draws = 0;
        reseeds = 0;
    }

    float fallback = 0.5F;
    std::string log;  // 'R' for a reseed, 'u' for a draw, in order
    int draws = 0;
    int reseeds = 0;

private:
    std::vector<float> script_;
    std::size_t position_ = 0;
};

}  // namespace zarvo::testing
