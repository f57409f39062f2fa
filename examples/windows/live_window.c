/* live_window.c - a live picture in a Win32 window.
 *
 * The way Windows clients of the SDK are written: the library posts
 * WM_CAMERA_FRAME to the window given to Calidra_Initialize, and the window
 * procedure reads that frame's colour picture with Calidra_GetColor and draws
 * it with StretchDIBits. Nothing else is needed: no thread of your own, no
 * polling.
 *
 *   live_window                          a window with the live picture; close it to end
 *   live_window --message-only N FILE    no visible window: a message-only window
 *                                        takes N frames, then saves FILE as a PNG
 *
 * Without a camera, set CALIDRA_VIRTUAL_CAMERA=1 to use the library's virtual
 * camera. Build with MinGW-w64 (64-bit shown; use the x86 folder for 32-bit):
 *   x86_64-w64-mingw32-gcc -Iinclude live_window.c x64/libcalidra.dll.a -lgdi32 -o live_window.exe
 * or with MSVC:
 *   cl /Iinclude live_window.c x64\calidra.lib user32.lib gdi32.lib
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "calidra.h"

#define WIDTH 640
#define HEIGHT 480

static unsigned long camera;
/* The colour picture of the newest frame: blue, green, red, bottom row first,
   640 * 3 bytes to a row, which is already a multiple of 4 - the layout of a
   bottom-up 24-bit device-independent bitmap. */
static unsigned char pixels[WIDTH * HEIGHT * 3];
static int framesShown;
static int framesWanted; /* 0: until the window is closed */
static const char* pictureFile;
static int failed;

static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CAMERA_FRAME: {
            /* lParam carries the frame id as its 32-bit value. The frame stays
               readable by its id until 30 newer frames have come. */
            unsigned long id = (unsigned long)(unsigned int)lParam;
            if (!Calidra_GetColor(camera, id, pixels, sizeof pixels)) return 0;
            ++framesShown;
            InvalidateRect(window, NULL, FALSE);
            if (framesWanted > 0 && framesShown == framesWanted) {
                if (!Calidra_SaveA(camera, pictureFile, CALIDRA_SAVE_PNG)) {
                    fprintf(stderr, "Calidra_SaveA failed: code %d\n", Calidra_GetLastError(camera));
                    failed = 1;
                }
                DestroyWindow(window);
            }
            return 0;
        }
        case WM_CAMERA_ERROR:
            /* Every start of live acquisition posts ERR_UNSUPPORTED as an event. */
            if (lParam != ERR_UNSUPPORTED) fprintf(stderr, "camera reports code %d\n", (int)lParam);
            if (lParam == ERR_STREAM_END) {
                failed = 1;
                DestroyWindow(window);
            }
            return 0;
        case WM_TIMER:
            fprintf(stderr, "no frame for 10 s\n");
            failed = 1;
            DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            RECT area;
            BITMAPINFO info;
            HDC dc = BeginPaint(window, &paint);
            ZeroMemory(&info, sizeof info);
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = WIDTH;
            info.bmiHeader.biHeight = HEIGHT; /* positive: bottom-up, as the library delivers */
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            GetClientRect(window, &area);
            StretchDIBits(dc, 0, 0, area.right, area.bottom, 0, 0, WIDTH, HEIGHT, pixels, &info, DIB_RGB_COLORS,
                          SRCCOPY);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int main(int argc, char** argv) {
    const int messageOnly = argc == 4 && strcmp(argv[1], "--message-only") == 0;
    WNDCLASSW windowClass;
    HWND window;
    MSG msg;

    if (argc != 1 && !messageOnly) {
        fprintf(stderr, "usage: live_window [--message-only FRAMES FILE.png]\n");
        return 2;
    }
    if (messageOnly) {
        framesWanted = atoi(argv[2]);
        pictureFile = argv[3];
        if (framesWanted < 1) framesWanted = 1;
    }

    /* 1. The window that will receive the messages. */
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.lpszClassName = L"CalidraLiveWindow";
    if (!RegisterClassW(&windowClass)) return 1;
    window = CreateWindowExW(0, windowClass.lpszClassName, L"Calidra live", messageOnly ? 0 : WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, WIDTH, HEIGHT, messageOnly ? HWND_MESSAGE : NULL, NULL,
                             windowClass.hInstance, NULL);
    if (window == NULL) return 1;
    if (!messageOnly) ShowWindow(window, SW_SHOWDEFAULT);

    /* 2. The instance posts to that window; live acquisition starts. */
    camera = Calidra_Initialize(window);
    if (camera == 0 || !Calidra_Preview(camera)) {
        fprintf(stderr, "no camera could be started (code %d)\n", camera ? Calidra_GetLastError(camera) : 0);
        if (camera) Calidra_Release(camera);
        DestroyWindow(window);
        return 1;
    }
    if (messageOnly) SetTimer(window, 1, 10000, NULL);

    /* 3. The ordinary message loop: the window procedure does the rest. */
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_CAMERA_FRAME && messageOnly) SetTimer(window, 1, 10000, NULL);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    /* 4. Stop and give the instance back. */
    Calidra_Close(camera);
    Calidra_Release(camera);
    if (messageOnly) printf("%d frames received, %s saved\n", framesShown, failed ? "nothing" : pictureFile);
    return failed ? 1 : 0;
}
