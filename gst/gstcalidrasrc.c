/* gstcalidrasrc.c - calidrasrc: a live source of one Calidra thermal camera.
 *
 * The streaming thread sleeps on the message window's descriptor until the
 * library announces a frame, takes the newest one announced, reads it by its
 * id into a pooled buffer and stamps it with the running time of its arrival.
 * Every call on the instance, from whichever thread, holds the element's lock.
 */
#include "gstcalidrasrc.h"

#include <gst/video/video.h>
#include <math.h>

#include "calidracamera.h"
#include "calidranames.h"
#include "gstcalidrameta.h"

GST_DEBUG_CATEGORY_STATIC(gst_calidra_src_debug);
#define GST_CAT_DEFAULT gst_calidra_src_debug

/* The camera's nominal frame rate. */
#define FRAME_RATE 30
#define FRAME_PERIOD (GST_SECOND / FRAME_RATE)
/* Waited for a frame beyond the calibration hold-off before the stream counts as stopped. */
#define DEFAULT_TIMEOUT_BASE_MS 2000

#define DEFAULT_CAMERA -1
#define DEFAULT_OUTPUT GST_CALIDRA_SRC_OUTPUT_COLOR
#define DEFAULT_RANGE_LOW 1000
#define DEFAULT_RANGE_HIGH 3000
#define DEFAULT_AUTO_RANGE TRUE
#define DEFAULT_AUTO_NUC TRUE
#define DEFAULT_FLIP FALSE
#define DEFAULT_TIMEOUT 0

enum {
    PROP_0,
    PROP_CAMERA,
    PROP_OUTPUT,
    PROP_RANGE_LOW,
    PROP_RANGE_HIGH,
    PROP_AUTO_RANGE,
    PROP_AUTO_NUC,
    PROP_FLIP,
    PROP_PARAMS,
    PROP_TIMEOUT,
    PROP_STATS,
};

enum { SIGNAL_NUC, N_SIGNALS };
static guint signals[N_SIGNALS];

struct _GstCalidraSrc {
    GstPushSrc parent;

    GMutex lock; /* guards every field below but poll, and every call on the instance */
    int cameraIndex;
    GstCalidraSrcOutput output;
    int rangeLow;
    int rangeHigh;
    gboolean autoRange;
    gboolean autoNuc;
    gboolean flip;
    gchar* params;
    guint timeout;

    CalidraCamera* camera; /* from start to stop */
    float* degrees;        /* the temperatures of the frame being read */
    int holdOffMs;         /* parameters 10, 15 and 8 as the instance has them */
    gboolean autoNucOn;
    int ringLength;
    gboolean discont;
    gboolean nucPending; /* a calibration asked for through "nuc" whose frames have not come yet */
    gint64 nucTime;
    guint64 pushed;
    guint64 skipped;
    guint64 calibrations;
    guint32 lastId;

    GstPoll* poll; /* the window's descriptor; set flushing by unlock */
};

G_DEFINE_ENUM_TYPE(GstCalidraSrcOutput, gst_calidra_src_output,
                   G_DEFINE_ENUM_VALUE(GST_CALIDRA_SRC_OUTPUT_COLOR, "color"),
                   G_DEFINE_ENUM_VALUE(GST_CALIDRA_SRC_OUTPUT_RAW, "raw"),
                   G_DEFINE_ENUM_VALUE(GST_CALIDRA_SRC_OUTPUT_TEMPERATURE, "temperature"))

G_DEFINE_TYPE(GstCalidraSrc, gst_calidra_src, GST_TYPE_PUSH_SRC)

#define CAPS_COMMON "width=640,height=480,framerate=30/1,pixel-aspect-ratio=1/1"
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw,format=BGR," CAPS_COMMON ";video/x-raw,format=GRAY16_LE," CAPS_COMMON));

static void PostError(GstCalidraSrc* self, GstMessageType type, GError* error) {
    gst_element_message_full(GST_ELEMENT(self), type, error->domain, error->code, g_strdup(error->message), NULL,
                             __FILE__, GST_FUNCTION, __LINE__);
    g_error_free(error);
}

