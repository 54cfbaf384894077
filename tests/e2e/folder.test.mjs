// The "Change icon" screens in the real program: the folder list, disguising
// with one of the twelve icons (with a folder that fails), taking stacked
// disguises off again, and the messages for what is missing.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, mkdirSync, writeFileSync } from "node:fs";
import { screenshot, untranslatedKeys } from "./support/program.mjs";
import { answerMessageBox, endMainWindow, listFolder, messageBox, openScreen, pressInBox, setLanguage, startMainWindow } from "./support/screens.mjs";

const kFolder = "C:/Data/Fold";
const kSuffix = {
    0: ".{208D2C60-3AEA-1069-A2D7-08002B30309D}",
    1: ".{20D04FE0-3AEA-1069-A2D8-08002B30309D}",
    4: ".{645FF040-5081-101B-9F08-00AA002F954E}",
    7: ".{FF393560-C2A7-11CF-BFF4-444553540000}",
};
const kStacked = `X${kSuffix[1]}${kSuffix[7]}`;
const kTaken = `Y${kSuffix[0]}`; // "Y" exists too: this one cannot be restored

let sandbox;
let program;
let page;
let failing; // the plain folder listed first: its disguised name gets taken
let renamed; // the plain folder listed second

before(async () => {
    ({ sandbox, program, page } = await startMainWindow((files) => {
        for (const name of ["A", "B", kStacked, "Y", kTaken]) mkdirSync(files.host(`${kFolder}/${name}`), { recursive: true });
        writeFileSync(files.host(`${kFolder}/f.txt`), "file");
        writeFileSync(files.host(`${kFolder}/c.xep`), "container");
    }));
    await openScreen(page, 2);
});

after(() => endMainWindow(sandbox));

const row = (name) => page.locator("#paritionInfo tr", { has: page.locator(`td.name[title="${name}"]`) });

async function setChecked(names, on = true) {
    for (const name of names) await row(name).locator(".btnCheckbox").setChecked(on);
}

// Clicks `selector` and answers the message box it opens with OK.
async function expectMessage(selector, expected) {
    await page.click(selector);
    assert.equal(await answerMessageBox(page), expected);
}

async function toIconPage() {
    await page.click(".btnNextToFolder2");
    await page.waitForSelector("#btnFolderDisguise");
}

async function backToList() {
    await page.click(".btnBackToFolder");
    await page.waitForSelector(".btnNextToFolder2");
}

async function rowState(name) {
    return row(name).evaluate((tr) => ({
        checked: tr.querySelector(".btnCheckbox").checked,
        fileName: tr.querySelector("td.name").getAttribute("fileName"),
        kind: tr.dataset.kind,
    }));
}

test("the list shows only folders and disguised folders, unchecked", async () => {
    await listFolder(page, kFolder);
    const names = await page.locator("#paritionInfo td.name").allTextContents();
    assert.deepEqual(names.toSorted(), ["A", "B", kStacked, "Y", kTaken].toSorted());
    assert.equal(await page.locator("#paritionInfo .btnCheckbox:checked").count(), 0);
    [failing, renamed] = names.filter((name) => name.length === 1 && name !== "Y");
    assert.equal(await page.getAttribute("#inputFilePath", "placeholder"), "Only directory can be selected.");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "folder-list-en");
    await setLanguage(page, "zh");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "folder-list-zh");
    await setLanguage(page, "en");
    await expectMessage(".btnNextToFolder2", "CHOOSE_FILE");
});

test("disguising two folders of which the first fails reports the failure; the failed one stays checked", async () => {
    await setChecked([failing, renamed]);
    await toIconPage();
    const icons = await page.locator('input[name="folder"]').evaluateAll((inputs) => inputs.map((input) => [input.value, input.nextElementSibling.getAttribute("src")]));
    assert.deepEqual(icons, Array.from({ length: 12 }, (_, k) => [String(k), `image/${k + 1}.png`]));
    assert.ok(await page.isChecked('input[name="iconChange"][value="disguise"]'));
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "folder-icons-en");
    await setLanguage(page, "zh");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "folder-icons-zh");
    await setLanguage(page, "en");
    await expectMessage("#btnFolderDisguise", "CHOOSE_ICON");

    // The first folder's disguised name is taken, so its rename fails: the
    // request failed, whatever the last folder did, and the box says so
    // with the error icon.
    mkdirSync(sandbox.host(`${kFolder}/${failing}${kSuffix[4]}`));
    await page.check('input[name="folder"][value="4"]');
    await page.click("#btnFolderDisguise");
    const { frame, key } = await messageBox(page);
    assert.equal(key, "DISGUISE_FAILED");
    assert.equal(await frame.locator(".message-icon").getAttribute("class"), "i i-error i-lg message-icon");
    await screenshot(page, "folder-disguise-failed-en");
    await pressInBox(page, frame, "#btnOK");
    assert.ok(existsSync(sandbox.host(`${kFolder}/${renamed}${kSuffix[4]}`)));
    assert.ok(!existsSync(sandbox.host(`${kFolder}/${renamed}`)));
    assert.ok(existsSync(sandbox.host(`${kFolder}/${failing}`)));

    // Only the failed folder is left checked, and it fails again.
    await expectMessage("#btnFolderDisguise", "DISGUISE_FAILED");
    await page.check('input[name="iconChange"][value="restore"]');
    await expectMessage("#btnFolderDisguise", "CHOOSE_DISGUISE");

    await backToList();
    assert.deepEqual(await rowState(failing), { checked: true, fileName: `${kFolder}/${failing}`, kind: "folder" });
    assert.deepEqual(await rowState(`${renamed}${kSuffix[4]}`), { checked: false, fileName: `${kFolder}/${renamed}${kSuffix[4]}`, kind: "disguised" });
    assert.ok(await page.evaluate(() => document.getElementById("selAllBut").indeterminate));
});

test("a folder with two disguises is restored in one step", async () => {
    await setChecked([failing], false);
    await setChecked([kStacked]);
    await toIconPage();
    await page.check('input[name="iconChange"][value="restore"]');
    await expectMessage("#btnFolderDisguise", "ERROR_RESTORED");
    assert.ok(existsSync(sandbox.host(`${kFolder}/X`)));
    assert.ok(!existsSync(sandbox.host(`${kFolder}/${kStacked}`)));
    // Nothing is checked any more.
    await page.check('input[name="iconChange"][value="disguise"]');
    await expectMessage("#btnFolderDisguise", "CHOOSE_FOLDERS");
    await backToList();
    assert.deepEqual(await rowState("X"), { checked: false, fileName: `${kFolder}/X`, kind: "folder" });
});

test("a restore whose plain name is taken fails and leaves its row as it was", async () => {
    await setChecked([kTaken, `${renamed}${kSuffix[4]}`]);
    await toIconPage();
    await page.check('input[name="iconChange"][value="restore"]');
    await expectMessage("#btnFolderDisguise", "ERROR_RESTORE");
    await backToList();
    assert.deepEqual(await rowState(kTaken), { checked: true, fileName: `${kFolder}/${kTaken}`, kind: "disguised" });
    assert.deepEqual(await rowState(renamed), { checked: false, fileName: `${kFolder}/${renamed}`, kind: "folder" });
    assert.ok(existsSync(sandbox.host(`${kFolder}/${kTaken}`)));
    assert.ok(existsSync(sandbox.host(`${kFolder}/${renamed}`)));
    assert.deepEqual(program.pageErrors, []);
});
