// The live view of calidra serve: frames of temperatures (hundredths of a
// kelvin) pulled one request at a time, coloured here and read under the
// cursor, with the camera's controls.
"use strict";

const WIDTH = 640;
const HEIGHT = 480;
const ZERO_C = 27315; // 0 degrees C in hundredths of a kelvin; a value of 0 is unknown
const token = new URLSearchParams(location.search).get("token") || "";
const $ = (id) => document.getElementById(id);

const view = {
  frame: null,      // {id, values, hot, cold, centre}: the frame shown
  paused: false,
  palette: "library",
  manual: null,     // {lo, hi} in hundredths of a kelvin; null: automatic
  fahrenheit: false,
  pointer: null,    // {x, y} in frame pixels while the cursor is on the picture
  recording: false,
  stream: "connecting",
  calibrating: false,
};
const palettes = {};
const received = []; // {time, bytes} of the frames of the last second

// ---- numbers ----------------------------------------------------------------

function format(value, decimals) {
  if (value === 0) return "?";
  const celsius = (value - ZERO_C) / 100;
  return (view.fahrenheit ? celsius * 1.8 + 32 : celsius).toFixed(decimals);
}
const unit = () => (view.fahrenheit ? "°F" : "°C");
const toValue = (shown) => Math.round((view.fahrenheit ? (shown - 32) / 1.8 : shown) * 100) + ZERO_C;

function size(bytes) {
  return bytes < 1048576 ? Math.ceil(bytes / 1024) + " kB" : (bytes / 1048576).toFixed(1) + " MB";
}

// ---- palettes -----------------------------------------------------------------

const rgb = (hex) => [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16));

// 256 colours through the stops: [position 0..1, "#rrggbb"].
function gradient(stops) {
  const colours = [];
  for (let i = 0; i < 256; i++) {
    const t = i / 255;
    let k = 1;
    while (k < stops.length - 1 && stops[k][0] < t) k++;
    const [t0, c0] = stops[k - 1];
    const [t1, c1] = stops[k];
    const f = (t - t0) / (t1 - t0);
    const a = rgb(c0);
    const b = rgb(c1);
    colours.push(a.map((v, j) => Math.round(v + (b[j] - v) * f)));
  }
  return { colours, below: colours[0], above: colours[255] };
}

palettes.iron = gradient([[0, "#000000"], [0.15, "#1f0c5e"], [0.32, "#85118f"], [0.5, "#d42d55"],
  [0.66, "#f26a1b"], [0.82, "#fcb313"], [0.94, "#fdea6a"], [1, "#ffffff"]]);
palettes["white-hot"] = gradient([[0, "#000000"], [1, "#ffffff"]]);
palettes["black-hot"] = gradient([[0, "#ffffff"], [1, "#000000"]]);
palettes.rainbow = gradient([[0, "#10005a"], [0.15, "#0030ff"], [0.35, "#00e0ff"], [0.5, "#20ff40"],
  [0.65, "#ffff00"], [0.85, "#ff2000"], [1, "#ff00c0"]]);

async function loadLibraryPalette() {
  const answer = await (await fetch("api/palette")).json();
  const colours = answer.colours.map(rgb);
  // As in the library's pictures: black below the range, white above it.
  palettes.library = { colours, below: [0, 0, 0], above: [255, 255, 255] };
}

// ---- drawing ------------------------------------------------------------------

const canvas = $("view");
const context = canvas.getContext("2d");
const image = context.createImageData(WIDTH, HEIGHT);
const pixels = new Uint32Array(image.data.buffer);
let table = null;
let tableKey = "";

// One colour (as the canvas's 32-bit pixel) per value of the frame.
function colourTable(lo, hi) {
  const key = view.palette + ":" + lo + ":" + hi;
  if (key === tableKey) return table;
  const { colours, below, above } = palettes[view.palette];
  const pack = ([r, g, b]) => (255 << 24) | (b << 16) | (g << 8) | r;
  const n = colours.length;
  const packed = colours.map(pack);
  table = new Uint32Array(65536);
  for (let v = 0; v < 65536; v++) {
    if (v === 0) table[v] = pack([40, 40, 40]);
    else if (v < lo) table[v] = pack(below);
    else if (v > hi) table[v] = pack(above);
    else table[v] = packed[Math.min(n - 1, Math.floor(((v - lo) * n) / (hi - lo + 1)))];
  }
  tableKey = key;
  return table;
}

