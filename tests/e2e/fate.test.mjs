// What happens to the user's files, said and chosen on the screens: the gear
// buttons and the menu open the settings, the password pages say what the
// settings do with the originals, the result table says what became of each,
// and a task that ends while the user looks elsewhere leaves that screen
// alone. The tests run in order on one program.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { chmodSync, copyFileSync, existsSync, readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { dialogClosed, dialogFrame, kBound, screenshot } from "./support/program.mjs";
import { endMainWindow, listFolder, openScreen, shots, startMainWindow } from "./support/screens.mjs";

const kBigSize = 48 * 1024 * 1024; // long enough to leave the progress page

let sandbox;
let page;

before(async () => {
    ({ sandbox, page } = await startMainWindow((files) => {
        for (const name of ["a.txt", "b.txt"]) writeFileSync(files.host(`C:/Data/${name}`), `${name} contents`);
        writeFileSync(files.host("C:/Data/big.bin"), Buffer.alloc(kBigSize, 3));
        // The command-line tool beside the program copy, for its verify.
        const tool = join(dirname(process.env.LOCKORA_E2E_HOST), "..", "..", "..", "app", "lockora-xep");
        copyFileSync(tool, files.host("C:/App/lockora-xep"));
        chmodSync(files.host("C:/App/lockora-xep"), 0o755);
    }));
});

after(() => endMainWindow(sandbox));

// lockora-xep verify in the sandbox: true when the container is intact.
function verified(container, password) {
    try {
        execFileSync(sandbox.host("C:/App/lockora-xep"), ["verify", sandbox.host(container)], {
            env: {
                ...process.env,
                LOCKORA_DRIVES: `C=${join(sandbox.root, "c")};D=${join(sandbox.root, "d")}`,
                LOCKORA_REGISTRY: join(sandbox.root, "registry"),
                LOCKORA_PASSWORD: password,
            },
            stdio: "pipe",
            timeout: kBound,
        });
        return true;
    } catch {
        return false;
    }
}

const fateKey = () => page.locator("#txtOriginalFate").getAttribute("data-key");

async function waitForFate(key) {
    await page.waitForFunction((wanted) => document.getElementById("txtOriginalFate")?.dataset.key === wanted, key);
}

// Opens a settings dialog with `open`, picks the radio `choice` and presses `ok`.
async function chooseInSettings(open, dialog, choice, ok) {
    await open();
    const frame = await dialogFrame(page, dialog);
    await frame.waitForFunction(() => document.querySelector('input[name="delete"]:checked') !== null);
    await frame.check(choice);
    await frame.click(ok);
    await dialogClosed(page, dialog);
}

async function toPasswordPage(index, names) {
    await openScreen(page, index);
    await listFolder(page, "C:\\Data");
    await page.locator("#selAllBut").setChecked(false);
    for (const name of names) {
        await page.locator("#paritionInfo tr", { has: page.locator(`td.name[title="${name}"]`) })
            .locator(".btnCheckbox").setChecked(true);
    }
    await page.click(".btnNext");
    await page.waitForSelector(".password-page");
}

// [name, status key, written, fate key] of every row of the result table.
async function results(count) {
    await page.waitForFunction((rows) => document.querySelectorAll("#finishedInfo tr").length === rows, count,
        { timeout: 4 * kBound });
    return page.$$eval("#finishedInfo tr", (rows) => rows.map((row) => [
        row.cells[0].textContent, row.cells[1].dataset.key, row.cells[2].textContent, row.cells[3].dataset.key,
    ]));
}

async function encryptWith(password) {
    await page.fill("#pwdFirst", password);
    await page.fill("#pwdConfirm", password);
    await page.click("#btnStartEncrypt");
}

test("the gear and the menu open the settings; delete, then shred, are honoured after a checked container", async () => {
    await toPasswordPage(0, ["a.txt"]);
    assert.equal(await fateKey(), "FATE_ENCRYPT_KEEP");
    assert.equal(await page.locator("#txtOriginalFate").getAttribute("class"), "fate-note dfn fate-warning");

    // The eye shows what was typed, and hides it again.
    await page.fill("#pwdFirst", "secret1");
    await page.click('.reveal[data-for="pwdFirst"]');
    assert.equal(await page.getAttribute("#pwdFirst", "type"), "text");
    assert.equal(await page.getAttribute('.reveal[data-for="pwdFirst"]', "title"), "Hide password");
    await page.click('.reveal[data-for="pwdFirst"]');
    assert.equal(await page.getAttribute("#pwdFirst", "type"), "password");

    await chooseInSettings(() => page.click("#btnEncryptSettings"), "seting.html", "#rdoDeleteRemove", "#setBtnOk");
    await waitForFate("FATE_ENCRYPT_DELETE");
    await shots(page, "encrypt-password-delete");
    await encryptWith("secret1");
    assert.deepEqual(await results(1), [["a.txt", "ERROR_ENCRYPTED", "a.txt.xep", "FATE_DELETED"]]);
    assert.equal(existsSync(sandbox.host("C:/Data/a.txt")), false);
    assert.ok(verified("C:/Data/a.txt.xep", "secret1"));

    await chooseInSettings(async () => {
        await page.click(".nav-button");
        await page.click("#liSettings");
    }, "seting.html", "#rdoDeleteShred", "#setBtnOk");
    await toPasswordPage(0, ["b.txt"]);
    assert.equal(await fateKey(), "FATE_ENCRYPT_SHRED");
    await encryptWith("secret2");
    assert.deepEqual(await results(1), [["b.txt", "ERROR_ENCRYPTED", "b.txt.xep", "FATE_SHREDDED"]]);
    await shots(page, "encrypt-task-fate");
    assert.equal(existsSync(sandbox.host("C:/Data/b.txt")), false);
    assert.ok(verified("C:/Data/b.txt.xep", "secret2"));
});

