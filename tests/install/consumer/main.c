/* A C program built against the installed library. */
#include <stdio.h>

#include "orvu_kex.h"

int main(void) {
    const double a[5] = {1, 2, 3, 4, 5}, b[5] = {0.5, 0.5, 0.5, 0.5, 0.5};
    double r[5];
    _kexdAdd(5, a, b, r);
    for (int i = 0; i < 5; ++i)
        if (r[i] != a[i] + 0.5) return 1;
    printf("consumer ok: mode 0x%x\n", orvu_kex_kernel_GetMode());
    return 0;
}
