// The file list of the function screens: typed paths, per-function filters,
// the header check box, the loading overlay, drops, the file picker's filter
// and the task queue, on one running program.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { mkdirSync, statSync, writeFileSync } from "node:fs";
import { catalogues, screenshot, untranslatedKeys } from "./support/program.mjs";
import { answerMessageBox, endMainWindow, openScreen, setLanguage, startMainWindow } from "./support/screens.mjs";

const kDisguise = ".{645FF040-5081-101B-9F08-00AA002F954E}";

let sandbox;
let program;
let page;

before(async () => {
    ({ sandbox, program, page } = await startMainWindow((files) => {
        for (const folder of ["only", "mix/sub", `mix/sub${kDisguise}`, "q", "enc", "busy"]) mkdirSync(files.host(`C:/Data/${folder}`), { recursive: true });
        mkdirSync(files.host("C:/Home/docs"));
        writeFileSync(files.host("C:/Home/docs/note.txt"), "note");
        const contents = {
            "only/a.xep": "a", "only/b.xep": "b",
            "mix/a.xep": "a", "mix/b.xep": "b", "mix/plain.txt": "p",
            "q/one.txt": "1", "q/two.txt": "2", "q/three.txt": "3",
            "enc/secret.txt": "secret", "enc/damaged.xep": "not a container",
            "busy/victim.txt": "v",
        };
        for (const [name, text] of Object.entries(contents)) writeFileSync(files.host(`C:/Data/${name}`), text);
        // Large enough that its encryption still runs when the next call comes.
        writeFileSync(files.host("C:/Data/big.bin"), Buffer.alloc(24 << 20, 7));
    }));
});

after(() => endMainWindow(sandbox));

async function typePath(text) {
    await page.fill("#inputFilePath", text);
    await page.press("#inputFilePath", "Enter");
}

const listed = () => page.$$eval("#paritionInfo tr", (rows) => rows.map((row) => {
    const box = row.querySelector(".btnCheckbox");
    return [row.querySelector("td.name").getAttribute("fileName"), box.checked, box.disabled];
}));

async function waitForRows(count) {
    await page.waitForFunction((n) => document.querySelectorAll("#paritionInfo tr").length === n, count);
}

const header = () => page.$eval("#selAllBut", (box) => [box.checked, box.indeterminate]);

test("a screen opens on the home folder with nothing checked, then on the folder last listed", async () => {
    await openScreen(page, 0);
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Home/docs']"));
    assert.equal(await page.inputValue("#inputFilePath"), "C:\\Home");
    assert.deepEqual(await listed(), [["C:/Home/docs", false, false]]);
    assert.equal(await page.locator("#divDropUi").isVisible(), false);
    // What the user lists is checked as the function wants, and remembered.
    await typePath("C:/Data/q");
    await waitForRows(3);
    assert.ok((await listed()).every(([, checked]) => checked));
    await openScreen(page, 4);
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data/q/one.txt']"));
    assert.ok((await listed()).every(([, checked]) => !checked));
});

test("host paths, ~ and file:// addresses list through the drive table; up one level by button and keys", async () => {
    await openScreen(page, 3);
    const currPath = () => page.getAttribute("#inputFilePath", "currPath");
    for (const [typed, folder] of [
        [sandbox.host("C:/Data/q"), "C:/Data/q"],
        ["~/docs", "C:/Home/docs"],
        ["~", "C:/Home"],
        [`file://${encodeURI(sandbox.host("C:/Data/mix"))}/`, "C:/Data/mix"],
    ]) {
        await typePath(typed);
        // The field shows the listed folder in Windows form once the listing is in.
        await page.waitForFunction((path) => {
            const field = document.getElementById("inputFilePath");
            return field.getAttribute("currPath") === path && field.value === path.replace(/\//g, "\\")
                && document.querySelector("#paritionInfo tr") !== null;
        }, folder);
    }

    await page.click("#btnUp");
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data/mix']"));
    assert.equal(await currPath(), "C:/Data");
    // Backspace goes up outside a text field only.
    await page.press("#inputFilePath", "Backspace");
    assert.equal(await currPath(), "C:/Data");
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press("Backspace");
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data']"));
    assert.equal(await currPath(), "C:");
    await page.keyboard.press("Alt+ArrowLeft");
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='D:']"));
    assert.equal(await currPath(), "");
});