function range() {
  const frame = view.frame;
  return view.manual || { lo: frame.cold.value, hi: frame.hot.value };
}

function draw() {
  const frame = view.frame;
  if (!frame) return;
  const { lo, hi } = range();
  const colours = colourTable(lo, hi);
  const values = frame.values;
  for (let i = 0; i < values.length; i++) pixels[i] = colours[values[i]];
  context.putImageData(image, 0, 0);
  drawBar(lo, hi);
  if (!view.manual) {
    // The fields show the automatic range, a start for a manual one.
    $("range-min").value = format(lo, 1);
    $("range-max").value = format(hi, 1);
  }
  placeMarker("mark-hot", frame.hot);
  placeMarker("mark-cold", frame.cold);
  placeMarker("mark-centre", frame.centre);
  $("hot-value").textContent = format(frame.hot.value, 2) + " " + unit();
  $("hot-where").textContent = `(${frame.hot.x}, ${frame.hot.y})`;
  $("cold-value").textContent = format(frame.cold.value, 2) + " " + unit();
  $("cold-where").textContent = `(${frame.cold.x}, ${frame.cold.y})`;
  $("centre-value").textContent = format(frame.centre.value, 2) + " " + unit();
  showTooltip();
}

function drawBar(lo, hi) {
  const bar = $("bar");
  const { colours } = palettes[view.palette];
  if (bar.dataset.palette !== view.palette) {
    const barContext = bar.getContext("2d");
    bar.height = colours.length;
    colours.forEach(([r, g, b], i) => {
      barContext.fillStyle = `rgb(${r},${g},${b})`;
      barContext.fillRect(0, colours.length - 1 - i, 1, 1);
    });
    bar.dataset.palette = view.palette;
  }
  const labels = $("bar-labels");
  const texts = [0, 1, 2, 3, 4].map((i) => format(Math.round(hi - ((hi - lo) * i) / 4), 1));
  if (labels.dataset.texts === texts.join()) return;
  labels.replaceChildren(...texts.map((text, i) => {
    const label = document.createElement("span");
    label.style.top = i * 25 + "%";
    label.textContent = text;
    return label;
  }));
  labels.dataset.texts = texts.join();
}

function placeMarker(id, spot) {
  const marker = $(id);
  marker.hidden = false;
  marker.style.left = ((spot.x + 0.5) / WIDTH) * 100 + "%";
  marker.style.top = ((spot.y + 0.5) / HEIGHT) * 100 + "%";
  marker.querySelector(".value").textContent = format(spot.value, 1);
}

function showTooltip() {
  const tip = $("tooltip");
  const frame = view.frame;
  if (!view.pointer || !frame) {
    tip.hidden = true;
    return;
  }
  const { x, y } = view.pointer;
  $("tip-value").textContent = format(frame.values[y * WIDTH + x], 2) + " " + unit();
  $("tip-where").textContent = `(${x}, ${y})`;
  tip.hidden = false;
  const box = $("picture").getBoundingClientRect();
  const left = ((x + 0.5) / WIDTH) * box.width;
  const top = ((y + 0.5) / HEIGHT) * box.height;
  tip.style.left = Math.min(left + 14, box.width - tip.offsetWidth) + "px";
  tip.style.top = (top + 14 + tip.offsetHeight > box.height ? top - 14 - tip.offsetHeight : top + 14) + "px";
}

// The picture keeps 4:3 and fills what the window gives it.
function fit() {
  const stage = $("stage");
  const scale = Math.min((stage.clientWidth - 24) / WIDTH, (stage.clientHeight - 24) / HEIGHT);
  $("picture").style.width = Math.floor(WIDTH * scale) + "px";
  $("picture").style.height = Math.floor(HEIGHT * scale) + "px";
}

// ---- frames -------------------------------------------------------------------

