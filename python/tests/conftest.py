"""Shared fixtures: the package from this source tree, a fresh virtual camera per
test, and cameras in the states the tests start from."""

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

import calidra  # noqa: E402

# Hang guard for waits on frames; never a measure of speed.
FRAME_TIMEOUT = 20.0


@pytest.fixture(autouse=True)
def virtual_camera():
    calidra.sim.reset()
    yield
    calidra.sim.reset()


@pytest.fixture
def open_camera():
    """Opens cameras and releases whatever the test left open."""
    opened = []

    def open_one(index=0, **options):
        camera = calidra.Camera(index, **options)
        opened.append(camera)
        return camera

    yield open_one
    for camera in opened:
        camera.release()


@pytest.fixture
def cam(open_camera):
    return open_camera(0)


@pytest.fixture
def live(cam):
    """A previewing camera that has announced its first frame. Automatic
    calibration is off so that frames come without its hold-off."""
    cam.params.auto_nuc = 0
    cam.preview()
    next(cam.frames(timeout=FRAME_TIMEOUT))
    return cam


@pytest.fixture
def still(cam):
    """An idle camera holding one single-shot frame."""
    return cam, cam.one_shot()
