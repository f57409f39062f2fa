"""The virtual camera's controls as Python functions."""

import numpy as np
import pytest
from calidra import sim


def test_registers_round_trip_and_reset():
    sim.set_register(0, 200, 99)
    assert sim.get_register(0, 200) == 99
    sim.reset()
    assert sim.get_register(0, 200) == 0


@pytest.mark.parametrize(
    "call",
    [
        lambda: sim.set_register(8, 1, 1),
        lambda: sim.set_register(0, 256, 1),
        lambda: sim.set_register(0, 1, 256),
        lambda: sim.get_register(-1, 1),
        lambda: sim.set_present(8, True),
        lambda: sim.set_frame_rate(0, -1.0),
        lambda: sim.set_internal_temperature(0, 70000),
        lambda: sim.inject_fault(0, 99, 1),
        lambda: sim.command_log(8),
    ],
)
def test_bad_arguments_raise_value_error(call):
    with pytest.raises(ValueError):
        call()


def test_frames_must_be_whole_16_bit_pictures():
    with pytest.raises(ValueError):
        sim.set_frame(0, np.zeros((640, 480), dtype=np.uint16))
    with pytest.raises(ValueError):
        sim.set_frame(0, np.full((480, 640), 70000))
    sim.set_frame(0, np.arange(480 * 640).reshape(480, 640) % 16384)
    sim.set_frame(0, None)


def test_faults_by_name_and_member():
    sim.inject_fault(0, "short_frame", 2)
    sim.inject_fault(0, sim.Fault.IOCTL, 1)


def test_command_log_holds_64_byte_packets(open_camera):
    sim.clear_command_log(0)
    assert sim.command_log(0).shape == (0, 64)
    camera = open_camera(0)
    log = sim.command_log(0)
    assert log.dtype == np.uint8 and log.shape[1] == 64
    camera.params[200] = 5
    assert len(sim.command_log(0)) > len(log)