test("the decrypt page says what becomes of the containers, and the result table what did", async () => {
    await toPasswordPage(1, ["a.txt.xep", "b.txt.xep"]);
    assert.equal(await fateKey(), "FATE_DECRYPT_SHRED");
    await chooseInSettings(() => page.click("#btnDecryptSettings"), "seting-decrypt.html", "#rdoDeleteKeep",
        "#setBtnOkDecrypt");
    await waitForFate("FATE_DECRYPT_KEEP");
    await shots(page, "decrypt-password-keep");
    await page.fill("#pwdDecrypt", "secret1");
    await page.click("#btnStartDecrypt");
    assert.deepEqual(await results(2), [
        ["a.txt.xep", "ERROR_DECRYPTED", "a.txt", "FATE_KEPT"],
        ["b.txt.xep", "ERROR_PW", "", "FATE_KEPT_FAILED"],
    ]);
    await shots(page, "decrypt-task-fate");
    assert.ok(existsSync(sandbox.host("C:/Data/a.txt.xep")));
    assert.ok(existsSync(sandbox.host("C:/Data/b.txt.xep")));
});

test("a task that ends while another screen is shown leaves it in place and shows a notice", async () => {
    await toPasswordPage(0, ["big.bin"]);
    await chooseInSettings(() => page.click("#btnEncryptSettings"), "seting.html", "#rdoDeleteKeep", "#setBtnOk");
    await encryptWith("secret3");
    await page.waitForSelector("#taskProgress");
    assert.equal(await page.locator("#taskIndicator").isVisible(), false);

    await page.click(".nav-button");
    await page.click("#liHome");
    await page.waitForSelector(".home");
    const indicator = page.locator("#taskIndicator");
    // Either still running, or already done: never gone, never the results.
    await indicator.waitFor({ state: "visible" });
    await screenshot(page, "task-indicator-en");
    await page.waitForFunction(() => document.getElementById("taskIndicator").classList.contains("done"), null,
        { timeout: 4 * kBound });
    assert.equal(await indicator.locator(".task-label").getAttribute("data-key"), "TASK_SEE_RESULTS");
    assert.equal(await page.locator(".home").count(), 1);
    assert.equal(await page.locator("#finishedInfo").count(), 0);
    assert.equal(await page.locator("[data-lockora-layer]").count(), 0);
    await shots(page, "task-notice");

    await indicator.click();
    assert.deepEqual(await results(1), [["big.bin", "ERROR_ENCRYPTED", "big.bin.xep", "FATE_KEPT"]]);
    assert.equal(await indicator.isVisible(), false);
});

test("strong encryption chosen in the settings makes the next container strong, and the decrypt screen restores it", async () => {
    writeFileSync(sandbox.host("C:/Data/c.txt"), "c.txt contents");
    await page.click(".nav-button");
    await page.click("#liSettings");
    const frame = await dialogFrame(page, "seting.html");
    await frame.waitForFunction(() => document.querySelector('input[name="delete"]:checked') !== null);
    assert.equal(await frame.locator("#ckbStrong").isChecked(), false);
    await frame.check("#ckbStrong");
    await frame.check("#rdoDeleteKeep");
    await frame.click("#setBtnOk");
    await dialogClosed(page, "seting.html");
    assert.equal((await page.evaluate(() => view.GetSettingInfo()))[10], true);

    await toPasswordPage(0, ["c.txt"]);
    await encryptWith("secret3");
    assert.deepEqual(await results(1), [["c.txt", "ERROR_ENCRYPTED", "c.txt.xep", "FATE_KEPT"]]);
    assert.deepEqual([...readFileSync(sandbox.host("C:/Data/c.txt.xep")).subarray(0, 4)], [0x89, 0x58, 0x45, 0x50]);
    assert.ok(verified("C:/Data/c.txt.xep", "secret3"));

    await toPasswordPage(1, ["c.txt.xep"]);
    await page.fill("#pwdDecrypt", "secret3");
    await page.press("#pwdDecrypt", "Enter");
    assert.deepEqual(await results(1), [["c.txt.xep", "ERROR_DECRYPTED", "c(1).txt", "FATE_KEPT"]]);
    assert.equal(readFileSync(sandbox.host("C:/Data/c(1).txt"), "utf8"), "c.txt contents");
});