test("typed paths are normalised and a quick listing never shows the overlay", async () => {
    await openScreen(page, 3);
    await page.evaluate(() => {
        window.overlayShown = false;
        new MutationObserver(() => {
            if (!document.getElementById("loadingFile").hidden) window.overlayShown = true;
        }).observe(document.getElementById("loadingFile"), { attributes: true });
    });
    for (const typed of ["file://C:/Data/", "  C:\\Data\\ ", "file:///c:/Data"]) {
        await page.evaluate(() => document.getElementById("paritionInfo").replaceChildren());
        await typePath(typed);
        await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data/q']"));
        assert.equal(await page.getAttribute("#inputFilePath", "currPath"), "C:/Data", typed);
        assert.equal(await page.inputValue("#inputFilePath"), "C:\\Data");
    }
    assert.equal(await page.evaluate(() => window.overlayShown), false);

    // A relative path, a missing one and one that no drive reaches empty the
    // list and say why; "" is the drive list.
    for (const [typed, key] of [["Data", "PATH_TYPE_FULL"], ["C:/Data/missing", "PATH_NOT_FOUND"],
        ["/outside/every/drive", "PATH_NOT_MAPPED"]]) {
        await typePath(typed);
        assert.equal(await answerMessageBox(page), key, typed);
        assert.equal(await page.locator("#paritionInfo tr").count(), 0, typed);
    }
    await typePath("");
    await waitForRows(2);
    assert.deepEqual((await listed()).map(([name]) => name), ["C:", "D:"]);
    // Each drive says what it stands for here, with the size of its file system.
    await page.waitForFunction(() => [...document.querySelectorAll("#paritionInfo td.name")].every((cell) => cell.textContent.includes("(")));
    const drives = await page.$$eval("#paritionInfo tr", (rows) => rows.map((row) => [
        row.querySelector("td.name").textContent, row.querySelector("td.size").textContent]));
    assert.deepEqual(drives.map(([name]) => name), [`C: (${sandbox.root}/c)`, `D: (${sandbox.root}/d)`]);
    for (const [, size] of drives) assert.match(size, /^\d+\.\d\d [KMGT]?B$/);
    assert.ok(drives.every(([, size]) => size !== "0.00 B"));
    assert.equal(await page.locator("#paritionInfo .btnCheckbox").first().isVisible(), false);
    assert.equal(await page.locator("#selAllBut").isVisible(), false);
    await page.dblclick("#paritionInfo td.name[fileName='C:']");
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data']"));

    // Rows name no request: a listing asked for while another is awaited
    // waits, and the earlier rows are never shown under the later path.
    await page.evaluate(() => {
        window.shownNames = [];
        new MutationObserver((records) => {
            for (const record of records) {
                for (const row of record.addedNodes) window.shownNames.push(row.querySelector("td.name").getAttribute("fileName"));
            }
        }).observe(document.getElementById("paritionInfo"), { childList: true });
        Base.setAttriAndRef("C:/Data/mix");
        Base.setAttriAndRef("C:/Data/q");
    });
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data/q/one.txt']"));
    assert.deepEqual([...new Set(await page.evaluate(() => window.shownNames))],
        ["C:/Data/q/one.txt", "C:/Data/q/three.txt", "C:/Data/q/two.txt"]);

    for (const code of ["en", "zh"]) {
        await page.evaluate((language) => {
            window.language = language;
            document.getElementById("loadingFile").hidden = false;
        }, code);
        assert.deepEqual(await untranslatedKeys(page), []);
        await screenshot(page, `loading-${code}`);
    }
    await page.evaluate(() => {
        window.language = "en";
        document.getElementById("loadingFile").hidden = true;
    });
});

test("the encrypt function reports a folder of containers only as empty", async () => {
    await openScreen(page, 0);
    await typePath("C:\\Data\\only");
    assert.equal(await answerMessageBox(page), "LIST_EMPTY");
    assert.equal(await page.locator("#paritionInfo tr").count(), 0);
});

