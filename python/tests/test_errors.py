"""Failures raise CalidraError with the code the instance recorded for them."""

import pytest
from calidra import CalidraError, ErrorCode


def test_error_carries_name_meaning_and_operation():
    error = CalidraError(9, "Calidra_SaveA", "PNG to 'x.png'")
    assert error.code is ErrorCode.ERR_FILE
    assert (error.name, error.meaning) == ("ERR_FILE", "a file could not be read or written")
    assert str(error) == "Calidra_SaveA failed: ERR_FILE (9): a file could not be read or written; PNG to 'x.png'"
    assert CalidraError(None, "Calidra_OneShot").name is None
    assert CalidraError(42, "x").name == "code 42"


def test_every_code_has_its_header_name():
    assert [(code.value, code.name) for code in ErrorCode] == [
        (1, "ERR_NO_IMAGE"),
        (2, "ERR_CAMERA"),
        (3, "ERR_FRAME"),
        (4, "ERR_STREAM_END"),
        (5, "ERR_ARGUMENT"),
        (6, "ERR_MEMORY"),
        (7, "ERR_THREAD"),
        (8, "ERR_DEVICE"),
        (9, "ERR_FILE"),
        (10, "ERR_UNSUPPORTED"),
    ]


def test_refused_parameters_raise_their_codes(cam):
    with pytest.raises(CalidraError) as raised:
        cam.params.ring_length = 10
    assert raised.value.code == ErrorCode.ERR_ARGUMENT
    with pytest.raises(CalidraError) as raised:
        cam.params.temp_range = 2
    assert raised.value.code == ErrorCode.ERR_UNSUPPORTED
    assert cam.params.ring_length == 30
    assert cam.params.temp_range == 0


def test_an_older_code_is_not_taken_for_a_later_failure(cam):
    with pytest.raises(CalidraError):
        cam.params.temp_range = 2
    with pytest.raises(CalidraError) as raised:
        cam.save("never.bmp", "bmp")
    assert raised.value.code == ErrorCode.ERR_NO_IMAGE


def test_saving_before_any_frame_is_no_image_whatever_the_type(cam, tmp_path):
    for save_type in (0, 13):
        with pytest.raises(CalidraError) as raised:
            cam.save(tmp_path / "x", save_type)
        assert raised.value.code == ErrorCode.ERR_NO_IMAGE
    assert not any(tmp_path.iterdir())


def test_loading_a_missing_data_set_is_a_file_error(cam, tmp_path):
    with pytest.raises(CalidraError) as raised:
        cam.load_data_set(tmp_path / "missing.dat")
    assert raised.value.code == ErrorCode.ERR_FILE
    with pytest.raises(CalidraError) as raised:
        cam.load_data_set("")
    assert raised.value.code == ErrorCode.ERR_FILE


def test_unsafe_arguments_never_reach_the_library(cam):
    with pytest.raises(ValueError, match="null byte"):
        cam.save("a\0b.png", "png")
    with pytest.raises(OverflowError):
        cam.params.sleep_ms = 2**32 + 10
    with pytest.raises(TypeError):
        cam.params.sleep_ms = 10.5
    with pytest.raises(ValueError):
        cam.save("x.png", "gif")
    with pytest.raises(ValueError):
        cam.save("x.png", 14)
    with pytest.raises(ValueError):
        cam.record("x.avi", "mpeg")
    with pytest.raises(ValueError):
        cam.frame(0)
    with pytest.raises(ValueError):
        cam.frame(2**32)


def test_a_raised_failure_is_not_reported_again_by_the_iterator(cam):
    with pytest.raises(CalidraError):
        cam.params.temp_range = 2
    with pytest.raises(TimeoutError):
        next(cam.frames(timeout=0.2))
    assert ErrorCode.ERR_UNSUPPORTED not in cam.events
