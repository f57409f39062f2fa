/* calidra.h - the Calidra SDK: live acquisition, correction and files of a
 * 640 x 480 uncooled microbolometer thermal camera with 14-bit levels.
 *
 * Every function but Calidra_Initialize and Calidra_GetDllVersion takes the
 * handle that Calidra_Initialize returned. An unregistered handle makes any
 * function return 0 (0.0 for the floating-point results) with no other effect.
 * Results of 1/0 mean 1 for success and 0 for failure; a failure that reaches
 * an instance is pushed on its error stack (Calidra_GetLastError) and posted to
 * its window as WM_CAMERA_ERROR with the code in lParam.
 *
 * Handles, frame ids and sizes keep 32-bit values even where unsigned long is
 * 64 bits wide. Narrow strings are UTF-8 whatever the process's locale (on
 * Windows: the system's ANSI code page, as for every A function); wide strings
 * are the platform's wchar_t (UTF-16 on Windows).
 *
 * Threads: call the functions of one instance from one client thread at a time.
 * The library posts its messages from its acquisition thread; the client reads
 * them in its own thread (calidra_window.h).
 */
#ifndef CALIDRA_H
#define CALIDRA_H

#include <stddef.h>

#include "calidra_window.h"

/* Every function uses the C compiler's default calling convention (cdecl on
   32-bit Windows) and is exported from calidra.dll under its plain name, with
   no decoration, on 32-bit and 64-bit Windows alike. The library's own build
   defines CALIDRA_BUILDING_LIBRARY; clients never do. */
#if defined(_WIN32) && !defined(CALIDRA_BUILDING_LIBRARY)
#define CALIDRA_API __declspec(dllimport)
#elif defined(_WIN32)
#define CALIDRA_API
#elif defined(__GNUC__)
#define CALIDRA_API __attribute__((visibility("default")))
#else
#define CALIDRA_API
#endif

/* clang-format off */
/* names.md: constants (written by tools/names.py from src/api/names.md) */
/* Error and event codes: the result of Calidra_GetLastError and the lParam of
   WM_CAMERA_ERROR. */
#define ERR_NO_IMAGE 1     /* a still picture was asked for before any frame was stored */
#define ERR_CAMERA 2       /* the camera is absent or cannot be set up */
#define ERR_FRAME 3        /* reading a frame failed, or no trigger edge came within 3000 ms */
#define ERR_STREAM_END 4   /* the stream failed or gave no frame for 6000 ms; acquisition stopped */
#define ERR_ARGUMENT 5     /* an argument is out of range, or a frame id is not in the ring */
#define ERR_MEMORY 6       /* an image could not be created, or a buffer is too small */
#define ERR_THREAD 7       /* the acquisition thread could not be created */
#define ERR_DEVICE 8       /* the device stream failed to start or to stop */
#define ERR_FILE 9         /* a file could not be read or written */
#define ERR_UNSUPPORTED 10 /* the call or parameter is not supported by this camera */

/* Parameter ids of Calidra_GetParam and Calidra_SetParam. */
#define CALIDRA_PARAM_WIDTH 1            /* image width, 640 */
#define CALIDRA_PARAM_HEIGHT 2           /* image height, 480 */
#define CALIDRA_PARAM_FRAME_RATE_X100 3  /* measured frames per second x 100 */
#define CALIDRA_PARAM_RECORD_KIND 4      /* recording kind asked for (0 none, 1 raw, 2 avi, 3 temp) */
#define CALIDRA_PARAM_PREVIEWING 5       /* 1 while live acquisition runs */
#define CALIDRA_PARAM_PAUSED 6           /* 1 while live acquisition is paused */
#define CALIDRA_PARAM_RECORDING 7        /* 1 while a recording file is open */
#define CALIDRA_PARAM_RING_LENGTH 8      /* frames kept for reading by id (fixed at 30) */
#define CALIDRA_PARAM_SLEEP_MS 9         /* pause of the acquisition loop per pass, ms */
#define CALIDRA_PARAM_NUC_HOLD_OFF_MS 10 /* frames dropped for this long after a calibration starts, ms */
#define CALIDRA_PARAM_FILE_LIMIT_MIB 11  /* size in MiB at which an AVI recording continues in name_1, name_2, ... */
#define CALIDRA_PARAM_AUTO_RANGE 12      /* colour range: -1 follows every frame, c > 0 the next c frames, 0 stays */
#define CALIDRA_PARAM_RANGE_LOW 13       /* raw level up to which the colour picture is black */
#define CALIDRA_PARAM_RANGE_HIGH 14      /* raw level from which the colour picture is white */
#define CALIDRA_PARAM_AUTO_NUC 15        /* 1: calibrate when the internal temperature changes */
#define CALIDRA_PARAM_TEMP_RANGE 16      /* temperature range selector (writing it is not supported) */
#define CALIDRA_PARAM_FLIP_DISPLAY 17    /* 1: readouts by frame id deliver the top row first */
#define CALIDRA_PARAM_FLIP_FILE 18       /* 1: files hold their rows in the opposite order */

