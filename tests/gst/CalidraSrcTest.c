/* CalidraSrcTest.c - calidrasrc, its device provider and the RTSP example in
 * GStreamer pipelines. The environment shapes the virtual cameras: cameras 0
 * and 3 present, every frame the fixed picture that `--write-frame` wrote.
 * Each test function runs as a ctest entry of its own (GST_CHECKS).
 */
#include <gst/check/gstcheck.h>
#include <gst/check/gstharness.h>
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>

#include "calidra.h"
#include "calidra_sim.h"

#define PIXELS (640 * 480)
#define PERIOD (GST_SECOND / 30)

/* Levels that change from row to row, so that a picture upside down shows. */
static guint16 Level(int pixel) { return (guint16)(3000 + pixel / 640 * 10 + pixel % 640 / 64); }

static int WriteFrame(const char* path) {
    static guint16 levels[PIXELS];
    int i;
    for (i = 0; i < PIXELS; ++i) levels[i] = GUINT16_TO_LE(Level(i));
    return g_file_set_contents(path, (const gchar*)levels, sizeof levels, NULL) ? 0 : 1;
}

/* The frame as an instance of the test's own reads it, top row first. */
static struct {
    guint16 raw[PIXELS];
    guint8 color[PIXELS * 3];
    float degrees[PIXELS];
} reference;

static void ReadReference(void) {
    unsigned long camera = Calidra_Initialize(NULL);
    unsigned long id;
    fail_unless(Calidra_SetParam(camera, CALIDRA_PARAM_AUTO_NUC, 0) &&
                Calidra_SetParam(camera, CALIDRA_PARAM_FLIP_DISPLAY, 1));
    /* A fixed colour range, as the outputs test sets it through properties. */
    fail_unless(Calidra_SetParam(camera, CALIDRA_PARAM_AUTO_RANGE, 0) &&
                Calidra_SetParam(camera, CALIDRA_PARAM_RANGE_LOW, 3500) &&
                Calidra_SetParam(camera, CALIDRA_PARAM_RANGE_HIGH, 7000));
    id = Calidra_OneShot(camera);
    fail_unless(Calidra_GetRaw(camera, id, reference.raw, sizeof reference.raw));
    fail_unless(Calidra_GetColor(camera, id, reference.color, sizeof reference.color));
    fail_unless(Calidra_GetTemperature(camera, id, reference.degrees, sizeof reference.degrees));
    Calidra_Release(camera);
    fail_unless(reference.raw[0] == Level(0) && reference.raw[PIXELS - 1] == Level(PIXELS - 1));
}

/* Every sample within 0.01 K of the reference temperature. */
static void CheckTemperatures(const guint16* samples) {
    int i, wrong = 0;
    for (i = 0; i < PIXELS; ++i)
        wrong += !(fabs(GUINT16_FROM_LE(samples[i]) * 0.01 - 273.15 - reference.degrees[i]) <= 0.01);
    fail_unless_equals_int(wrong, 0);
}

static GstElement* Play(const gchar* launch) {
    GError* error = NULL;
    GstElement* pipeline = gst_parse_launch(launch, &error);
    fail_unless(pipeline != NULL, "%s: %s", launch, error ? error->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    return pipeline;
}

static GstMessage* Wait(GstElement* pipeline, GstMessageType types) {
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, types);
    gst_object_unref(bus);
    fail_unless(message != NULL);
    return message;
}

