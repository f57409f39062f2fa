/* calidra_window.h - message windows for platforms without a window system.
 *
 * The library tells its client about new frames and errors by posting window
 * messages. Where the platform has no windows, the client creates message
 * windows of the library's own: a window is a small thread-safe message queue
 * named by an HWND. Handles are ids looked up in a table, never pointers, so a
 * post to a destroyed or made-up HWND fails harmlessly.
 *
 * On Windows the library posts with PostMessageW to any window the client
 * gives it. These functions are offered there too, so that portable clients run
 * unchanged: each window is a real message-only window. The library queues its
 * own messages to it at once, as elsewhere; what others post to it with
 * PostMessageW (WM_USER and above) a thread of the library takes off and
 * queues for CalidraWindow_WaitMessage.
 *
 * Every function may be called from any thread.
 */
#ifndef CALIDRA_WINDOW_H
#define CALIDRA_WINDOW_H

#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>
#define CALIDRA_WINDOW_API
#else
#if defined(__GNUC__)
#define CALIDRA_WINDOW_API __attribute__((visibility("default")))
#else
#define CALIDRA_WINDOW_API
#endif
typedef struct HWND__* HWND;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One message taken off a window's queue. */
typedef struct CALIDRA_MSG {
    HWND window;          /* the window it was posted to */
    unsigned int message; /* WM_CAMERA_FRAME (0x8002) or WM_CAMERA_ERROR (0x8003) */
    uintptr_t wParam;     /* always 0 from the library */
    intptr_t lParam;      /* frame id (as its 32-bit value) or error code */
} CALIDRA_MSG;

/* A new, empty message window; NULL on failure. */
CALIDRA_WINDOW_API HWND CalidraWindow_Create(void);

/* Destroys the window and drops its queue. 1, or 0 when it is not a window.
   Posts to it fail from now on. */
CALIDRA_WINDOW_API int CalidraWindow_Destroy(HWND window);

/* Takes the oldest message off the window's queue, waiting up to timeoutMs
   milliseconds (0: do not wait).
   Returns 1 when *msg holds it, 0 when none arrived in time, -1 when it is not
   a window (or msg is NULL). */
CALIDRA_WINDOW_API int CalidraWindow_WaitMessage(HWND window, CALIDRA_MSG* msg, unsigned long timeoutMs);

/* A file descriptor that polls readable while the queue is not empty, for
   poll/epoll, GLib and Qt event loops. Owned by the window: do not close it or
   read from it. -1 when it is not a window.
   On Windows: an event handle, signalled while the queue is not empty, for
   WaitForMultipleObjects and MsgWaitForMultipleObjects: (HANDLE)(intptr_t)fd.
   Owned by the window: do not close, set or reset it. */
CALIDRA_WINDOW_API int CalidraWindow_Fd(HWND window);

/* A window holds at most 10,000 unread messages, as a Windows thread queue
   does: a post beyond that fails and the message is lost. Returns how many
   posts the window refused since it was created (a client that sees it grow
   reads too slowly; the newest frame is always at Calidra_GetNewID), or -1 when
   it is not a window. */
CALIDRA_WINDOW_API long CalidraWindow_Dropped(HWND window);

#ifdef __cplusplus
}
#endif

#endif /* CALIDRA_WINDOW_H */