/* The params string onto the instance, then the parameters read back that
   the element works with. Lock held. */
static gboolean ApplyParams(GstCalidraSrc* self, GError** error) {
    gchar* problem = NULL;
    GArray* settings = calidra_names_parse_settings(self->params, &problem);
    gboolean ok = settings != NULL;
    guint i;
    if (!ok) {
        g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_SETTINGS, "params: %s", problem);
        g_free(problem);
        return FALSE;
    }
    for (i = 0; ok && i < settings->len; ++i) {
        /* The caps promise the top row first: only "flip" may turn it over. */
        if (g_array_index(settings, CalidraSetting, i).id == CALIDRA_PARAM_FLIP_DISPLAY) {
            g_set_error(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_SETTINGS,
                        "params: flip-display belongs to the element; use its flip property");
            ok = FALSE;
        }
    }
    for (i = 0; ok && i < settings->len; ++i) {
        const CalidraSetting* setting = &g_array_index(settings, CalidraSetting, i);
        ok = calidra_camera_set(self->camera, setting->id, setting->value, error);
    }
    g_array_unref(settings);
    self->holdOffMs = Calidra_GetParam(self->camera->handle, CALIDRA_PARAM_NUC_HOLD_OFF_MS);
    self->autoNucOn = Calidra_GetParam(self->camera->handle, CALIDRA_PARAM_AUTO_NUC) != 0;
    return ok;
}

/* The properties first, then params, which may change them. Lock held. */
static gboolean ApplySettings(GstCalidraSrc* self, GError** error) {
    const int settings[][2] = {
        {CALIDRA_PARAM_AUTO_RANGE, self->autoRange ? -1 : 0}, {CALIDRA_PARAM_RANGE_LOW, self->rangeLow},
        {CALIDRA_PARAM_RANGE_HIGH, self->rangeHigh},          {CALIDRA_PARAM_AUTO_NUC, self->autoNuc},
        {CALIDRA_PARAM_FLIP_DISPLAY, self->flip ? 0 : 1},
    };
    guint i;
    for (i = 0; i < G_N_ELEMENTS(settings); ++i) {
        if (!calidra_camera_set(self->camera, settings[i][0], settings[i][1], error)) return FALSE;
    }
    return ApplyParams(self, error);
}

/* A property that is also a parameter: set at once while the camera runs. */
static void SetLive(GstCalidraSrc* self, int id, int value, GError** error) {
    if (self->camera != NULL) calidra_camera_set(self->camera, id, value, error);
}

static void gst_calidra_src_set_property(GObject* object, guint prop_id, const GValue* value, GParamSpec* pspec) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(object);
    GError* error = NULL;
    g_mutex_lock(&self->lock);
    if ((prop_id == PROP_CAMERA || prop_id == PROP_OUTPUT) && self->camera != NULL) {
        g_mutex_unlock(&self->lock);
        GST_WARNING_OBJECT(self, "%s can only change in the NULL or READY state", pspec->name);
        return;
    }
    switch (prop_id) {
        case PROP_CAMERA:
            self->cameraIndex = g_value_get_int(value);
            break;
        case PROP_OUTPUT:
            self->output = g_value_get_enum(value);
            break;
        case PROP_RANGE_LOW:
            self->rangeLow = g_value_get_int(value);
            SetLive(self, CALIDRA_PARAM_RANGE_LOW, self->rangeLow, &error);
            break;
        case PROP_RANGE_HIGH:
            self->rangeHigh = g_value_get_int(value);
            SetLive(self, CALIDRA_PARAM_RANGE_HIGH, self->rangeHigh, &error);
            break;
        case PROP_AUTO_RANGE:
            self->autoRange = g_value_get_boolean(value);
            SetLive(self, CALIDRA_PARAM_AUTO_RANGE, self->autoRange ? -1 : 0, &error);
            break;
        case PROP_AUTO_NUC:
            self->autoNuc = g_value_get_boolean(value);
            SetLive(self, CALIDRA_PARAM_AUTO_NUC, self->autoNuc, &error);
            if (self->camera != NULL) self->autoNucOn = self->autoNuc;
            break;
        case PROP_FLIP:
            self->flip = g_value_get_boolean(value);
            SetLive(self, CALIDRA_PARAM_FLIP_DISPLAY, self->flip ? 0 : 1, &error);
            break;
        case PROP_PARAMS:
            g_free(self->params);
            self->params = g_value_dup_string(value);
            if (self->camera != NULL) ApplyParams(self, &error);
            break;
        case PROP_TIMEOUT:
            self->timeout = g_value_get_uint(value);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec);
            break;
    }
    g_mutex_unlock(&self->lock);
    /* Posted without the lock: a bus handler may read properties. */
    if (error != NULL) PostError(self, GST_MESSAGE_WARNING, error);
}

