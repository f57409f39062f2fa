"""Finding and loading libcalidra.so, and the C prototypes of its functions."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import threading
from ctypes import (
    POINTER,
    c_char,
    c_char_p,
    c_double,
    c_float,
    c_int,
    c_size_t,
    c_ssize_t,
    c_ubyte,
    c_uint,
    c_ulong,
    c_ushort,
    c_void_p,
    c_wchar,
    c_wchar_p,
)
from pathlib import Path

ENV_VAR = "CALIDRA_LIBRARY"
LIBRARY_NAME = "libcalidra.so"
SONAME = "libcalidra.so.20"

# The handle, frame-id and size arguments are `unsigned long`, 64 bits wide on
# Linux; a window (HWND) is an opaque pointer.
HANDLE = c_ulong
HWND = c_void_p


class CALIDRA_MSG(ctypes.Structure):
    _fields_ = [
        ("window", HWND),
        ("message", c_uint),
        ("wParam", c_size_t),
        ("lParam", c_ssize_t),
    ]


COMMAND_PACKET = c_ubyte * 64

# name: (result type, argument types). The two wide correction-data functions
# have C++ linkage (mangled names) and are not bound: their narrow forms take
# UTF-8, which carries every path a Linux file system has.
_PROTOTYPES = {
    "Calidra_Initialize": (HANDLE, [HWND]),
    "Calidra_Release": (c_int, [HANDLE]),
    "Calidra_SetWindowHandle": (c_int, [HANDLE, HWND]),
    "Calidra_SetCameraNumber": (c_int, [HANDLE, c_int]),
    "Calidra_IsCameraEnableA": (c_int, [HANDLE, c_int, POINTER(c_char), c_int]),
    "Calidra_IsCameraEnableW": (c_int, [HANDLE, c_int, POINTER(c_wchar), c_int]),
    "Calidra_Preview": (c_int, [HANDLE]),
    "Calidra_Close": (c_int, [HANDLE]),
    "Calidra_Start": (c_int, [HANDLE]),
    "Calidra_Pause": (c_int, [HANDLE]),
    "Calidra_OneShot": (c_ulong, [HANDLE]),
    "Calidra_Trigger": (c_ulong, [HANDLE]),
    "Calidra_SaveA": (c_int, [HANDLE, c_char_p, c_int]),
    "Calidra_SaveW": (c_int, [HANDLE, c_wchar_p, c_int]),
    "Calidra_RecA": (c_int, [HANDLE, c_char_p, c_int]),
    "Calidra_RecW": (c_int, [HANDLE, c_wchar_p, c_int]),
    "Calidra_GetNewID": (c_ulong, [HANDLE]),
    "Calidra_GetRaw": (c_int, [HANDLE, c_ulong, POINTER(c_ushort), c_ulong]),
    "Calidra_GetTemperature": (c_int, [HANDLE, c_ulong, POINTER(c_float), c_ulong]),
    "Calidra_GetColor": (c_int, [HANDLE, c_ulong, POINTER(c_ubyte), c_ulong]),
    "Calidra_Nuc": (c_int, [HANDLE]),
    "Calidra_SetOffsetValue": (c_int, [HANDLE, c_ushort, c_double]),
    "Calidra_GetOffsetValue": (c_double, [HANDLE, c_ushort, POINTER(c_int)]),
    "Calidra_SetThermoTable": (c_int, [HANDLE, c_ushort, c_double]),
    "Calidra_GetThermoTable": (c_double, [HANDLE, c_ushort, POINTER(c_int)]),
    "Calidra_SaveNucDataA": (c_int, [HANDLE, c_char_p, c_int]),
    "Calidra_LoadNucDataA": (c_int, [HANDLE, c_char_p, c_int]),
    "Calidra_GetDllVersion": (c_ulong, []),
    "Calidra_SetCameraType": (c_int, [HANDLE, c_int]),
    "Calidra_GetParam": (c_int, [HANDLE, c_int]),
    "Calidra_SetParam": (c_int, [HANDLE, c_int, c_int]),
    "Calidra_SetTableA": (c_int, [HANDLE, c_char_p]),
    "Calidra_SetTableW": (c_int, [HANDLE, c_wchar_p]),
    "Calidra_GetInternalTemperature": (c_float, [HANDLE, POINTER(c_int)]),
    "Calidra_GetLastError": (c_int, [HANDLE]),
    "CalidraWindow_Create": (HWND, []),
    "CalidraWindow_Destroy": (c_int, [HWND]),
    "CalidraWindow_WaitMessage": (c_int, [HWND, POINTER(CALIDRA_MSG), c_ulong]),
    "CalidraWindow_Fd": (c_int, [HWND]),
    "CalidraSim_Reset": (c_int, []),
    "CalidraSim_SetPresent": (c_int, [c_int, c_int]),
    "CalidraSim_SetFrameRate": (c_int, [c_int, c_double]),
    "CalidraSim_SetFrame": (c_int, [c_int, POINTER(c_ushort)]),
    "CalidraSim_SetRegister": (c_int, [c_int, c_int, c_int]),
    "CalidraSim_GetRegister": (c_int, [c_int, c_int]),
    "CalidraSim_SetInternalTemperature": (c_int, [c_int, c_int]),
    "CalidraSim_GetCommandLog": (c_int, [c_int, POINTER(COMMAND_PACKET), c_int]),
    "CalidraSim_ClearCommandLog": (c_int, [c_int]),
    "CalidraSim_InjectFault": (c_int, [c_int, c_int, c_int]),
}


class LibraryNotFoundError(OSError):
    """libcalidra.so could not be found or loaded."""


def _candidates():
    """Where the library is looked for, in order: (description, path or name)."""
    explicit = os.environ.get(ENV_VAR)
    if explicit:
        # A library named explicitly is the only one tried: falling back to
        # another copy would hide a wrong setting.
        yield f"${ENV_VAR}", explicit
        return
    package = Path(__file__).resolve().parent
    yield "next to the package", package / LIBRARY_NAME
    yield "the build tree", package.parent.parent / "build" / LIBRARY_NAME
    yield "the system loader", SONAME
    yield "the system loader", LIBRARY_NAME
    found = ctypes.util.find_library("calidra")
    if found:
        yield "the system loader", found


def _open():
    tried = []
    for where, candidate in _candidates():
        if isinstance(candidate, Path) and not candidate.is_file():
            tried.append(f"{candidate} ({where}): not there")
            continue
        try:
            return ctypes.CDLL(str(candidate))
        except OSError as error:
            tried.append(f"{candidate} ({where}): {error}")
    raise LibraryNotFoundError(
        "libcalidra.so not found; set CALIDRA_LIBRARY to its path. Tried:\n  " + "\n  ".join(tried)
    )


class Library:
    """The loaded library, its functions bound with their prototypes."""

    def __init__(self, cdll: ctypes.CDLL):
        self.path = cdll._name
        self._cdll = cdll
        for name, (result, arguments) in _PROTOTYPES.items():
            function = getattr(cdll, name)
            function.restype = result
            function.argtypes = arguments
            setattr(self, name, function)


_lock = threading.Lock()
_library: Library | None = None


def load() -> Library:
    """The library, loaded on first use."""
    global _library
    with _lock:
        if _library is None:
            _library = Library(_open())
        return _library
