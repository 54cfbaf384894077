// The command-line windows: the real program started with a verb and a path,
// as the file manager starts it, encrypts, decrypts or shreds that path,
// shows the outcome and closes itself after a confirmed success.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { chmodSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { Sandbox, catalogues, closeBrowser, dialogFrame, kBound, screenshot } from "./support/program.mjs";
import { answerMessageBox, messageBox, shots } from "./support/screens.mjs";

const kSizes = { encrypt: [600, 250], decrypt: [600, 210], remove: [600, 180] };

let sandbox;

before(() => {
    sandbox = new Sandbox();
    writeFileSync(sandbox.host("C:/Data/a.txt"), "alpha contents");
    mkdirSync(sandbox.host("C:/Data/sub/inner"), { recursive: true });
    writeFileSync(sandbox.host("C:/Data/sub/inner/c.txt"), "charlie");
    // Read-only for the shredder: no write bit.
    writeFileSync(sandbox.host("C:/Data/locked.txt"), "locked");
    chmodSync(sandbox.host("C:/Data/locked.txt"), 0o444);
});

after(async () => {
    await sandbox.dispose();
    await closeBrowser();
});

// Starts the window of `verb` for `path`; resolves once the path is shown
// and the start button may be used.
async function openWindow(verb, path, { ready = true } = {}) {
    const [width, height] = kSizes[verb];
    const program = await sandbox.start([verb, sandbox.host(path)], { viewport: { width, height } });
    await program.page.waitForFunction(() => document.getElementById("txtFileName")?.textContent !== "");
    if (ready) await program.page.waitForFunction(() => !document.querySelector(".op-start").disabled);
    return program;
}

const fill = async (page, fields) => {
    for (const [selector, text] of Object.entries(fields)) await page.fill(selector, text);
};

const barState = (page) => page.evaluate(() => ({
    value: document.getElementById("progressBar").value,
    failed: document.getElementById("progressBar").classList.contains("failpro"),
    status: document.getElementById("txtStatus").dataset.key,
    percent: document.getElementById("txtPercent").textContent,
}));

test("the encrypt window checks the passwords, encrypts its file and closes after the OK", async () => {
    const program = await openWindow("encrypt", "C:/Data/a.txt");
    const { page } = program;
    assert.equal(await page.locator("#txtFileName").getAttribute("title"), "C:/Data/a.txt");
    assert.equal(await page.locator("#txtInfo").getAttribute("data-key"), "PREPARE_ENCRYPT");
    await shots(page, "operation-encrypt");

    // Different short passwords are reported as different, before their length.
    await fill(page, { "#pwdFirst": "abc", "#pwdConfirm": "abd" });
    await page.click("#btnEncrypt");
    assert.equal(await answerMessageBox(page), "TWO_PWD_NOT_COMPARE");
    await fill(page, { "#pwdFirst": "abcde", "#pwdConfirm": "abcde" });
    await page.press("#pwdConfirm", "Enter");
    assert.equal(await answerMessageBox(page), "PWD_TOO_SHORT");
    assert.equal(existsSync(sandbox.host("C:/Data/a.txt.xep")), false);

    await fill(page, { "#pwdFirst": "secret", "#pwdConfirm": "secret" });
    await page.click("#btnEncrypt");
    const { frame: box, key } = await messageBox(page);
    assert.equal(key, "ERROR_ENCRYPTED");
    assert.deepEqual(await barState(page), { value: 100, failed: false, status: "ERROR_ENCRYPTED", percent: "100%" });
    await screenshot(page, "operation-encrypt-done-en");
    assert.ok(existsSync(sandbox.host("C:/Data/a.txt.xep")));
    await box.click("#btnOK");
    assert.equal(await program.exitCode(), 0);
    assert.ok(existsSync(sandbox.host("C:/App/Ombrix Lockora Sentinex/FileUseSetting.dat")), "settings saved at exit");
});