/* Still types of Calidra_SaveA and Calidra_SaveW. */
#define CALIDRA_SAVE_BMP 0              /* colour picture, Windows bitmap, 24 bits */
#define CALIDRA_SAVE_COLOR_BYTES 1      /* colour picture, bare blue-green-red bytes, bottom row first */
#define CALIDRA_SAVE_JPEG_100 2         /* colour picture, progressive JPEG, quality 100 */
#define CALIDRA_SAVE_JPEG_70 3          /* colour picture, progressive JPEG, quality 70 */
#define CALIDRA_SAVE_JPEG_20 4          /* colour picture, progressive JPEG, quality 20 */
#define CALIDRA_SAVE_PNG 5              /* colour picture, PNG, 8-bit RGB */
#define CALIDRA_SAVE_TIFF 6             /* colour picture, TIFF, 8-bit RGB, uncompressed, one strip */
#define CALIDRA_SAVE_RAW_BYTES 7        /* raw levels, bare 16-bit little-endian, bottom row first */
#define CALIDRA_SAVE_RAW_PNG 8          /* raw levels x 64 (modulo 65,536), PNG, 16-bit grey */
#define CALIDRA_SAVE_RAW_TIFF 9         /* raw levels, scaled as in the PNG, TIFF, 16-bit grey */
#define CALIDRA_SAVE_TEMPERATURE_S8 10  /* temperatures, signed 8-bit degrees C, bottom row first */
#define CALIDRA_SAVE_TEMPERATURE_U8 11  /* temperatures, unsigned 8-bit degrees C, bottom row first */
#define CALIDRA_SAVE_TEMPERATURE_I32 12 /* temperatures, 32-bit integer degrees C, bottom row first */
#define CALIDRA_SAVE_TEMPERATURE_F32 13 /* temperatures, 32-bit float degrees C, bottom row first */

/* Recording kinds of Calidra_RecA and Calidra_RecW. */
#define CALIDRA_RECORD_NONE 0        /* no recording; ends a running one */
#define CALIDRA_RECORD_RAW 1         /* headerless sequence of raw images, bottom row first */
#define CALIDRA_RECORD_AVI 2         /* AVI, uncompressed 24-bit colour video, bottom-up rows, index at the end */
#define CALIDRA_RECORD_TEMPERATURE 3 /* headerless float temperature images (built-in thermo table), bottom row first */
/* names.md: end */
/* clang-format on */

/* Window messages posted to the client's window; wParam is always 0. */
#define WM_CAMERA_FRAME 0x8002 /* lParam: id of the frame just stored */
#define WM_CAMERA_ERROR 0x8003 /* lParam: error or event code */

/* Correction-data file formats. */
typedef enum FILESAVETYPE {
    FILESAVETYPE_CORSET = 0 /* "VL-CORSET-V1020" correction-data file */
} FILESAVETYPE;