test("the decrypt function checks containers, disables folders, hides files, and the header box follows", async () => {
    await openScreen(page, 1);
    await typePath("C:/Data/mix");
    await waitForRows(4);
    assert.deepEqual(await listed(), [
        ["C:/Data/mix/a.xep", true, false],
        ["C:/Data/mix/b.xep", true, false],
        ["C:/Data/mix/sub", false, true],
        [`C:/Data/mix/sub${kDisguise}`, false, true],
    ]);
    assert.deepEqual(await header(), [true, false]);
    await page.click("#paritionInfo tr:nth-child(1) .btnCheckbox");
    assert.deepEqual(await header(), [false, true]);
    await page.click("#paritionInfo tr:nth-child(2) .btnCheckbox");
    assert.deepEqual(await header(), [false, false]);
    await page.click("#selAllBut");
    assert.deepEqual((await listed()).map(([, checked]) => checked), [true, true, false, false]);
    assert.deepEqual(await header(), [true, false]);
    await screenshot(page, "filelist-decrypt-en");

    // The file picker offers containers only, and picked files are listed
    // in their folder.
    await page.click("#fileOpen");
    const picker = page.locator("[data-lockora-layer='file-picker']");
    await picker.locator("li[data-name='a.xep']").waitFor();
    assert.equal(await picker.locator("li[data-name='plain.txt']").count(), 0);
    await picker.locator("li[data-name='b.xep']").click();
    await picker.locator("button[data-action='ok']").click();
    await waitForRows(1);
    assert.deepEqual(await listed(), [["C:/Data/mix/b.xep", true, false]]);
    assert.equal(await page.inputValue("#inputFilePath"), "C:\\Data\\mix");
});

test("a drop of one item lists it; of several, the folder of the first with each dropped item checked", async () => {
    await openScreen(page, 4);
    const drop = (uris, accept = "*") => page.evaluate(([list, pattern]) => {
        const zone = document.querySelector(".file-drop-zone");
        zone.setAttribute("accept-drop", pattern);
        const transfer = new DataTransfer();
        transfer.setData("text/uri-list", list.join("\r\n"));
        document.getElementById("divDropUi").dispatchEvent(new DragEvent("dragenter", { dataTransfer: transfer, bubbles: true, cancelable: true }));
        const active = zone.classList.contains("active-target");
        zone.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
        return [active, zone.classList.contains("active-target")];
    }, [uris, accept]);
    const settled = () => page.evaluate(() => view.GetLang()); // every call the drop made has answered

    await page.evaluate(() => Base.setAttriAndRef("C:/Data/only"));
    await waitForRows(2);
    // Off the drives, gone, or not matching the zone: nothing changes.
    assert.deepEqual(await drop(["file:///home/user/q.txt", "file:///C:/Data/q/gone.txt"]), [true, false]);
    await drop(["file:///C:/Data/q/two.txt"], "*.xep");
    await settled();
    assert.equal(await page.getAttribute("#inputFilePath", "currPath"), "C:/Data/only");

    // One file, named by its host path as a file manager does, lists itself.
    await drop(["# a comment", `file://${encodeURI(sandbox.host("C:/Data/q/two.txt"))}`]);
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name")?.getAttribute("fileName") === "C:/Data/q/two.txt");
    assert.deepEqual(await listed(), [["C:/Data/q/two.txt", false, false]]);

    await drop(["file:///C:/Data/q/one.txt", "file:///C:/Data/q/three.txt"]);
    await waitForRows(3);
    assert.deepEqual(await listed(), [
        ["C:/Data/q/one.txt", true, false], ["C:/Data/q/three.txt", true, false], ["C:/Data/q/two.txt", false, false]]);
    assert.deepEqual(await header(), [false, true]);

    // Items of another folder cannot show in this list: the user is told.
    await drop(["file:///C:/Data/q/two.txt", "file:///C:/Data/mix/plain.txt", "file:///C:/Data/q/one.txt"]);
    assert.equal(await answerMessageBox(page), "DROP_SEVERAL_FOLDERS");
    await page.waitForFunction(() => document.querySelector("#paritionInfo tr:nth-child(3) .btnCheckbox")?.checked);
    assert.deepEqual((await listed()).map(([, checked]) => checked), [true, false, true]);
});

