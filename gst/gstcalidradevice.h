/* gstcalidradevice.h - one Calidra camera as the device monitor lists it. */
#ifndef GST_CALIDRA_DEVICE_H
#define GST_CALIDRA_DEVICE_H

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_CALIDRA_DEVICE (gst_calidra_device_get_type())
G_DECLARE_FINAL_TYPE(GstCalidraDevice, gst_calidra_device, GST, CALIDRA_DEVICE, GstDevice)

/* Camera number `camera`, called `name` by the library. */
GstDevice* gst_calidra_device_new(int camera, const char* name);

G_END_DECLS

#endif /* GST_CALIDRA_DEVICE_H */