static void gst_calidra_src_get_property(GObject* object, guint prop_id, GValue* value, GParamSpec* pspec) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(object);
    g_mutex_lock(&self->lock);
    switch (prop_id) {
        case PROP_CAMERA:
            g_value_set_int(value, self->cameraIndex);
            break;
        case PROP_OUTPUT:
            g_value_set_enum(value, self->output);
            break;
        case PROP_RANGE_LOW:
            g_value_set_int(value, self->rangeLow);
            break;
        case PROP_RANGE_HIGH:
            g_value_set_int(value, self->rangeHigh);
            break;
        case PROP_AUTO_RANGE:
            g_value_set_boolean(value, self->autoRange);
            break;
        case PROP_AUTO_NUC:
            g_value_set_boolean(value, self->autoNuc);
            break;
        case PROP_FLIP:
            g_value_set_boolean(value, self->flip);
            break;
        case PROP_PARAMS:
            g_value_set_string(value, self->params);
            break;
        case PROP_TIMEOUT:
            g_value_set_uint(value, self->timeout);
            break;
        case PROP_STATS:
            g_value_take_boxed(
                value, gst_structure_new("application/x-calidra-stats", "frames-pushed", G_TYPE_UINT64, self->pushed,
                                         "frames-skipped", G_TYPE_UINT64, self->skipped, "calibrations", G_TYPE_UINT64,
                                         self->calibrations, "last-id", G_TYPE_UINT, self->lastId, NULL));
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec);
            break;
    }
    g_mutex_unlock(&self->lock);
}

static gboolean gst_calidra_src_nuc(GstCalidraSrc* self) {
    gboolean started;
    g_mutex_lock(&self->lock);
    started = self->camera != NULL;
    if (started) {
        /* Taken before the call: every frame of the new calibration arrives a
           hold-off after it. */
        self->nucTime = g_get_monotonic_time();
        self->nucPending = TRUE;
        Calidra_Nuc(self->camera->handle);
    }
    g_mutex_unlock(&self->lock);
    return started;
}

static gboolean gst_calidra_src_start(GstBaseSrc* src) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(src);
    GError* error = NULL;
    gboolean ok;
    /* A stop may have left it flushing; no streaming thread runs yet. */
    gst_poll_set_flushing(self->poll, FALSE);
    g_mutex_lock(&self->lock);
    self->camera = calidra_camera_open(self->cameraIndex, &error);
    ok = self->camera != NULL && ApplySettings(self, &error) && calidra_camera_start(self->camera, self->poll, &error);
    if (ok) {
        GST_INFO_OBJECT(self, "camera %d (%s) started", self->camera->index, self->camera->name);
        self->ringLength = Calidra_GetParam(self->camera->handle, CALIDRA_PARAM_RING_LENGTH);
        self->degrees = g_new(float, CALIDRA_PIXELS);
        self->discont = TRUE;
        self->nucPending = FALSE;
        self->pushed = self->skipped = self->calibrations = 0;
        self->lastId = 0;
    } else if (self->camera != NULL) {
        calidra_camera_close(self->camera, NULL);
        self->camera = NULL;
    }
    g_mutex_unlock(&self->lock);
    if (!ok) PostError(self, GST_MESSAGE_ERROR, error);
    return ok;
}

