// The encrypt, decrypt and "Read-Only & Hidden" screens of the main window,
// in the real program: what they refuse before a task starts, and what the
// task leaves on disk and in the result table. The tests run in order on one
// program: the decrypt test opens the containers the encrypt test made.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { chmodSync, existsSync, mkdirSync, readFileSync, rmSync, statSync, symlinkSync, writeFileSync } from "node:fs";
import { kBound, screenshot } from "./support/program.mjs";
import { answerMessageBox, endMainWindow, listFolder, openScreen, shots, startMainWindow } from "./support/screens.mjs";

const kBigSize = 48 * 1024 * 1024; // long enough to see the progress page

let sandbox;
let page;

before(async () => {
    ({ sandbox, page } = await startMainWindow((files) => {
        for (const name of ["a.txt", "b.txt", "c.txt", "w.txt"]) writeFileSync(files.host(`C:/Data/${name}`), `${name} contents`);
        mkdirSync(files.host("C:/Data/sub/inner"), { recursive: true });
        writeFileSync(files.host("C:/Data/sub/inner/e.txt"), "echo");
        writeFileSync(files.host("C:/Data/sub/big.bin"), Buffer.alloc(kBigSize, 7));
        mkdirSync(files.host("D:/Backup/Enc"), { recursive: true });
        writeFileSync(files.host("D:/Backup/Enc/x.txt"), "x");
    }));
});

after(() => endMainWindow(sandbox));

const answerBox = () => answerMessageBox(page);

// From the home screen into the screen of `index`, listing `folder`.
async function showFolder(index, folder) {
    await openScreen(page, index);
    await listFolder(page, folder);
}

const rowBox = (name) => page.locator("#paritionInfo tr", { has: page.locator(`td.name[title="${name}"]`) })
    .locator(".btnCheckbox");

async function checkOnly(names) {
    await page.locator("#selAllBut").setChecked(false);
    for (const name of names) await rowBox(name).setChecked(true);
}

const rowNames = () => page.$$eval("#paritionInfo td.name", (cells) => cells.map((cell) => cell.title));

// [name, status key, success] of every row of the result table.
async function taskResults(count) {
    await page.waitForFunction((rows) => document.querySelectorAll("#finishedInfo tr").length === rows, count,
        { timeout: 4 * kBound });
    return page.$$eval("#finishedInfo tr", (rows) => rows.map((row) => [
        row.cells[0].textContent, row.cells[1].dataset.key, row.cells[1].classList.contains("color"),
    ]));
}

async function toPasswordPage() {
    await page.click(".btnNext");
    await page.waitForSelector(".password-page");
}

async function encryptRows(names, password) {
    await showFolder(0, "C:\\Data");
    await checkOnly(names);
    await toPasswordPage();
    await page.fill("#pwdFirst", password);
    await page.fill("#pwdConfirm", password);
    await page.click("#btnStartEncrypt");
}

const changeSettings = (index, value) => page.evaluate(async ([at, wanted]) => {
    const settings = await view.GetSettingInfo();
    settings[at] = wanted;
    await view.ChangeSettingInfo(settings);
}, [index, value]);

// The attribute bits the program sees on a path.
const attributesOf = (path) => page.evaluate(async (target) => {
    let found;
    await System.scanFiles(target, (_, attributes) => {
        found = attributes;
    });
    return found;
}, path);

const writable = (path) => (statSync(sandbox.host(path)).mode & 0o222) !== 0;

const started = () => page.evaluate(() => Base.workFlag);

