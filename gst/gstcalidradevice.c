/* gstcalidradevice.c - a camera's device: a calidrasrc with its number set. */
#include "gstcalidradevice.h"

struct _GstCalidraDevice {
    GstDevice parent;
    int camera;
};

G_DEFINE_TYPE(GstCalidraDevice, gst_calidra_device, GST_TYPE_DEVICE)

static GstElement* gst_calidra_device_create_element(GstDevice* device, const gchar* name) {
    GstElement* source = gst_element_factory_make("calidrasrc", name);
    if (source != NULL) g_object_set(source, "camera", GST_CALIDRA_DEVICE(device)->camera, NULL);
    return source;
}

static void gst_calidra_device_init(GstCalidraDevice* self) { self->camera = -1; }

static void gst_calidra_device_class_init(GstCalidraDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = gst_calidra_device_create_element;
}

GstDevice* gst_calidra_device_new(int camera, const char* name) {
    GstElementFactory* factory = gst_element_factory_find("calidrasrc");
    GstCaps* caps = NULL;
    GstStructure* properties;
    GstCalidraDevice* device;
    const GList* templates;
    if (factory == NULL) return NULL;
    for (templates = gst_element_factory_get_static_pad_templates(factory); templates; templates = templates->next) {
        GstStaticPadTemplate* pad = templates->data;
        if (pad->direction == GST_PAD_SRC) caps = gst_static_caps_get(&pad->static_caps);
    }
    gst_object_unref(factory);
    properties = gst_structure_new("calidra-device", "device.api", G_TYPE_STRING, "calidra", "calidra.camera",
                                   G_TYPE_INT, camera, "calidra.name", G_TYPE_STRING, name, NULL);
    device = g_object_new(GST_TYPE_CALIDRA_DEVICE, "display-name", name, "device-class", "Video/Source", "caps", caps,
                          "properties", properties, NULL);
    device->camera = camera;
    if (caps != NULL) gst_caps_unref(caps);
    gst_structure_free(properties);
    return GST_DEVICE(device);
}