static gboolean gst_calidra_src_stop(GstBaseSrc* src) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(src);
    g_mutex_lock(&self->lock);
    if (self->camera != NULL) calidra_camera_close(self->camera, self->poll);
    self->camera = NULL;
    g_clear_pointer(&self->degrees, g_free);
    g_mutex_unlock(&self->lock);
    return TRUE;
}

static GstCaps* gst_calidra_src_get_caps(GstBaseSrc* src, GstCaps* filter) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(src);
    GstCaps* caps;
    g_mutex_lock(&self->lock);
    caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                               self->output == GST_CALIDRA_SRC_OUTPUT_COLOR ? "BGR" : "GRAY16_LE", "width", G_TYPE_INT,
                               CALIDRA_WIDTH, "height", G_TYPE_INT, CALIDRA_HEIGHT, "framerate", GST_TYPE_FRACTION,
                               FRAME_RATE, 1, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, NULL);
    g_mutex_unlock(&self->lock);
    if (filter != NULL) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

static gboolean gst_calidra_src_decide_allocation(GstBaseSrc* src, GstQuery* query) {
    GstCaps* caps = NULL;
    GstVideoInfo info;
    GstBufferPool* pool;
    GstStructure* config;
    guint min = 0, max = 0;
    gst_query_parse_allocation(query, &caps, NULL);
    if (caps == NULL || !gst_video_info_from_caps(&info, caps)) return FALSE;
    if (gst_query_get_n_allocation_pools(query) > 0)
        gst_query_parse_nth_allocation_pool(query, 0, NULL, NULL, &min, &max);
    /* A pool of our own whatever downstream offers: its buffers have the plain
       layout that a readout fills in one copy. */
    pool = gst_buffer_pool_new();
    config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, (guint)info.size, min, max);
    gst_buffer_pool_set_config(pool, config);
    if (gst_query_get_n_allocation_pools(query) > 0)
        gst_query_set_nth_allocation_pool(query, 0, pool, (guint)info.size, min, max);
    else
        gst_query_add_allocation_pool(query, pool, (guint)info.size, min, max);
    gst_object_unref(pool);
    return GST_BASE_SRC_CLASS(gst_calidra_src_parent_class)->decide_allocation(src, query);
}

static gboolean gst_calidra_src_query(GstBaseSrc* src, GstQuery* query) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(src);
    int ringLength;
    if (GST_QUERY_TYPE(query) != GST_QUERY_LATENCY)
        return GST_BASE_SRC_CLASS(gst_calidra_src_parent_class)->query(src, query);
    g_mutex_lock(&self->lock);
    ringLength = self->camera != NULL ? self->ringLength : 0;
    g_mutex_unlock(&self->lock);
    if (ringLength <= 0) return FALSE;
    /* A frame is announced when it is whole; it stays readable until the ring
       has turned once. */
    gst_query_set_latency(query, TRUE, FRAME_PERIOD, FRAME_PERIOD * (GstClockTime)ringLength);
    return TRUE;
}

static gboolean gst_calidra_src_unlock(GstBaseSrc* src) {
    gst_poll_set_flushing(GST_CALIDRA_SRC(src)->poll, TRUE);
    return TRUE;
}

static gboolean gst_calidra_src_unlock_stop(GstBaseSrc* src) {
    gst_poll_set_flushing(GST_CALIDRA_SRC(src)->poll, FALSE);
    return TRUE;
}

static GstClockTime RunningTimeNow(GstCalidraSrc* self) {
    GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
    GstClockTime now, base;
    if (clock == NULL) return GST_CLOCK_TIME_NONE;
    now = gst_clock_get_time(clock);
    base = gst_element_get_base_time(GST_ELEMENT(self));
    gst_object_unref(clock);
    return now > base ? now - base : 0;
}

/* Frame id's readout in the chosen output into buffer, and its temperatures
   into facts. FALSE when the frame has left the ring. Lock held. */
