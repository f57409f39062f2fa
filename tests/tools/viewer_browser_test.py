"""calidra serve's page in headless Chromium, one browser session for every check.

The virtual camera shows a known scene (CALIDRA_SIM_FRAME); the values the page
shows are compared with the library's own Calidra_GetTemperature for that frame.
Run with Debian's /usr/bin/python3 (selenium, numpy):

    viewer_browser_test.py --tool build/calidra --library build/libcalidra.so --scratch DIR

It leaves DIR/viewer.png, the screenshot the README shows (docs/viewer.png).
"""
import argparse
import os
import pathlib
import re
import subprocess
import sys

import numpy as np
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

PATIENCE = 30  # seconds; a hang guard, never a timing


def scene():
    """A room: a wall, a cold window over a radiator, a person at a desk with a
    laptop and a hot mug; one hottest and one coldest pixel. Levels of the
    virtual camera, top row first."""
    y, x = np.mgrid[0:480, 0:640].astype(float)
    c = 20.5 + (480 - y) / 480 * 1.5 + np.sin(x / 70) * 0.2
    window = (x > 40) & (x < 200) & (y > 50) & (y < 230)
    c[window] = 11.0 + (y[window] - 50) / 60
    c[window & ((np.abs(x - 120) < 4) | (np.abs(y - 140) < 4))] = 17.0
    radiator = (x > 50) & (x < 190) & (y > 255) & (y < 320)
    c[radiator] = 36.0 + 6.0 * (np.sin(x[radiator] / 3) > 0)
    head = ((x - 420) / 50) ** 2 + ((y - 175) / 62) ** 2
    c = np.where(head < 1, 35.2 - 3.0 * head - 4.0 * ((y < 140) & (head > 0.35)), c)
    c = np.where((np.abs(x - 420) < 22) & (y > 225) & (y < 262), 33.5, c)
    body = ((x - 420) / 125) ** 2 + ((y - 430) / 180) ** 2
    c = np.where((body < 1) & (y > 255), 30.0 - 2.5 * body, c)
    desk = y > 395
    c[desk] = 19.5 + (y[desk] - 395) / 90
    laptop = (x > 240) & (x < 350) & (y > 378) & (y < 402)
    c[laptop] = 31.0 + 6.0 * np.exp(-((x[laptop] - 300) / 25) ** 2)
    mug = ((x - 545) / 26) ** 2 + ((y - 370) / 32) ** 2 < 1
    c[mug] = 49.0 - np.abs(x[mug] - 540) / 8
    c[(np.abs(x - 577) < 6) & (np.abs(y - 372) < 14) & ~mug] = 41.0
    # Optics blur the edges a little; the sensor adds its noise.
    kernel = np.ones(7) / 7
    for axis in (0, 1, 0, 1):
        c = np.apply_along_axis(lambda line: np.convolve(line, kernel, mode="same"), axis, np.pad(c, 3, "edge"))[3:-3, 3:-3]
    c += np.random.default_rng(7).normal(0, 0.05, c.shape)
    c[372, 538] = 52.0
    c[60, 80] = 9.0
    # The default level table: about 0.0321 degrees per level, level 3000 at 13.01 C.
    return np.round(3000 + (c - 13.0141) / 0.032134).astype("<u2")


def library_temperatures(levels):
    """What the library itself gives for the frame, top row first."""
    import calidra
    from calidra import sim

    sim.set_frame(0, levels)
    with calidra.Camera(0) as camera:
        camera.params.auto_nuc = 0
        return camera.one_shot().temperature()


def start_server(tool, scratch, frame):
    env = dict(os.environ, CALIDRA_SIM_FRAME=str(frame))
    server = subprocess.Popen([tool, "serve", "--listen", "127.0.0.1:0", "--out", str(scratch / "out"),
                               "--set", "auto-nuc=0"], env=env, stdout=subprocess.PIPE, text=True)
    url = re.search(r" at (http://\S+)", server.stdout.readline())
    if url is None:
        server.kill()
        sys.exit("calidra serve did not start")
    return server, url.group(1)


