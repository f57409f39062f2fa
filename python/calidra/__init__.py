"""Python access to the Calidra 640 x 480 thermal camera library.

    import calidra
    with calidra.Camera(0) as cam:
        cam.preview()
        for frame in cam.frames(timeout=5.0, count=100):
            degrees = frame.temperature()      # float32, 480 x 640

Pure Python over libcalidra.so through ctypes. The library is looked for in
$CALIDRA_LIBRARY, next to this package, in the source tree's build/ directory,
and through the system loader, in that order.
"""

from . import sim
from ._library import ENV_VAR, LibraryNotFoundError
from .camera import Camera, CameraInfo, Recording, Version, cameras, version
from .constants import HEIGHT, RING_LENGTH, WIDTH, RecordKind, SaveType
from .errors import CalidraError, ErrorCode, FrameGoneError
from .frame import Frame
from .level_table import LevelColumn, LevelTable
from .parameters import PARAMETERS, Parameters

__all__ = [
    "Camera",
    "CameraInfo",
    "CalidraError",
    "ENV_VAR",
    "ErrorCode",
    "Frame",
    "FrameGoneError",
    "HEIGHT",
    "LevelColumn",
    "LevelTable",
    "LibraryNotFoundError",
    "PARAMETERS",
    "Parameters",
    "RING_LENGTH",
    "RecordKind",
    "Recording",
    "SaveType",
    "Version",
    "WIDTH",
    "cameras",
    "sim",
    "version",
]
