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

    # names.md: saves (written by tools/names.py from src/api/names.md)
    BMP = 0  # colour picture, Windows bitmap, 24 bits
    COLOR_BYTES = 1  # colour picture, bare blue-green-red bytes, bottom row first
    JPEG_100 = 2  # colour picture, progressive JPEG, quality 100
    JPEG_70 = 3  # colour picture, progressive JPEG, quality 70
    JPEG_20 = 4  # colour picture, progressive JPEG, quality 20
    PNG = 5  # colour picture, PNG, 8-bit RGB
    TIFF = 6  # colour picture, TIFF, 8-bit RGB, uncompressed, one strip
    RAW_BYTES = 7  # raw levels, bare 16-bit little-endian, bottom row first
    RAW_PNG = 8  # raw levels x 64 (modulo 65,536), PNG, 16-bit grey
    RAW_TIFF = 9  # raw levels, scaled as in the PNG, TIFF, 16-bit grey
    TEMPERATURE_S8 = 10  # temperatures, signed 8-bit degrees C, bottom row first
    TEMPERATURE_U8 = 11  # temperatures, unsigned 8-bit degrees C, bottom row first
    TEMPERATURE_I32 = 12  # temperatures, 32-bit integer degrees C, bottom row first
    TEMPERATURE_F32 = 13  # temperatures, 32-bit float degrees C, bottom row first
    # names.md: end


class RecordKind(_Named):
    """The kinds of Camera.record."""

    # names.md: records
    RAW = 1  # headerless sequence of raw images, bottom row first
    AVI = 2  # AVI, uncompressed 24-bit colour video, bottom-up rows, index at the end
    TEMPERATURE = 3  # headerless float temperature images (built-in thermo table), bottom row first
    # names.md: end
