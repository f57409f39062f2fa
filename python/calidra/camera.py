"""A camera instance: its life cycle, live frames, parameters, files and errors."""

from __future__ import annotations

import collections
import ctypes
import os
import time
import weakref
from typing import Iterator, NamedTuple

from . import _library
from ._window import MessageWindow
from .constants import (
    FILESAVETYPE_CORSET,
    WM_CAMERA_ERROR,
    WM_CAMERA_FRAME,
    RecordKind,
    SaveType,
)
from .errors import CalidraError, ErrorCode, FrameGoneError, to_code
from .frame import Frame
from .level_table import LevelTable
from .parameters import Parameters, int32

CAMERA_COUNT = 8
# Announcements kept for frames(): far more than the ring holds, so that only
# frames long gone from the ring are ever dropped.
_INBOX_LENGTH = 1024
_FRAME = "frame"
_ERROR = "error"
_READOUT_ELEMENT = {
    "Calidra_GetRaw": ctypes.c_ushort,
    "Calidra_GetTemperature": ctypes.c_float,
    "Calidra_GetColor": ctypes.c_ubyte,
}


class Version(NamedTuple):
    major: int
    minor: int

    @property
    def value(self) -> int:
        """The library's 32-bit version constant."""
        return self.major << 16 | self.minor

    def __str__(self) -> str:
        return f"{self.major}.{self.minor}"


class CameraInfo(NamedTuple):
    index: int
    name: str | None
    present: bool


def version() -> Version:
    """The library version (Calidra_GetDllVersion) as (major, minor)."""
    value = _library.load().Calidra_GetDllVersion()
    return Version(value >> 16 & 0xFFFF, value & 0xFFFF)


def cameras() -> list[CameraInfo]:
    """Every camera number 0 to 7: its name when present, and whether it is present."""
    lib = _library.load()
    handle = lib.Calidra_Initialize(None)
    if not handle:
        raise CalidraError(None, "Calidra_Initialize")
    try:
        found = []
        for index in range(CAMERA_COUNT):
            name = ctypes.create_string_buffer(64)
            present = bool(lib.Calidra_IsCameraEnableA(handle, index, name, len(name)))
            text = name.value.decode("utf-8", "replace") if present else None
            found.append(CameraInfo(index, text, present))
        return found
    finally:
        lib.Calidra_Release(handle)


def encode_path(path) -> bytes:
    """A path as the library's narrow (UTF-8) text."""
    encoded = os.fsencode(os.fspath(path))
    if b"\0" in encoded:
        # The library would see the path cut at the first NUL: another file.
        raise ValueError("embedded null byte in path")
    return encoded


def _release(lib, handle, window):
    lib.Calidra_Release(handle)
    lib.CalidraWindow_Destroy(window)


