#include "bridge/host_array.h"

#include <climits>
#include <cstdint>

namespace tarn {

namespace {

bool extent_fits(mwSize extent)
{
    return static_cast<std::uint64_t>(extent) <= static_cast<std::uint64_t>(INT_MAX);
}

}  // namespace

bool matrix_test(const mxArray* array)
{
    if (mxGetNumberOfDimensions(array) != 2)
        return false;
    const mwSize* dims = mxGetDimensions(array);
    return extent_fits(dims[0]) && extent_fits(dims[1]);
}

Extents extents_of(const mxArray* array)
{
    const mwSize* dims = mxGetDimensions(array);
    return Extents{static_cast<int>(dims[0]), static_cast<int>(dims[1])};
}

bool class_test(const mxArray* array)
{
    if (mxIsComplex(array) || mxIsSparse(array))
        return false;
    return mxIsNumeric(array) || mxIsLogical(array);
}

const char* class_description(const mxArray* array)
{
    if (mxIsComplex(array))
        return "a complex array";
    if (mxIsSparse(array))
        return "a sparse array";
    switch (mxGetClassID(array)) {
        case mxCHAR_CLASS:
            return "a char array";
        case mxCELL_CLASS:
            return "a cell array";
        case mxSTRUCT_CLASS:
            return "a struct array";
        case mxFUNCTION_CLASS:
            return "a function handle";
        default:
            return "an array that is not numeric";
    }
}

double scalar_value(const mxArray* array)
{
    if (mxGetClassID(array) == mxDOUBLE_CLASS)
        return mxGetScalar(array);
    return element_value(array, 0);
}

double element_value(const mxArray* array, std::size_t index)
{
    const void* data = mxGetData(array);
    switch (mxGetClassID(array)) {
        case mxDOUBLE_CLASS:
            return mxGetPr(array)[index];
        case mxSINGLE_CLASS:
            return static_cast<const float*>(data)[index];
        case mxINT8_CLASS:
            return static_cast<const std::int8_t*>(data)[index];
        case mxUINT8_CLASS:
            return static_cast<const std::uint8_t*>(data)[index];
        case mxINT16_CLASS:
            return static_cast<const std::int16_t*>(data)[index];
        case mxUINT16_CLASS:
            return static_cast<const std::uint16_t*>(data)[index];
        case mxINT32_CLASS:
            return static_cast<const std::int32_t*>(data)[index];
        case mxUINT32_CLASS:
            return static_cast<const std::uint32_t*>(data)[index];
        case mxINT64_CLASS:
            return static_cast<double>(static_cast<const std::int64_t*>(data)[index]);
        case mxUINT64_CLASS:
            return static_cast<double>(static_cast<const std::uint64_t*>(data)[index]);
        case mxLOGICAL_CLASS:
            return static_cast<const mxLogical*>(data)[index] ? 1.0 : 0.0;
        default:
            return 0.0;  // refused by class_test before any reading
    }
}

}  // namespace tarn
