"""The numbered parameters of a camera instance as a mapping."""

from __future__ import annotations

from collections.abc import Mapping

# Name -> id. Ids 1 to 7 are read-only by name: writing their ids writes the
# camera registers of the same numbers instead.
# names.md: params (written by tools/names.py from src/api/names.md)
PARAMETERS = {
    "width": 1,
    "height": 2,
    "frame_rate_x100": 3,
    "record_kind": 4,
    "previewing": 5,
    "paused": 6,
    "recording": 7,
    "ring_length": 8,
    "sleep_ms": 9,
    "nuc_hold_off_ms": 10,
    "file_limit_mib": 11,
    "auto_range": 12,
    "range_low": 13,
    "range_high": 14,
    "auto_nuc": 15,
    "temp_range": 16,
    "flip_display": 17,
    "flip_file": 18,
}
READ_ONLY_IDS = range(1, 8)
# names.md: end
NAMES = {number: name for name, number in PARAMETERS.items()}

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1


def int32(value, what: str) -> int:
    """value as a C int; ctypes would wrap a larger one silently."""
    if isinstance(value, bool):
        value = int(value)
    try:
        number = value.__index__()
    except AttributeError:
        raise TypeError(f"{what} must be an integer, not {type(value).__name__}") from None
    if not INT32_MIN <= number <= INT32_MAX:
        raise OverflowError(f"{what} {number} does not fit a 32-bit int")
    return number


class Parameters(Mapping):
    """cam.params: read and write the instance's parameters.

    By name, as attributes or keys: cam.params.sleep_ms, cam.params["auto_nuc"] = 0.
    By id: cam.params[9]; an id outside 1 to 18 reads or writes the camera
    register of that number, and writing ids 1 to 7 writes registers 1 to 7.
    Iterating gives the 18 names; dict(cam.params) is a snapshot.
    """

    __slots__ = ("_camera",)

    def __init__(self, camera):
        object.__setattr__(self, "_camera", camera)

    @staticmethod
    def _id(key) -> int:
        if isinstance(key, str):
            try:
                return PARAMETERS[key]
            except KeyError:
                raise KeyError(f"no parameter named {key!r}") from None
        return int32(key, "parameter id")

    def __getitem__(self, key) -> int:
        return self._camera._get_param(self._id(key))

    def __setitem__(self, key, value) -> None:
        number = self._id(key)
        if isinstance(key, str) and number in READ_ONLY_IDS:
            raise AttributeError(
                f"parameter {key!r} is read-only; params[{number}] = value writes camera register {number}"
            )
        self._camera._set_param(number, int32(value, f"value of parameter {key!r}"))

    def __getattr__(self, name: str) -> int:
        if name in PARAMETERS:
            return self[name]
        raise AttributeError(f"no parameter named {name!r}")

    def __setattr__(self, name: str, value) -> None:
        if name not in PARAMETERS:
            raise AttributeError(f"no parameter named {name!r}")
        self[name] = value

    def __iter__(self):
        return iter(PARAMETERS)

    def __len__(self) -> int:
        return len(PARAMETERS)

    def __contains__(self, key) -> bool:
        if isinstance(key, str):
            return key in PARAMETERS
        return isinstance(key, int) and INT32_MIN <= key <= INT32_MAX

    def __dir__(self):
        return sorted(set(super().__dir__()) | set(PARAMETERS))

    def __repr__(self) -> str:
        return f"Parameters({dict(self)!r})"
