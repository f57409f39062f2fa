"""The message window through which an instance announces frames and errors."""

from __future__ import annotations

import ctypes
import select

from ._library import CALIDRA_MSG


class MessageWindow:
    """A library message window, waited on through its file descriptor."""

    def __init__(self, lib):
        self._lib = lib
        self.handle = lib.CalidraWindow_Create()
        if not self.handle:
            raise OSError("CalidraWindow_Create failed")
        self._fd = lib.CalidraWindow_Fd(self.handle)
        self._poller = select.poll()
        self._poller.register(self._fd, select.POLLIN)
        self._message = CALIDRA_MSG()

    def wait(self, timeout: float | None) -> bool:
        """Sleeps until a message is queued or timeout seconds have passed."""
        milliseconds = None if timeout is None else max(0, int(timeout * 1000 + 0.999))
        return bool(self._poller.poll(milliseconds))

    def take_all(self) -> list[tuple[int, int]]:
        """Every queued message as (message, lParam), oldest first, without waiting."""
        taken = []
        pointer = ctypes.byref(self._message)
        while self._lib.CalidraWindow_WaitMessage(self.handle, pointer, 0) == 1:
            taken.append((self._message.message, self._message.lParam))
        return taken