test("the encrypt screen checks the selection, the backup folder and the passwords before starting", async () => {
    await showFolder(0, "C:\\Data");
    assert.deepEqual(await rowNames(), ["sub", "a.txt", "b.txt", "c.txt", "w.txt"]);
    await shots(page, "encrypt-list");

    await page.locator("#selAllBut").setChecked(false);
    await page.click(".btnNext");
    assert.equal(await answerBox(), "CHOOSE_FILE");

    // The list page comes back with its listing and its selection.
    await checkOnly(["b.txt"]);
    await toPasswordPage();
    assert.equal(await page.locator("#btnEncryptSettings").isVisible(), true);
    assert.equal(await page.locator("#txtOriginalFate").getAttribute("data-key"), "FATE_ENCRYPT_KEEP");
    assert.equal(await page.locator("#txtRecovery").getAttribute("data-key"), "PWD_NO_RECOVERY");
    await shots(page, "encrypt-password");
    await page.click(".btnBack");
    assert.equal(await page.inputValue("#inputFilePath"), "C:\\Data");
    assert.equal(await rowBox("b.txt").isChecked(), true);
    assert.equal(await rowBox("a.txt").isChecked(), false);

    await toPasswordPage();
    await page.fill("#pwdFirst", "abc");
    await page.fill("#pwdConfirm", "abd");
    await page.click("#btnStartEncrypt");
    assert.equal(await answerBox(), "TWO_PWD_NOT_COMPARE");
    await page.fill("#pwdConfirm", "abc");
    await page.press("#pwdConfirm", "Enter");
    assert.equal(await answerBox(), "PWD_TOO_SHORT");

    // The backup folder may be neither the listed folder nor inside an item.
    await changeSettings(4, true);
    await changeSettings(8, "D:/Backup/Enc");
    await page.click(".btnBack");
    await listFolder(page, "D:\\");
    await checkOnly(["Backup"]);
    await toPasswordPage();
    await page.fill("#pwdFirst", "mismatched");
    await page.click("#btnStartEncrypt");
    assert.equal(await answerBox(), "ERROR_BACKUP2", "before the passwords are looked at");
    await page.click(".btnBack");
    await listFolder(page, "D:\\Backup\\Enc");
    await toPasswordPage();
    await page.fill("#pwdFirst", "secret");
    await page.fill("#pwdConfirm", "secret");
    await page.click("#btnStartEncrypt");
    assert.equal(await answerBox(), "ERROR_BACKUP");
    await changeSettings(4, false);

    assert.equal(await started(), 0);
    assert.equal(existsSync(sandbox.host("C:/Data/b.txt.xep")), false);
    assert.equal(existsSync(sandbox.host("D:/Backup/Enc/x.txt.xep")), false);
});

test("three files are encrypted one after the other, then a folder, then a file with another password", async () => {
    await encryptRows(["a.txt", "b.txt", "c.txt"], "secret");
    // A call made while the previous one ran would end as WORK_ENCRYPT.
    assert.deepEqual(await taskResults(3), [
        ["a.txt", "ERROR_ENCRYPTED", true], ["b.txt", "ERROR_ENCRYPTED", true], ["c.txt", "ERROR_ENCRYPTED", true],
    ]);
    for (const name of ["a.txt", "b.txt", "c.txt"]) assert.ok(existsSync(sandbox.host(`C:/Data/${name}.xep`)), name);
    assert.equal(await started(), 0);

    await encryptRows(["sub"], "secret");
    await page.waitForFunction(() => document.querySelector("#taskProgress .pFileName")?.textContent === "sub");
    await shots(page, "encrypt-progress");
    assert.deepEqual(await taskResults(1), [["sub", "ERROR_ENCRYPTED", true]]);
    assert.ok(existsSync(sandbox.host("C:/Data/sub.xep")));

    await encryptRows(["w.txt"], "another");
    assert.deepEqual(await taskResults(1), [["w.txt", "ERROR_ENCRYPTED", true]]);
});

