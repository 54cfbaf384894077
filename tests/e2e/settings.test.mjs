// The settings dialogs and the program-password dialogs against the real
// program: what SET, OK and CANCEL store, the backup folder check, the
// context-menu switch, the password change and the start-up password check.
import { after, test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { catalogues, closeBrowser, dialogClosed, dialogFrame, dialogIdle, screenshot, untranslatedKeys, withSandbox } from "./support/program.mjs";
import { answerMessageBox, mainPageReady } from "./support/screens.mjs";

after(closeBrowser);

// Room for the largest dialog (700 x 595) over the main page.
const kViewport = { width: 760, height: 640 };
const kMenuVerb = "Encrypted With Ombrix Lockora Sentinex";

const settingsOf = (page) => page.evaluate(() => view.GetSettingInfo());

// Opens a dialog from the main page as the screens do, once it shows the
// stored settings (or, for the password dialogs, has loaded).
async function openDialog(page, name, width, height) {
    await page.evaluate(([url, w, h]) => {
        TipsPop(w, h, url, { parent: view, gview: view });
    }, [name, width, height]);
    const frame = await dialogFrame(page, name);
    if (name.startsWith("seting"))
        await frame.waitForFunction(() => document.querySelector('input[name="delete"]:checked') !== null);
    return frame;
}

async function pageEnabled(page) {
    return page.evaluate(() => document.querySelector("[data-lockora-disabled]") === null);
}

async function frameEnabled(frame) {
    return frame.evaluate(() => document.querySelector("[data-lockora-disabled]") === null);
}

async function shoot(page, frame, name) {
    assert.deepEqual(await untranslatedKeys(frame), [], name);
    const size = await frame.evaluate(() => [document.body.scrollWidth, innerWidth]);
    assert.ok(size[0] <= size[1], `${name} scrolls horizontally`);
    await screenshot(page.locator("[data-lockora-layer]").last().locator("iframe"), name);
}

test("SET checks the backup folder and stores what the dialog shows", withSandbox(async (sandbox) => {
    mkdirSync(sandbox.host("C:/Data/Backup"), { recursive: true });
    writeFileSync(sandbox.host("C:/Data/file.txt"), "a");
    const { page } = await sandbox.start([], { viewport: kViewport });
    await mainPageReady(page);
    const before = await settingsOf(page);

    let dialog = await openDialog(page, "seting.html", 700, 595);
    assert.equal(await dialog.locator("#iptFolderPath").isDisabled(), true);
    await dialog.locator("#ckbOpenFolder").check();
    assert.equal(await dialog.locator("#iptFolderPath").isDisabled(), false);
    for (const folder of ["", "C:\\Data\\Missing", "C:\\Data\\file.txt"]) {
        await dialog.locator("#iptFolderPath").fill(folder);
        await dialog.locator("#setBtnOk").click();
        assert.equal(await answerMessageBox(page), "SETTING_FOLDER_ERROR", folder);
    }
    assert.deepEqual(await settingsOf(page), before, "a refused folder saves nothing");

    // The stored form: no file: prefix, forward slashes, no trailing slash.
    await dialog.locator("#iptFolderPath").fill("  file:///C:\\Data\\Backup\\ ");
    await dialog.locator('input[name="delete"][value="2"]').check();
    await dialog.locator("#rdoEncryptForget").check();
    await dialog.locator("#ckbSetPass").check();
    await dialog.locator("#setBtnOk").click();
    await dialogClosed(page, "seting.html");
    assert.equal(await pageEnabled(page), true);
    let stored = await settingsOf(page);
    assert.deepEqual(stored.slice(0, 9), [true, true, false, false, true, false, false, "2", "C:/Data/Backup"]);

    // A drive is taken as it is; Enter confirms.
    dialog = await openDialog(page, "seting.html", 700, 595);
    assert.equal(await dialog.locator("#iptFolderPath").inputValue(), "C:\\Data\\Backup");
    assert.equal(await dialog.locator('input[name="delete"][value="2"]').isChecked(), true);
    await dialog.locator("#iptFolderPath").fill("E:");
    await dialog.locator("#iptFolderPath").press("Enter");
    await dialogClosed(page, "seting.html");
    assert.equal((await settingsOf(page))[8], "E:");

    // With the box off the stored folder stays, whatever the field says.
    dialog = await openDialog(page, "seting.html", 700, 595);
    await dialog.locator("#iptFolderPath").fill("D:\\Elsewhere");
    await dialog.locator("#ckbOpenFolder").uncheck();
    assert.equal(await dialog.locator("#btnOpenFolder").getAttribute("class").then((c) => c.includes("dis")), true);
    await dialog.locator("#setBtnOk").click();
    await dialogClosed(page, "seting.html");
    stored = await settingsOf(page);
    assert.equal(stored[4], false);
    assert.equal(stored[8], "E:");

    // Escape cancels without saving.
    dialog = await openDialog(page, "seting.html", 700, 595);
    await dialog.locator("#ckbSetPass").uncheck();
    await page.keyboard.press("Escape");
    await dialogClosed(page, "seting.html");
    assert.deepEqual(await settingsOf(page), stored);
    assert.equal(await pageEnabled(page), true);
}));

test("the decryption dialog changes only iDelSel", withSandbox(async (sandbox) => {
    const { page } = await sandbox.start([], { viewport: kViewport });
    await mainPageReady(page);
    await page.evaluate(() => view.ChangeSettingInfo([true, true, true, true, true, true, false, 1, "D:/Keep"]));
    const before = await settingsOf(page);

    let dialog = await openDialog(page, "seting-decrypt.html", 480, 300);
    assert.equal(await dialog.locator('input[name="delete"][value="1"]').isChecked(), true);
    await dialog.locator('input[name="delete"][value="2"]').check();
    await dialog.locator("#setBtnCancel").click();
    await dialogClosed(page, "seting-decrypt.html");
    assert.deepEqual(await settingsOf(page), before);

    dialog = await openDialog(page, "seting-decrypt.html", 480, 300);
    await dialog.locator('input[name="delete"][value="2"]').check();
    await dialog.locator("#setBtnOkDecrypt").click();
    await dialogClosed(page, "seting-decrypt.html");
    assert.equal(await pageEnabled(page), true);
    assert.deepEqual(await settingsOf(page), before.with(7, "2"));
}));

test("the context-menu switch acts at once and CANCEL keeps it", withSandbox(async (sandbox) => {
    const { page } = await sandbox.start([], { viewport: kViewport });
    await mainPageReady(page);
    const classes = join(sandbox.root, "registry", "classes.reg");
    const registered = () => existsSync(classes) && readFileSync(classes, "utf8").includes(kMenuVerb);

    let dialog = await openDialog(page, "seting.html", 700, 595);
    await dialog.locator("#btnAddMenu").check();
    await dialogIdle(dialog);
    assert.equal((await settingsOf(page))[5], true);
    assert.equal(registered(), true);
    await dialog.locator("#setBtnClose").click();
    await dialogClosed(page, "seting.html");

    dialog = await openDialog(page, "seting.html", 700, 595);
    assert.equal(await dialog.locator("#btnAddMenu").isChecked(), true);
    await dialog.locator("#btnAddMenu").uncheck();
    await dialogIdle(dialog);
    assert.equal((await settingsOf(page))[5], false);
    await dialog.locator("#setBtnCancel").click();
    await dialogClosed(page, "seting.html");
    assert.equal(registered(), false);
    assert.equal((await settingsOf(page))[5], false);
}));

test("the password change dialog checks its inputs and sets the password", withSandbox(async (sandbox) => {
    const { page } = await sandbox.start([], { viewport: kViewport });
    await mainPageReady(page);

    // Opened from the settings dialog, it gives that dialog back when it closes.
    const settings = await openDialog(page, "seting.html", 700, 595);
    await settings.locator("#btnSetPass").click();
    let dialog = await dialogFrame(page, "passwordtip.html");
    await dialog.locator("#iptNewPwd").waitFor();
    assert.equal(await frameEnabled(settings), false);
    assert.equal(await dialog.locator("#rowOldPwd").isVisible(), false, "no password yet: no old-password row");

    const attempts = [["12345", "12345", "PWD_TOO_SHORT"], ["abc", "abd", "TWO_PWD_NOT_COMPARE"],
        ["secret1", "secret2", "TWO_PWD_NOT_COMPARE"], ["", "", "PWD_TOO_SHORT"]];
    for (const [password, confirmation, key] of attempts) {
        await dialog.locator("#iptNewPwd").fill(password);
        await dialog.locator("#iptConfirmPwd").fill(confirmation);
        await dialog.locator("#btnPwdOk").click();
        assert.equal(await answerMessageBox(page), key, `${password}/${confirmation}`);
    }
    assert.equal((await settingsOf(page))[9], false);

    await dialog.locator("#iptNewPwd").fill("secret1");
    await dialog.locator("#iptConfirmPwd").fill("secret1");
    await dialog.locator("#btnPwdOk").click();
    const box = await dialogFrame(page, "asynmsgbox.html");
    assert.equal(await dialog.evaluate(() => window.frameElement.style.visibility), "hidden");
    assert.equal(await box.locator("#msgContent").getAttribute("data-key"), "SET_PW_SUCCESS");
    // Closing the box by its caption button also ends the hidden dialog.
    await box.locator("#btnClose").click();
    await dialogClosed(page, "passwordtip.html");
    assert.equal(await frameEnabled(settings), true);
    assert.equal((await settingsOf(page))[9], true);
    await settings.locator("#setBtnCancel").click();
    await dialogClosed(page, "seting.html");

    // With a password set the old one is asked for and must match.
    dialog = await openDialog(page, "passwordtip.html", 400, 280);
    await dialog.locator("#rowOldPwd").waitFor();
    await dialog.locator("#iptOldPwd").fill("wrong1");
    await dialog.locator("#iptNewPwd").fill("secret2");
    await dialog.locator("#iptConfirmPwd").fill("secret2");
    await dialog.locator("#btnPwdOk").click();
    assert.equal(await answerMessageBox(page), "SET_PW_ERROR");
    await dialogClosed(page, "passwordtip.html");
    assert.equal(await pageEnabled(page), true);
    assert.equal(await page.evaluate(() => view.SetSoftPassword(["secret2", "secret2"])), 1);
    assert.equal(await page.evaluate(() => view.SetSoftPassword(["secret1", "secret1"])), 0);
}));

// Native calls are answered one at a time in order, and the start-up asks
// CheckProgramHadRun and then GetSettingInfo: once the same two calls made
// after it answer, a password dialog it meant to open is open.
async function startUpDone(page) {
    await page.evaluate(async () => {
        await Lang.ready;
        await view.CheckProgramHadRun();
        await view.GetSettingInfo();
    });
}

const dialogOpen = (page, name) => page.evaluate((part) => [...document.querySelectorAll("[data-lockora-layer]")]
    .some((host) => host.shadowRoot?.querySelector("iframe")?.src.toLowerCase().includes(part)), name);

test("the start-up asks for the program password when one is set and asked for", withSandbox(async (sandbox) => {
    // bUserPwd alone, without a password, asks nothing.
    let program = await sandbox.start();
    await mainPageReady(program.page);
    await program.page.evaluate(async () => {
        const settings = await view.GetSettingInfo();
        settings[0] = true;
        await view.ChangeSettingInfo(settings);
    });
    await program.stop();

    program = await sandbox.start();
    await mainPageReady(program.page);
    await startUpDone(program.page);
    assert.equal(await dialogOpen(program.page, "passwordcheck.html"), false);
    // The password reaches the store when the program ends.
    assert.equal(await program.page.evaluate(() => view.SetSoftPassword(["", "secret1"])), 0);
    await program.page.evaluate(() => view.close());
    assert.equal(await program.exitCode(), 0);

    program = await sandbox.start();
    let { page } = program;
    let dialog = await dialogFrame(page, "passwordcheck.html");
    await dialog.locator("#iptCheckPwd").waitFor();
    assert.equal(await pageEnabled(page), false);
    await dialog.locator("#btnCheckOk").click();
    assert.equal(await answerMessageBox(page), "INPUT_PW_NULL");
    await dialog.locator("#iptCheckPwd").fill("secret2");
    await dialog.locator("#iptCheckPwd").press("Enter");
    assert.equal(await answerMessageBox(page), "PWD_ERROR");
    assert.equal(await dialogOpen(page, "passwordcheck.html"), true);
    await dialog.locator("#iptCheckPwd").fill("secret1");
    await dialog.locator("#btnCheckOk").click();
    await dialogClosed(page, "passwordcheck.html");
    assert.equal(await pageEnabled(page), true);
    await page.click(".nav-button");
    await page.locator("#liAbout").waitFor();
    await program.stop();

    // Cancelling ends the program.
    program = await sandbox.start();
    page = program.page;
    dialog = await dialogFrame(page, "passwordcheck.html");
    await dialog.locator("#btnCheckCancel").click();
    assert.equal(await program.exitCode(), 0);
}));

test("screenshots of the four dialogs in English and Chinese", withSandbox(async (sandbox) => {
    const { page } = await sandbox.start([], { viewport: kViewport });
    await mainPageReady(page);
    await page.evaluate(() => view.SetSoftPassword(["", "secret1"]));
    const dialogs = [["seting.html", 700, 595], ["seting-decrypt.html", 480, 300],
        ["passwordcheck.html", 400, 250], ["passwordtip.html", 400, 280]];
    for (const code of ["en", "zh"]) {
        await page.evaluate((language) => {
            window.language = language;
        }, code);
        for (const [name, width, height] of dialogs) {
            const dialog = await openDialog(page, name, width, height);
            await dialog.waitForFunction((text) => document.querySelector(".dialog-title")?.textContent === text,
                catalogues[code][{ "seting.html": "SETTING", "seting-decrypt.html": "DECRYPT_SETTINGS",
                    "passwordcheck.html": "INPUT_PW_TITLE", "passwordtip.html": "SET_PW_TITLE" }[name]]);
            if (name === "passwordtip.html") await dialog.locator("#rowOldPwd").waitFor();
            await shoot(page, dialog, `${name.replace(".html", "")}-${code}`);
            await page.keyboard.press("Escape");
            await dialogClosed(page, name);
        }
    }
}));