static gboolean ReadFrame(GstCalidraSrc* self, guint32 id, GstBuffer* buffer, GstCalidraFrameFacts* facts) {
    const unsigned long handle = self->camera->handle;
    GstMapInfo map;
    gboolean ok;
    int i;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) return FALSE;
    ok = Calidra_GetTemperature(handle, id, self->degrees, CALIDRA_PIXELS * sizeof(float));
    if (ok && self->output == GST_CALIDRA_SRC_OUTPUT_COLOR)
        ok = Calidra_GetColor(handle, id, map.data, (unsigned long)map.size);
    else if (ok && self->output == GST_CALIDRA_SRC_OUTPUT_RAW)
        ok = Calidra_GetRaw(handle, id, (unsigned short*)map.data, (unsigned long)map.size);
    else if (ok)
        calidra_names_centikelvin(self->degrees, (guint16*)map.data, CALIDRA_PIXELS);
    if (ok && self->output != GST_CALIDRA_SRC_OUTPUT_COLOR) {
        guint16* samples = (guint16*)map.data;
        for (i = 0; i < CALIDRA_PIXELS; ++i) samples[i] = GUINT16_TO_LE(samples[i]);
    }
    gst_buffer_unmap(buffer, &map);
    facts->id = id;
    facts->minimum = facts->maximum = NAN;
    for (i = 0; ok && i < CALIDRA_PIXELS; ++i) {
        const double degrees = self->degrees[i];
        if (isnan(degrees)) continue;
        if (isnan(facts->minimum) || degrees < facts->minimum) facts->minimum = degrees;
        if (isnan(facts->maximum) || degrees > facts->maximum) facts->maximum = degrees;
    }
    facts->centre = self->degrees[CALIDRA_HEIGHT / 2 * CALIDRA_WIDTH + CALIDRA_WIDTH / 2];
    return ok;
}

/* Whether a calibration hold-off came before this frame: one asked for
   through "nuc" whose frames come now, or, while the library calibrates by
   itself, a pause in the frames of half the hold-off or more. Lock held. */
static gboolean AfterHoldOff(GstCalidraSrc* self, const CalidraArrival* arrival) {
    const gint64 holdOff = (gint64)self->holdOffMs * 1000;
    if (self->nucPending && arrival->arrival - self->nucTime >= holdOff) {
        self->nucPending = FALSE;
        return TRUE;
    }
    return self->autoNucOn && arrival->messages == 1 && arrival->gap >= holdOff / 2;
}

static void PostStreamError(GstCalidraSrc* self, CalidraWait result, guint timeoutMs) {
    GError* error = NULL;
    gchar* codes;
    g_mutex_lock(&self->lock);
    codes = calidra_camera_take_codes(self->camera, ERR_UNSUPPORTED);
    if (result == CALIDRA_WAIT_ENDED)
        g_set_error(&error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Calidra camera %d (%s) stopped: %s",
                    self->camera->index, self->camera->name, codes);
    else
        g_set_error(&error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ,
                    "Calidra camera %d (%s) gave no frame for %u ms (%s)", self->camera->index, self->camera->name,
                    timeoutMs, codes);
    g_mutex_unlock(&self->lock);
    g_free(codes);
    PostError(self, GST_MESSAGE_ERROR, error);
}

