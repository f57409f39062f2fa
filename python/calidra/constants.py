"""Picture sizes, window messages, still-picture types and recording kinds."""

from __future__ import annotations

import enum

WIDTH = 640
HEIGHT = 480
RING_LENGTH = 30

WM_CAMERA_FRAME = 0x8002
WM_CAMERA_ERROR = 0x8003

FILESAVETYPE_CORSET = 0


class _Named(enum.IntEnum):
    @classmethod
    def coerce(cls, value):
        """A member from a member, its number or its name (any case)."""
        if isinstance(value, cls):
            return value
        if isinstance(value, str):
            try:
                return cls[value.strip().upper()]
            except KeyError:
                names = ", ".join(member.name.lower() for member in cls)
                raise ValueError(f"unknown {cls.__name__} {value!r}; one of {names}") from None
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"{cls.__name__} must be a name or a number, not {type(value).__name__}")
        return cls(value)


class SaveType(_Named):
    """The forms of Camera.save: the picture in colour, the raw levels, or temperatures."""

    BMP = 0  # colour picture, Windows bitmap, 24 bits
    COLOR_BYTES = 1  # colour picture, bare blue-green-red bytes
    JPEG_100 = 2  # colour picture, JPEG quality 100
    JPEG_70 = 3  # colour picture, JPEG quality 70
    JPEG_20 = 4  # colour picture, JPEG quality 20
    PNG = 5  # colour picture, 8-bit RGB PNG
    TIFF = 6  # colour picture, 8-bit RGB TIFF
    RAW_BYTES = 7  # raw levels, bare little-endian 16-bit values
    RAW_PNG = 8  # raw levels, 16-bit grey PNG
    RAW_TIFF = 9  # raw levels, 16-bit grey TIFF
    TEMPERATURE_S8 = 10  # temperatures, signed 8-bit degrees
    TEMPERATURE_U8 = 11  # temperatures, unsigned 8-bit degrees
    TEMPERATURE_I32 = 12  # temperatures, signed 32-bit degrees
    TEMPERATURE_F32 = 13  # temperatures, 32-bit float degrees


class RecordKind(_Named):
    """The kinds of Camera.record."""

    RAW = 1  # headerless sequence of raw frames, 614,400 bytes each
    AVI = 2  # uncompressed AVI video of the colour pictures
    TEMPERATURE = 3  # headerless sequence of float temperature frames, 1,228,800 bytes each
