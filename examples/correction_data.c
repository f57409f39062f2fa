/* correction_data.c - a camera data set, and correction data kept in a file.
 *
 *   example-correction-data DATASET CORRECTION
 *
 * 1. Loads the camera's data set (a "VL-DATSET-V" file from the camera maker:
 *    per-pixel gain and offset, defective pixels, the temperature of every
 *    level), which also starts a shutter calibration.
 * 2. Previews until the calibration is done and saves the sensor correction
 *    it produced into CORRECTION, a "VL-CORSET-V1020" file.
 * 3. Starts over with a second instance, loads CORRECTION into it, captures
 *    one frame and prints the temperature at the centre of the picture.
 */
#include <stdio.h>

#include "calidra.h"

#define WIDTH 640
#define HEIGHT 480

static float temperatures[WIDTH * HEIGHT];

/* The library has no text for its codes; a client keeps its own. */
static const char* CodeName(int code) {
    static const char* const names[] = {"none",           "ERR_NO_IMAGE", "ERR_CAMERA",     "ERR_FRAME",
                                        "ERR_STREAM_END", "ERR_ARGUMENT", "ERR_MEMORY",     "ERR_THREAD",
                                        "ERR_DEVICE",     "ERR_FILE",     "ERR_UNSUPPORTED"};
    return code >= 0 && code <= 10 ? names[code] : "unknown code";
}

/* Prints every code on the instance's error stack, newest first. */
static void PrintCodes(unsigned long camera, const char* call) {
    int code;
    while ((code = Calidra_GetLastError(camera)) != 0) {
        /* ERR_UNSUPPORTED comes with every start of live acquisition; it is no failure. */
        if (code != ERR_UNSUPPORTED) fprintf(stderr, "%s failed: %s (%d)\n", call, CodeName(code), code);
    }
}

/* Waits for `count` frame messages; 0 when they do not come within 15 s. */
static int WaitFrames(HWND window, int count) {
    CALIDRA_MSG msg;
    while (count > 0) {
        if (CalidraWindow_WaitMessage(window, &msg, 15000) != 1) return 0;
        if (msg.message == WM_CAMERA_FRAME) --count;
    }
    return 1;
}

static int Calibrate(const char* dataSet, const char* correction) {
    HWND window = CalidraWindow_Create();
    unsigned long camera = Calidra_Initialize(window);
    int ok = camera != 0;

    /* The data set replaces the correction of the camera chosen; load it
       again after Calidra_SetCameraNumber, which returns to the defaults. */
    if (ok && !Calidra_SetTableA(camera, dataSet)) {
        PrintCodes(camera, "Calidra_SetTableA");
        ok = 0;
    }
    /* The calibration averages 30 frames while frames are held back for
       1.2 s (parameter 10); the frames that follow use the new correction. */
    if (ok && !(Calidra_Preview(camera) && WaitFrames(window, 5))) {
        PrintCodes(camera, "live acquisition");
        ok = 0;
    }
    Calidra_Close(camera);
    if (ok && !Calidra_SaveNucDataA(camera, correction, FILESAVETYPE_CORSET)) {
        PrintCodes(camera, "Calidra_SaveNucDataA");
        ok = 0;
    }
    if (ok) printf("calibrated with %s; correction saved in %s\n", dataSet, correction);
    Calidra_Release(camera);
    CalidraWindow_Destroy(window);
    return ok;
}

static int UseCorrection(const char* correction) {
    HWND window = CalidraWindow_Create();
    unsigned long camera = Calidra_Initialize(window);
    unsigned long frameId;
    int ok = camera != 0;

    /* Loading needs no calibration: the very next frame is corrected with
       the loaded planes. The level table is not part of the file; it comes
       with the data set. */
    if (ok && !Calidra_LoadNucDataA(camera, correction, FILESAVETYPE_CORSET)) {
        PrintCodes(camera, "Calidra_LoadNucDataA");
        ok = 0;
    }
    frameId = ok ? Calidra_OneShot(camera) : 0;
    if (ok && frameId == 0) {
        PrintCodes(camera, "Calidra_OneShot");
        ok = 0;
    }
    if (ok && !Calidra_GetTemperature(camera, frameId, temperatures, sizeof temperatures)) {
        PrintCodes(camera, "Calidra_GetTemperature");
        ok = 0;
    }
    if (ok) {
        /* Rows come bottom row first: the centre is in the middle either way. */
        printf("with %s loaded: centre of frame %lu reads %.2f C\n", correction, frameId,
               temperatures[(HEIGHT / 2) * WIDTH + WIDTH / 2]);
    }
    Calidra_Release(camera);
    CalidraWindow_Destroy(window);
    return ok;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s DATASET CORRECTION\n", argv[0]);
        return 2;
    }
    if (!Calibrate(argv[1], argv[2])) return 1;
    return UseCorrection(argv[2]) ? 0 : 1;
}
