// Reading host arrays: their shape, whether their elements can be read as
// doubles, and the elements themselves.
#pragma once

#include <cstddef>

#include "bridge/mex_api.h"

namespace tarn {

struct Extents {
    int rows;
    int columns;
};

// The array has exactly two dimensions (and extents an int can count).
bool matrix_test(const mxArray* array);
// Rows and columns of an array that passed the matrix test.
Extents extents_of(const mxArray* array);
// A real, full array of a numeric or logical class: its elements can be
// read as doubles.
bool class_test(const mxArray* array);
// What an array that fails the class test is, for a message: "a complex
// array", "a cell array" and so on.
const char* class_description(const mxArray* array);
// The value of a 1 x 1 array that passed the class test.
double scalar_value(const mxArray* array);
// Element `index` (column-major) of an array that passed the class test.
double element_value(const mxArray* array, std::size_t index);

}  // namespace tarn
