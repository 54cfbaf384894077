// The "Shred Files" screen in the real program: the confirmation, the rows
// shredded one request after the other, a file that cannot be shredded, and
// the pages on the way, in English and Chinese.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { chmodSync, existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { screenshot, untranslatedKeys } from "./support/program.mjs";
import {
    answerMessageBox, endMainWindow, listFolder, messageBox, openScreen, pressInBox, setLanguage, startMainWindow,
} from "./support/screens.mjs";

const kFolder = "C:/Data/Shred";
const kContent = "secret ".repeat(10000); // several 2 KB blocks: progress notifications

let sandbox;
let program;
let page;

before(async () => {
    ({ sandbox, program, page } = await startMainWindow((files) => {
        mkdirSync(files.host(kFolder), { recursive: true });
        for (const name of ["a.txt", "c.txt", "keep.txt", "locked.txt"]) writeFileSync(files.host(`${kFolder}/${name}`), kContent);
        // No write permission bit: the file is read-only, which the shredder cannot open.
        chmodSync(files.host(`${kFolder}/locked.txt`), 0o444);
    }));
    await openScreen(page, 3);
});

after(() => endMainWindow(sandbox));

async function check(names) {
    for (const name of names) await page.locator("#paritionInfo tr", { has: page.locator(`td.name[title="${name}"]`) }).locator(".btnCheckbox").check();
}

test("the list page shows the folder's files, translated", async () => {
    await screenshot(page, "delete-empty-en");
    await listFolder(page, kFolder);
    const names = await page.locator("#paritionInfo td.name").allTextContents();
    assert.deepEqual(names.toSorted(), ["a.txt", "c.txt", "keep.txt", "locked.txt"]);
    assert.equal(await page.locator("#paritionInfo .btnCheckbox:checked").count(), 0, "rows start unchecked");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "delete-list-en");
    await setLanguage(page, "zh");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "delete-list-zh");
    await setLanguage(page, "en");
});

test("nothing checked: CHOOSE_FILE, and nothing starts", async () => {
    await page.click(".btnDeleteToProgress");
    assert.equal(await answerMessageBox(page), "CHOOSE_FILE");
    assert.equal(await page.evaluate(() => Base.workFlag), 0);
});

test("No in the confirmation starts nothing", async () => {
    await page.evaluate(() => {
        const original = window.BackupServiceCallUI;
        window.seenMessages = [];
        window.BackupServiceCallUI = (message) => {
            window.seenMessages.push(message);
            return original(message);
        };
    });
    await check(["a.txt", "locked.txt", "c.txt"]);
    await page.click(".btnDeleteToProgress");
    const { frame, key } = await messageBox(page);
    assert.equal(key, "DEL_COMFIGURE_MSG");
    assert.deepEqual(await frame.locator(".dialog-buttons button:visible").evaluateAll((buttons) => buttons.map((b) => b.id)), ["btnYes", "btnNo"]);
    assert.deepEqual(await untranslatedKeys(frame), []);
    await screenshot(page, "delete-confirm-en");
    await pressInBox(page, frame, "#btnNo");
    assert.equal(await page.locator(".btnDeleteToProgress").count(), 1, "the list page stays");
    assert.equal(await page.locator("#paritionInfo .btnCheckbox:checked").count(), 3);
    assert.equal(await page.evaluate(() => Base.workFlag), 0);
    assert.deepEqual(await page.evaluate(() => window.seenMessages), []);
    assert.ok(existsSync(sandbox.host(`${kFolder}/a.txt`)));
});

