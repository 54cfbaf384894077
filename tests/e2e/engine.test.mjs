// The web engine in a real browser: the test host serves its test pages, and
// Debian's Chromium (headless, driven by Playwright) plays the window.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { mkdirSync, mkdtempSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";
import { chromium } from "playwright-core";

const kBound = 15000;
const hostProgram = process.env.LOCKORA_E2E_HOST;
assert.ok(hostProgram, "LOCKORA_E2E_HOST names the test host program");

let root;
let host;
let context;
let page;

// Starts the host on drives of its own and returns it once it has printed
// the one-time start address.
function startHost() {
    mkdirSync(join(root, "c", "Data"), { recursive: true });
    mkdirSync(join(root, "d"), { recursive: true });
    mkdirSync(join(root, "registry"), { recursive: true });
    mkdirSync(join(root, "run"), { recursive: true, mode: 0o700 });
    writeFileSync(join(root, "c", "Data", "a.txt"), "a");
    writeFileSync(join(root, "c", "Data", "b.txt"), "b");
    writeFileSync(join(root, "c", "Data", "c.xep"), "c");
    const child = spawn(hostProgram, [], {
        env: {
            ...process.env,
            LOCKORA_BROWSER: "none",
            LOCKORA_DRIVES: `C=${join(root, "c")};D=${join(root, "d")}`,
            LOCKORA_REGISTRY: join(root, "registry"),
            XDG_RUNTIME_DIR: join(root, "run"),
        },
        stdio: ["ignore", "pipe", "inherit"],
    });
    const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
    const lines = [];
    const reader = createInterface({ input: child.stdout });
    const address = new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error("the host printed no address")), kBound);
        reader.on("line", (line) => {
            lines.push(line);
            if (line.startsWith("http://127.0.0.1:")) {
                clearTimeout(timer);
                resolve(line.trim());
            }
        });
        child.on("exit", () => reject(new Error("the host ended before printing its address")));
    });
    return { child, exited, lines, address };
}

async function waitForText(selector, text) {
    await page.waitForFunction(
        ([selector, text]) => document.querySelector(selector)?.textContent === text,
        [selector, text],
        { timeout: kBound },
    );
}

before(async () => {
    root = mkdtempSync(join(tmpdir(), "lockora-e2e-"));
    host = startHost();
    const address = await host.address;
    context = await chromium.launchPersistentContext(join(root, "profile"), {
        executablePath: "/usr/bin/chromium",
        headless: true,
        args: [
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
        ],
    });
    page = context.pages()[0] ?? (await context.newPage());
    page.setDefaultTimeout(kBound);
    // Open the private start file, as a launched browser does: it forwards
    // to the one-time address, whose page sets the cookie and moves on.
    const runFolder = readdirSync(join(root, "run")).find((name) => name.startsWith("lockora-web-"));
    assert.ok(runFolder, "the host wrote its start file");
    await page.goto(`file://${join(root, "run", runFolder, "start.html")}`);
    await page.waitForURL(/\/app\/index\.html$/, { timeout: kBound });
    // The one-time address is spent.
    const again = await context.request.get(address);
    assert.equal(again.status(), 403);
});

after(async () => {
    await context?.close();
    if (host && host.child.exitCode === null && host.child.signalCode === null) host.child.kill("SIGTERM");
    rmSync(root, { recursive: true, force: true });
});

test("the page loads from the archive and gets the call queued before it was ready", async () => {
    assert.equal(await page.title(), "Engine test page");
    await waitForText("#start", "queued before the page was ready");
    // The style sheet came from the archive although the page names it in other letter case.
    assert.equal(await page.evaluate(() => getComputedStyle(document.body).marginTop), "12px");
});

test("a native function answers the page", async () => {
    await page.click("#add");
    await waitForText("#sum", "5");
    await page.click("#unknown");
    await waitForText("#unknown-result", "rejected");
});

test("a native worker thread calls a page function and gets its value", async () => {
    await page.click("#worker");
    await waitForText("#worker-result", "42");
    // A page function that throws answers the worker with its error text.
    await page.evaluate(() => view.StartWorker("Broken"));
    await waitForText("#worker-result", "Error: broken on purpose");
});

test("a dialog opens with its parameters and closes back to its opener", async () => {
    await page.click("#dialog");
    const dialog = page.frameLocator("iframe");
    await dialog.locator("#greeting").filter({ hasText: "hello" }).waitFor();
    await dialog.locator("#done").click();
    await waitForText("#dialog-result", "closed:hello");
    // The opener takes input again.
    await page.click("#add", { timeout: 2000 });
    assert.equal(await page.locator("[data-lockora-layer]").count(), 0);
});

test("the folder picker returns a Windows-form path", async () => {
    await page.click("#folder");
    await page.locator('li[data-name="C:\\\\"]').dblclick();
    await page.locator('li[data-name="Data"]').click();
    await page.locator('button[data-action="ok"]').click();
    await waitForText("#folder-result", "C:\\Data");
});

test("the file picker filters and returns several files", async () => {
    await page.click("#file");
    await page.locator('li[data-name="C:\\\\"]').dblclick();
    await page.locator('li[data-name="Data"]').dblclick();
    await page.locator('li[data-name="a.txt"]').waitFor();
    assert.equal(await page.locator('li[data-name="c.xep"]').count(), 0);
    await page.locator('li[data-name="a.txt"]').click();
    await page.locator('li[data-name="b.txt"]').click();
    await page.locator('button[data-action="ok"]').click();
    await waitForText("#file-result", "C:\\Data\\a.txt|C:\\Data\\b.txt");
});

test("a file scan reports paths and attributes", async () => {
    await page.click("#scan");
    await waitForText("#scan-result", "2 C:\\Data\\a.txt:32 C:\\Data\\b.txt:32");
});

test("a native message box shows over the page and waits for the answer", async () => {
    await page.click("#box");
    await page.locator('[data-lockora-layer="message-box"] button[data-answer="6"]').click();
    await waitForText("#box-result", "6");
});

test("closing the page ends the host's message loop", async () => {
    await page.click("#close");
    const code = await Promise.race([
        host.exited,
        new Promise((_, reject) => setTimeout(() => reject(new Error("the host did not end")), kBound)),
    ]);
    assert.equal(code, 0);
    assert.ok(host.lines.includes("loop ended 0"));
});
