/* gstcalidradeviceprovider.h - lists the Calidra cameras present, for
 * `gst-device-monitor-1.0 Video/Source` and GstDeviceMonitor. */
#ifndef GST_CALIDRA_DEVICE_PROVIDER_H
#define GST_CALIDRA_DEVICE_PROVIDER_H

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_CALIDRA_DEVICE_PROVIDER (gst_calidra_device_provider_get_type())
G_DECLARE_FINAL_TYPE(GstCalidraDeviceProvider, gst_calidra_device_provider, GST, CALIDRA_DEVICE_PROVIDER,
                     GstDeviceProvider)

G_END_DECLS

#endif /* GST_CALIDRA_DEVICE_PROVIDER_H */