function readFrame(buffer) {
  const header = new DataView(buffer);
  const size = header.getUint16(4, true);
  const values = new Uint16Array(buffer, size, WIDTH * HEIGHT);
  let hot = -1;
  let cold = -1;
  for (let i = 0; i < values.length; i++) {
    const v = values[i];
    if (v === 0) continue;
    if (hot < 0 || v > values[hot]) hot = i;
    if (cold < 0 || v < values[cold]) cold = i;
  }
  const spot = (i) => ({ x: i % WIDTH, y: Math.floor(i / WIDTH), value: values[i] });
  const centre = (HEIGHT / 2) * WIDTH + WIDTH / 2;
  return { id: header.getUint32(8, true), values, hot: spot(Math.max(hot, 0)), cold: spot(Math.max(cold, 0)),
    centre: spot(centre) };
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
let resume = null;

async function pullFrames() {
  let after = 0;
  for (;;) {
    if (view.paused) await new Promise((done) => { resume = done; });
    try {
      const answer = await fetch("api/frame?after=" + after, { cache: "no-store" });
      if (answer.status === 503) {
        setStream("busy");
        await sleep(1000);
        continue;
      }
      if (answer.status === 204) continue; // no newer frame within a second
      if (!answer.ok) throw new Error(answer.statusText);
      const buffer = await answer.arrayBuffer();
      const now = performance.now();
      received.push({ time: now, bytes: buffer.byteLength });
      if (view.paused) continue;
      view.frame = readFrame(buffer);
      after = view.frame.id;
      if (view.stream !== "live") setStream("live");
      draw();
    } catch (error) {
      setStream("offline");
      await sleep(1000);
    }
  }
}

function showRates() {
  const now = performance.now();
  while (received.length && received[0].time < now - 1000) received.shift();
  const bytes = received.reduce((sum, frame) => sum + frame.bytes, 0);
  $("fps").textContent = received.length + " fps";
  $("rate").textContent = (bytes / 1048576).toFixed(1) + " MB/s";
}

// ---- state ----------------------------------------------------------------------

function setStream(state) {
  view.stream = state;
  showState();
}

function showState() {
  const state = view.paused ? "paused" : view.calibrating && view.stream === "live" ? "calibrating" : view.stream;
  const words = { live: "live", paused: "paused", calibrating: "calibrating", busy: "server busy",
    offline: "disconnected", ended: "stream ended", connecting: "connecting" };
  $("state").className = "state " + state;
  $("state-text").textContent = words[state];
  const banner = $("banner");
  banner.hidden = state === "live" || state === "connecting";
  banner.textContent = words[state];
}

async function pollStatus() {
  for (;;) {
    try {
      const status = await (await fetch("api/status", { cache: "no-store" })).json();
      $("camera").textContent = `${status.name} · camera ${status.camera}`;
      $("internal").textContent = status.internalTemperature === null ? ""
        : "internal " + format(Math.round(status.internalTemperature * 100) + ZERO_C, 1) + " " + unit();
      if (!status.streaming) setStream("ended");
      const remaining = status.calibration.remainingMs;
      view.calibrating = remaining > 0;
      $("nuc-info").textContent = view.calibrating ? `calibrating… ${(remaining / 1000).toFixed(1)} s left`
        : `frames pause ${(status.calibration.holdOffMs / 1000).toFixed(1)} s while calibrating`;
      showRecording(status.recording);
      showState();
    } catch (error) {
      setStream("offline");
    }
    await sleep(view.calibrating || view.recording ? 250 : 1000);
  }
}

function showRecording(recording) {
  view.recording = recording.active;
  const button = $("record");
  button.classList.toggle("on", recording.active);
  button.textContent = recording.active ? "■ Stop" : "● Record";
  $("record-kind").disabled = recording.active;
  const seconds = Math.floor(recording.seconds);
  const time = Math.floor(seconds / 60) + ":" + String(seconds % 60).padStart(2, "0");
  $("record-info").textContent = recording.error ? recording.error
    : recording.active ? `● ${time} · ${size(recording.bytes)} · ${recording.frames} frames`
    : recording.file ? `last: ${time} · ${size(recording.bytes)}` : "";
}

// ---- controls -------------------------------------------------------------------

function tell(text) {
  $("message").textContent = text;
}

async function control(path, form) {
  const answer = await fetch(path, {
    method: "POST",
    headers: { "X-Calidra-Token": token },
    body: new URLSearchParams(form),
  });
  const body = await answer.json().catch(() => ({ error: answer.status + " " + answer.statusText }));
  if (!answer.ok) throw new Error(body.error);
  return body;
}

function fileUrl(url) { return token ? url + "?token=" + encodeURIComponent(token) : url; }

async function listFiles() {
  const answer = await fetch("api/files", { headers: { "X-Calidra-Token": token }, cache: "no-store" });
  if (!answer.ok) return;
  const { files } = await answer.json();
  const list = $("files");
  if (!files.length) return;
  list.replaceChildren(...files.slice().reverse().map((file) => {
    const item = document.createElement("li");
    const link = document.createElement("a");
    link.href = fileUrl(file.url);
    link.download = file.name;
    link.textContent = file.name;
    const bytes = document.createElement("span");
    bytes.textContent = size(file.bytes);
    item.append(link, bytes);
    return item;
  }));
}

async function snapshot() {
  try {
    const file = await control("api/snapshot", { type: $("snapshot-type").value });
    const link = document.createElement("a");
    link.href = fileUrl(file.url);
    link.download = file.name;
    document.body.append(link);
    link.click();
    link.remove();
    tell("saved " + file.name);
    listFiles();
  } catch (error) {
    tell(error.message);
  }
}

async function record() {
  const button = $("record");
  button.disabled = true;
  try {
    const answer = await control("api/record", { action: view.recording ? "stop" : "start",
      kind: $("record-kind").value });
    showRecording({ ...answer, error: "" });
    tell((answer.active ? "recording into " : "recorded ") + answer.file);
    listFiles();
  } catch (error) {
    tell(error.message);
  }
  button.disabled = false;
}

async function calibrate() {
  try {
    const answer = await control("api/nuc", {});
    view.calibrating = true;
    $("nuc-info").textContent = `calibrating… ${(answer.holdOffMs / 1000).toFixed(1)} s`;
    showState();
  } catch (error) {
    tell(error.message);
  }
}

function togglePause() {
  view.paused = !view.paused;
  $("pause").textContent = view.paused ? "▶ Resume" : "❚❚ Pause";
  if (!view.paused && resume) resume();
  showState();
}

function setRangeMode(manual) {
  for (const button of $("range-mode").children) {
    button.classList.toggle("on", (button.dataset.mode === "manual") === manual);
  }
  $("range-min").disabled = !manual;
  $("range-max").disabled = !manual;
  readManualRange(manual);
}

// A range that does not make sense (a field being typed into) keeps the one before.
function readManualRange(manual) {
  const lo = toValue(parseFloat($("range-min").value));
  const hi = toValue(parseFloat($("range-max").value));
  if (!manual) view.manual = null;
  else if (lo < hi) view.manual = { lo, hi };
  else if (!view.manual && view.frame) view.manual = range();
  draw();
}

function setUnits(fahrenheit) {
  view.fahrenheit = fahrenheit;
  for (const button of $("units").children) {
    button.classList.toggle("on", (button.dataset.unit === "F") === fahrenheit);
  }
  if (view.manual) {
    $("range-min").value = format(view.manual.lo, 1);
    $("range-max").value = format(view.manual.hi, 1);
  }
  $("bar-labels").dataset.texts = "";
  $("bar-unit").textContent = unit();
  draw();
}

canvas.addEventListener("mousemove", (event) => {
  const box = canvas.getBoundingClientRect();
  const x = Math.floor(((event.clientX - box.left) / box.width) * WIDTH);
  const y = Math.floor(((event.clientY - box.top) / box.height) * HEIGHT);
  view.pointer = x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT ? { x, y } : null;
  showTooltip();
});
canvas.addEventListener("mouseleave", () => {
  view.pointer = null;
  showTooltip();
});
$("palette").addEventListener("change", (event) => {
  view.palette = event.target.value;
  draw();
});
$("range-mode").addEventListener("click", (event) => {
  if (event.target.dataset.mode) setRangeMode(event.target.dataset.mode === "manual");
});
$("units").addEventListener("click", (event) => {
  if (event.target.dataset.unit) setUnits(event.target.dataset.unit === "F");
});
$("range-min").addEventListener("change", () => readManualRange(true));
$("range-max").addEventListener("change", () => readManualRange(true));
$("pause").addEventListener("click", togglePause);
$("snapshot").addEventListener("click", snapshot);
$("record").addEventListener("click", record);
$("nuc").addEventListener("click", calibrate);
document.addEventListener("keydown", (event) => {
  if (event.target.closest("input, select") || event.ctrlKey || event.metaKey || event.altKey) return;
  const actions = { " ": togglePause, c: calibrate, s: snapshot };
  const action = actions[event.key.toLowerCase()];
  if (!action) return;
  event.preventDefault();
  action();
});
new ResizeObserver(fit).observe($("stage"));

loadLibraryPalette().then(() => {
  fit();
  pullFrames();
  pollStatus();
  listFiles();
  setInterval(showRates, 250);
});
