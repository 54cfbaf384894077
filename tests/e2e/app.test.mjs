// The real program in a real browser: started with a verb and a path as the
// file manager starts it, it opens the operation page for that verb and
// shows the path it was given.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { chmodSync, copyFileSync, existsSync, mkdirSync, mkdtempSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { createInterface } from "node:readline";
import { chromium } from "playwright-core";

const kBound = 15000;
assert.ok(process.env.LOCKORA_E2E_HOST, "LOCKORA_E2E_HOST names the test host program");
// The program lives in the same build folder as the test host (tests/e2e/host/).
const program = join(dirname(process.env.LOCKORA_E2E_HOST), "..", "..", "..", "app", "lockora");

let root;
let child;
let exited;
let context;
let page;

// Starts a copy of the program in C:\App of drives of its own, so that
// config.ini, the Log folder and the data folder land beside it.
function startProgram(args) {
    const app = join(root, "c", "App");
    mkdirSync(app, { recursive: true });
    mkdirSync(join(root, "c", "Data"), { recursive: true });
    mkdirSync(join(root, "d"), { recursive: true });
    mkdirSync(join(root, "registry"), { recursive: true });
    mkdirSync(join(root, "run"), { recursive: true, mode: 0o700 });
    writeFileSync(join(root, "c", "Data", "a.txt"), "a");
    copyFileSync(program, join(app, "Lockora"));
    chmodSync(join(app, "Lockora"), 0o755);
    const started = spawn(join(app, "Lockora"), args, {
        env: {
            ...process.env,
            LOCKORA_BROWSER: "none",
            LOCKORA_DRIVES: `C=${join(root, "c")};D=${join(root, "d")}`,
            LOCKORA_REGISTRY: join(root, "registry"),
            XDG_RUNTIME_DIR: join(root, "run"),
        },
        stdio: ["ignore", "pipe", "inherit"],
    });
    exited = new Promise((resolve) => started.on("exit", (code) => resolve(code)));
    const address = new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error("the program printed no address")), kBound);
        createInterface({ input: started.stdout }).on("line", (line) => {
            if (line.startsWith("http://127.0.0.1:")) {
                clearTimeout(timer);
                resolve(line.trim());
            }
        });
        started.on("exit", () => reject(new Error("the program ended before printing its address")));
    });
    return { started, address };
}

before(async () => {
    root = mkdtempSync(join(tmpdir(), "lockora-e2e-app-"));
    // The host path turns into the Windows form on the command line: encrypt "C:\Data\a.txt".
    const run = startProgram(["encrypt", join(root, "c", "Data", "a.txt")]);
    child = run.started;
    await run.address;
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
    // Open the private start file, as a launched browser does.
    const runFolder = readdirSync(join(root, "run")).find((name) => name.startsWith("lockora-web-"));
    assert.ok(runFolder, "the program wrote its start file");
    await page.goto(`file://${join(root, "run", runFolder, "start.html")}`);
});

after(async () => {
    await context?.close();
    if (child && child.exitCode === null && child.signalCode === null) child.kill("SIGTERM");
    rmSync(root, { recursive: true, force: true });
});

test("encrypt with a path opens the encrypt operation page showing that path", async () => {
    await page.waitForURL(/\/app\/operation-encrypt\.html$/, { timeout: kBound });
    assert.equal(await page.title(), "Ombrix Lockora Sentinex");
    await page.waitForFunction(
        () => document.getElementById("file-name")?.textContent === "C:/Data/a.txt",
        null,
        { timeout: kBound },
    );
    assert.equal(await page.locator("#info").getAttribute("data-key"), "PREPARE_ENCRYPT");
    // The diagnostic log opened beside the copy of the program.
    assert.ok(existsSync(join(root, "c", "App", "Log", "Lockora.log")));
});

test("closing the page ends the program and saves the settings", async () => {
    await page.click("#close");
    const code = await Promise.race([
        exited,
        new Promise((_, reject) => setTimeout(() => reject(new Error("the program did not end")), kBound)),
    ]);
    assert.equal(code, 0);
    assert.ok(existsSync(join(root, "c", "App", "Ombrix Lockora Sentinex", "FileUseSetting.dat")));
});
