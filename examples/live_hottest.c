/* live_hottest.c - a live loop in C.
 *
 * Starts live acquisition, waits for the library's messages with poll() on
 * the message window's file descriptor (the way to fit the SDK into an event
 * loop of your own), and prints the hottest pixel of each new frame.
 *
 *   example-live-hottest [FRAMES]      (default 30 frames)
 */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>

#include "calidra.h"

#define WIDTH 640
#define HEIGHT 480

/* The library has no text for its codes; a client keeps its own. */
static const char* CodeName(int code) {
    static const char* const names[] = {"none",           "ERR_NO_IMAGE", "ERR_CAMERA",     "ERR_FRAME",
                                        "ERR_STREAM_END", "ERR_ARGUMENT", "ERR_MEMORY",     "ERR_THREAD",
                                        "ERR_DEVICE",     "ERR_FILE",     "ERR_UNSUPPORTED"};
    return code >= 0 && code <= 10 ? names[code] : "unknown code";
}

/* A temperature image is 640 x 480 floats: 1,228,800 bytes. Static, since it
   is too large for some stacks. */
static float temperatures[WIDTH * HEIGHT];

static int PrintHottest(unsigned long camera, unsigned long frameId, int count) {
    int best = 0;
    int i;
    /* The frame stays readable by its id until 30 newer frames have come. */
    if (!Calidra_GetTemperature(camera, frameId, temperatures, sizeof temperatures)) {
        fprintf(stderr, "Calidra_GetTemperature failed: %s\n", CodeName(Calidra_GetLastError(camera)));
        return 0;
    }
    for (i = 1; i < WIDTH * HEIGHT; ++i) {
        if (temperatures[i] > temperatures[best]) best = i;
    }
    /* Parameter 17 was set, so row 0 of the buffer is the top of the picture. */
    printf("frame %3d: hottest pixel at x %3d, y %3d: %.2f C\n", count, best % WIDTH, best / WIDTH, temperatures[best]);
    return 1;
}

int main(int argc, char** argv) {
    int wanted = argc > 1 ? atoi(argv[1]) : 30;
    int seen = 0;
    int failed = 0;
    HWND window;
    unsigned long camera;
    struct pollfd ready;

    /* 1. A message window for the library's messages, then the instance. */
    window = CalidraWindow_Create();
    camera = Calidra_Initialize(window);
    if (window == NULL || camera == 0) {
        fprintf(stderr, "could not create the window or the instance\n");
        return 1;
    }
    /* Readouts by frame id deliver the top row first (they start with the
       bottom row otherwise, as a Windows bitmap does). */
    Calidra_SetParam(camera, CALIDRA_PARAM_FLIP_DISPLAY, 1);

    /* 2. Live acquisition: from now on WM_CAMERA_FRAME arrives for every
       frame, posted from the library's acquisition thread. */
    if (!Calidra_Preview(camera)) {
        fprintf(stderr, "Calidra_Preview failed: %s\n", CodeName(Calidra_GetLastError(camera)));
        Calidra_Release(camera);
        CalidraWindow_Destroy(window);
        return 1;
    }

    /* 3. The loop: the descriptor polls readable while messages wait. */
    ready.fd = CalidraWindow_Fd(window);
    ready.events = POLLIN;
    while (seen < wanted && !failed) {
        CALIDRA_MSG msg;
        unsigned long newest = 0;
        int frameWaiting = 0;
        int got = poll(&ready, 1, 10000);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            fprintf(stderr, "no message for 10 s\n");
            failed = 1;
            break;
        }
        /* Take every waiting message; when several frames wait, only the
           newest is worth the work. */
        while (CalidraWindow_WaitMessage(window, &msg, 0) == 1) {
            if (msg.message == WM_CAMERA_FRAME) {
                /* lParam carries the frame id as its 32-bit value. */
                newest = (unsigned long)(unsigned int)msg.lParam;
                frameWaiting = 1;
            } else if (msg.message == WM_CAMERA_ERROR) {
                /* Every start of live acquisition posts ERR_UNSUPPORTED as an event. */
                if (msg.lParam != ERR_UNSUPPORTED) fprintf(stderr, "camera reports %s\n", CodeName((int)msg.lParam));
                if (msg.lParam == ERR_STREAM_END) failed = 1;
            }
        }
        if (frameWaiting && !failed) {
            ++seen;
            if (!PrintHottest(camera, newest, seen)) failed = 1;
        }
    }

    /* 4. Stop, then give the instance and the window back, in this order. */
    Calidra_Close(camera);
    Calidra_Release(camera);
    CalidraWindow_Destroy(window);
    return failed ? 1 : 0;
}
