"""Error and event codes, and the exceptions that carry them."""

from __future__ import annotations

import enum


class ErrorCode(enum.IntEnum):
    """The codes of Calidra_GetLastError and of WM_CAMERA_ERROR."""

    # names.md: errors (written by tools/names.py from src/api/names.md)
    ERR_NO_IMAGE = 1
    ERR_CAMERA = 2
    ERR_FRAME = 3
    ERR_STREAM_END = 4
    ERR_ARGUMENT = 5
    ERR_MEMORY = 6
    ERR_THREAD = 7
    ERR_DEVICE = 8
    ERR_FILE = 9
    ERR_UNSUPPORTED = 10
    # names.md: end

    @property
    def meaning(self) -> str:
        return _MEANINGS[self]


# names.md: meanings
_MEANINGS = {
    ErrorCode.ERR_NO_IMAGE: "a still picture was asked for before any frame was stored",
    ErrorCode.ERR_CAMERA: "the camera is absent or cannot be set up",
    ErrorCode.ERR_FRAME: "reading a frame failed, or no trigger edge came within 3000 ms",
    ErrorCode.ERR_STREAM_END: "the stream failed or gave no frame for 6000 ms; acquisition stopped",
    ErrorCode.ERR_ARGUMENT: "an argument is out of range, or a frame id is not in the ring",
    ErrorCode.ERR_MEMORY: "an image could not be created, or a buffer is too small",
    ErrorCode.ERR_THREAD: "the acquisition thread could not be created",
    ErrorCode.ERR_DEVICE: "the device stream failed to start or to stop",
    ErrorCode.ERR_FILE: "a file could not be read or written",
    ErrorCode.ERR_UNSUPPORTED: "the call or parameter is not supported by this camera",
}
# names.md: end


def to_code(value: int) -> ErrorCode | int | None:
    """The ErrorCode for value, value itself when it is unknown, None for 0."""
    if not value:
        return None
    try:
        return ErrorCode(value)
    except ValueError:
        return value


class CalidraError(Exception):
    """A library call failed.

    code is the ErrorCode the library recorded for the failure (None when it
    recorded none), name its name ("ERR_FILE") and meaning its description;
    operation names the call that failed.
    """

    def __init__(self, code: int | None, operation: str, detail: str | None = None):
        self.code = to_code(code or 0)
        self.operation = operation
        self.detail = detail
        if isinstance(self.code, ErrorCode):
            self.name = self.code.name
            self.meaning = self.code.meaning
        elif self.code is None:
            self.name = None
            self.meaning = "the library recorded no error code"
        else:
            self.name = f"code {self.code}"
            self.meaning = "unknown error code"
        super().__init__(str(self))

    def __str__(self) -> str:
        if self.name is None:
            text = f"{self.operation} failed ({self.meaning})"
        else:
            text = f"{self.operation} failed: {self.name} ({int(self.code)}): {self.meaning}"
        return f"{text}; {self.detail}" if self.detail else text


class FrameGoneError(CalidraError):
    """The frame is no longer among the frames the camera keeps (the ring)."""
