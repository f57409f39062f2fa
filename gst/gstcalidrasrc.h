/* gstcalidrasrc.h - calidrasrc, a live source of one Calidra thermal camera. */
#ifndef GST_CALIDRA_SRC_H
#define GST_CALIDRA_SRC_H

#include <gst/base/gstpushsrc.h>

G_BEGIN_DECLS

/* What the buffers hold. */
typedef enum {
    GST_CALIDRA_SRC_OUTPUT_COLOR,       /* the pseudo-colour picture, BGR */
    GST_CALIDRA_SRC_OUTPUT_RAW,         /* raw levels 0..16383, GRAY16_LE */
    GST_CALIDRA_SRC_OUTPUT_TEMPERATURE, /* hundredths of a kelvin, GRAY16_LE */
} GstCalidraSrcOutput;

#define GST_TYPE_CALIDRA_SRC (gst_calidra_src_get_type())
G_DECLARE_FINAL_TYPE(GstCalidraSrc, gst_calidra_src, GST, CALIDRA_SRC, GstPushSrc)

GType gst_calidra_src_output_get_type(void);
#define GST_TYPE_CALIDRA_SRC_OUTPUT (gst_calidra_src_output_get_type())

G_END_DECLS

#endif /* GST_CALIDRA_SRC_H */
