/* rtsp_camera.c - every Calidra camera present as an RTSP stream.
 *
 * Serves rtsp://HOST:8554/cameraN for each camera that the plugin's device
 * provider finds, to any number of viewers at once: one pipeline per camera,
 * shared by all its viewers. H.264 through x264enc when it is installed
 * (gstreamer1.0-plugins-ugly), Motion JPEG otherwise.
 *
 *   example-rtsp-camera [--address ADDRESS] [--port PORT]
 *
 * ADDRESS defaults to 0.0.0.0 (every interface, for viewers on other
 * machines), PORT to 8554; port 0 takes a free one. Once it listens it prints
 * one line per camera, "rtsp://127.0.0.1:8554/camera0", and serves until
 * Ctrl-C. View a stream with
 *   gst-launch-1.0 rtspsrc location=rtsp://127.0.0.1:8554/camera0 ! decodebin ! videoconvert ! autovideosink
 */
#include <glib-unix.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

/* The launch line of one camera's stream; the payloader must be called pay0. */
static gchar* LaunchLine(int camera) {
    GstElementFactory* x264 = gst_element_factory_find("x264enc");
    const char* encoder = x264 != NULL ? "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=30 "
                                         "! video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 "
                                         "config-interval=-1"
                                       : "jpegenc quality=90 ! rtpjpegpay name=pay0 pt=26";
    if (x264 != NULL) gst_object_unref(x264);
    return g_strdup_printf("( calidrasrc camera=%d ! videoconvert ! video/x-raw,format=I420 ! %s )", camera, encoder);
}

static gboolean Quit(gpointer loop) {
    g_main_loop_quit(loop);
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
    const char* address = "0.0.0.0";
    const char* port = "8554";
    GstDeviceProvider* provider;
    GstRTSPServer* server;
    GstRTSPMountPoints* mounts;
    GMainLoop* loop;
    GList *devices, *item;
    GArray* cameras = g_array_new(FALSE, FALSE, sizeof(int));
    guint i;

    gst_init(&argc, &argv);
    for (i = 1; i + 1 < (guint)argc; i += 2) {
        if (strcmp(argv[i], "--address") == 0)
            address = argv[i + 1];
        else if (strcmp(argv[i], "--port") == 0)
            port = argv[i + 1];
        else
            break;
    }
    if (i != (guint)argc) {
        fprintf(stderr, "usage: %s [--address ADDRESS] [--port PORT]\n", argv[0]);
        return 2;
    }

    /* 1. The cameras present, as the plugin's device provider lists them. */
    provider = gst_device_provider_factory_get_by_name("calidradeviceprovider");
    if (provider == NULL) {
        fprintf(stderr, "the calidra GStreamer plugin is not found (is GST_PLUGIN_PATH set?)\n");
        return 1;
    }
    devices = gst_device_provider_get_devices(provider);
    for (item = devices; item != NULL; item = item->next) {
        GstStructure* properties = gst_device_get_properties(item->data);
        int camera;
        if (gst_structure_get_int(properties, "calidra.camera", &camera)) g_array_append_val(cameras, camera);
        gst_structure_free(properties);
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(provider);
    if (cameras->len == 0) {
        fprintf(stderr, "no Calidra camera is present\n");
        return 1;
    }

    /* 2. A server with one shared media factory per camera. */
    server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server, address);
    gst_rtsp_server_set_service(server, port);
    mounts = gst_rtsp_server_get_mount_points(server);
    for (i = 0; i < cameras->len; ++i) {
        GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
        gchar* launch = LaunchLine(g_array_index(cameras, int, i));
        gchar* path = g_strdup_printf("/camera%d", g_array_index(cameras, int, i));
        gst_rtsp_media_factory_set_launch(factory, launch);
        gst_rtsp_media_factory_set_shared(factory, TRUE);
        gst_rtsp_mount_points_add_factory(mounts, path, factory);
        g_free(launch);
        g_free(path);
    }
    g_object_unref(mounts);
    if (gst_rtsp_server_attach(server, NULL) == 0) {
        fprintf(stderr, "cannot listen on %s port %s\n", address, port);
        return 1;
    }

    /* 3. The addresses, then serve until Ctrl-C or SIGTERM. */
    for (i = 0; i < cameras->len; ++i) {
        printf("rtsp://%s:%d/camera%d\n", strcmp(address, "0.0.0.0") == 0 ? "127.0.0.1" : address,
               gst_rtsp_server_get_bound_port(server), g_array_index(cameras, int, i));
    }
    fflush(stdout);
    loop = g_main_loop_new(NULL, FALSE);
    g_unix_signal_add(SIGINT, Quit, loop);
    g_unix_signal_add(SIGTERM, Quit, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    g_object_unref(server);
    g_array_unref(cameras);
    return 0;
}
