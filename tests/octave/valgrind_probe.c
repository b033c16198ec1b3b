/* A plug-in that does, on purpose, the three things the valgrind check
 * looks for: it leaks a block, reads one byte past another and branches on
 * an uninitialised value. The check runs it after the battery and requires
 * memcheck to report all three from its frames: a filter that lets these
 * through would let the same faults of the real plug-ins through too. */
#include <stdlib.h>
#include <string.h>

#include "mex.h"

static volatile char sink;

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    (void)nlhs;
    (void)plhs;
    (void)nrhs;
    (void)prhs;
    char* leaked = malloc(48);
    if (leaked != NULL)
        memset(leaked, 1, 48);
    leaked = NULL;

    char* block = malloc(8);
    if (block != NULL) {
        sink = block[8];
        free(block);
    }

    int* unset = malloc(sizeof *unset);
    if (unset != NULL) {
        if (*unset == 42)
            sink = 1;
        free(unset);
    }
}
