/* A client built against the installed SDK only. */
#include <stdio.h>

#include <calidra.h>

int main(void) {
    unsigned long version = Calidra_GetDllVersion();
    printf("0x%08lX\n", version);
    return version == 0x0014044Dul ? 0 : 1;
}
