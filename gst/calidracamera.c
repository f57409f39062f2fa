/* calidracamera.c - the SDK calls behind the source element. */
#include "calidracamera.h"

#include <errno.h>

#include "calidranames.h"

static void ForgetCodes(CalidraCamera* camera) {
    while (Calidra_GetLastError(camera->handle) != 0) {
    }
}

CalidraCamera* calidra_camera_open(int wanted, GError** error) {
    CalidraCamera* camera = g_new0(CalidraCamera, 1);
    GString* present = g_string_new(NULL);
    int index;
    camera->index = -1;
    gst_poll_fd_init(&camera->pollfd);
    camera->window = CalidraWindow_Create();
    camera->handle = camera->window != NULL ? Calidra_Initialize(camera->window) : 0;
    if (camera->handle == 0) {
        g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ,
                    "The Calidra library could not create an instance");
        goto failed;
    }
    for (index = 0; index < CALIDRA_CAMERA_COUNT; ++index) {
        char name[32] = "";
        if (!Calidra_IsCameraEnableA(camera->handle, index, name, (int)sizeof name)) continue;
        g_string_append_printf(present, "%s%d (%s)", present->len > 0 ? ", " : "", index, name);
        if (camera->index < 0 && (wanted < 0 || wanted == index)) {
            camera->index = index;
            g_strlcpy(camera->name, name, sizeof camera->name);
        }
    }
    if (camera->index < 0) {
        if (wanted < 0)
            g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "No Calidra camera is present");
        else
            g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
                        "Calidra camera %d is not present (cameras present: %s)", wanted,
                        present->len > 0 ? present->str : "none");
        goto failed;
    }
    /* The instance has set camera 0 up already; choosing it again would only
       reset its correction. */
    ForgetCodes(camera);
    if (camera->index != 0 && !Calidra_SetCameraNumber(camera->handle, camera->index)) {
        gchar* codes = calidra_camera_take_codes(camera, 0);
        g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
                    "Calidra camera %d cannot be set up: Calidra_SetCameraNumber failed: %s", camera->index, codes);
        g_free(codes);
        goto failed;
    }
    g_string_free(present, TRUE);
    return camera;

failed:
    g_string_free(present, TRUE);
    calidra_camera_close(camera, NULL);
    return NULL;
}

void calidra_camera_close(CalidraCamera* camera, GstPoll* poll) {
    if (poll != NULL && camera->pollfd.fd >= 0) gst_poll_remove_fd(poll, &camera->pollfd);
    /* Release stops acquisition; the window goes last, since the acquisition
       thread posts to it until then. */
    if (camera->handle != 0) Calidra_Release(camera->handle);
    if (camera->window != NULL) CalidraWindow_Destroy(camera->window);
    g_free(camera);
}

gboolean calidra_camera_set(CalidraCamera* camera, int id, int value, GError** error) {
    gchar *codes, *parameter;
    ForgetCodes(camera);
    if (Calidra_SetParam(camera->handle, id, value)) return TRUE;
    codes = calidra_camera_take_codes(camera, 0);
    parameter = calidra_names_parameter(id);
    g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_SETTINGS,
                "Setting %s to %d was refused: Calidra_SetParam failed: %s", parameter, value, codes);
    g_free(parameter);
    g_free(codes);
    return FALSE;
}

gboolean calidra_camera_start(CalidraCamera* camera, GstPoll* poll, GError** error) {
    CALIDRA_MSG msg;
    ForgetCodes(camera);
    while (CalidraWindow_WaitMessage(camera->window, &msg, 0) == 1) {
    }
    if (!Calidra_Preview(camera->handle)) {
        /* Every start of live acquisition records ERR_UNSUPPORTED as an event. */
        gchar* codes = calidra_camera_take_codes(camera, ERR_UNSUPPORTED);
        g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ,
                    "Calidra camera %d (%s) did not start: Calidra_Preview failed: %s", camera->index, camera->name,
                    codes);
        g_free(codes);
        return FALSE;
    }
    camera->pollfd.fd = CalidraWindow_Fd(camera->window);
    gst_poll_add_fd(poll, &camera->pollfd);
    gst_poll_fd_ctl_read(poll, &camera->pollfd, TRUE);
    camera->lastArrival = g_get_monotonic_time();
    camera->ended = FALSE;
    return TRUE;
}

CalidraWait calidra_camera_wait(CalidraCamera* camera, GstPoll* poll, gint64 deadline, CalidraArrival* arrival) {
    while (TRUE) {
        CALIDRA_MSG msg;
        gint64 now;
        arrival->messages = 0;
        while (CalidraWindow_WaitMessage(camera->window, &msg, 0) == 1) {
            if (msg.message == WM_CAMERA_FRAME) {
                arrival->id = (guint32)(uintptr_t)msg.lParam;
                ++arrival->messages;
            } else if (msg.message == WM_CAMERA_ERROR && msg.lParam == ERR_STREAM_END) {
                camera->ended = TRUE;
            }
        }
        now = g_get_monotonic_time();
        /* Frames announced before the end are still readable: they go first. */
        if (arrival->messages > 0) {
            arrival->arrival = now;
            arrival->gap = now - camera->lastArrival;
            camera->lastArrival = now;
            return CALIDRA_WAIT_FRAME;
        }
        if (camera->ended) return CALIDRA_WAIT_ENDED;
        if (now >= deadline) return CALIDRA_WAIT_TIMEOUT;
        if (gst_poll_wait(poll, (GstClockTime)(deadline - now) * GST_USECOND) < 0 && errno == EBUSY)
            return CALIDRA_WAIT_FLUSHING;
    }
}

gchar* calidra_camera_take_codes(CalidraCamera* camera, int event) {
    GString* text = g_string_new(NULL);
    int code;
    /* The stack gives the newest first; the story reads better oldest first. */
    while ((code = Calidra_GetLastError(camera->handle)) != 0) {
        gchar* described;
        if (code == event) continue;
        described = calidra_names_describe_error(code);
        if (text->len > 0) g_string_prepend(text, "; ");
        g_string_prepend(text, described);
        g_free(described);
    }
    if (text->len == 0) g_string_append(text, "the library recorded no error code");
    return g_string_free(text, FALSE);
}
