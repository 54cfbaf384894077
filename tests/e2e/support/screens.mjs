// The main window's screens and the message box, as the screen tests drive
// them: one program per test file, the home screen's tiles, the path field
// and the answers to message boxes.
import assert from "node:assert/strict";
import { Sandbox, closeBrowser, dialogFrame, kBound, screenshot, untranslatedKeys } from "./program.mjs";

// Resolves once the main page shows its first screen and its catalogue.
export async function mainPageReady(page) {
    await page.waitForFunction(() => typeof TipsPop === "function" && document.querySelector(".boxcontent")?.childElementCount > 0);
    await page.evaluate(() => Lang.ready);
}

export async function setLanguage(page, code) {
    await page.evaluate((value) => {
        window.language = value;
    }, code);
}

// Screenshots `<name>-en` and `<name>-zh` of the page, each checked for
// untranslated keys and horizontal scrolling; leaves the page in English.
export async function shots(page, name) {
    for (const code of ["en", "zh"]) {
        await setLanguage(page, code);
        assert.deepEqual(await untranslatedKeys(page), [], `${name} in ${code}`);
        assert.equal(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth), true, name);
        await screenshot(page, `${name}-${code}`);
    }
    await setLanguage(page, "en");
}

// A sandbox filled by `prepare(sandbox)`, then the program in it, showing
// the main window in English.
export async function startMainWindow(prepare = () => {}) {
    const sandbox = new Sandbox();
    try {
        await prepare(sandbox);
        const program = await sandbox.start();
        await mainPageReady(program.page);
        await setLanguage(program.page, "en");
        return { sandbox, program, page: program.page };
    } catch (error) {
        await sandbox.dispose();
        throw error;
    }
}

// Waits for the programs to end without a bound: a program in the middle of
// a task may take longer to stop than the sandbox would wait.
export async function endMainWindow(sandbox) {
    for (const program of sandbox?.programs ?? []) {
        program.child.kill("SIGTERM");
        await program.exited;
    }
    await sandbox?.dispose();
    await closeBrowser();
}

// Resolves once the file list shows the newest listing asked for.
export const listingSettled = (page) => page.waitForFunction(() =>
    document.querySelector("#paritionInfo")?.closest("table").getAttribute("aria-busy") !== "true");

// The function screen of `index` (0 encrypt, 1 decrypt, 2 folder, 3 delete,
// 4 read), through the menu's home entry and the home screen, once it shows
// the folder it opens on.
export async function openScreen(page, index) {
    await page.click(".nav-button");
    await page.click("#liHome");
    await page.click(`.home [index="${index}"]`);
    await page.locator("#paritionInfo").waitFor({ state: "attached" });
    await listingSettled(page);
}

// Types `folder` into the path field; resolves once the list shows it.
export async function listFolder(page, folder) {
    await page.fill("#inputFilePath", folder);
    await page.press("#inputFilePath", "Enter");
    await listingSettled(page);
    await page.waitForFunction((path) => document.getElementById("inputFilePath").getAttribute("currPath") === path
        && document.querySelector("#paritionInfo tr") !== null, folder.replace(/\\/g, "/").replace(/\/$/, ""));
}

// The open message box once it shows its message, and that message's key.
export async function messageBox(page) {
    const frame = await dialogFrame(page, "asynmsgbox.html");
    await frame.waitForFunction(() => document.getElementById("msgContent")?.dataset.key);
    const key = await frame.evaluate(() => document.getElementById("msgContent").dataset.key);
    return { frame, key };
}

// Presses `button` in the message box `frame` and waits for that box to go
// (another one may follow at once).
export async function pressInBox(page, frame, button) {
    const gone = page.waitForEvent("framedetached", { predicate: (detached) => detached === frame, timeout: kBound });
    await frame.click(button);
    await gone;
}

// The key of the open message box, after pressing `button` in it.
export async function answerMessageBox(page, button = "#btnOK") {
    const { frame, key } = await messageBox(page);
    await pressInBox(page, frame, button);
    return key;
}