test("decrypting restores files and folders; a wrong password and a damaged file end red and the queue goes on", async () => {
    for (const name of ["a.txt", "b.txt", "c.txt", "w.txt", "sub"]) rmSync(sandbox.host(`C:/Data/${name}`), { recursive: true });
    writeFileSync(sandbox.host("C:/Data/b0-junk.xep"), "not a container at all, just some text");

    await showFolder(1, "C:\\Data");
    assert.deepEqual(await rowNames(), ["a.txt.xep", "b.txt.xep", "b0-junk.xep", "c.txt.xep", "sub.xep", "w.txt.xep"]);
    await shots(page, "decrypt-list");
    await toPasswordPage();
    assert.equal(await page.locator("#btnDecryptSettings").isVisible(), true);
    assert.equal(await page.locator("#txtOriginalFate").getAttribute("data-key"), "FATE_DECRYPT_KEEP");
    await shots(page, "decrypt-password");
    await page.fill("#pwdDecrypt", "short");
    await page.click("#btnStartDecrypt");
    assert.equal(await answerBox(), "PWD_TOO_SHORT");

    await page.fill("#pwdDecrypt", "secret");
    await page.press("#pwdDecrypt", "Enter");
    await page.waitForFunction(() => document.querySelector("#taskProgress .pFileName")?.textContent === "sub.xep");
    await screenshot(page, "decrypt-progress-en");
    const results = await taskResults(6);
    assert.deepEqual(results, [
        ["a.txt.xep", "ERROR_DECRYPTED", true],
        ["b.txt.xep", "ERROR_DECRYPTED", true],
        ["b0-junk.xep", "ERROR_DESTROY", false],
        ["c.txt.xep", "ERROR_DECRYPTED", true],
        ["sub.xep", "ERROR_DECRYPTED", true],
        ["w.txt.xep", "ERROR_PW", false],
    ]);
    assert.equal(await page.locator("#finishedInfo tr:nth-child(3) td:nth-child(2)").getAttribute("class"), "dfn color-red");
    // What was written and what became of each container.
    assert.deepEqual(await page.$$eval("#finishedInfo tr", (rows) => rows.map((row) => [
        row.cells[2].textContent, row.cells[3].dataset.key,
    ])), [
        ["a.txt", "FATE_KEPT"], ["b.txt", "FATE_KEPT"], ["", "FATE_KEPT_FAILED"], ["c.txt", "FATE_KEPT"],
        ["sub", "FATE_KEPT"], ["", "FATE_KEPT_FAILED"],
    ]);
    await shots(page, "decrypt-task");

    assert.equal(readFileSync(sandbox.host("C:/Data/c.txt"), "utf8"), "c.txt contents");
    assert.equal(readFileSync(sandbox.host("C:/Data/sub/inner/e.txt"), "utf8"), "echo");
    assert.equal(statSync(sandbox.host("C:/Data/sub/big.bin")).size, kBigSize);
    assert.equal(existsSync(sandbox.host("C:/Data/w.txt")), false);
});

test("the read screen passes the read-only choice in the low bits and the hidden choice above them", async () => {
    chmodSync(sandbox.host("C:/Data/b.txt"), 0o444);
    await showFolder(4, "C:\\Data");
    assert.equal(await page.locator("table.file-list th.attr").count(), 1);
    await page.click("#btnSetAttributes");
    assert.equal(await answerBox(), "CHOOSE_FILE");
    await checkOnly(["b.txt"]);
    await page.click("#btnSetAttributes");
    assert.equal(await answerBox(), "ATTRIBUTES_SELECT");

    // Hide alone is 4: hidden set, read-only cleared.
    await page.check("#attrHide");
    await page.click("#btnSetAttributes");
    assert.deepEqual(await taskResults(1), [["b.txt", "FINISHED_SETTING", true]]);
    assert.equal((await attributesOf("C:/Data/b.txt")) & 0x3, 0x2);
    assert.equal(writable("C:/Data/b.txt"), true);
    await shots(page, "read-task");

    // Hidden names are red and their attribute shows.
    await showFolder(4, "C:\\Data");
    const hiddenRow = page.locator("#paritionInfo tr", { has: page.locator('td.name[title="b.txt"]') });
    assert.equal(await hiddenRow.locator("td.name").getAttribute("class"), "name color-red");
    assert.equal(await hiddenRow.locator("td.attr label").getAttribute("data-key"), "HIDE");
    await checkOnly(["b.txt"]);
    await page.check("#attrReadOnly");
    await page.check("#attrUnhide");
    await shots(page, "read-list");

    // Read-only with unhide is 9: read-only set, hidden cleared.
    await page.click("#btnSetAttributes");
    assert.deepEqual(await taskResults(1), [["b.txt", "FINISHED_SETTING", true]]);
    assert.equal((await attributesOf("C:/Data/b.txt")) & 0x3, 0x1);
    assert.equal(writable("C:/Data/b.txt"), false);

    // A link is never changed (nor followed): its row says that the change
    // did not happen, and the file it names keeps its attributes.
    symlinkSync("c.txt", sandbox.host("C:/Data/link.txt"));
    await showFolder(4, "C:\\Data");
    await checkOnly(["link.txt"]);
    await page.check("#attrReadOnly");
    await page.click("#btnSetAttributes");
    assert.deepEqual(await taskResults(1), [["link.txt", "ATTRIBUTES_FAILED", false]]);
    assert.equal(writable("C:/Data/c.txt"), true);
});
