// The page at "/". Tiles refresh from snapshots (a browser opens only a few
// connections to one server, so sixteen streams at once would starve); the
// enlarged tile shows the channel's Motion-JPEG stream.
#include "bridge/BridgeCore.h"

namespace dvr::bridge {

namespace {

constexpr std::string_view kPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Vistrel bridge</title>
<style>
  body { margin: 0; background: #202124; color: #e8eaed; font: 14px sans-serif; }
  h1 { font-size: 16px; margin: 8px 12px; }
  h2 { font-size: 15px; margin: 12px 12px 4px; }
  .down { color: #f28b82; }
  .up { color: #81c995; }
  .grid { display: grid; grid-template-columns: repeat(auto-fill, minmax(300px, 1fr)); gap: 8px; padding: 0 12px 12px; }
  figure { margin: 0; background: #000; border: 2px solid #3c4043; cursor: pointer; }
  figure:focus { outline: 3px solid #8ab4f8; outline-offset: 1px; }
  figure img { display: block; width: 100%; aspect-ratio: 3 / 1; object-fit: contain; background: #000; }
  figure.big { position: fixed; inset: 0; z-index: 2; border: 0; }
  figure.big img { height: calc(100% - 28px); aspect-ratio: auto; }
  figcaption { padding: 4px 6px; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  #note { margin: 8px 12px; }
</style>
</head>
<body>
<h1>Vistrel bridge</h1>
<p id="note" role="status">Loading the recorders&hellip;</p>
<main id="recorders"></main>
<script>
"use strict";
const tiles = new Map();
let enlarged = null;

function timeText(iso) {
  if (!iso) return "no picture yet";
  return new Date(iso).toLocaleTimeString();
}

function refresh(tile) {
  if (tile.loading || tile.fig === enlarged) return;
  tile.loading = true;
  tile.img.src = "/snapshot/" + tile.rec + "/" + tile.ch + ".jpg?t=" + Date.now();
}

function toggle(tile) {
  if (enlarged && enlarged !== tile.fig) toggle(tiles.get(enlarged.dataset.key));
  const big = !tile.fig.classList.contains("big");
  tile.fig.classList.toggle("big", big);
  tile.fig.setAttribute("aria-pressed", big ? "true" : "false");
  enlarged = big ? tile.fig : null;
  tile.loading = false;
  if (big) tile.img.src = "/stream/" + tile.rec + "/" + tile.ch + ".mjpeg";
  else refresh(tile);
  tile.fig.focus();
}

function makeTile(rec, ch) {
  const fig = document.createElement("figure");
  fig.tabIndex = 0;
  fig.setAttribute("role", "button");
  fig.setAttribute("aria-pressed", "false");
  fig.dataset.key = rec + "/" + ch;
  const img = document.createElement("img");
  img.alt = "Recorder " + rec + ", channel " + ch + ": live picture";
  const cap = document.createElement("figcaption");
  fig.append(img, cap);
  const tile = { rec, ch, fig, img, cap, loading: false };
  img.addEventListener("load", () => { tile.loading = false; });
  img.addEventListener("error", () => { tile.loading = false; });
  fig.addEventListener("click", () => toggle(tile));
  fig.addEventListener("keydown", (e) => {
    if (e.key === "Enter" || e.key === " ") { e.preventDefault(); toggle(tile); }
    else if (e.key === "Escape" && fig === enlarged) toggle(tile);
  });
  tiles.set(fig.dataset.key, tile);
  return tile;
}

function render(status) {
  const main = document.getElementById("recorders");
  const seen = new Set();
  for (const rec of status.recorders) {
    let section = document.getElementById("rec-" + rec.name);
    if (!section) {
      section = document.createElement("section");
      section.id = "rec-" + rec.name;
      section.innerHTML = "<h2></h2><div class='grid'></div>";
      main.append(section);
    }
    const heading = section.querySelector("h2");
    heading.textContent = rec.name + " \u2013 link " + rec.link;
    heading.className = rec.link;
    const grid = section.querySelector(".grid");
    for (const c of rec.channels) {
      const key = rec.name + "/" + c.channel;
      seen.add(key);
      const tile = tiles.get(key) || makeTile(rec.name, c.channel);
      if (!tile.fig.parentNode) grid.append(tile.fig);
      const text = rec.name + " CH " + c.channel + " \u00b7 " + timeText(c.lastPictureTime) + " \u00b7 link " + rec.link;
      tile.cap.textContent = text;
      tile.fig.setAttribute("aria-label", text + ". Press Enter to enlarge.");
    }
  }
  for (const [key, tile] of tiles) {
    if (!seen.has(key)) { tile.fig.remove(); tiles.delete(key); }
  }
  document.getElementById("note").textContent =
    tiles.size ? "Click a tile or press Enter on it to enlarge it; Escape returns." : "No channels yet.";
}

async function poll() {
  try {
    const answer = await fetch("/api/status", { cache: "no-store" });
    if (answer.ok) render(await answer.json());
  } catch (e) {
    document.getElementById("note").textContent = "The bridge does not answer.";
  }
  for (const tile of tiles.values()) refresh(tile);
}

poll();
setInterval(poll, 1000);
</script>
</body>
</html>
)PAGE";

}  // namespace

std::string_view bridgePage() {
    return kPage;
}

}  // namespace dvr::bridge
