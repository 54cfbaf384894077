// Renders the SVG artwork in tools/art/ to the PNG files the pages use.
// Run by hand after changing a drawing, from the repository root:
//   node tools/art/render.mjs            (every picture)
//   node tools/art/render.mjs 3.png      (only the pictures named)
// It needs playwright-core (tests/e2e/node_modules) and /usr/bin/chromium.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const artDir = dirname(fileURLToPath(import.meta.url));
const repoDir = join(artDir, "..", "..");
const imageDir = join(repoDir, "ui", "image");
// The logo at the icon theme's sizes, for the Linux desktop entries.
const desktopIconDir = join(repoDir, "shell", "desktop_icons");
const require = createRequire(join(repoDir, "tests", "e2e", "package.json"));
const { chromium } = require("playwright-core");

// [source drawing, picture, edge length in pixels, folder of the picture]
const jobs = [
    ["logo.svg", "logo-32.png", 32, imageDir],
    ["logo.svg", "favicon.png", 32, imageDir],
    ["logo.svg", "logo2.png", 128, imageDir],
    ...Array.from({ length: 12 }, (_, i) => [`disguise/${i + 1}.svg`, `${i + 1}.png`, 64, imageDir]),
    ...[16, 24, 32, 48, 64, 128, 256].map((size) => ["logo.svg", `${size}x${size}.png`, size, desktopIconDir]),
];

async function renderPicture(page, source, target, size, folder) {
    const svg = readFileSync(join(artDir, source)).toString("base64");
    await page.setViewportSize({ width: size, height: size });
    await page.setContent(
        `<html><body style="margin:0;background:transparent">` +
        `<img style="display:block" width="${size}" height="${size}" src="data:image/svg+xml;base64,${svg}">` +
        `</body></html>`);
    await page.locator("img").evaluate((img) => img.decode());
    await page.screenshot({ path: join(folder, target), omitBackground: true });
}

const browser = await chromium.launch({ executablePath: "/usr/bin/chromium" });
try {
    const page = await browser.newPage({ deviceScaleFactor: 1 });
    const wanted = process.argv.slice(2);
    for (const [source, target, size, folder] of jobs) {
        if (wanted.length > 0 && !wanted.includes(target)) {
            continue;
        }
        await renderPicture(page, source, target, size, folder);
        console.log(`${target} (${size}x${size}) from ${source}`);
    }
} finally {
    await browser.close();
}
