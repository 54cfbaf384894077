// The real program in a real browser, for the screen tests: every sandbox has
// drives, a registry folder and a runtime folder of its own, and a copy of the
// program in C:\App, so config.ini, the Log folder and the data folder land
// beside that copy and never in the real home folder.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { chmodSync, copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { createInterface } from "node:readline";
import { fileURLToPath } from "node:url";
import { chromium } from "playwright-core";

export const kBound = 15000;

assert.ok(process.env.LOCKORA_E2E_HOST, "LOCKORA_E2E_HOST names the test host program");
// The program lives in the same build folder as the test host (tests/e2e/host/).
const buildDir = join(dirname(process.env.LOCKORA_E2E_HOST), "..", "..", "..");
const programFile = join(buildDir, "app", "lockora");
const screenshotDir = process.env.LOCKORA_E2E_SCREENSHOTS ?? join(buildDir, "e2e-screenshots");
const uiDir = join(dirname(fileURLToPath(import.meta.url)), "..", "..", "..", "ui");

// The catalogues as the pages load them: one expression each.
export const catalogues = Object.fromEntries(
    ["en", "zh"].map((code) => [code, JSON.parse(readFileSync(join(uiDir, "tis", `${code}.tis`), "utf8"))]),
);

// Keys the pages name in markup without a catalogue entry; they show as keys.
const kKeysWithoutText = new Set(["COMPONENT_ERROR", "CLOSE_COMPUTER"]);

let browser;

