/* gstcalidradeviceprovider.c - a probe of camera numbers 0 to 7 through an
 * instance of its own, which sends no messages. */
#include "gstcalidradeviceprovider.h"

#include "calidra.h"
#include "gstcalidradevice.h"

#define CAMERA_COUNT 8

struct _GstCalidraDeviceProvider {
    GstDeviceProvider parent;
};

G_DEFINE_TYPE(GstCalidraDeviceProvider, gst_calidra_device_provider, GST_TYPE_DEVICE_PROVIDER)

static GList* gst_calidra_device_provider_probe(GstDeviceProvider* provider) {
    GList* devices = NULL;
    unsigned long handle = Calidra_Initialize(NULL);
    int camera;
    (void)provider;
    if (handle == 0) return NULL;
    for (camera = 0; camera < CAMERA_COUNT; ++camera) {
        char name[32] = "";
        GstDevice* device;
        if (!Calidra_IsCameraEnableA(handle, camera, name, (int)sizeof name)) continue;
        device = gst_calidra_device_new(camera, name);
        if (device != NULL) devices = g_list_append(devices, gst_object_ref_sink(device));
    }
    Calidra_Release(handle);
    return devices;
}

static void gst_calidra_device_provider_init(GstCalidraDeviceProvider* self) { (void)self; }

static void gst_calidra_device_provider_class_init(GstCalidraDeviceProviderClass* klass) {
    GstDeviceProviderClass* provider_class = GST_DEVICE_PROVIDER_CLASS(klass);
    provider_class->probe = gst_calidra_device_provider_probe;
    gst_device_provider_class_set_static_metadata(provider_class, "Calidra camera provider", "Video/Source",
                                                  "Lists the Calidra thermal cameras present", "Calidra SDK");
}
