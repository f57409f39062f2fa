"""One frame of a camera's ring, read out as numpy arrays."""

from __future__ import annotations

import numpy as np

from .constants import HEIGHT, WIDTH


class Frame:
    """A frame announced by the camera, known by its id.

    The pixels stay in the camera's ring of the last 30 frames; each readout
    copies them into a new array. Once 30 newer frames have arrived the frame
    is gone and a readout raises FrameGoneError.

    Row order: with the camera's flip_display parameter set (Camera's upright
    default) row 0 is the top of the picture, otherwise the bottom.
    """

    __slots__ = ("_camera", "id")

    def __init__(self, camera, frame_id: int):
        self._camera = camera
        self.id = frame_id

    def raw(self) -> np.ndarray:
        """The corrected sensor levels (0 to 16383), uint16, 480 x 640."""
        pixels = np.zeros((HEIGHT, WIDTH), dtype=np.uint16)
        self._camera._read_frame("Calidra_GetRaw", self.id, pixels)
        return pixels

    def temperature(self) -> np.ndarray:
        """Temperatures in degrees Celsius, float32, 480 x 640."""
        degrees = np.zeros((HEIGHT, WIDTH), dtype=np.float32)
        self._camera._read_frame("Calidra_GetTemperature", self.id, degrees)
        return degrees

    def color(self) -> np.ndarray:
        """The pseudo-colour picture, uint8, 480 x 640 x 3, blue-green-red as the library gives it."""
        picture = np.zeros((HEIGHT, WIDTH, 3), dtype=np.uint8)
        self._camera._read_frame("Calidra_GetColor", self.id, picture)
        return picture

    def rgb(self) -> np.ndarray:
        """The pseudo-colour picture in red-green-blue order: a view of color() (no copy)."""
        return self.color()[..., ::-1]

    def __eq__(self, other) -> bool:
        return isinstance(other, Frame) and other._camera is self._camera and other.id == self.id

    def __hash__(self) -> int:
        return hash((id(self._camera), self.id))

    def __repr__(self) -> str:
        return f"Frame(id=0x{self.id:08x})"
