/* The demo: what the library can do so far, on the virtual camera. */
#include <stdio.h>

#include "calidra.h"
#include "calidra_sim.h"

int main(void) {
    HWND window = CalidraWindow_Create();
    unsigned long handle;
    unsigned long version = Calidra_GetDllVersion();
    int code;

    printf("Calidra SDK library version 0x%08lX\n", version);
    handle = Calidra_Initialize(window);
    if (handle == 0) {
        fprintf(stderr, "Calidra_Initialize failed\n");
        return 1;
    }
    printf("instance handle %lu\n", handle);
    Calidra_SetCameraType(handle, 1);
    while ((code = Calidra_GetLastError(handle)) != 0) printf("error stack: code %d\n", code);
    {
        CALIDRA_MSG msg;
        while (CalidraWindow_WaitMessage(window, &msg, 0) == 1)
            printf("window message 0x%04X lParam %ld\n", msg.message, (long)msg.lParam);
    }
    Calidra_Release(handle);
    CalidraWindow_Destroy(window);
    printf("released\n");
    return 0;
}
