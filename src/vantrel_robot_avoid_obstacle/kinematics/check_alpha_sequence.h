#pragma once

#include <vector>

// True when both twist sequences have the same length and agree within one degree per element;
// a mismatch prints its reason.
bool checkAlphaSequence(const std::vector<double>& a, const std::vector<double>& b);
