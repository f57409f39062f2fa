"""The camera's level table: a temperature and an offset for every raw level."""

from __future__ import annotations

import ctypes

import numpy as np

# Entry indexes travel as unsigned 16-bit values.
_INDEX_LIMIT = 1 << 16


class LevelColumn:
    """One column of the level table (temperatures or offsets), indexed by raw level.

    The temperature of raw level v read through Frame.temperature() is
    temperature[v] + offset[v]; changes last until the next data set is loaded.
    """

    def __init__(self, camera, getter: str, setter: str):
        self._camera = camera
        self._getter = getter
        self._setter = setter

    def _lookup(self, index):
        ok = ctypes.c_int(0)
        value = self._camera._call(self._getter, index, ctypes.byref(ok))
        return value if ok.value else None

    def _index(self, index) -> int:
        if isinstance(index, bool) or not isinstance(index, int):
            raise TypeError(f"level table index must be an integer, not {type(index).__name__}")
        if index < 0:
            index += len(self)
        if not 0 <= index < _INDEX_LIMIT:
            raise IndexError("level table index out of range")
        return index

    def __getitem__(self, index) -> float:
        value = self._lookup(self._index(index))
        if value is None:
            raise IndexError("level table index out of range")
        return value

    def __setitem__(self, index, value) -> None:
        if not self._camera._call(self._setter, self._index(index), float(value)):
            raise IndexError("level table index out of range")

    def __len__(self) -> int:
        # The library tells only whether an index is valid: the entries form one
        # run from 0, so the count is found by bisection.
        if self._lookup(0) is None:
            return 0
        low, high = 1, _INDEX_LIMIT
        while low < high:
            middle = (low + high) // 2
            if self._lookup(middle) is None:
                high = middle
            else:
                low = middle + 1
        return low

    def to_numpy(self) -> np.ndarray:
        """Every entry, float64."""
        count = len(self)
        return np.fromiter((self._lookup(i) for i in range(count)), dtype=np.float64, count=count)


class LevelTable:
    """cam.level_table: .temperature and .offset columns."""

    def __init__(self, camera):
        self.temperature = LevelColumn(camera, "Calidra_GetThermoTable", "Calidra_SetThermoTable")
        self.offset = LevelColumn(camera, "Calidra_GetOffsetValue", "Calidra_SetOffsetValue")
