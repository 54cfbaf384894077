// The pictures as the running program serves them: every picture and icon the
// pages name is in the archive and decodes at the size its place expects.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, readdirSync } from "node:fs";
import { dirname, join, relative } from "node:path";
import { fileURLToPath } from "node:url";
import { Sandbox, closeBrowser, screenshot } from "./support/program.mjs";

const uiDir = join(dirname(fileURLToPath(import.meta.url)), "..", "..", "ui");

const kSizes = {
    "image/logo-32.png": [32, 32],
    "image/favicon.png": [32, 32],
    "image/logo2.png": [128, 128],
    "image/loading.gif": [48, 48],
    "image/delete.gif": [96, 96],
    ...Object.fromEntries(Array.from({ length: 12 }, (_, i) => [`image/${i + 1}.png`, [64, 64]])),
};

function pageSources() {
    const files = [];
    const walk = (folder) => {
        for (const entry of readdirSync(folder, { withFileTypes: true })) {
            const path = join(folder, entry.name);
            if (entry.isDirectory()) walk(path);
            else if (/\.(html|css|tis)$/.test(entry.name)) files.push(path);
        }
    };
    walk(uiDir);
    return files.map((path) => ({ name: relative(uiDir, path), text: readFileSync(path, "utf8") }));
}

const iconRules = new Set(
    [...readFileSync(join(uiDir, "css", "icons.css"), "utf8").matchAll(/^\.i-([a-z-]+) \{ --i: url\("\.\.\/image\/icon-\1\.svg"\); \}$/gm)]
        .map((match) => match[1]));

let sandbox;
let page;

before(async () => {
    sandbox = new Sandbox();
    page = (await sandbox.start()).page;
});

after(async () => {
    await sandbox?.dispose();
    await closeBrowser();
});

// Natural sizes of pictures loaded from the program's own origin.
function naturalSizes(paths) {
    return page.evaluate((list) => Promise.all(list.map(async (path) => {
        const image = new Image();
        image.src = new URL(path, location.href).href;
        try {
            await image.decode();
            return [image.naturalWidth, image.naturalHeight];
        } catch {
            return null;
        }
    })), paths);
}

test("every picture named by the pages decodes at its size", async () => {
    const named = new Set(Object.keys(kSizes));
    for (const { text } of pageSources()) {
        for (const match of text.matchAll(/image\/[\w.-]+\.(?:png|gif|svg)/g)) named.add(match[0]);
    }
    const paths = [...named].sort();
    const sizes = await naturalSizes(paths);
    paths.forEach((path, i) => {
        assert.ok(sizes[i], `${path} is in the archive and decodes`);
        if (kSizes[path]) assert.deepEqual(sizes[i], kSizes[path], path);
    });
});

test("every icon class the pages use has a rule and a 24x24 drawing", async () => {
    const used = new Map();
    for (const { name, text } of pageSources()) {
        if (name === "css/icons.css") continue;
        for (const match of text.matchAll(/class="([^"]*)"/g)) {
            const classes = match[1].split(/\s+/);
            if (!classes.includes("i")) continue;
            for (const cls of classes.filter((c) => /^i-/.test(c) && c !== "i-lg" && c !== "i-xl")) {
                used.set(cls.slice(2), name);
            }
        }
    }
    assert.ok(used.size > 10, "the scan finds the icons of the screens");
    for (const [icon, file] of used) assert.ok(iconRules.has(icon), `${file} uses i-${icon}, which icons.css lacks`);

    const names = [...iconRules];
    const sizes = await naturalSizes(names.map((icon) => `image/icon-${icon}.svg`));
    names.forEach((icon, i) => assert.deepEqual(sizes[i], [24, 24], `icon-${icon}.svg`));
});

test("sheet of every icon and picture, for the eye", async () => {
    await page.evaluate((icons) => {
        const sheet = document.createElement("div");
        sheet.id = "artSheet";
        sheet.setAttribute("data-lang", "off");
        sheet.style.cssText = "position:fixed;inset:0;z-index:5000;background:#fff;padding:12px;"
            + "display:flex;flex-wrap:wrap;gap:12px;align-items:flex-start;align-content:flex-start;color:#1a66d9";
        for (const icon of icons) {
            const mark = document.createElement("i");
            mark.className = `i i-lg i-${icon}`;
            sheet.append(mark);
        }
        for (const picture of ["logo-32.png", "logo2.png", "loading.gif", "delete.gif",
            ...Array.from({ length: 12 }, (_, i) => `${i + 1}.png`)]) {
            const image = document.createElement("img");
            image.src = `image/${picture}`;
            sheet.append(image);
        }
        document.body.append(sheet);
    }, [...iconRules]);
    await page.waitForFunction(() => [...document.querySelectorAll("#artSheet img")].every((image) => image.complete),
        null, { timeout: 15000 });
    await screenshot(page.locator("#artSheet"), "art-sheet");
});
