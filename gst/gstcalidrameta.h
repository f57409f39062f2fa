/* gstcalidrameta.h - "CalidraFrameMeta", the facts of one frame on its buffer.
 *
 * A GstCustomMeta, so applications read it without a library of ours:
 *   GstCustomMeta *meta = gst_buffer_get_custom_meta(buffer, "CalidraFrameMeta");
 *   GstStructure *facts = gst_custom_meta_get_structure(meta);
 * Fields: frame-id (uint), min-temperature, max-temperature and
 * centre-temperature (double, degrees Celsius; NaN when unknown), hold-off
 * (boolean: a calibration hold-off came just before this frame),
 * temperature-scale and temperature-offset (double: degrees Celsius of a
 * sample of the temperature output are sample x scale + offset).
 */
#ifndef GST_CALIDRA_META_H
#define GST_CALIDRA_META_H

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_CALIDRA_FRAME_META_NAME "CalidraFrameMeta"

typedef struct {
    guint32 id;
    double minimum;
    double maximum;
    double centre;
    gboolean holdOff;
} GstCalidraFrameFacts;

void gst_calidra_frame_meta_register(void);
void gst_calidra_frame_meta_add(GstBuffer* buffer, const GstCalidraFrameFacts* facts);

G_END_DECLS

#endif /* GST_CALIDRA_META_H */
