#pragma once

#include <cstddef>

// Trace lines of the solvers. They run inside search loops, so each line is formatted on the stack
// and written with one call.

// prefix, then the values separated by "," in the default stream format (six significant digits), then a newline.
void printJointValues(const char* prefix, const double* values, std::size_t count);

// Each value as "%lf" followed by ",", then a newline.
void printJointValuesFixed(const double* values, std::size_t count);
