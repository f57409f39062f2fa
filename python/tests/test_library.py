"""Finding the library, its version, and the list of cameras."""

import os
import subprocess
import sys
from pathlib import Path

import calidra
import pytest

PACKAGE_ROOT = Path(__file__).resolve().parent.parent


def run_python(code, **environment):
    env = dict(os.environ, PYTHONDONTWRITEBYTECODE="1", **environment)
    return subprocess.run(
        [sys.executable, "-c", code], cwd=PACKAGE_ROOT, env=env, capture_output=True, text=True, timeout=120
    )


def test_version_is_the_library_constant():
    version = calidra.version()
    assert version.value == 0x0014044D
    assert (version.major, version.minor) == (20, 1101)
    assert str(version) == "20.1101"


def test_an_explicit_library_path_is_the_only_one_tried(tmp_path):
    result = run_python(
        "import calidra\n"
        "try:\n"
        "    calidra.version()\n"
        "except calidra.LibraryNotFoundError as error:\n"
        "    print(error)\n",
        CALIDRA_LIBRARY=str(tmp_path / "nowhere.so"),
    )
    assert result.returncode == 0, result.stderr
    assert "nowhere.so" in result.stdout
    assert "CALIDRA_LIBRARY" in result.stdout
    assert "build" not in result.stdout


def test_importing_needs_no_library():
    result = run_python("import calidra; print(calidra.SaveType.PNG)", CALIDRA_LIBRARY="/nonexistent/libcalidra.so")
    assert result.returncode == 0, result.stderr


def test_cameras_lists_all_eight_numbers():
    calidra.sim.set_present(3, True)
    found = calidra.cameras()
    assert [camera.index for camera in found] == list(range(8))
    assert found[0] == calidra.CameraInfo(0, "CalidraVX_01", True)
    assert found[3] == calidra.CameraInfo(3, "CalidraVX_04", True)
    assert found[1] == calidra.CameraInfo(1, None, False)
    assert [camera.present for camera in found] == [True, False, False, True, False, False, False, False]


def test_camera_opens_selects_and_releases(open_camera):
    calidra.sim.set_present(2, True)
    camera = open_camera(2)
    assert camera.index == 2
    assert not camera.released
    camera.release()
    assert camera.released
    camera.release()
    with pytest.raises(ValueError, match="released"):
        camera.preview()


def test_leaving_the_block_releases_also_on_an_exception(open_camera):
    with pytest.raises(KeyError):
        with open_camera(0) as camera:
            raise KeyError("boom")
    assert camera.released


def test_an_absent_camera_is_refused_with_its_code(open_camera):
    with pytest.raises(calidra.CalidraError) as raised:
        calidra.Camera(5)
    assert raised.value.code == calidra.ErrorCode.ERR_CAMERA
    assert raised.value.name == "ERR_CAMERA"
    assert "Calidra_SetCameraNumber" in str(raised.value)
    assert "camera is absent" in str(raised.value)


def test_the_live_example_prints_hottest_and_coldest_points():
    example = PACKAGE_ROOT.parent / "examples" / "python" / "live.py"
    result = subprocess.run(
        [sys.executable, str(example), "--frames", "3"],
        env=dict(os.environ, PYTHONDONTWRITEBYTECODE="1"),
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert result.returncode == 0, result.stderr
    lines = [line for line in result.stdout.splitlines() if line.startswith("frame ")]
    assert len(lines) == 3
    assert all("hottest" in line and "coldest" in line for line in lines)
