// Keeps an open page of the results board up to date: it waits at
// /api/changes until the meet moves on, then swaps in the page's new
// <main>, so the page neither reloads nor jumps. No other script runs on
// the board's pages, and this one loads nothing from any other host.
"use strict";

document.addEventListener("change", (event) => {
    const select = event.target;
    if (select.matches && select.matches("form.filters select"))
        select.form.submit();
});

(function follow() {
    const live = document.body.dataset.live;
    let generation = document.body.dataset.generation;
    if (!live)
        return;
    const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    const part = live + (live.includes("?") ? "&" : "?") + "part=main";

    (async () => {
        for (;;) {
            try {
                const answer = await fetch("/api/changes?since=" + generation, { cache: "no-store" });
                if (!answer.ok)
                    throw new Error(answer.statusText);
                const state = await answer.json();
                const now = String(state.generation);
                if (now !== generation) {
                    const page = await fetch(part, { cache: "no-store" });
                    if (page.ok) {
                        document.getElementById("live").innerHTML = await page.text();
                        document.body.dataset.generation = now;
                    }
                    generation = now;
                }
            } catch (error) {
                // The board restarting, or the network gone for a moment.
                await pause(2000);
            }
        }
    })();
})();
