/* gstcalidrameta.c - registering and filling "CalidraFrameMeta". */
#include "gstcalidrameta.h"

void gst_calidra_frame_meta_register(void) {
    /* No tags: filters that keep untagged metas (videoconvert, tee, queue)
       pass it on; without a transform function it is copied whole. */
    static const gchar* tags[] = {NULL};
    gst_meta_register_custom(GST_CALIDRA_FRAME_META_NAME, tags, NULL, NULL, NULL);
}

void gst_calidra_frame_meta_add(GstBuffer* buffer, const GstCalidraFrameFacts* facts) {
    GstCustomMeta* meta = gst_buffer_add_custom_meta(buffer, GST_CALIDRA_FRAME_META_NAME);
    gst_structure_set(gst_custom_meta_get_structure(meta), "frame-id", G_TYPE_UINT, facts->id, "min-temperature",
                      G_TYPE_DOUBLE, facts->minimum, "max-temperature", G_TYPE_DOUBLE, facts->maximum,
                      "centre-temperature", G_TYPE_DOUBLE, facts->centre, "hold-off", G_TYPE_BOOLEAN, facts->holdOff,
                      "temperature-scale", G_TYPE_DOUBLE, 0.01, "temperature-offset", G_TYPE_DOUBLE, -273.15, NULL);
}
