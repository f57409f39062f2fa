/* calidra_sim.h - control of the virtual camera driver.
 *
 * Besides the camera maker's driver (Windows only) the library ships a driver
 * of its own that answers the device paths "\\.\Opvo640ULIS-0" ... "-7" with a simulated
 * 640 x 480 microbolometer camera. It accepts exactly the control codes, pipe
 * selectors and 64-byte command packets of the driver channel, keeps a register
 * file per camera, and delivers 16-bit frame transfers of the requested length.
 * Its scene is a plausible thermal scene (a room-temperature background with
 * warm moving objects) seen through a sensor with per-pixel gain and offset
 * spread, temporal noise and a few dead pixels; a closed shutter (register 80
 * pulse 32 then 0) shows a flat field until the open pulse (16 then 0); the
 * internal temperature (registers 44 and 45) drifts slowly.
 *
 * Which driver answers: on Linux always this one. On Windows the camera
 * maker's driver, unless the environment variable CALIDRA_VIRTUAL_CAMERA is 1
 * when the library loads, or one of these functions is called before the
 * process's first Calidra_Initialize: from then on this one answers. The
 * choice stands once an instance has looked for cameras.
 *
 * Default: only device index 0 is present, 30 frames per second, no faults.
 * The library reads three environment variables once while it loads and
 * applies them to cameras 0 to 7 as these calls would (a bad value is reported
 * on stderr and ignored; CalidraSim_Reset returns to the default above):
 *   CALIDRA_SIM_FPS=F        CalidraSim_SetFrameRate, F from 0 to 1000
 *   CALIDRA_SIM_CAMERAS=0,3  CalidraSim_SetPresent: the numbers listed, or "none"
 *   CALIDRA_SIM_FRAME=FILE   CalidraSim_SetFrame with the file's 640 x 480
 *                            little-endian 16-bit levels, sensor line 0 first
 * Every function returns 1 on success and 0 for an index outside 0 to 7 or a
 * bad argument, unless stated. All functions are thread-safe.
 */
#ifndef CALIDRA_SIM_H
#define CALIDRA_SIM_H

#if defined(_WIN32) && !defined(CALIDRA_BUILDING_LIBRARY)
#define CALIDRA_SIM_API __declspec(dllimport)
#elif defined(_WIN32)
#define CALIDRA_SIM_API
#elif defined(__GNUC__)
#define CALIDRA_SIM_API __attribute__((visibility("default")))
#else
#define CALIDRA_SIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define CALIDRA_SIM_FAULT_OPEN 1        /* opening the device path fails */
#define CALIDRA_SIM_FAULT_IOCTL 2       /* a DeviceIoControl call fails */
#define CALIDRA_SIM_FAULT_SHORT_FRAME 3 /* a frame transfer returns fewer bytes than asked */
#define CALIDRA_SIM_FAULT_REPLY 4       /* a register reply packet on pipe 1 fails */

/* Every camera back to the default above, logs emptied. */
CALIDRA_SIM_API int CalidraSim_Reset(void);

/* Seen by the next probe (a new instance). Turning a camera off while a handle
   to it is open makes that handle's later calls fail, as an unplugged camera
   does. */
CALIDRA_SIM_API int CalidraSim_SetPresent(int index, int present);

/* 0: a frame as soon as one is asked for. */
CALIDRA_SIM_API int CalidraSim_SetFrameRate(int index, double framesPerSecond);

/* From now on every frame transfer delivers exactly these 640 x 480 levels
   (sensor line 0 first): no noise, no dead pixels, no level shift, whatever the
   shutter or the registers do. NULL returns to the simulated scene. The pixels
   are copied. */
CALIDRA_SIM_API int CalidraSim_SetFrame(int index, const unsigned short* pixels);

/* The camera's own value of an 8-bit register: what the next read returns,
   until the library writes it. The status register 7 changes only through this
   call. */
CALIDRA_SIM_API int CalidraSim_SetRegister(int index, int reg, int value);

/* Its current value, 0..255; -1 on a bad argument. */
CALIDRA_SIM_API int CalidraSim_GetRegister(int index, int reg);

/* Fixes the 16-bit reading of registers 44/45. */
CALIDRA_SIM_API int CalidraSim_SetInternalTemperature(int index, int raw);

/* Copies up to maxPackets of the 64-byte command packets received on pipe 0
   since the last reset or clear, oldest first, start-frame packets included;
   returns how many there were in all (may exceed maxPackets). */
CALIDRA_SIM_API int CalidraSim_GetCommandLog(int index, unsigned char (*packets)[64], int maxPackets);

CALIDRA_SIM_API int CalidraSim_ClearCommandLog(int index);

/* Makes the next `count` occurrences of a fault happen on that camera
   (CALIDRA_SIM_FAULT_*). */
CALIDRA_SIM_API int CalidraSim_InjectFault(int index, int fault, int count);

#ifdef __cplusplus
}
#endif

#endif /* CALIDRA_SIM_H */