test("the pickers speak the page's language, show its icons and work by keyboard", async () => {
    await openScreen(page, 3);
    await typePath("C:/Data");
    await page.waitForFunction(() => document.querySelector("#paritionInfo td.name[fileName='C:/Data/q']"));
    for (const [opener, kind] of [["#fileOpen", "file"], ["#folderOpen", "folder"]]) {
        const picker = page.locator(`[data-lockora-layer='${kind}-picker']`);
        for (const code of ["en", "zh"]) {
            await setLanguage(page, code);
            await page.click(opener);
            await picker.locator("li[data-name='q']").waitFor();
            assert.equal(await picker.locator("[part~='field']").inputValue(), "C:\\Data");
            assert.equal(await picker.locator("li[data-name='big.bin']").count(), kind === "file" ? 1 : 0);
            assert.equal(await picker.locator("button[data-action='ok']").textContent(),
                { file: { en: "Open", zh: "打开" }, folder: { en: "Select folder", zh: "选择文件夹" } }[kind][code]);
            if (kind === "file")
                assert.deepEqual(await picker.locator("select option").allTextContents(), [code === "en" ? "All files (*.*)" : "所有文件 (*.*)"]);
            // The program's own icons, not a glyph that a font may lack.
            const icon = await picker.locator("li[data-name='q'] [part~='icon']").evaluate((element) => getComputedStyle(element).maskImage);
            assert.match(icon, /icon-folder\.svg/);
            assert.equal(await picker.evaluate((host) => /[\u{1F300}-\u{1FAFF}]/u.test(host.shadowRoot.textContent)), false);
            await screenshot(page, `picker-${kind}-${code}`);
            await page.keyboard.press("Escape");
            await picker.waitFor({ state: "detached" });
        }
    }
    await setLanguage(page, "en");

    // Letters jump, Enter opens a folder, Backspace goes back up to it,
    // arrows select, Control moves without selecting, Space adds, Enter chooses.
    const files = page.locator("[data-lockora-layer='file-picker']");
    await page.click("#fileOpen");
    await files.locator("li[data-name='q']").waitFor();
    await page.keyboard.press("q");
    await page.keyboard.press("Enter");
    await files.locator("li[data-name='one.txt']").waitFor();
    await page.keyboard.press("Backspace");
    await files.locator("li[data-name='q'][part~='active']").waitFor();
    await page.keyboard.press("Enter");
    await files.locator("li[data-name='one.txt'][part~='active']").waitFor();
    await page.keyboard.press("ArrowDown");
    await page.keyboard.press("Control+ArrowDown");
    await page.keyboard.press("Space");
    await page.keyboard.press("Enter");
    await waitForRows(2);
    assert.deepEqual((await listed()).map(([name]) => name).sort(), ["C:/Data/q/three.txt", "C:/Data/q/two.txt"]);

    // The folder picker chooses the folder it shows.
    const folders = page.locator("[data-lockora-layer='folder-picker']");
    await page.click("#folderOpen");
    await folders.locator("[part~='status']").filter({ hasText: "Nothing to show" }).waitFor();
    await page.keyboard.press("Alt+ArrowLeft");
    await folders.locator("li[data-name='q'][part~='active']").waitFor();
    await page.keyboard.press("m");
    await page.keyboard.press("Enter");
    await folders.locator("li[data-name='sub']").waitFor();
    await page.keyboard.press("Tab");
    await page.keyboard.press("Enter");
    await page.waitForFunction(() => document.getElementById("inputFilePath").getAttribute("currPath") === "C:/Data/mix");
});

