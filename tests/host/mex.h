/* Stand-in MEX host for the unit tests: the subset of the MEX interface the
 * plug-ins use, with MATLAB's type names and class codes. */
#ifndef TARN_STANDIN_MEX_H
#define TARN_STANDIN_MEX_H

#include <stdbool.h>
#include <stddef.h>

#define TARN_HOST_HAS_ADD_FLOPS 1

typedef struct mxArray_tag mxArray;
typedef size_t mwSize;
typedef size_t mwIndex;
typedef bool mxLogical;

typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS,
    mxSINGLE_CLASS,
    mxINT8_CLASS,
    mxUINT8_CLASS,
    mxINT16_CLASS,
    mxUINT16_CLASS,
    mxINT32_CLASS,
    mxUINT32_CLASS,
    mxINT64_CLASS,
    mxUINT64_CLASS,
    mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

#ifdef __cplusplus
extern "C" {
#endif

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

mwSize mxGetNumberOfDimensions(const mxArray* array);
const mwSize* mxGetDimensions(const mxArray* array);
double mxGetScalar(const mxArray* array);
double* mxGetPr(const mxArray* array);
void* mxGetData(const mxArray* array);
mxClassID mxGetClassID(const mxArray* array);
bool mxIsNumeric(const mxArray* array);
bool mxIsLogical(const mxArray* array);
bool mxIsComplex(const mxArray* array);
bool mxIsSparse(const mxArray* array);
mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID classid, mxComplexity flag);

void* mxCalloc(size_t n, size_t size);
void* mxRealloc(void* ptr, size_t size);
void mxFree(void* ptr);

int mexPrintf(const char* format, ...);
void mexWarnMsgTxt(const char* text);
void mexErrMsgTxt(const char* text);
void mexAddFlops(int count);
/* MATLAB's interrupt flag (libut); here the tests set it. */
bool utIsInterruptPending(void);

#ifdef __cplusplus
}
#endif

#endif