#ifdef __cplusplus
extern "C" {
#endif

/* Creates an instance, sets camera 0 up and returns its handle (0 on failure).
   window receives the instance's messages; NULL means none are posted. */
CALIDRA_API unsigned long Calidra_Initialize(HWND window);

/* Stops acquisition, closes any recording, destroys the instance. 1/0. */
CALIDRA_API int Calidra_Release(unsigned long handle);

/* Sets the window that receives the messages; NULL means none. 1/0. */
CALIDRA_API int Calidra_SetWindowHandle(unsigned long handle, HWND window);

/* Selects camera number (0..7) and sets it up. 1/0; codes ERR_ARGUMENT,
   ERR_CAMERA. */
CALIDRA_API int Calidra_SetCameraNumber(unsigned long handle, int number);

/* 1 when camera number is present; writes its name ("CalidraVX_01" for camera
   0) into name, which must hold at least 17 characters (nameSize). Code
   ERR_ARGUMENT for a short buffer or a number outside 0..7. */
CALIDRA_API int Calidra_IsCameraEnableA(unsigned long handle, int number, char* name, int nameSize);
CALIDRA_API int Calidra_IsCameraEnableW(unsigned long handle, int number, wchar_t* name, int nameSize);

/* Starts live acquisition: WM_CAMERA_FRAME arrives for every stored frame.
   1/0; on failure the camera is closed. */
CALIDRA_API int Calidra_Preview(unsigned long handle);

/* Stops acquisition. 1. */
CALIDRA_API int Calidra_Close(unsigned long handle);

/* Clears (Start) or sets (Pause) the pause flag of live acquisition. 1. */
CALIDRA_API int Calidra_Start(unsigned long handle);
CALIDRA_API int Calidra_Pause(unsigned long handle);

/* Captures one frame while not previewing: its frame id, or 0. */
CALIDRA_API unsigned long Calidra_OneShot(unsigned long handle);

/* Waits up to 3000 ms for the trigger input, then captures one frame: its
   frame id, or 0. */
CALIDRA_API unsigned long Calidra_Trigger(unsigned long handle);

/* Saves the newest frame as a still picture of the given type (0..13). 1/0;
   codes ERR_NO_IMAGE, ERR_ARGUMENT, ERR_FILE. */
CALIDRA_API int Calidra_SaveA(unsigned long handle, const char* path, int type);
CALIDRA_API int Calidra_SaveW(unsigned long handle, const wchar_t* path, int type);

/* Sets the recording kind (0 = none) and the recording file name. 1. */
CALIDRA_API int Calidra_RecA(unsigned long handle, const char* path, int kind);
CALIDRA_API int Calidra_RecW(unsigned long handle, const wchar_t* path, int kind);

/* The id of the frame at the current ring position (0: none yet). */
CALIDRA_API unsigned long Calidra_GetNewID(unsigned long handle);

/* Copy the raw levels (640 x 480 unsigned shorts), the temperatures (floats,
   degrees Celsius) or the pseudo-colour picture (640 x 480 x 3 bytes, blue
   green red) of the frame with that id, while it is among the last 30. size is
   the buffer's size in bytes. 1/0; codes ERR_ARGUMENT, ERR_MEMORY. */
CALIDRA_API int Calidra_GetRaw(unsigned long handle, unsigned long id, unsigned short* buffer, unsigned long size);
CALIDRA_API int Calidra_GetTemperature(unsigned long handle, unsigned long id, float* buffer, unsigned long size);
CALIDRA_API int Calidra_GetColor(unsigned long handle, unsigned long id, unsigned char* buffer, unsigned long size);

/* Starts a shutter calibration. 1. */
CALIDRA_API int Calidra_Nuc(unsigned long handle);

/* One offset or temperature entry (index 0..16383) of the camera's level
   table. The getters set *ok to 1 or 0. */
CALIDRA_API int Calidra_SetOffsetValue(unsigned long handle, unsigned short index, double value);
CALIDRA_API double Calidra_GetOffsetValue(unsigned long handle, unsigned short index, int* ok);
CALIDRA_API int Calidra_SetThermoTable(unsigned long handle, unsigned short index, double value);
CALIDRA_API double Calidra_GetThermoTable(unsigned long handle, unsigned short index, int* ok);

/* Saves or loads the sensor correction in a "VL-CORSET-V1020" file. 1/0;
   code ERR_FILE. The wide forms have C++ linkage and are declared below. */
CALIDRA_API int Calidra_SaveNucDataA(unsigned long handle, const char* path, FILESAVETYPE type);
CALIDRA_API int Calidra_LoadNucDataA(unsigned long handle, const char* path, FILESAVETYPE type);

/* 0x0014044D. Takes no handle. */
CALIDRA_API unsigned long Calidra_GetDllVersion(void);

/* Not supported: records ERR_UNSUPPORTED and returns 0. */
CALIDRA_API int Calidra_SetCameraType(unsigned long handle, int type);

/* Reads or writes a numbered parameter (1..18) or passes a register through. */
CALIDRA_API int Calidra_GetParam(unsigned long handle, int id);
CALIDRA_API int Calidra_SetParam(unsigned long handle, int id, int value);

/* Loads a camera data set ("VL-DATSET-V" file), then starts a shutter
   calibration. 1/0; code ERR_FILE. */
CALIDRA_API int Calidra_SetTableA(unsigned long handle, const char* path);
CALIDRA_API int Calidra_SetTableW(unsigned long handle, const wchar_t* path);

/* The camera's internal temperature in degrees Celsius; *ok set to 1 or 0. */
CALIDRA_API float Calidra_GetInternalTemperature(unsigned long handle, int* ok);

/* Pops the newest error or event code not yet returned; 0 when none. */
CALIDRA_API int Calidra_GetLastError(unsigned long handle);

#ifdef __cplusplus
}

/* The wide correction-data functions have C++ linkage; C clients use the A
   forms. They are exported under the names GCC (Itanium C++ ABI) gives them,
   on Linux and in calidra.dll (built with MinGW-w64) alike:
     _Z20Calidra_SaveNucDataWmPKw12FILESAVETYPE
     _Z20Calidra_LoadNucDataWmPKw12FILESAVETYPE
   MinGW and clang (MinGW target) clients call them as declared here; MSVC
   decorates C++ names differently, so MSVC clients use the A forms or find
   these names with GetProcAddress. */
CALIDRA_API int Calidra_SaveNucDataW(unsigned long handle, const wchar_t* path, FILESAVETYPE type);
CALIDRA_API int Calidra_LoadNucDataW(unsigned long handle, const wchar_t* path, FILESAVETYPE type);
#endif

#endif /* CALIDRA_H */
