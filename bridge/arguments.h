// Shape and class predicates and value readings shared by both entries.
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
// The matrix test holds and both extents are 1.
bool scalar_test(const mxArray* array);
// Rows and columns of an array that passed the matrix test.
Extents extents_of(const mxArray* array);
// A real, full array of a numeric or logical class: its elements can be
// read as doubles.
bool class_test(const mxArray* array);
// The value of a 1 x 1 array that passed the class test.
double scalar_value(const mxArray* array);
// Element `index` (column-major) of an array that passed the class test.
double element_value(const mxArray* array, std::size_t index);

// The matrix test holds and the array is 1 x length or length x 1.
bool vector_test(const mxArray* array, int length);

// A scalar argument read as a double: the scalar test, then the class test.
// On a failure the matching message (formatted with the command's name) is
// in the buffer.
bool real_scalar(char* message, const char* command, const mxArray* array, const char* shape_message,
                 const char* class_message, double* value);

// A scalar argument read as an integer: the scalar test, then the class
// test, then the integer conversion of its value. On a failure the matching
// message (formatted with the command's name) is in the buffer.
bool integer_scalar(char* message, const char* command, const mxArray* array, const char* shape_message,
                    const char* class_message, int* value);

// Ends the command with the message in the buffer. Control may come back
// on some hosts; the caller then returns at once.
void raise_message(const char* buffer);

}  // namespace tarn