static GstFlowReturn gst_calidra_src_create(GstPushSrc* push, GstBuffer** out) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(push);
    GstBufferPool* pool = gst_base_src_get_buffer_pool(GST_BASE_SRC(self));
    guint timeoutMs;
    gint64 deadline;
    GstFlowReturn flow = GST_FLOW_ERROR;
    if (pool == NULL) return GST_FLOW_NOT_NEGOTIATED;
    g_mutex_lock(&self->lock);
    timeoutMs = self->timeout != 0 ? self->timeout : (guint)(DEFAULT_TIMEOUT_BASE_MS + MAX(self->holdOffMs, 0));
    g_mutex_unlock(&self->lock);
    deadline = g_get_monotonic_time() + (gint64)timeoutMs * 1000;
    while (TRUE) {
        CalidraArrival arrival;
        GstCalidraFrameFacts facts;
        GstBuffer* buffer = NULL;
        GstClockTime pts;
        gboolean read;
        /* The window is the camera's own and stays until stop, which comes
           only after this thread has left. */
        CalidraWait result = calidra_camera_wait(self->camera, self->poll, deadline, &arrival);
        if (result == CALIDRA_WAIT_FLUSHING) {
            flow = GST_FLOW_FLUSHING;
            break;
        }
        if (result != CALIDRA_WAIT_FRAME) {
            PostStreamError(self, result, timeoutMs);
            break;
        }
        pts = RunningTimeNow(self);
        flow = gst_buffer_pool_acquire_buffer(pool, &buffer, NULL);
        if (flow != GST_FLOW_OK) break;
        g_mutex_lock(&self->lock);
        self->skipped += arrival.messages - 1;
        read = ReadFrame(self, arrival.id, buffer, &facts);
        if (!read) {
            /* Thirty newer frames came before it could be read. */
            ++self->skipped;
            self->discont = TRUE;
            g_mutex_unlock(&self->lock);
            gst_buffer_unref(buffer);
            continue;
        }
        facts.holdOff = AfterHoldOff(self, &arrival);
        if (facts.holdOff) ++self->calibrations;
        if (self->discont || arrival.messages > 1) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
        self->discont = FALSE;
        ++self->pushed;
        self->lastId = arrival.id;
        g_mutex_unlock(&self->lock);
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(buffer) = FRAME_PERIOD;
        GST_BUFFER_OFFSET(buffer) = arrival.id;
        GST_BUFFER_OFFSET_END(buffer) = GST_BUFFER_OFFSET_NONE;
        gst_calidra_frame_meta_add(buffer, &facts);
        *out = buffer;
        break;
    }
    gst_object_unref(pool);
    return flow;
}

static void gst_calidra_src_finalize(GObject* object) {
    GstCalidraSrc* self = GST_CALIDRA_SRC(object);
    g_free(self->params);
    gst_poll_free(self->poll);
    g_mutex_clear(&self->lock);
    G_OBJECT_CLASS(gst_calidra_src_parent_class)->finalize(object);
}

