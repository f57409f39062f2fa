#!/usr/bin/env python3
"""Shows the hottest and the coldest point of every live frame.

    python3 examples/python/live.py               # camera 0, until Ctrl-C
    python3 examples/python/live.py --frames 100  # stop after 100 frames

Without a camera attached the library's virtual camera answers.
"""

import argparse
import sys
from pathlib import Path

try:
    import calidra
except ImportError:
    # Run from a source tree: the package lives in python/ beside examples/.
    sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python"))
    import calidra

import numpy as np


def extremes(degrees):
    """(temperature, x, y) of the hottest and of the coldest pixel."""
    hot_y, hot_x = np.unravel_index(np.argmax(degrees), degrees.shape)
    cold_y, cold_x = np.unravel_index(np.argmin(degrees), degrees.shape)
    return (degrees[hot_y, hot_x], hot_x, hot_y), (degrees[cold_y, cold_x], cold_x, cold_y)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--camera", type=int, default=0, help="camera number, 0 to 7 (default 0)")
    parser.add_argument("--frames", type=int, default=None, help="stop after this many frames")
    args = parser.parse_args()

    try:
        present = [camera.name for camera in calidra.cameras() if camera.present]
        print(f"Calidra library {calidra.version()}; cameras: {', '.join(present) or 'none'}")
        with calidra.Camera(args.camera) as cam:
            print(f"camera {args.camera}, internal temperature {cam.internal_temperature:.1f} °C")
            cam.preview()
            # latest=True drops frames this loop is too slow for instead of falling behind.
            for frame in cam.frames(timeout=10.0, count=args.frames, latest=True):
                (hot, hot_x, hot_y), (cold, cold_x, cold_y) = extremes(frame.temperature())
                print(
                    f"frame {frame.id:08x}: hottest {hot:6.1f} °C at ({hot_x:3}, {hot_y:3}), "
                    f"coldest {cold:6.1f} °C at ({cold_x:3}, {cold_y:3}), {cam.frame_rate:5.1f} fps",
                    flush=True,
                )
    except (calidra.CalidraError, calidra.LibraryNotFoundError, TimeoutError) as error:
        sys.exit(f"live.py: {error}")
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
