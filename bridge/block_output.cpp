// The builder of matrix outputs made in one block; only tarn_evidence
// returns them.
#include <cstring>

#include "bridge/marshal.h"
#include "model/host.h"

namespace tarn {

mxArray* cBlock_to_mxArray2D(int rows, int columns, double* block)
{
    const mwSize dims[2] = {static_cast<mwSize>(rows), static_cast<mwSize>(columns)};
    mxArray* array = mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL);
    if (array == nullptr)
        return nullptr;
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (count != 0)
        std::memcpy(mxGetPr(array), block, count * sizeof(double));
    host_free(block);
    return array;
}

}  // namespace tarn