def browser(downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--hide-scrollbars"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads)})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 1280, "height": 800, "deviceScaleFactor": 1, "mobile": False})
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    return driver


def wait(driver, condition, what):
    try:
        return WebDriverWait(driver, PATIENCE, poll_frequency=0.05).until(lambda d: condition())
    except Exception:
        raise AssertionError("timed out waiting until " + what) from None


def canvas_pixels(driver):
    return driver.execute_script("const c = document.getElementById('view');"
                                 "return Array.from(c.getContext('2d').getImageData(0, 0, 640, 480).data"
                                 ".filter((v, i) => i % 4 !== 3 && i % 4099 < 4));")


def frame_pixel_of(driver, element_id):
    """The frame pixel under the anchor point of a marker."""
    return driver.execute_script(
        "const c = document.getElementById('view').getBoundingClientRect();"
        f"const m = document.getElementById('{element_id}').getBoundingClientRect();"
        "return [Math.floor((m.left - c.left) / c.width * 640), Math.floor((m.top - c.top) / c.height * 480)];")


def hover(driver, x, y):
    box = driver.find_element(By.ID, "view").rect
    actions = ActionBuilder(driver)
    actions.pointer_action.move_to_location(round(box["x"] + (x + 0.5) * box["width"] / 640),
                                            round(box["y"] + (y + 0.5) * box["height"] / 480))
    actions.perform()
    tip = driver.find_element(By.ID, "tooltip")
    wait(driver, lambda: driver.find_element(By.ID, "tip-where").text == f"({x}, {y})", f"the tooltip is at ({x}, {y})")
    return tip.find_element(By.ID, "tip-value").text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--scratch", required=True, type=pathlib.Path)
    args = parser.parse_args()
    os.environ["CALIDRA_LIBRARY"] = args.library
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "python"))
    scratch = args.scratch
    downloads = scratch / "downloads"
    downloads.mkdir(parents=True, exist_ok=True)
    for old in downloads.iterdir():
        old.unlink()

    levels = scene()
    levels.tofile(scratch / "scene.raw")
    expected = library_temperatures(levels)
    server, url = start_server(args.tool, scratch, scratch / "scene.raw")
    driver = browser(downloads)
    try:
        driver.get(url)
        # The canvas is drawn.
        wait(driver, lambda: any(canvas_pixels(driver)), "the canvas is drawn")
        library_colours = canvas_pixels(driver)

        # Space pauses; the values under the cursor are the library's, to 0.01 C.
        ActionChains(driver).send_keys(" ").perform()
        wait(driver, lambda: driver.find_element(By.ID, "state-text").text == "PAUSED", "space pauses")
        hot = np.unravel_index(np.argmax(expected), expected.shape)
        cold = np.unravel_index(np.argmin(expected), expected.shape)
        for y, x in [hot, cold, (240, 320), (0, 0), (479, 639), (170, 430), (290, 100)]:
            shown = float(hover(driver, x, y).removesuffix(" °C"))
            assert abs(shown - expected[y, x]) <= 0.0051, f"({x}, {y}) shows {shown}, the library gives {expected[y, x]}"

        # The hottest and coldest markers sit on the library's hottest and coldest pixels.
        assert frame_pixel_of(driver, "mark-hot") == [hot[1], hot[0]], frame_pixel_of(driver, "mark-hot")
        assert frame_pixel_of(driver, "mark-cold") == [cold[1], cold[0]], frame_pixel_of(driver, "mark-cold")

        # Another palette recolours the picture.
        Select(driver.find_element(By.ID, "palette")).select_by_value("iron")
        wait(driver, lambda: canvas_pixels(driver) != library_colours, "the iron palette recolours")

        # A manual range relabels the colour bar.
        driver.find_element(By.CSS_SELECTOR, "#range-mode [data-mode=manual]").click()
        for field, value in (("range-min", "20"), ("range-max", "40")):
            driver.find_element(By.ID, field).clear()
            driver.find_element(By.ID, field).send_keys(value + "\t")
        labels = lambda: [label.text for label in driver.find_elements(By.CSS_SELECTOR, "#bar-labels span")]
        wait(driver, lambda: labels() == ["40.0", "35.0", "30.0", "25.0", "20.0"], f"the bar reads 40..20, not {labels()}")
        driver.find_element(By.CSS_SELECTOR, "#range-mode [data-mode=auto]").click()

        # The snapshot button downloads a PNG.
        driver.find_element(By.ID, "snapshot").click()
        pngs = lambda: [f for f in downloads.iterdir() if f.suffix == ".png"]
        wait(driver, lambda: pngs() and pngs()[0].read_bytes()[:8] == b"\x89PNG\r\n\x1a\n", "a PNG is downloaded")

        # Recording start and stop leave an AVI that ffprobe plays.
        ActionChains(driver).send_keys(" ").perform()
        driver.find_element(By.ID, "record").click()
        wait(driver, lambda: re.search(r"· [3-9]\d* frames", driver.find_element(By.ID, "record-info").text),
             "three frames are recorded")
        driver.find_element(By.ID, "record").click()
        message = wait(driver, lambda: re.search(r"recorded (\S+\.avi)", driver.find_element(By.ID, "message").text),
                       "the recording stops")
        probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_name,width,height", "-of",
                                "csv=p=0", str(scratch / "out" / message.group(1))], capture_output=True, text=True)
        assert probe.returncode == 0 and probe.stdout.strip() == "rawvideo,640,480", probe

        # No errors in the console; then the picture for the README.
        errors = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
        assert not errors, errors
        hover(driver, 420, 170)
        driver.save_screenshot(str(scratch / "viewer.png"))
    finally:
        driver.quit()
        server.terminate()
        server.wait(PATIENCE)
    print("viewer checks passed; screenshot in", scratch / "viewer.png")


if __name__ == "__main__":
    main()