class Camera:
    """One instance of the library with its own message window, on camera `index`.

    Use it as a context manager; leaving the block stops acquisition, ends any
    recording and destroys the instance, also when an exception leaves it.
    With upright=True (the default) the instance's flip_display parameter is set
    so that frame arrays hold the top row of the picture first.

    Call its methods from one thread at a time.
    """

    def __init__(self, index: int = 0, *, upright: bool = True):
        self.index = int32(index, "camera index")
        lib = _library.load()
        self._lib = lib
        self._window = MessageWindow(lib)
        handle = lib.Calidra_Initialize(self._window.handle)
        if not handle:
            lib.CalidraWindow_Destroy(self._window.handle)
            raise CalidraError(None, "Calidra_Initialize")
        self._handle = handle
        self._finalizer = weakref.finalize(self, _release, lib, handle, self._window.handle)
        self._inbox = collections.deque(maxlen=_INBOX_LENGTH)
        self._echoes = collections.Counter()
        self._stream_ended = False
        #: Codes that arrived on the window and were not raised, newest last
        #: (ERR_UNSUPPORTED is posted at every start of live acquisition).
        self.events = collections.deque(maxlen=256)
        self.params = Parameters(self)
        self.level_table = LevelTable(self)
        try:
            self._checked("Calidra_SetCameraNumber", self.index, detail=f"camera {self.index}")
            if upright:
                self.params.flip_display = 1
        except BaseException:
            self.release()
            raise

    # Life cycle.

    def __enter__(self) -> Camera:
        return self

    def __exit__(self, *exc_info) -> None:
        self.release()

    def release(self) -> None:
        """Stops acquisition, ends any recording and destroys the instance and its window."""
        self._finalizer()

    @property
    def released(self) -> bool:
        return not self._finalizer.alive

    def __repr__(self) -> str:
        state = "released" if self.released else f"handle=0x{self._handle:08x}"
        return f"Camera(index={self.index}, {state})"

    # Calls into the library.

    def _call(self, function: str, *args):
        if self.released:
            raise ValueError("the camera has been released")
        return getattr(self._lib, function)(self._handle, *args)

    def _prepare_call(self) -> None:
        # The window's queue is emptied at every call, so that it does not grow
        # while the client reads frames some other way than through frames().
        self._pump(0)
        # Codes left from earlier calls or from the acquisition thread must not be
        # taken for the code of the next failure; they also arrive on the window.
        for _ in range(10000):
            if not self._call("Calidra_GetLastError"):
                break

    def _failure(self, operation: str, detail: str | None = None, kind=CalidraError) -> CalidraError:
        code = self._call("Calidra_GetLastError")
        if code:
            # The same code is posted to the window; it is raised here, not again.
            self._echoes[code] += 1
        return kind(code, operation, detail)

    def _checked(self, function: str, *args, detail: str | None = None):
        self._prepare_call()
        result = self._call(function, *args)
        if not result:
            raise self._failure(function, detail)
        return result

    def _get_param(self, number: int) -> int:
        return self._call("Calidra_GetParam", number)

    def _set_param(self, number: int, value: int) -> None:
        self._checked("Calidra_SetParam", number, value, detail=f"parameter {number} = {value}")

    def _read_frame(self, function: str, frame_id: int, array) -> None:
        self._prepare_call()
        pointer = array.ctypes.data_as(ctypes.POINTER(_READOUT_ELEMENT[function]))
        if not self._call(function, frame_id, pointer, array.nbytes):
            error = self._failure(function, f"frame 0x{frame_id:08x}")
            if error.code == ErrorCode.ERR_ARGUMENT:
                raise FrameGoneError(
                    ErrorCode.ERR_ARGUMENT,
                    function,
                    f"frame 0x{frame_id:08x} is no longer among the last {self.params.ring_length} frames",
                )
            raise error

    # Acquisition.

    def preview(self) -> None:
        """Starts live acquisition; frames() then yields every stored frame."""
        self._checked("Calidra_Preview")

    def pause(self) -> None:
        """Stops storing and announcing frames until resume()."""
        self._checked("Calidra_Pause")

    def resume(self) -> None:
        self._checked("Calidra_Start")

    def close(self) -> None:
        """Stops live acquisition (the instance stays usable; release() destroys it)."""
        self._checked("Calidra_Close")
        self._stream_ended = False

    def nuc(self) -> None:
        """Starts a shutter calibration; frames pause for the hold-off (nuc_hold_off_ms)."""
        self._checked("Calidra_Nuc")

    def one_shot(self) -> Frame:
        """Captures one frame while not previewing."""
        return Frame(self, self._checked("Calidra_OneShot") & 0xFFFFFFFF)

    def trigger(self) -> Frame:
        """Waits up to 3 s for the trigger input, then captures one frame."""
        return Frame(self, self._checked("Calidra_Trigger") & 0xFFFFFFFF)

    @property
    def newest(self) -> Frame | None:
        """The frame at the current ring position, None before the first."""
        self._pump(0)
        frame_id = self._call("Calidra_GetNewID") & 0xFFFFFFFF
        return Frame(self, frame_id) if frame_id else None

    def frame(self, frame_id: int) -> Frame:
        """The frame with a known id (from a message or a log)."""
        if isinstance(frame_id, bool) or not isinstance(frame_id, int) or not 0 < frame_id <= 0xFFFFFFFF:
            raise ValueError(f"frame ids are 32-bit values above 0, not {frame_id!r}")
        return Frame(self, frame_id)

    @property
    def frame_rate(self) -> float:
        """Frames stored per second, measured by the library."""
        return self.params.frame_rate_x100 / 100.0

    @property
    def internal_temperature(self) -> float:
        """The camera's internal temperature in degrees Celsius."""
        self._prepare_call()
        ok = ctypes.c_int(0)
        degrees = self._call("Calidra_GetInternalTemperature", ctypes.byref(ok))
        if not ok.value:
            raise self._failure("Calidra_GetInternalTemperature")
        return float(degrees)

    # Messages.

    def _pump(self, timeout: float | None) -> list:
        """Moves the window's messages into the inbox, waiting up to timeout seconds
        for the first (0: no wait, None: no limit); returns the entries added."""
        if self.released:
            raise ValueError("the camera has been released")
        if timeout != 0 and not self._window.wait(timeout):
            return []
        added = []
        for message, value in self._window.take_all():
            if message == WM_CAMERA_FRAME:
                entry = (_FRAME, value & 0xFFFFFFFF)
            elif message == WM_CAMERA_ERROR:
                code = int(value)
                if self._echoes[code] > 0:
                    self._echoes[code] -= 1
                    continue
                if code == ErrorCode.ERR_STREAM_END:
                    self._stream_ended = True
                entry = (_ERROR, code)
            else:
                continue
            self._inbox.append(entry)
            added.append(entry)
        return added

    def _acquiring(self) -> bool:
        """Whether the acquisition loop is storing frames right now."""
        return not self._stream_ended and self.params.previewing == 1 and self.params.paused == 0

    def _next_frame_id(self, timeout: float | None, latest: bool) -> int:
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            if latest:
                self._pump(0)
            found = None
            while self._inbox:
                kind, value = self._inbox.popleft()
                if kind == _FRAME:
                    found = value
                    if not latest:
                        return found
                elif value == ErrorCode.ERR_STREAM_END:
                    if found is not None:
                        self._inbox.appendleft((kind, value))
                        return found
                    raise CalidraError(value, "live acquisition")
                else:
                    self.events.append(to_code(value))
            if found is not None:
                return found
            remaining = None if deadline is None else deadline - time.monotonic()
            if remaining is not None and remaining <= 0:
                raise TimeoutError(f"no frame within {timeout} s (is the camera previewing?)")
            self._pump(remaining)

    def frames(self, timeout: float | None = 5.0, *, count: int | None = None, latest: bool = False) -> Iterator[Frame]:
        """Yields the frames as the library announces them.

        Waits on the message window (no polling) up to timeout seconds for each
        frame, then raises TimeoutError (None: wait without limit). Stops after
        count frames when count is given. latest=True skips to the newest frame
        announced, for consumers slower than the camera; otherwise a consumer
        that falls 30 frames behind gets FrameGoneError from the readouts.
        Raises CalidraError with ERR_STREAM_END when live acquisition ends by
        itself; other codes posted meanwhile are appended to events.
        """
        produced = 0
        while count is None or produced < count:
            yield Frame(self, self._next_frame_id(timeout, latest))
            produced += 1

    # Files.

    def save(self, path, save_type) -> None:
        """Saves the newest frame as a still picture of the given SaveType (member, number or name)."""
        kind = SaveType.coerce(save_type)
        self._checked("Calidra_SaveA", encode_path(path), int(kind), detail=f"{kind.name} to {os.fspath(path)!r}")

    def record(self, path, kind="avi", *, timeout: float = 10.0) -> Recording:
        """Records the live frames into path; use it as a context manager or call stop().

        While frames flow, the call returns once the file is open and raises
        CalidraError (ERR_FILE) when it cannot be opened; otherwise the file
        opens at the next stored frame.
        """
        return Recording(self, path, RecordKind.coerce(kind), timeout)

    def _request_recording(self, encoded: bytes, kind: int, timeout: float, path: str) -> None:
        # The loop acts on a request at its next frame and closes or opens the
        # file before announcing that frame. Frames announced by the time the
        # call returns may all come from passes that began before it, and so
        # may the first one announced after; the second cannot. A refusal or the
        # stream's end counts wherever it comes.
        acquiring = self._acquiring()
        if acquiring:
            self._pump(0)
        self._checked("Calidra_RecA", encoded, kind, detail=f"{path!r}")
        if not acquiring:
            return
        deadline = time.monotonic() + timeout
        entries, frames_seen, counting = self._pump(0), 0, False
        while True:
            for entry in entries:
                entry_kind, value = entry
                if entry_kind == _FRAME:
                    frames_seen += 1 if counting else 0
                elif value == ErrorCode.ERR_STREAM_END:
                    return
                elif value == ErrorCode.ERR_FILE and kind:
                    if entry in self._inbox:
                        self._inbox.remove(entry)
                    raise CalidraError(value, "recording", f"cannot open {path!r}")
            if frames_seen >= 2:
                return
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"the recording of {path!r} did not change within {timeout} s")
            entries, counting = self._pump(remaining), True

    def save_nuc_data(self, path) -> None:
        """Saves the sensor correction as a correction-data file."""
        self._checked("Calidra_SaveNucDataA", encode_path(path), FILESAVETYPE_CORSET, detail=repr(os.fspath(path)))

    def load_nuc_data(self, path) -> None:
        """Loads the sensor correction from a correction-data file."""
        self._checked("Calidra_LoadNucDataA", encode_path(path), FILESAVETYPE_CORSET, detail=repr(os.fspath(path)))

    def load_data_set(self, path) -> None:
        """Loads a camera data set and starts a shutter calibration."""
        self._checked("Calidra_SetTableA", encode_path(path), detail=repr(os.fspath(path)))


class Recording:
    """A running recording; leaving its with-block (or stop()) ends it."""

    def __init__(self, camera: Camera, path, kind: RecordKind, timeout: float):
        self.path = os.fspath(path)
        self.kind = kind
        self._camera = camera
        self._encoded = encode_path(path)
        self._timeout = timeout
        self.active = False
        try:
            camera._request_recording(self._encoded, int(kind), timeout, self.path)
        except BaseException:
            # A recording that failed to start must not start later on its own.
            if not camera.released:
                camera._call("Calidra_RecA", self._encoded, 0)
            raise
        self.active = True

    def stop(self) -> None:
        """Ends the recording. While frames flow, returns once the file is closed;
        while paused, the file closes at the next stored frame or at close()."""
        if not self.active:
            return
        self.active = False
        if not self._camera.released:
            self._camera._request_recording(self._encoded, 0, self._timeout, self.path)

    def __enter__(self) -> Recording:
        return self

    def __exit__(self, *exc_info) -> None:
        self.stop()

    def __repr__(self) -> str:
        return f"Recording({self.path!r}, {self.kind.name}, active={self.active})"
