/* calidracamera.h - one camera of the SDK as the source element uses it: a
 * message window, an instance with the camera chosen, live acquisition, and
 * the wait for the newest frame. Built on the public C API only.
 *
 * Not thread-safe: the element calls the functions that reach the instance
 * under its lock; calidra_camera_wait only reads the window, which any thread
 * may do.
 */
#ifndef CALIDRA_CAMERA_H
#define CALIDRA_CAMERA_H

#include <gst/gst.h>

#include "calidra.h"

G_BEGIN_DECLS

#define CALIDRA_CAMERA_COUNT 8
#define CALIDRA_WIDTH 640
#define CALIDRA_HEIGHT 480
#define CALIDRA_PIXELS (CALIDRA_WIDTH * CALIDRA_HEIGHT)

typedef struct {
    HWND window;
    unsigned long handle;
    int index;
    char name[32];
    GstPollFD pollfd;
    gint64 lastArrival; /* monotonic microseconds of the last frame seen, or of the start */
    gboolean ended;     /* the library posted ERR_STREAM_END */
} CalidraCamera;

typedef enum {
    CALIDRA_WAIT_FRAME,
    CALIDRA_WAIT_FLUSHING,
    CALIDRA_WAIT_TIMEOUT,
    CALIDRA_WAIT_ENDED,
} CalidraWait;

typedef struct {
    guint32 id;     /* the newest frame announced */
    guint messages; /* frame messages taken, the newest included */
    gint64 arrival; /* monotonic microseconds when it was seen */
    gint64 gap;     /* microseconds since the frame seen before it (or since the start) */
} CalidraArrival;

/* Creates the window and the instance and selects camera `wanted` (-1: the
   first present). NULL with a GST_RESOURCE_ERROR in *error on failure:
   NOT_FOUND when the camera is absent. */
CalidraCamera* calidra_camera_open(int wanted, GError** error);

/* Stops acquisition and gives the instance and the window back. */
void calidra_camera_close(CalidraCamera* camera, GstPoll* poll);

/* Calidra_SetParam; a refusal names the parameter and the library's code. */
gboolean calidra_camera_set(CalidraCamera* camera, int id, int value, GError** error);

/* Starts live acquisition and adds the window to poll. */
gboolean calidra_camera_start(CalidraCamera* camera, GstPoll* poll, GError** error);

/* Waits until a frame is announced, poll is set flushing, the monotonic time
   reaches deadline, or the library reports the end of the stream. Of several
   frames waiting only the newest is given; the others are counted. */
CalidraWait calidra_camera_wait(CalidraCamera* camera, GstPoll* poll, gint64 deadline, CalidraArrival* arrival);

/* The codes on the instance's error stack, oldest first, each with its name
   and meaning, leaving out `event` (0: none); to g_free. */
gchar* calidra_camera_take_codes(CalidraCamera* camera, int event);

G_END_DECLS

#endif /* CALIDRA_CAMERA_H */