static void Stop(GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

static void RunToEos(GstElement* pipeline) {
    GstMessage* message = Wait(pipeline, GST_MESSAGE_EOS | GST_MESSAGE_ERROR);
    fail_unless(GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS, "%s",
                gst_structure_to_string(gst_message_get_structure(message)));
    gst_message_unref(message);
}

static void CheckError(GstElement* pipeline, gint code, const gchar* text) {
    GstMessage* message = Wait(pipeline, GST_MESSAGE_ERROR);
    GError* error = NULL;
    gst_message_parse_error(message, &error, NULL);
    fail_unless(g_error_matches(error, GST_RESOURCE_ERROR, code) && strstr(error->message, text) != NULL, "%s",
                error->message);
    g_error_free(error);
    gst_message_unref(message);
}

/* Plays a launch line made of format and file to its end; the last buffer
   of its fakesink "sink", if it has one. */
static GstBuffer* RunFile(const gchar* format, const gchar* file) {
    gchar* launch = g_strdup_printf(format, file);
    GstElement* pipeline = Play(launch);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstSample* sample = NULL;
    GstBuffer* buffer = NULL;
    RunToEos(pipeline);
    if (sink != NULL) {
        g_object_get(sink, "last-sample", &sample, NULL);
        buffer = gst_buffer_ref(gst_sample_get_buffer(sample));
        gst_sample_unref(sample);
        gst_object_unref(sink);
    }
    Stop(pipeline);
    g_free(launch);
    return buffer;
}

static gchar* RunTool(const gchar* format, const gchar* file) {
    gchar* command = g_strdup_printf(format, file);
    gchar* out = NULL;
    gint status = -1;
    fail_unless(g_spawn_command_line_sync(command, &out, NULL, &status, NULL) && status == 0, "%s", command);
    g_free(command);
    return out;
}

GST_START_TEST(test_discovery) {
    const char* properties[] = {"camera",   "output", "range-low", "range-high", "auto-range",
                                "auto-nuc", "flip",   "params",    "timeout",    "stats"};
    GstElement* source = gst_element_factory_make("calidrasrc", NULL);
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    GList *devices, *item;
    GString* found = g_string_new(NULL);
    guint i;
    GstElement* pipeline;

    fail_unless(source != NULL);
    for (i = 0; i < G_N_ELEMENTS(properties); ++i)
        fail_unless(g_object_class_find_property(G_OBJECT_GET_CLASS(source), properties[i]) != NULL, "%s",
                    properties[i]);
    gst_object_unref(source);

    gst_device_monitor_add_filter(monitor, "Video/Source", NULL);
    fail_unless(gst_device_monitor_start(monitor));
    devices = gst_device_monitor_get_devices(monitor);
    for (item = devices; item != NULL; item = item->next) {
        GstElement* made = gst_device_create_element(item->data, NULL);
        gchar* name = gst_device_get_display_name(item->data);
        gint camera = -1;
        if (made != NULL && strcmp(G_OBJECT_TYPE_NAME(made), "GstCalidraSrc") == 0) {
            g_object_get(made, "camera", &camera, NULL);
            g_string_append_printf(found, "%d %s;", camera, name);
        }
        if (made != NULL) gst_object_unref(made);
        g_free(name);
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    fail_unless_equals_string(found->str, "0 CalidraVX_01;3 CalidraVX_04;");
    g_string_free(found, TRUE);

    pipeline = gst_parse_launch("calidrasrc camera=5 ! fakesink", NULL);
    fail_unless_equals_int(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    CheckError(pipeline, GST_RESOURCE_ERROR_NOT_FOUND, "camera 5 is not present (cameras present: 0 (CalidraVX_01)");
    Stop(pipeline);
}
GST_END_TEST;

/* Three frames of each output next to the test's own reading of the fixed
   picture, then a calibration asked for through "nuc". */
GST_START_TEST(test_outputs) {
    const struct {
        const char* output;
        const char* format;
        const void* expected;
        gsize size;
    } outputs[] = {{"color", "BGR", reference.color, sizeof reference.color},
                   {"raw", "GRAY16_LE", reference.raw, sizeof reference.raw},
                   {"temperature", "GRAY16_LE", NULL, PIXELS * 2}};
    float lowest = INFINITY, highest = -INFINITY;
    guint i, frame;
    ReadReference();
    for (i = 0; i < PIXELS; ++i) {
        lowest = MIN(lowest, reference.degrees[i]);
        highest = MAX(highest, reference.degrees[i]);
    }
    for (i = 0; i < G_N_ELEMENTS(outputs); ++i) {
        GstHarness* h = gst_harness_new("calidrasrc");
        GstClockTime last = GST_CLOCK_TIME_NONE, nucAt, min, max;
        GstQuery* latency = gst_query_new_latency();
        gboolean live = FALSE, holdOff = FALSE;
        GstStructure* stats;
        guint64 pushed = 0;
        gst_util_set_object_arg(G_OBJECT(h->element), "output", outputs[i].output);
        g_object_set(h->element, "auto-nuc", FALSE, "auto-range", FALSE, "range-low", 3500, "range-high", 7000,
                     "params", "nuc-hold-off-ms=600", NULL);
        gst_harness_use_systemclock(h);
        gst_harness_play(h);
        for (frame = 0; frame < 3; ++frame) {
            GstBuffer* buffer = gst_harness_pull(h);
            GstCaps* caps = gst_pad_get_current_caps(h->sinkpad);
            GstCustomMeta* meta = gst_buffer_get_custom_meta(buffer, "CalidraFrameMeta");
            const GstStructure* facts = gst_custom_meta_get_structure(meta);
            guint id = 0;
            double low = 0, high = 0;
            GstMapInfo map;
            fail_unless_equals_string(gst_structure_get_string(gst_caps_get_structure(caps, 0), "format"),
                                      outputs[i].format);
            fail_unless(GST_BUFFER_PTS_IS_VALID(buffer) &&
                        (last == GST_CLOCK_TIME_NONE || GST_BUFFER_PTS(buffer) > last));
            fail_unless_equals_uint64(GST_BUFFER_DURATION(buffer), PERIOD);
            fail_unless(frame > 0 || GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT));
            fail_unless(gst_structure_get(facts, "frame-id", G_TYPE_UINT, &id, "min-temperature", G_TYPE_DOUBLE, &low,
                                          "max-temperature", G_TYPE_DOUBLE, &high, "hold-off", G_TYPE_BOOLEAN, &holdOff,
                                          NULL));
            fail_unless(id != 0 && GST_BUFFER_OFFSET(buffer) == id && !holdOff);
            fail_unless(low == lowest && high == highest);
            fail_unless(gst_buffer_map(buffer, &map, GST_MAP_READ) && map.size == outputs[i].size);
            if (outputs[i].expected != NULL)
                fail_unless(memcmp(map.data, outputs[i].expected, map.size) == 0);
            else
                CheckTemperatures((const guint16*)map.data);
            gst_buffer_unmap(buffer, &map);
            last = GST_BUFFER_PTS(buffer);
            gst_caps_unref(caps);
            gst_buffer_unref(buffer);
        }
        fail_unless(gst_pad_peer_query(h->sinkpad, latency));
        gst_query_parse_latency(latency, &live, &min, &max);
        fail_unless(live && min == PERIOD && max == 30 * PERIOD);
        gst_query_unref(latency);

        /* The first frame a hold-off after the request says so. Measured from
           the request, not from the frame before: frames stored before the
           hold-off began may reach the element late on a busy machine. */
        nucAt = gst_clock_get_time(GST_ELEMENT_CLOCK(h->element)) - gst_element_get_base_time(h->element);
        g_signal_emit_by_name(h->element, "nuc", &holdOff);
        fail_unless(holdOff);
        for (holdOff = FALSE, frame = 0; !holdOff && frame < 100; ++frame) {
            GstBuffer* buffer = gst_harness_pull(h);
            const GstStructure* facts =
                gst_custom_meta_get_structure(gst_buffer_get_custom_meta(buffer, "CalidraFrameMeta"));
            gst_structure_get_boolean(facts, "hold-off", &holdOff);
            fail_unless(!holdOff || GST_BUFFER_PTS(buffer) - nucAt >= 600 * GST_MSECOND);
            gst_buffer_unref(buffer);
        }
        fail_unless(holdOff);
        g_object_get(h->element, "stats", &stats, NULL);
        fail_unless(gst_structure_get_uint64(stats, "frames-pushed", &pushed) && pushed >= 4);
        fail_unless(gst_structure_get_uint64(stats, "calibrations", &pushed) && pushed == 1);
        gst_structure_free(stats);
        gst_harness_teardown(h);
    }
}
GST_END_TEST;

/* The files of the README's pipelines: 16-bit PNG of raw levels, and FFV1 in
   Matroska that reads back bit-exact. */
GST_START_TEST(test_files) {
    gchar* png = g_build_filename(CALIDRA_TEST_TMP, "gst-raw.png", NULL);
    gchar* mkv = g_build_filename(CALIDRA_TEST_TMP, "gst-temperature.mkv", NULL);
    GstBuffer *recorded, *read;
    GstMapInfo map;
    gchar* probe;

    ReadReference();
    RunFile("calidrasrc output=raw auto-nuc=false num-buffers=1 ! videoconvert ! pngenc ! filesink location=%s", png);
    g_free(RunTool("pngcheck -q %s", png));
    read =
        RunFile("filesrc location=%s ! pngdec ! videoconvert ! video/x-raw,format=GRAY16_LE ! fakesink name=sink", png);
    fail_unless(gst_buffer_memcmp(read, 0, reference.raw, sizeof reference.raw) == 0);
    gst_buffer_unref(read);

    recorded = RunFile(
        "calidrasrc output=temperature auto-nuc=false num-buffers=5 ! tee name=t ! queue ! avenc_ffv1 ! "
        "matroskamux ! filesink location=%s t. ! queue ! fakesink name=sink",
        mkv);
    probe = RunTool(
        "ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,pix_fmt,"
        "nb_read_frames -of csv=p=0 %s",
        mkv);
    fail_unless(g_str_has_prefix(probe, "ffv1,640,480,gray16le,5"), "%s", probe);
    read = RunFile("filesrc location=%s ! matroskademux ! avdec_ffv1 ! fakesink name=sink", mkv);
    fail_unless(gst_buffer_map(recorded, &map, GST_MAP_READ));
    CheckTemperatures((const guint16*)map.data);
    fail_unless(gst_buffer_get_size(read) == map.size && gst_buffer_memcmp(read, 0, map.data, map.size) == 0);
    gst_buffer_unmap(recorded, &map);
    gst_buffer_unref(recorded);
    gst_buffer_unref(read);
    g_free(probe);
    g_free(png);
    g_free(mkv);
}
GST_END_TEST;

GST_START_TEST(test_failures) {
    GstElement* pipeline;
    gint64 start;
    /* No frame for longer than the timeout: the start-up calibration holds
       them back for 30 s. */
    pipeline = Play("calidrasrc params=nuc-hold-off-ms=30000 timeout=300 ! fakesink");
    CheckError(pipeline, GST_RESOURCE_ERROR_READ, "gave no frame for 300 ms (the library recorded no error code)");
    Stop(pipeline);

    /* The library ends the stream itself: the second short transfer in a row
       is a failure. */
    fail_unless(CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 2));
    pipeline = Play("calidrasrc auto-nuc=false ! fakesink");
    CheckError(pipeline, GST_RESOURCE_ERROR_READ, "ERR_STREAM_END (4): the stream failed");
    Stop(pipeline);

    /* Stopping while create() waits out a 32 s timeout returns at once. */
    pipeline = Play("calidrasrc params=nuc-hold-off-ms=30000 ! fakesink async=false");
    fail_unless(gst_element_get_state(pipeline, NULL, NULL, 10 * GST_SECOND) != GST_STATE_CHANGE_FAILURE);
    start = g_get_monotonic_time();
    gst_element_set_state(pipeline, GST_STATE_NULL);
    fail_unless(g_get_monotonic_time() - start < 2 * G_USEC_PER_SEC);
    gst_object_unref(pipeline);
}
GST_END_TEST;

/* Run with GST_TRACERS=leaks: every cycle's objects must be gone at the end. */
GST_START_TEST(test_cycles) {
    GstElement* pipeline = gst_parse_launch("calidrasrc auto-nuc=false num-buffers=1 ! fakesink", NULL);
    int cycle;
    for (cycle = 0; cycle < 20; ++cycle) {
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        RunToEos(pipeline);
        gst_element_set_state(pipeline, GST_STATE_NULL);
    }
    gst_object_unref(pipeline);
}
GST_END_TEST;

#ifdef CALIDRA_RTSP_EXAMPLE
static void CountFrame(GstElement* sink, GstBuffer* buffer, GstPad* pad, gpointer frames) {
    (void)sink, (void)buffer, (void)pad;
    g_atomic_int_inc((gint*)frames);
}

/* Thirty frames from the example server through rtspsrc on loopback. */
GST_START_TEST(test_rtsp) {
    const gchar* argv[] = {CALIDRA_RTSP_EXAMPLE, "--address", "127.0.0.1", "--port", "0", NULL};
    GPid server;
    gint out, frames = 0;
    char url[256] = "";
    FILE* lines;
    GstElement *pipeline, *sink;
    gchar* launch;
    fail_unless(g_spawn_async_with_pipes(NULL, (gchar**)argv, NULL, G_SPAWN_DO_NOT_REAP_CHILD, NULL, NULL, &server,
                                         NULL, &out, NULL, NULL));
    lines = fdopen(out, "r");
    fail_unless(fgets(url, sizeof url, lines) != NULL && g_str_has_suffix(g_strchomp(url), "/camera0"));
    launch =
        g_strdup_printf("rtspsrc location=%s latency=100 ! decodebin ! fakesink name=sink signal-handoffs=true", url);
    pipeline = gst_parse_launch(launch, NULL);
    sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_signal_connect(sink, "handoff", G_CALLBACK(CountFrame), &frames);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (g_atomic_int_get(&frames) < 30) {
        GstMessage* message =
            gst_bus_timed_pop_filtered(GST_ELEMENT_BUS(pipeline), 100 * GST_MSECOND, GST_MESSAGE_ERROR);
        fail_unless(message == NULL, "%s", message ? gst_structure_to_string(gst_message_get_structure(message)) : "");
    }
    Stop(pipeline);
    gst_object_unref(sink);
    kill(server, SIGTERM);
    waitpid(server, NULL, 0);
    fclose(lines);
    g_free(launch);
}
GST_END_TEST;
#endif

static Suite* CalidraSrcSuite(void) {
    Suite* suite = suite_create("calidrasrc");
    TCase* cases = tcase_create("general");
    tcase_set_timeout(cases, 120);
    suite_add_tcase(suite, cases);
    tcase_add_test(cases, test_discovery);
    tcase_add_test(cases, test_outputs);
    tcase_add_test(cases, test_files);
    tcase_add_test(cases, test_failures);
    tcase_add_test(cases, test_cycles);
#ifdef CALIDRA_RTSP_EXAMPLE
    tcase_add_test(cases, test_rtsp);
#endif
    return suite;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--write-frame") == 0) return WriteFrame(argv[2]);
    gst_check_init(&argc, &argv);
    return gst_check_run_suite(CalidraSrcSuite(), "calidrasrc", __FILE__);
}
