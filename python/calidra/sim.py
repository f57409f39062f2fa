"""Control of the virtual camera driver that the library ships.

Cameras 0 to 7 answer like real ones; by default only camera 0 is present, at
30 frames per second, without faults. A bad index or argument raises ValueError.
"""

from __future__ import annotations

import ctypes
import enum

import numpy as np

from . import _library
from ._library import COMMAND_PACKET
from .constants import HEIGHT, WIDTH
from .parameters import int32

CAMERA_COUNT = 8


class Fault(enum.IntEnum):
    OPEN = 1  # opening the device path fails
    IOCTL = 2  # a DeviceIoControl call fails
    SHORT_FRAME = 3  # a frame transfer returns fewer bytes than asked
    REPLY = 4  # a register reply packet fails


def _check(result: int, what: str) -> int:
    if not result:
        raise ValueError(f"the virtual camera refused {what}")
    return result


def _lib():
    return _library.load()


def reset() -> None:
    """Every camera back to the default, logs emptied."""
    _check(_lib().CalidraSim_Reset(), "reset")


def set_present(index: int, present: bool) -> None:
    """Seen by the next new Camera; unplugs an open camera when turned off."""
    _check(_lib().CalidraSim_SetPresent(int32(index, "index"), 1 if present else 0), f"set_present({index})")


def set_frame_rate(index: int, frames_per_second: float) -> None:
    """0 delivers a frame as soon as one is asked for."""
    _check(
        _lib().CalidraSim_SetFrameRate(int32(index, "index"), float(frames_per_second)),
        f"set_frame_rate({index}, {frames_per_second})",
    )


def set_frame(index: int, pixels) -> None:
    """Every later frame delivers exactly these 480 x 640 levels, row 0 the top
    of the picture (sensor line 0); None returns to the simulated scene."""
    index = int32(index, "index")
    if pixels is None:
        _check(_lib().CalidraSim_SetFrame(index, None), f"set_frame({index}, None)")
        return
    array = np.asarray(pixels)
    if array.shape != (HEIGHT, WIDTH):
        raise ValueError(f"a frame is {HEIGHT} x {WIDTH} levels, not {array.shape}")
    if array.dtype != np.uint16:
        if array.size and (array.min() < 0 or array.max() > 0xFFFF):
            raise ValueError("levels must fit 16 bits")
        array = array.astype(np.uint16)
    array = np.ascontiguousarray(array)
    pointer = array.ctypes.data_as(ctypes.POINTER(ctypes.c_ushort))
    _check(_lib().CalidraSim_SetFrame(index, pointer), f"set_frame({index})")


def set_register(index: int, register: int, value: int) -> None:
    """The camera's own value of an 8-bit register, until the library writes it."""
    _check(
        _lib().CalidraSim_SetRegister(int32(index, "index"), int32(register, "register"), int32(value, "value")),
        f"set_register({index}, {register}, {value})",
    )


def get_register(index: int, register: int) -> int:
    value = _lib().CalidraSim_GetRegister(int32(index, "index"), int32(register, "register"))
    if value < 0:
        raise ValueError(f"the virtual camera refused get_register({index}, {register})")
    return value


def set_internal_temperature(index: int, raw: int) -> None:
    """Fixes the 16-bit reading of registers 44 and 45."""
    _check(
        _lib().CalidraSim_SetInternalTemperature(int32(index, "index"), int32(raw, "raw")),
        f"set_internal_temperature({index}, {raw})",
    )


def command_log(index: int) -> np.ndarray:
    """The 64-byte command packets received since the last reset or clear,
    oldest first, as a uint8 array of shape (count, 64)."""
    index = int32(index, "index")
    if index not in range(CAMERA_COUNT):
        raise ValueError(f"no virtual camera {index}")
    lib = _lib()
    while True:
        count = lib.CalidraSim_GetCommandLog(index, None, 0)
        # Room for packets that arrive between the two calls.
        capacity = count + 64
        packets = (COMMAND_PACKET * capacity)()
        total = lib.CalidraSim_GetCommandLog(index, packets, capacity)
        if total <= capacity:
            return np.frombuffer(packets, dtype=np.uint8).reshape(capacity, 64)[:total].copy()


def clear_command_log(index: int) -> None:
    _check(_lib().CalidraSim_ClearCommandLog(int32(index, "index")), f"clear_command_log({index})")


def inject_fault(index: int, fault, count: int = 1) -> None:
    """Makes the next count occurrences of a Fault happen on that camera."""
    fault = Fault[fault.upper()] if isinstance(fault, str) else Fault(fault)
    _check(
        _lib().CalidraSim_InjectFault(int32(index, "index"), int(fault), int32(count, "count")),
        f"inject_fault({index}, {fault.name}, {count})",
    )
