// The matrix output builder; only the training command returns a matrix.
#include "bridge/marshal.h"
#include "model/host.h"

namespace tarn {

mxArray* cArray2D_to_mxArray2D(int rows, int columns, double** table)
{
    const mwSize dims[2] = {static_cast<mwSize>(rows), static_cast<mwSize>(columns)};
    mxArray* array = mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL);
    if (array == nullptr)
        return nullptr;
    double* to = mxGetPr(array);
    const auto r = static_cast<std::size_t>(rows);
    for (std::size_t j = 0; j < static_cast<std::size_t>(columns); ++j)
        for (std::size_t i = 0; i < r; ++i)
            to[j * r + i] = table[i][j];
    for (int i = 0; i < rows; ++i)
        host_free(table[i]);
    host_free(table);
    return array;
}

}  // namespace tarn
