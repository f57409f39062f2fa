"""Live acquisition, single frames, and frames as arrays."""

import ctypes
import threading
import time

import calidra
import numpy as np
import pytest
from calidra import CalidraError, ErrorCode

from conftest import FRAME_TIMEOUT

READOUTS = {
    "raw": ("Calidra_GetRaw", np.uint16, (480, 640), ctypes.c_ushort),
    "temperature": ("Calidra_GetTemperature", np.float32, (480, 640), ctypes.c_float),
    "color": ("Calidra_GetColor", np.uint8, (480, 640, 3), ctypes.c_ubyte),
}


def c_readout(cam, frame, kind):
    """The frame read with the C function itself."""
    function, dtype, shape, element = READOUTS[kind]
    buffer = np.zeros(shape, dtype=dtype)
    lib = calidra._library.load()
    ok = getattr(lib, function)(cam._handle, frame.id, buffer.ctypes.data_as(ctypes.POINTER(element)), buffer.nbytes)
    assert ok == 1
    return buffer


def drain(cam):
    """Consumes the frames announced so far."""
    try:
        for _ in cam.frames(timeout=1.0):
            pass
    except TimeoutError:
        pass


def test_frames_are_announced_in_order_and_newest_is_the_last(live):
    frames = list(live.frames(timeout=FRAME_TIMEOUT, count=3))
    assert len(set(frames)) == 3
    assert all(frame.id for frame in frames)
    assert live.params.previewing == 1


@pytest.mark.parametrize("kind", sorted(READOUTS))
def test_arrays_equal_the_c_readouts(live, kind):
    live.pause()
    frame = live.newest
    array = getattr(frame, kind)()
    _, dtype, shape, _ = READOUTS[kind]
    assert array.dtype == dtype and array.shape == shape and array.flags.c_contiguous
    np.testing.assert_array_equal(array, c_readout(live, frame, kind))


def test_raw_levels_are_14_bit_and_temperatures_plausible(live):
    frame = next(live.frames(timeout=FRAME_TIMEOUT))
    raw = frame.raw()
    assert raw.max() <= 16383
    assert np.isfinite(frame.temperature()).all()


def test_rgb_is_a_reversed_view_of_color(still):
    _, frame = still
    bgr = frame.color()
    rgb = frame.rgb()
    np.testing.assert_array_equal(rgb, bgr[..., ::-1])


def test_upright_arrays_hold_the_top_of_the_picture_first(open_camera):
    scene = np.full((480, 640), 3000, dtype=np.uint16)
    scene[:240] = 9000
    calidra.sim.set_frame(0, scene)
    cam = open_camera(0)
    frame = cam.one_shot()
    upright = {kind: getattr(frame, kind)() for kind in READOUTS}
    assert upright["raw"][:240].mean() > upright["raw"][240:].mean()
    cam.params.flip_display = 0
    for kind, array in upright.items():
        np.testing.assert_array_equal(getattr(frame, kind)(), array[::-1])


def test_pause_stops_announcing_and_resume_restarts(live):
    live.pause()
    assert live.params.paused == 1
    drain(live)
    newest = live.newest
    with pytest.raises(TimeoutError):
        next(live.frames(timeout=1.0))
    assert live.newest == newest
    live.resume()
    frame = next(live.frames(timeout=FRAME_TIMEOUT))
    assert frame != newest


def test_latest_skips_to_the_newest_announced_frame(live):
    deadline = time.monotonic() + FRAME_TIMEOUT
    announced = {live.newest}
    while len(announced) < 4:
        assert time.monotonic() < deadline
        time.sleep(0.01)
        announced.add(live.newest)
    live.close()
    frame = next(live.frames(timeout=FRAME_TIMEOUT, latest=True))
    assert frame == live.newest
    with pytest.raises(TimeoutError):
        next(live.frames(timeout=0.5))


def test_a_frame_that_left_the_ring_raises_frame_gone(live):
    first = next(live.frames(timeout=FRAME_TIMEOUT))
    for _ in live.frames(timeout=FRAME_TIMEOUT, count=calidra.RING_LENGTH + 1):
        pass
    with pytest.raises(calidra.FrameGoneError) as raised:
        first.raw()
    assert raised.value.code == ErrorCode.ERR_ARGUMENT
    assert "last 30 frames" in str(raised.value)
    assert isinstance(raised.value, CalidraError)


def test_an_unplugged_camera_ends_the_stream(live):
    calidra.sim.set_present(0, False)
    with pytest.raises(CalidraError) as raised:
        for _ in live.frames(timeout=FRAME_TIMEOUT):
            pass
    assert raised.value.code == ErrorCode.ERR_STREAM_END
    live.close()
    assert live.params.previewing == 0


def test_preview_twice_and_close_on_idle_are_harmless(live):
    live.preview()
    live.close()
    live.close()
    assert live.params.previewing == 0


def test_one_shot_is_refused_while_previewing(live):
    with pytest.raises(CalidraError) as raised:
        live.one_shot()
    assert raised.value.code is None


def test_one_shot_frame_is_the_newest(still):
    cam, frame = still
    assert cam.newest == frame
    assert frame.raw().shape == (480, 640)


def test_trigger_without_an_edge_is_a_frame_error(cam):
    with pytest.raises(CalidraError) as raised:
        cam.trigger()
    assert raised.value.code == ErrorCode.ERR_FRAME


def test_trigger_captures_on_a_falling_edge(cam):
    done = threading.Event()

    def toggle_trigger_input():
        level = 4
        while not done.wait(0.05):
            calidra.sim.set_register(0, 7, level)
            level ^= 4

    toggler = threading.Thread(target=toggle_trigger_input)
    toggler.start()
    try:
        frame = cam.trigger()
    finally:
        done.set()
        toggler.join()
    assert frame.raw().shape == (480, 640)


def test_nuc_and_frame_rate_while_live(live):
    live.nuc()
    frames = list(live.frames(timeout=FRAME_TIMEOUT, count=40))
    assert len(frames) == 40
    assert live.frame_rate > 0