test("a queue of three rows runs them one after the other and shows three results", async () => {
    await openScreen(page, 4);
    await typePath("C:/Data/q");
    await waitForRows(3);
    await page.click("#selAllBut");
    await page.evaluate(() => {
        window.notified = [];
        const handler = window.BackupServiceCallUI;
        window.BackupServiceCallUI = (message) => {
            window.notified.push([message[0], Base.currTr?.querySelector("td.name").textContent]);
            return handler(message);
        };
        Base.workFlag = WORK_FLAG.ATTRIBUTE;
        Base.init(1, Base.checkedRows());
        Base.execute();
    });
    await page.waitForFunction(() => document.querySelectorAll("#finishedInfo tr").length === 3);
    const finishes = await page.evaluate(() => window.notified.filter(([id]) => id === 16).map(([, name]) => name));
    assert.deepEqual(finishes, ["one.txt", "three.txt", "two.txt"]);
    // Each row's progress comes after the previous row's finish.
    const order = await page.evaluate(() => window.notified.map(([, name]) => name));
    assert.deepEqual(order.filter((name, i) => name !== order[i - 1]), ["one.txt", "three.txt", "two.txt"]);
    const results = await page.$$eval("#finishedInfo tr", (rows) => rows.map((row) => [row.cells[0].textContent, row.cells[1].className]));
    assert.deepEqual(results.map(([name]) => name), ["one.txt", "three.txt", "two.txt"]);
    assert.ok(results.every(([, status]) => status.includes("color") && !status.includes("color-red")));
    assert.equal(await page.locator("#finishedInfo tr td.color").first().textContent(), catalogues.en.FINISHED_SETTING);
    assert.equal(await page.evaluate(() => Base.workFlag), 0);
    for (const name of ["one", "two", "three"]) assert.equal(statSync(sandbox.host(`C:/Data/q/${name}.txt`)).mode & 0o222, 0);
});

// Runs the checked rows as the task `flag` with `password`, as a screen does.
async function runQueue(flag, password) {
    await page.evaluate(([work, value]) => {
        Base.workFlag = work;
        Base.init(value, Base.checkedRows());
        Base.execute();
    }, [flag, password]);
}

const results = () => page.$$eval("#finishedInfo tr", (rows) => rows.map((row) => [
    row.cells[0].textContent, row.cells[1].textContent, row.cells[1].classList.contains("color-red")]));

test("the notifications decide each row: success, wrong password, damaged container", async () => {
    await openScreen(page, 0);
    await typePath("C:/Data/enc");
    await waitForRows(1);
    await runQueue(1, "secret-1");
    await page.waitForFunction(() => document.querySelectorAll("#finishedInfo tr").length === 1);
    assert.deepEqual(await results(), [["secret.txt", catalogues.en.ERROR_ENCRYPTED, false]]);

    await openScreen(page, 1);
    await typePath("C:/Data/enc");
    // The screen opened on this folder with nothing checked; the typed
    // listing checks the containers.
    await page.waitForFunction(() => document.getElementById("selAllBut").checked);
    await runQueue(2, "wrong-password");
    await page.waitForFunction(() => document.querySelectorAll("#finishedInfo tr").length === 2);
    assert.deepEqual(await results(), [
        ["damaged.xep", catalogues.en.ERROR_DESTROY, true],
        ["secret.txt.xep", catalogues.en.ERROR_PW, true],
    ]);
});

test("a row refused because another operation runs fails at once and the queue ends", async () => {
    await openScreen(page, 3);
    await typePath("C:/Data/busy");
    await waitForRows(1);
    await page.click("#selAllBut");
    await page.evaluate(() => {
        view.Encrypted(["secret-1", ["C:/Data/big.bin"]]);
        Base.workFlag = WORK_FLAG.DELETE;
        Base.init("", Base.checkedRows());
        Base.execute();
    });
    await page.waitForFunction(() => document.querySelectorAll("#finishedInfo tr").length === 1);
    const status = page.locator("#finishedInfo tr td.color-red");
    assert.equal(await status.textContent(), catalogues.en.WORK_ENCRYPT);
    assert.ok(statSync(sandbox.host("C:/Data/busy/victim.txt")).isFile());
    assert.equal(await page.evaluate(() => Base.workFlag), 0);
    assert.deepEqual(program.pageErrors, []);
});