test("a wrong password leaves the decrypt window open with a red bar; the right one restores the file", async () => {
    rmSync(sandbox.host("C:/Data/a.txt"));
    const program = await openWindow("decrypt", "C:/Data/a.txt.xep");
    const { page } = program;
    assert.equal(await page.locator("#txtInfo").getAttribute("data-key"), "PREPARE_DECRYPT");
    await shots(page, "operation-decrypt");

    await fill(page, { "#pwdDecrypt": "wrong1" });
    await page.click("#btnDecrypt");
    assert.equal(await answerMessageBox(page), "ERROR_PW");
    assert.deepEqual(await barState(page), { value: 100, failed: true, status: "ERROR_PW", percent: "100%" });
    await screenshot(page, "operation-decrypt-failed-en");
    assert.equal(existsSync(sandbox.host("C:/Data/a.txt")), false);
    assert.equal(program.child.exitCode, null, "the window stays open");

    await fill(page, { "#pwdDecrypt": "secret" });
    await page.click("#btnDecrypt");
    const { frame: box, key } = await messageBox(page);
    assert.equal(key, "ERROR_DECRYPTED");
    // The failure style went with the new run.
    assert.deepEqual(await barState(page), { value: 100, failed: false, status: "ERROR_DECRYPTED", percent: "100%" });
    assert.equal(readFileSync(sandbox.host("C:/Data/a.txt"), "utf8"), "alpha contents");
    await box.click("#btnOK");
    assert.equal(await program.exitCode(), 0);
});

test("the encrypt window refuses the backup folder and fails when no backup can be written", async () => {
    const program = await openWindow("encrypt", "C:/Data/sub");
    const { page } = program;
    const setBackup = (folder) => page.evaluate(async (backup) => {
        const settings = await view.GetSettingInfo();
        settings[4] = true;
        settings[8] = backup;
        await view.ChangeSettingInfo(settings);
    }, folder);
    await fill(page, { "#pwdFirst": "secret", "#pwdConfirm": "secret" });

    await setBackup("C:/Data");
    await page.click("#btnEncrypt");
    assert.equal(await answerMessageBox(page), "ERROR_BACKUP");
    await setBackup("C:/Data/sub/Enc");
    await page.click("#btnEncrypt");
    assert.equal(await answerMessageBox(page), "ERROR_BACKUP2");

    // A backup folder that does not exist: the container cannot be backed
    // up, which is a failure, not a success.
    await setBackup("D:/Missing");
    await page.click("#btnEncrypt");
    assert.equal(await answerMessageBox(page), "ERROR_ENCRYPT");
    assert.deepEqual(await barState(page), { value: 100, failed: true, status: "ERROR_ENCRYPT", percent: "100%" });
    assert.equal(existsSync(sandbox.host("C:/Data/sub.xep")), false);

    await page.evaluate(async () => {
        const settings = await view.GetSettingInfo();
        settings[4] = false;
        await view.ChangeSettingInfo(settings);
    });
    await page.click("#btnClose");
    assert.equal(await program.exitCode(), 0);
});

test("the delete window shreds a folder after the confirmation and closes after the OK", async () => {
    const program = await openWindow("remove", "C:/Data/sub");
    const { page } = program;
    assert.equal(await page.locator("#txtInfo").getAttribute("data-key"), "COMPLETE_DEL_FOLDER");
    assert.equal(await page.locator("#txtFileName").textContent(), "C:/Data/sub");
    await shots(page, "operation-delete");

    await page.click("#btnDelete");
    await messageBox(page);
    await screenshot(page, "operation-delete-confirm-en");
    assert.equal(await answerMessageBox(page, "#btnNo"), "DEL_COMFIGURE_MSG");
    assert.ok(existsSync(sandbox.host("C:/Data/sub/inner/c.txt")), "No keeps the folder");

    await page.click("#btnDelete");
    assert.equal(await answerMessageBox(page, "#btnYes"), "DEL_COMFIGURE_MSG");
    const { frame: box, key } = await messageBox(page);
    assert.equal(key, "ERROR_DELETED");
    assert.equal(existsSync(sandbox.host("C:/Data/sub")), false);
    await box.click("#btnOK");
    assert.equal(await program.exitCode(), 0);
});