async function sharedBrowser() {
    browser ??= await chromium.launch({
        executablePath: "/usr/bin/chromium",
        headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
    return browser;
}

export async function closeBrowser() {
    await browser?.close();
    browser = undefined;
}

export class Sandbox {
    constructor() {
        this.root = mkdtempSync(join(tmpdir(), "lockora-e2e-"));
        for (const folder of ["c/App", "c/Data", "c/Home", "d", "registry"]) mkdirSync(join(this.root, folder), { recursive: true });
        mkdirSync(join(this.root, "run"), { recursive: true, mode: 0o700 });
        copyFileSync(programFile, this.host("C:/App/Lockora"));
        chmodSync(this.host("C:/App/Lockora"), 0o755);
        this.programs = [];
    }

    // "C:/Data/a.txt" or "C:\Data\a.txt" on the host.
    host(windowsPath) {
        const normal = windowsPath.replace(/\\/g, "/");
        const drive = normal[0].toLowerCase();
        return join(this.root, drive, normal.slice(3));
    }

    // Starts the program with a command line; resolves once the browser shows
    // its first page. `viewport` defaults to the main window's size.
    async start(args = [], { viewport = { width: 680, height: 500 } } = {}) {
        const child = spawn(this.host("C:/App/Lockora"), args, {
            env: {
                ...process.env,
                LOCKORA_BROWSER: "none",
                LOCKORA_DRIVES: `C=${join(this.root, "c")};D=${join(this.root, "d")}`,
                LOCKORA_REGISTRY: join(this.root, "registry"),
                XDG_RUNTIME_DIR: join(this.root, "run"),
                // "~" in the path field is C:\Home, never the real home folder.
                HOME: join(this.root, "c", "Home"),
                // "Add Right-Click Menu" installs the desktop's entries here.
                XDG_DATA_HOME: join(this.root, "xdg-data"),
                XDG_CONFIG_HOME: join(this.root, "xdg-config"),
            },
            stdio: ["ignore", "pipe", "inherit"],
        });
        const program = new Program(child);
        this.programs.push(program);
        const address = await program.address;
        program.context = await (await sharedBrowser()).newContext({ viewport });
        program.page = await program.context.newPage();
        program.page.setDefaultTimeout(kBound);
        program.page.on("pageerror", (error) => program.pageErrors.push(String(error)));
        await program.page.goto(address);
        await program.page.waitForURL(/\/app\//);
        return program;
    }

    async dispose() {
        for (const program of this.programs) await program.stop();
        rmSync(this.root, { recursive: true, force: true });
    }
}

// A test body run with a sandbox of its own, disposed afterwards.
export function withSandbox(body) {
    return async () => {
        const sandbox = new Sandbox();
        try {
            await body(sandbox);
        } finally {
            await sandbox.dispose();
        }
    };
}

// What opens the window from a line the program prints: the one-time
// address (a terminal or a test's stream sees it), or the private start file
// that forwards to it (printed when standard output is a pipe, as here).
export function startAddressOf(line) {
    const text = line.trim();
    if (text.startsWith("http://127.0.0.1:")) return text;
    return /^Open (file:\/\/\S+) in a browser$/.exec(text)?.[1];
}

export class Program {
    constructor(child) {
        this.child = child;
        this.pageErrors = [];
        this.exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
        this.address = new Promise((resolve, reject) => {
            const timer = setTimeout(() => reject(new Error("the program printed no address")), kBound);
            createInterface({ input: child.stdout }).on("line", (line) => {
                const address = startAddressOf(line);
                if (address) {
                    clearTimeout(timer);
                    resolve(address);
                }
            });
            child.on("exit", () => reject(new Error("the program ended before printing its address")));
        });
    }

    // The exit code, once the program has ended (bounded).
    async exitCode(bound = kBound) {
        let timer;
        const late = new Promise((_, reject) => {
            timer = setTimeout(() => reject(new Error("the program did not end")), bound);
        });
        try {
            return await Promise.race([this.exited, late]);
        } finally {
            clearTimeout(timer);
        }
    }

    async stop() {
        await this.context?.close().catch(() => {});
        if (this.child.exitCode === null && this.child.signalCode === null) {
            this.child.kill("SIGTERM");
            await this.exitCode().catch(() => {});
        }
    }
}

// The frame of the newest open dialog whose address contains `name` (for
// example "asynmsgbox.html"), once its page has loaded. Found through its
// frame element: a dialog's frame is attached blank and navigates afterwards.
export async function dialogFrame(page, name) {
    const element = await page.locator(`[data-lockora-layer] iframe[src*="${name}" i]`).last().elementHandle();
    const frame = await element.contentFrame();
    await frame.waitForURL((url) => url.pathname.toLowerCase().includes(name.toLowerCase()));
    await frame.waitForLoadState("domcontentloaded");
    return frame;
}

// Resolves when the dialog in `frame` runs no action (its page is not aria-busy).
export async function dialogIdle(frame) {
    await frame.locator("body:not([aria-busy])").waitFor({ state: "attached" });
}

// Resolves when no dialog whose address contains `name` is open any more.
export async function dialogClosed(page, name) {
    await page.waitForFunction(
        (part) => ![...document.querySelectorAll("[data-lockora-layer]")].some((host) =>
            host.shadowRoot?.querySelector("iframe")?.src.toLowerCase().includes(part)),
        name.toLowerCase(),
    );
}

// Texts of a page or frame that are still message keys: catalogue keys whose
// text differs from the key, and key-shaped words, except the keys that have
// no text on purpose. Looks at visible text, titles and placeholders.
export async function untranslatedKeys(frame) {
    const found = await frame.evaluate(() => {
        const texts = [];
        const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
        for (let node = walker.nextNode(); node; node = walker.nextNode()) {
            const element = node.parentElement;
            if (element && element.offsetParent === null && getComputedStyle(element).position !== "fixed") continue;
            texts.push(node.textContent.trim());
        }
        for (const element of document.querySelectorAll("[title], [placeholder]"))
            texts.push(element.getAttribute("title") ?? "", element.getAttribute("placeholder") ?? "");
        return texts.filter(Boolean);
    });
    return found.filter((text) => !kKeysWithoutText.has(text)
        && ((text in catalogues.en && catalogues.en[text] !== text) || /^[A-Z][A-Z0-9]*(_[A-Z0-9]+)+$/.test(text)));
}

// Writes a screenshot into the build folder's screenshot folder.
export async function screenshot(pageOrLocator, name) {
    mkdirSync(screenshotDir, { recursive: true });
    await pageOrLocator.screenshot({ path: join(screenshotDir, `${name}.png`) });
}
