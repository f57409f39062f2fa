/* gstcalidraplugin.c - the plugin "calidra": calidrasrc, the device provider
 * and the frame meta. */
#include "gstcalidradeviceprovider.h"
#include "gstcalidrameta.h"
#include "gstcalidrasrc.h"

static gboolean plugin_init(GstPlugin* plugin) {
    gst_calidra_frame_meta_register();
    return gst_element_register(plugin, "calidrasrc", GST_RANK_NONE, GST_TYPE_CALIDRA_SRC) &&
           gst_device_provider_register(plugin, "calidradeviceprovider", GST_RANK_PRIMARY,
                                        GST_TYPE_CALIDRA_DEVICE_PROVIDER);
}

#define PACKAGE "calidra"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, calidra, "Calidra thermal cameras", plugin_init,
                  CALIDRA_VERSION, "Proprietary", "Calidra SDK", "Calidra SDK")
