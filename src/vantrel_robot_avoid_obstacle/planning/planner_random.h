#pragma once

#include <cstdint>
#include <functional>
#include <random>

// Where the planner's engines get their seeds. Each call stands for opening a fresh non-deterministic
// device and taking one value from it.
using SeedSource = std::function<std::uint32_t()>;

// One value of a fresh std::random_device opened with the token "default".
std::uint32_t seedFromRandomDevice();

// Written out rather than taken from <random>'s distributions so that a seeded engine gives the same
// numbers with every standard library.

// u = (g1 + g2 * 2^32) * 2^-64 from two consecutive outputs (1 - 2^-53 when it rounds up to 1);
// returns lo + u * (hi - lo).
double uniformReal(std::mt19937& engine, double lo, double hi);

// Unbiased integer in [lo, hi], both included: the output times the range size, high 32 bits taken,
// the biased low zone rejected.
int uniformInt(std::mt19937& engine, int lo, int hi);