test("Yes shreds the checked rows one request after the other; a read-only file fails alone", async () => {
    const order = await page.locator("#paritionInfo tr:has(.btnCheckbox:checked) td.name")
        .evaluateAll((cells) => cells.map((cell) => cell.getAttribute("fileName")));
    assert.equal(order.length, 3);
    // The worker waits for the page's answer: holding the first progress
    // message keeps the progress page on screen.
    await page.evaluate(() => {
        const recorded = window.BackupServiceCallUI;
        let release;
        window.progressHeld = new Promise((resolve) => { release = resolve; });
        window.releaseProgress = release;
        window.BackupServiceCallUI = async (message) => {
            const answer = recorded(message);
            if (message[0] === 10 && !window.heldOnce) {
                window.heldOnce = true;
                await window.progressHeld;
            }
            return answer;
        };
    });
    await setLanguage(page, "zh");
    await page.click(".btnDeleteToProgress");
    const { frame } = await messageBox(page);
    assert.deepEqual(await untranslatedKeys(frame), []);
    await screenshot(page, "delete-confirm-zh");
    await pressInBox(page, frame, "#btnYes");

    await page.waitForFunction(() => window.heldOnce && document.querySelector("#taskProgress .pFileName")?.textContent !== "");
    assert.equal(await page.locator("#taskProgress .pFileName").textContent(), order[0].split("/").pop());
    assert.match(await page.locator("#taskProgress .pPercentage").textContent(), /^\d+%$/);
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "delete-progress-zh");
    await setLanguage(page, "en");
    await screenshot(page, "delete-progress-en");

    // Another start while the task runs is refused with the running one's message.
    await openScreen(page, 3);
    await listFolder(page, kFolder);
    await check(["keep.txt"]);
    await page.click(".btnDeleteToProgress");
    const refused = await messageBox(page);
    assert.equal(refused.key, "WORK_DELETE");
    await pressInBox(page, refused.frame, "#btnOK");

    // The screen the user went to stays when the task ends; the header's
    // notice brings the results.
    await page.evaluate(() => window.releaseProgress());
    await page.waitForSelector("#taskIndicator.done");
    assert.equal(await page.locator(".btnDeleteToProgress").count(), 1);
    await page.click("#taskIndicator");
    await page.waitForSelector("#finishedInfo tr:nth-child(3)");
    assert.equal(await page.evaluate(() => Base.workFlag), 0);

    // One finish per row, in table order, each after its own progress only.
    const messages = await page.evaluate(() => window.seenMessages.map(([id, param]) => [id, id === 12 ? param : param?.[0]]));
    const requests = [];
    let current = [];
    for (const [id, path] of messages) {
        current.push([id, path.replace(/\\/g, "/")]);
        if (id === 12) {
            requests.push(current);
            current = [];
        }
    }
    assert.deepEqual(current, []);
    assert.deepEqual(requests.map((request) => request.at(-1)[1]), order);
    for (const request of requests) {
        const path = request.at(-1)[1];
        assert.ok(request.every(([id, from]) => (id === 10 || id === 12) && from === path), `${path}: ${JSON.stringify(request)}`);
    }

    const results = await page.locator("#finishedInfo tr").evaluateAll((rows) => rows.map((row) => [
        row.cells[0].textContent, row.cells[1].dataset.key, row.cells[1].className.includes("color-red") ? "red" : "ok"]));
    const expected = order.map((path) => {
        const name = path.split("/").pop();
        return name === "locked.txt" ? [name, "ERROR_DELETE", "red"] : [name, "ERROR_DELETED", "ok"];
    });
    assert.deepEqual(results, expected);
    assert.ok(!existsSync(sandbox.host(`${kFolder}/a.txt`)));
    assert.ok(!existsSync(sandbox.host(`${kFolder}/c.txt`)));
    assert.equal(readFileSync(sandbox.host(`${kFolder}/locked.txt`), "utf8"), kContent, "the read-only file is untouched");
    assert.ok(existsSync(sandbox.host(`${kFolder}/keep.txt`)), "the refused start shredded nothing");

    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "delete-task-en");
    await setLanguage(page, "zh");
    await screenshot(page, "delete-task-zh");
    await setLanguage(page, "en");
    await page.click(".btnHome");
    await page.waitForSelector("#ulTab");
    assert.deepEqual(program.pageErrors, []);
});
