// Conversions between host arrays and the commands' own arrays.
//
// Row array: a host-allocated table of row pointers, each row a separate
// host block of doubles. Vector array: one host block of doubles.
#pragma once

#include "bridge/mex_api.h"

namespace tarn {

// Host vector (1 x n or n x 1) to a vector array. Null on a bad shape (with
// a warning) or when the host is out of memory.
double* mxArray1D_to_cArray1D(int* length, const mxArray* array);
// Host matrix to a row array. Null on a bad shape (with a warning) or when
// the host is out of memory.
double** mxArray2D_to_cArray2D(int* rows, int* columns, const mxArray* array);
// Vector array to a new length x 1 host array; frees the vector array on
// success, nothing on failure.
mxArray* cArray1D_to_mxArray1D(int length, double* vector);
// Row array to a new rows x columns host array; frees the rows and the
// table on success, nothing on failure.
mxArray* cArray2D_to_mxArray2D(int rows, int columns, double** table);

// One host block of rows x columns doubles, column by column, to a new
// rows x columns host array; frees the block on success, nothing on failure.
mxArray* cBlock_to_mxArray2D(int rows, int columns, double* block);

// A new 1 x 1 host array holding `value`; null when the host is out of memory.
mxArray* scalar_to_mxArray(double value);

// A model and the patterns to weigh against it, converted: J template rows
// of W doubles, their J labels, K patterns of M features.
struct ModelInputs {
    int J = 0;
    int W = 0;
    double** templates = nullptr;
    double* labels = nullptr;
    int K = 0;
    int M = 0;
    double** patterns = nullptr;
};
// Converts Templates, NLabels and Patterns, in that order; false when the
// host is out of memory.
bool convert_model(const mxArray* templates, const mxArray* labels, const mxArray* patterns, ModelInputs* model);

}  // namespace tarn
