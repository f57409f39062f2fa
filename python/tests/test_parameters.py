"""Parameters by name and by id, the internal temperature, and the level table."""

import calidra
import pytest


@pytest.fixture
def params(cam):
    return cam.params


def test_defaults_by_name(params):
    assert dict(params) == {
        "width": 640,
        "height": 480,
        "frame_rate_x100": 0,
        "record_kind": 0,
        "previewing": 0,
        "paused": 0,
        "recording": 0,
        "ring_length": 30,
        "sleep_ms": 10,
        "nuc_hold_off_ms": 1200,
        "file_limit_mib": 2000,
        "auto_range": -1,
        "range_low": 1000,
        "range_high": 3000,
        "auto_nuc": 1,
        "temp_range": 0,
        "flip_display": 1,
        "flip_file": 0,
    }


def test_upright_false_keeps_the_library_row_order(open_camera, params):
    assert open_camera(0, upright=False).params.flip_display == 0


def test_names_ids_and_attributes_are_one_parameter(params):
    params.sleep_ms = 25
    assert params[9] == 25
    assert params["sleep_ms"] == 25
    params[13] = 1500
    assert params.range_low == 1500
    params["auto_nuc"] = 7
    assert params.auto_nuc == 1
    params.auto_nuc = False
    assert params.auto_nuc == 0


def test_names_of_instance_readouts_are_read_only(params):
    with pytest.raises(AttributeError, match="register 1"):
        params.width = 5
    with pytest.raises(AttributeError):
        params["recording"] = 1
    with pytest.raises(AttributeError):
        params.no_such_parameter
    with pytest.raises(KeyError):
        params["no_such_parameter"]


def test_other_ids_pass_through_to_camera_registers(params):
    calidra.sim.set_register(0, 200, 42)
    assert params[200] == 42
    params[200] = 17
    assert calidra.sim.get_register(0, 200) == 17


def test_internal_temperature_converts_the_sensor_reading(params, cam):
    calidra.sim.set_internal_temperature(0, 0)
    assert cam.internal_temperature == pytest.approx(385.58, abs=0.01)
    calidra.sim.set_internal_temperature(0, 2642)
    assert cam.internal_temperature == pytest.approx(-0.0298, abs=0.001)


@pytest.fixture
def table(cam):
    return cam.level_table


def test_level_table_has_an_entry_per_14_bit_level(table):
    assert len(table.temperature) == 16384
    assert len(table.offset) == 16384
    assert table.temperature[-1] == table.temperature[16383]
    with pytest.raises(IndexError):
        table.temperature[16384]
    with pytest.raises(IndexError):
        table.offset[65536]
    with pytest.raises(IndexError):
        table.offset[16384] = 1.0


def test_level_table_entries_are_stored_as_given(table):
    table.temperature[100] = 21.125
    table.offset[100] = -0.5
    assert table.temperature[100] == 21.125
    assert table.offset[100] == -0.5
    temperatures = table.temperature.to_numpy()
    assert temperatures.shape == (16384,)
    assert temperatures[100] == 21.125
