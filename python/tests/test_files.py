"""Still pictures, correction data and recordings."""

import struct

import numpy as np
import pytest
from calidra import CalidraError, ErrorCode, SaveType

from conftest import FRAME_TIMEOUT

SIZES = {
    SaveType.BMP: 921_654,
    SaveType.COLOR_BYTES: 921_600,
    SaveType.RAW_BYTES: 614_400,
    SaveType.TEMPERATURE_S8: 307_200,
    SaveType.TEMPERATURE_U8: 307_200,
    SaveType.TEMPERATURE_I32: 1_228_800,
    SaveType.TEMPERATURE_F32: 1_228_800,
}
SIGNATURES = {
    SaveType.BMP: b"BM",
    SaveType.JPEG_100: b"\xff\xd8\xff",
    SaveType.JPEG_20: b"\xff\xd8\xff",
    SaveType.PNG: b"\x89PNG\r\n\x1a\n",
    SaveType.RAW_PNG: b"\x89PNG\r\n\x1a\n",
    SaveType.TIFF: b"II*\0",
    SaveType.RAW_TIFF: b"II*\0",
}


def save(cam, path, save_type):
    cam.save(path, save_type)
    return path.read_bytes()


@pytest.mark.parametrize("save_type", sorted(SIZES))
def test_headerless_and_bitmap_sizes(still, tmp_path, save_type):
    cam, _ = still
    assert len(save(cam, tmp_path / "picture.png", save_type)) == SIZES[save_type]


@pytest.mark.parametrize("save_type", sorted(SIGNATURES))
def test_encoded_pictures_start_with_their_signatures(still, tmp_path, save_type):
    cam, _ = still
    assert save(cam, tmp_path / "picture", save_type).startswith(SIGNATURES[save_type])


def test_types_by_name_number_and_member_are_the_same(still, tmp_path):
    cam, _ = still
    by_member = save(cam, tmp_path / "a", SaveType.RAW_BYTES)
    assert save(cam, tmp_path / "b", "raw_bytes") == by_member
    assert save(cam, tmp_path / "c", 7) == by_member


def test_saved_arrays_are_the_frame_in_file_row_order(still, tmp_path):
    # Files keep the library's bottom-up row order; upright arrays are top-down.
    cam, frame = still
    raw = np.frombuffer(save(cam, tmp_path / "raw", SaveType.RAW_BYTES), dtype="<u2").reshape(480, 640)
    np.testing.assert_array_equal(raw, frame.raw()[::-1])
    degrees = np.frombuffer(save(cam, tmp_path / "t", SaveType.TEMPERATURE_F32), dtype="<f4").reshape(480, 640)
    np.testing.assert_array_equal(degrees, frame.temperature()[::-1])
    colour = np.frombuffer(save(cam, tmp_path / "c", SaveType.COLOR_BYTES), dtype=np.uint8).reshape(480, 640, 3)
    np.testing.assert_array_equal(colour, frame.color()[::-1])


def test_temperatures_follow_the_level_table(still):
    cam, frame = still
    table = cam.level_table
    expected = (table.temperature.to_numpy() + table.offset.to_numpy()).astype(np.float32)
    np.testing.assert_array_equal(frame.temperature(), expected[frame.raw()])


def test_unwritable_path_is_a_file_error(still, tmp_path):
    cam, _ = still
    with pytest.raises(CalidraError) as raised:
        cam.save(tmp_path / "missing" / "x.bmp", "bmp")
    assert raised.value.code == ErrorCode.ERR_FILE
    assert "missing" in str(raised.value)


def test_non_ascii_paths_are_kept(still, tmp_path):
    cam, _ = still
    path = tmp_path / "Wärmebild °C.bmp"
    assert len(save(cam, path, "bmp")) == 921_654


def test_correction_data_round_trip(still, tmp_path):
    cam, _ = still
    path = tmp_path / "correction.cor"
    cam.save_nuc_data(path)
    assert path.read_bytes().startswith(b"VL-CORSET-V1020")
    cam.load_nuc_data(path)


def test_loading_foreign_correction_data_is_a_file_error(cam, tmp_path):
    path = tmp_path / "foreign.cor"
    path.write_bytes(b"not a correction file" * 10)
    with pytest.raises(CalidraError) as raised:
        cam.load_nuc_data(path)
    assert raised.value.code == ErrorCode.ERR_FILE


def record(live, path, kind, frames=10):
    with live.record(path, kind) as recording:
        assert live.params.recording == 1
        assert live.params.record_kind == int(recording.kind)
        for _ in live.frames(timeout=FRAME_TIMEOUT, count=frames):
            pass
    assert not recording.active
    assert live.params.recording == 0
    return path.read_bytes()


def test_avi_recording_is_finished_on_leaving_the_block(live, tmp_path):
    data = record(live, tmp_path / "clip.avi", "avi")
    assert data[:4] == b"RIFF" and data[8:12] == b"AVI "
    assert struct.unpack_from("<I", data, 4)[0] == len(data) - 8
    frames = struct.unpack_from("<I", data, 48)[0]
    assert frames > 0
    assert struct.unpack_from("<I", data, 140)[0] == frames
    index_at = 232 + frames * (8 + 921_600)
    assert data[index_at : index_at + 4] == b"idx1"
    assert len(data) == index_at + 8 + 16 * frames


@pytest.mark.parametrize("kind, frame_bytes", [("raw", 614_400), ("temperature", 1_228_800)])
def test_stream_recordings_hold_whole_frames(live, tmp_path, kind, frame_bytes):
    data = record(live, tmp_path / f"stream.{kind}", kind)
    assert len(data) > 0
    assert len(data) % frame_bytes == 0


def test_recording_into_a_missing_directory_raises_at_once(live, tmp_path):
    with pytest.raises(CalidraError) as raised:
        live.record(tmp_path / "missing" / "clip.avi", "avi")
    assert raised.value.code == ErrorCode.ERR_FILE
    frame = next(live.frames(timeout=FRAME_TIMEOUT))
    assert frame.id
