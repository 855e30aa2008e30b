// Fetches every movie of the page, as the plugin would have, so that the
// browser caches them even without Flash; then says so to the server.
"use strict";
const port = location.port;
const addresses = [
  "games/puzzle.swf",
  "games/levels/level1.swf",
  "games/levels.xml",
  "games/rocket.swf",
  "games/getmovie.php?id=7",
  "http://localhost:" + port + "/shorts/rain.swf",
  "http://localhost:" + port + "/players/APlayer.swf",
];

async function fetchAll() {
  let fetched = 0;
  for (const address of addresses) {
    try {
      const response = await fetch(address);
      await response.arrayBuffer();
      if (response.ok) fetched += 1;
    } catch (e) {
      // counted as missing in the done line
    }
  }
  await fetch("/done?fetched=" + fetched + "&of=" + addresses.length, {cache: "no-store"});
  document.getElementById("state").textContent = "done " + fetched;
  const options = new URLSearchParams(location.search);
  // ?fill=N&after=S: S seconds later, N small entries more. Firefox writes its
  // cache index only once it has built it (a minute after start) and once it
  // has a few hundred changes to write; a short session leaves none.
  if (options.has("fill")) {
    await new Promise((done) => setTimeout(done, Number(options.get("after")) * 1000));
    for (let i = 0; i < Number(options.get("fill")); i += 1) {
      const response = await fetch("fill/" + i + ".txt");
      await response.text();
    }
    await fetch("/done?filled=" + options.get("fill"), {cache: "no-store"});
  }
  // ?close=N: close the window N seconds after loading (Firefox quits with its last window).
  if (options.has("close")) {
    const left = Number(options.get("close")) * 1000 - performance.now();
    setTimeout(() => window.close(), Math.max(left, 0));
  }
}

window.addEventListener("load", () => { fetchAll(); });
