/* calidranames.h - the calidra tool's names and numbers for the plugin's C
 * code: parameter settings by name, error codes with their meanings, and the
 * 16-bit temperature samples of `calidra convert`. One table for all of them
 * lives in the tool; nothing here copies it.
 */
#ifndef CALIDRA_NAMES_H
#define CALIDRA_NAMES_H

#include <glib.h>

G_BEGIN_DECLS

typedef struct {
    int id;
    int value;
} CalidraSetting;

/* "range-low=1500 auto-range=0 9=5": names or numbers as the tool's --set
   takes them, separated by white space. A new array of CalidraSetting in
   the order given, or NULL with *problem (to g_free) saying what is wrong. */
GArray* calidra_names_parse_settings(const gchar* text, gchar** problem);

/* "range-low (13)", or "register 40" for an id the table does not name;
   to g_free. */
gchar* calidra_names_parameter(int id);

/* "ERR_FILE (9): a file could not be read or written"; to g_free. */
gchar* calidra_names_describe_error(int code);

/* Degrees Celsius as hundredths of a kelvin, (C + 273.15) x 100 rounded and
   clamped to 0..65535, unknown (NaN) 0. */
void calidra_names_centikelvin(const float* degrees, guint16* samples, gsize count);

G_END_DECLS

#endif /* CALIDRA_NAMES_H */