test("a file the shredder cannot remove is a failure; the program password then guards the windows", async () => {
    let program = await openWindow("remove", "C:/Data/locked.txt");
    let { page } = program;
    assert.equal(await page.locator("#txtInfo").getAttribute("data-key"), "COMPLETE_DEL_FILE");
    await page.click("#btnDelete");
    await answerMessageBox(page, "#btnYes");
    assert.equal(await answerMessageBox(page), "ERROR_DELETE");
    assert.deepEqual(await barState(page), { value: 100, failed: true, status: "ERROR_DELETE", percent: "100%" });
    await screenshot(page, "operation-delete-failed-en");
    assert.ok(existsSync(sandbox.host("C:/Data/locked.txt")));

    assert.equal(await page.evaluate(async () => {
        const answer = await view.SetSoftPassword(["", "guard12"]);
        const settings = await view.GetSettingInfo();
        settings[0] = true;
        await view.ChangeSettingInfo(settings);
        return answer;
    }), 0);
    await page.click("#btnClose");
    assert.equal(await program.exitCode(), 0);

    // Cancelling the check ends the window.
    program = await openWindow("decrypt", "C:/Data/a.txt.xep", { ready: false });
    page = program.page;
    const check = await dialogFrame(page, "passwordcheck.html");
    assert.equal(await page.locator("#btnDecrypt").isDisabled(), true);
    await screenshot(page, "operation-passwordcheck-en");
    for (const frame of [page, check]) {
        await frame.evaluate(() => {
            window.language = "zh";
        });
    }
    await screenshot(page, "operation-passwordcheck-zh");
    await check.click("#btnCheckCancel");
    assert.equal(await program.exitCode(), 0);

    program = await openWindow("decrypt", "C:/Data/a.txt.xep", { ready: false });
    page = program.page;
    const again = await dialogFrame(page, "passwordcheck.html");
    await again.fill("#iptCheckPwd", "guard12");
    await again.click("#btnCheckOk");
    await page.waitForFunction(() => !document.getElementById("btnDecrypt").disabled);

    // Unguarded again, and in Chinese from the next start on.
    await page.evaluate(async () => {
        const settings = await view.GetSettingInfo();
        settings[0] = false;
        await view.ChangeSettingInfo(settings);
        await view.SetLang("zh");
    });
    await page.click("#btnClose");
    assert.equal(await program.exitCode(), 0);
});

test("a start refused as busy fails at once, and the other operation's end changes nothing", async () => {
    writeFileSync(sandbox.host("C:/Data/big.bin"), Buffer.alloc(32 * 1024 * 1024, 1));
    const program = await openWindow("encrypt", "C:/Data/big.bin");
    const { page } = program;
    // The stored language.
    assert.equal(await page.evaluate(() => document.documentElement.lang), "zh");
    assert.equal(await page.locator("#txtInfo").textContent(), catalogues.zh.PREPARE_ENCRYPT);

    // An encryption this window did not start runs when its button is pressed:
    // its worker waits in its first progress message until released.
    await page.evaluate(() => {
        const deliver = window.BackupServiceCallUI;
        window.deliveredIds = [];
        window.BackupServiceCallUI = async (message) => {
            window.deliveredIds.push(message[0]);
            if (message[0] === 2 && !window.releaseWorker)
                await new Promise((resolve) => (window.releaseWorker = resolve));
            return deliver(message);
        };
    });
    assert.equal(await page.evaluate(() => view.Encrypted(["other1", ["C:/Data/big.bin"]])), 0);
    await page.waitForFunction(() => typeof window.releaseWorker === "function");
    await fill(page, { "#pwdFirst": "secret", "#pwdConfirm": "secret" });
    await page.click("#btnEncrypt");
    assert.equal(await answerMessageBox(page), "WORK_ENCRYPT");
    await page.evaluate(() => window.releaseWorker());
    await page.waitForFunction(() => window.deliveredIds.includes(11), null, { timeout: 4 * kBound });
    assert.deepEqual(await barState(page), { value: 100, failed: true, status: "WORK_ENCRYPT", percent: "100%" });
    assert.equal(page.frames().length, 1, "no second message box");
    await page.click("#btnClose");
    assert.equal(await program.exitCode(), 0);
});