static void gst_calidra_src_init(GstCalidraSrc* self) {
    g_mutex_init(&self->lock);
    self->cameraIndex = DEFAULT_CAMERA;
    self->output = DEFAULT_OUTPUT;
    self->rangeLow = DEFAULT_RANGE_LOW;
    self->rangeHigh = DEFAULT_RANGE_HIGH;
    self->autoRange = DEFAULT_AUTO_RANGE;
    self->autoNuc = DEFAULT_AUTO_NUC;
    self->flip = DEFAULT_FLIP;
    self->timeout = DEFAULT_TIMEOUT;
    self->poll = gst_poll_new(TRUE);
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

static void gst_calidra_src_class_init(GstCalidraSrcClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* base_class = GST_BASE_SRC_CLASS(klass);
    const GParamFlags ready = G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY;
    const GParamFlags playing = G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING;

    GST_DEBUG_CATEGORY_INIT(gst_calidra_src_debug, "calidrasrc", 0, "Calidra thermal camera source");
    object_class->set_property = gst_calidra_src_set_property;
    object_class->get_property = gst_calidra_src_get_property;
    object_class->finalize = gst_calidra_src_finalize;

    g_object_class_install_property(
        object_class, PROP_CAMERA,
        g_param_spec_int("camera", "Camera", "Camera number 0 to 7; -1: the first camera present", -1,
                         CALIDRA_CAMERA_COUNT - 1, DEFAULT_CAMERA, ready));
    g_object_class_install_property(
        object_class, PROP_OUTPUT,
        g_param_spec_enum("output", "Output",
                          "color: the pseudo-colour picture (BGR); raw: raw levels 0 to 16383 (GRAY16_LE, unscaled); "
                          "temperature: hundredths of a kelvin, (C + 273.15) x 100, unknown 0 (GRAY16_LE)",
                          GST_TYPE_CALIDRA_SRC_OUTPUT, DEFAULT_OUTPUT, ready));
    g_object_class_install_property(
        object_class, PROP_RANGE_LOW,
        g_param_spec_int("range-low", "Range low",
                         "Raw level up to which the colour picture is black (parameter 13; with auto-range off)", 0,
                         16383, DEFAULT_RANGE_LOW, playing));
    g_object_class_install_property(
        object_class, PROP_RANGE_HIGH,
        g_param_spec_int("range-high", "Range high",
                         "Raw level from which the colour picture is white (parameter 14; with auto-range off)", 0,
                         16383, DEFAULT_RANGE_HIGH, playing));
    g_object_class_install_property(
        object_class, PROP_AUTO_RANGE,
        g_param_spec_boolean("auto-range", "Automatic range",
                             "The colour range follows every frame (parameter 12: -1, or 0 when off)",
                             DEFAULT_AUTO_RANGE, playing));
    g_object_class_install_property(
        object_class, PROP_AUTO_NUC,
        g_param_spec_boolean("auto-nuc", "Automatic calibration",
                             "Calibrate the shutter at the start and when the internal temperature changes "
                             "(parameter 15)",
                             DEFAULT_AUTO_NUC, playing));
    g_object_class_install_property(
        object_class, PROP_FLIP,
        g_param_spec_boolean("flip", "Flip", "Turn the picture upside down (bottom row first)", DEFAULT_FLIP, playing));
    g_object_class_install_property(
        object_class, PROP_PARAMS,
        g_param_spec_string("params", "Parameters",
                            "Parameters as \"name=value ...\" with the names of the calidra tool (e.g. "
                            "\"sleep-ms=5 nuc-hold-off-ms=800\"), applied after the properties at the start and "
                            "whenever this changes",
                            NULL, playing));
    g_object_class_install_property(
        object_class, PROP_TIMEOUT,
        g_param_spec_uint("timeout", "Timeout",
                          "Milliseconds without a frame before the stream fails; 0: 2000 plus the calibration "
                          "hold-off (parameter 10)",
                          0, G_MAXINT, DEFAULT_TIMEOUT, playing));
    g_object_class_install_property(
        object_class, PROP_STATS,
        g_param_spec_boxed("stats", "Statistics",
                           "frames-pushed; frames-skipped (announced, but a newer frame was already there); "
                           "calibrations (hold-offs seen); last-id",
                           GST_TYPE_STRUCTURE, G_PARAM_READABLE | G_PARAM_STATIC_STRINGS));

    /* Emit "nuc" to start a shutter calibration: frames pause for the
       hold-off, and the first after it carries hold-off=true in its meta.
       FALSE while the element is not started. */
    signals[SIGNAL_NUC] =
        g_signal_new_class_handler("nuc", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION,
                                   G_CALLBACK(gst_calidra_src_nuc), NULL, NULL, NULL, G_TYPE_BOOLEAN, 0);

    gst_element_class_set_static_metadata(element_class, "Calidra thermal camera source", "Source/Video",
                                          "Live frames of a Calidra 640 x 480 thermal camera: pseudo-colour, raw "
                                          "levels or temperatures",
                                          "Calidra SDK");
    gst_element_class_add_static_pad_template(element_class, &src_template);

    base_class->start = gst_calidra_src_start;
    base_class->stop = gst_calidra_src_stop;
    base_class->get_caps = gst_calidra_src_get_caps;
    base_class->decide_allocation = gst_calidra_src_decide_allocation;
    base_class->query = gst_calidra_src_query;
    base_class->unlock = gst_calidra_src_unlock;
    base_class->unlock_stop = gst_calidra_src_unlock_stop;
    GST_PUSH_SRC_CLASS(klass)->create = gst_calidra_src_create;
    gst_type_mark_as_plugin_api(GST_TYPE_CALIDRA_SRC_OUTPUT, 0);
}
