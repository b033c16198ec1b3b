#include "bridge/marshal.h"

#include "bridge/host_array.h"
#include "model/host.h"

namespace tarn {

namespace {

// Copies the n elements of a host array, in storage order, as doubles.
// Arrays of other real classes are converted element by element.
void copy_elements(double* to, const mxArray* array, std::size_t first, std::size_t stride, std::size_t n)
{
    if (mxGetClassID(array) == mxDOUBLE_CLASS) {
        const double* from = mxGetPr(array);
        for (std::size_t k = 0; k < n; ++k)
            to[k] = from[first + k * stride];
        return;
    }
    for (std::size_t k = 0; k < n; ++k)
        to[k] = element_value(array, first + k * stride);
}

}  // namespace

double* mxArray1D_to_cArray1D(int* length, const mxArray* array)
{
    if (mxGetNumberOfDimensions(array) != 2) {
        *length = 0;
        mexWarnMsgTxt("mxArray1D_to_cArray1D: Argument passed was not appropriate!");
        return nullptr;
    }
    const mwSize* dims = mxGetDimensions(array);
    mwSize n = 0;
    if (dims[0] == 1)
        n = dims[1];
    else if (dims[1] == 1)
        n = dims[0];
    else {
        *length = 0;
        mexWarnMsgTxt("mxArray1D_to_cArray1D: mxArray argument passed was not appropriate!");
        return nullptr;
    }
    *length = static_cast<int>(n);
    auto* vector = static_cast<double*>(host_calloc(static_cast<std::size_t>(n), sizeof(double)));
    if (vector == nullptr)
        return nullptr;
    copy_elements(vector, array, 0, 1, static_cast<std::size_t>(n));
    return vector;
}

double** mxArray2D_to_cArray2D(int* rows, int* columns, const mxArray* array)
{
    if (mxGetNumberOfDimensions(array) != 2) {
        *rows = 0;
        *columns = 0;
        mexWarnMsgTxt("mxArray2D_to_cArray2D: mxArray argument passed was not appropriate!");
        return nullptr;
    }
    const mwSize* dims = mxGetDimensions(array);
    const auto r = static_cast<std::size_t>(dims[0]);
    const auto c = static_cast<std::size_t>(dims[1]);
    *rows = static_cast<int>(r);
    *columns = static_cast<int>(c);
    auto** table = static_cast<double**>(host_calloc(r, sizeof(double*)));
    if (table == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < r; ++i) {
        table[i] = static_cast<double*>(host_calloc(c, sizeof(double)));
        if (table[i] == nullptr)
            return nullptr;  // the host reclaims what was taken
    }
    // Row i gathers element i of every column.
    for (std::size_t i = 0; i < r; ++i)
        copy_elements(table[i], array, i, r, c);
    return table;
}

mxArray* cArray1D_to_mxArray1D(int length, double* vector)
{
    const mwSize dims[2] = {static_cast<mwSize>(length), 1};
    mxArray* array = mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL);
    if (array == nullptr)
        return nullptr;
    double* to = mxGetPr(array);
    for (int k = 0; k < length; ++k)
        to[k] = vector[k];
    host_free(vector);
    return array;
}

mxArray* scalar_to_mxArray(double value)
{
    auto* block = static_cast<double*>(host_calloc(1, sizeof(double)));
    if (block == nullptr)
        return nullptr;
    block[0] = value;
    return cArray1D_to_mxArray1D(1, block);
}

bool convert_model(const mxArray* templates, const mxArray* labels, const mxArray* patterns, ModelInputs* model)
{
    model->templates = mxArray2D_to_cArray2D(&model->J, &model->W, templates);
    if (model->templates == nullptr)
        return false;
    model->labels = mxArray1D_to_cArray1D(&model->J, labels);
    if (model->labels == nullptr)
        return false;
    model->patterns = mxArray2D_to_cArray2D(&model->K, &model->M, patterns);
    return model->patterns != nullptr;
}

}  // namespace tarn
