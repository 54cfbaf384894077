// The main window: header menus, language, close, second start, the
// context-menu switch, the About dialog and a container opened from the file
// manager.
import { after, test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { catalogues, closeBrowser, dialogClosed, dialogFrame, screenshot, untranslatedKeys, withSandbox } from "./support/program.mjs";
import { answerMessageBox } from "./support/screens.mjs";

after(closeBrowser);

async function homeShown(page, code) {
    await page.waitForFunction((text) => document.querySelector(".home-tiles .tile label")?.textContent === text,
        catalogues[code].ENCRYPT);
}

async function openMenu(page) {
    await page.click(".nav-button");
    await page.locator("#liAbout").waitFor();
}

async function chooseLanguage(page, code) {
    await openMenu(page);
    await page.click(".submenu-opener");
    await page.click(`#muLang [hreflang="${code}"]`);
}

// Native calls run one at a time in order: once this answers, every call the
// page made before it has finished.
async function nativeCallsDone(page) {
    await page.evaluate(() => view.GetLang());
}

test("the menu switches the language at once, a restart keeps it, and closing asks first", withSandbox(async (sandbox) => {
    let program = await sandbox.start();
    let { page } = program;
    await homeShown(page, "en");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "main-home-en");
    await openMenu(page);
    await page.click(".submenu-opener");
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "main-menu-en");
    assert.equal(await page.locator('#muLang [hreflang="de"]').isVisible(), false);

    await page.click('#muLang [hreflang="zh"]');
    await homeShown(page, "zh");
    assert.equal(await page.locator("#textCompany").textContent(), catalogues.zh.COMPAENY);
    assert.deepEqual(await untranslatedKeys(page), []);
    await screenshot(page, "main-home-zh");
    await openMenu(page);
    await page.click(".submenu-opener");
    await screenshot(page, "main-menu-zh");
    await page.keyboard.press("Escape");
    await nativeCallsDone(page);
    assert.match(readFileSync(sandbox.host("C:/App/config.ini"), "utf8"), /LANG=zh/);

    await page.click("#btnClose");
    const question = await dialogFrame(page, "asynmsgbox.html");
    assert.equal(await question.locator("#msgContent").textContent(), catalogues.zh.IS_CLOSE_RUN_APP);
    await answerMessageBox(page, "#btnNo");
    await nativeCallsDone(page);
    assert.equal(program.child.exitCode, null);
    await page.click("#btnClose");
    await answerMessageBox(page, "#btnYes");
    assert.equal(await program.exitCode(), 0);

    program = await sandbox.start();
    ({ page } = program);
    await homeShown(page, "zh");
    await chooseLanguage(page, "en");
    await homeShown(page, "en");
    assert.deepEqual(program.pageErrors, []);
}));

test("a second start reports the running copy in its own window and ends on OK", withSandbox(async (sandbox) => {
    const first = await sandbox.start();
    await homeShown(first.page, "en");
    const second = await sandbox.start();
    const box = await dialogFrame(second.page, "asynmsgbox.html");
    await box.locator("#msgContent").waitFor();
    assert.equal(await box.locator("#msgContent").getAttribute("data-key"), "PROGRAM_HAD_RUN");
    assert.equal(await box.locator("#msgContent").textContent(), catalogues.en.PROGRAM_HAD_RUN);
    assert.equal(await box.locator("#btnYes").isVisible(), false);
    assert.equal(await second.page.locator(".main-header").isVisible(), false);
    await screenshot(second.page, "main-had-run-en");
    await box.locator("#btnOK").click();
    assert.equal(await second.exitCode(), 0);
    // The first copy runs on.
    await nativeCallsDone(first.page);
    assert.equal(first.child.exitCode, null);
}));

test("ADD_MENU starts unchecked even when registered and writes and removes the verbs", withSandbox(async (sandbox) => {
    const classes = join(sandbox.root, "registry", "classes.reg");
    const verbs = () => {
        const text = existsSync(classes) ? readFileSync(classes, "utf8") : "";
        return ["Encrypted With Ombrix Lockora Sentinex", "Delete completely With Ombrix Lockora Sentinex",
            "Decrypted With Ombrix Lockora Sentinex", "mmeptfile\\\\shell\\\\Open"].filter((verb) => text.includes(verb));
    };
    const checkShown = (page) => page.$eval("#liAddMenu .check-mark", (mark) => getComputedStyle(mark).visibility === "visible");

    let program = await sandbox.start();
    await openMenu(program.page);
    assert.equal(await program.page.getAttribute("#liAddMenu", "vShow"), "0");
    await program.page.click("#liAddMenu");
    await nativeCallsDone(program.page);
    assert.equal(verbs().length, 4);
    await program.stop();

    program = await sandbox.start();
    const { page } = program;
    await openMenu(page);
    assert.equal(await page.getAttribute("#liAddMenu", "vShow"), "0");
    assert.equal(await checkShown(page), false);
    await page.click("#liAddMenu");
    await openMenu(page);
    assert.equal(await checkShown(page), true);
    await page.click("#liAddMenu");
    await nativeCallsDone(page);
    assert.deepEqual(verbs(), []);
    await openMenu(page);
    assert.equal(await page.getAttribute("#liAddMenu", "vShow"), "0");
}));

test("the About dialog shows the program's version and gives the window back on close", withSandbox(async (sandbox) => {
    const project = readFileSync(new URL("../../CMakeLists.txt", import.meta.url), "utf8");
    const parts = /project\(\w+ VERSION ([\d.]+)/.exec(project)[1].split(".");
    const version = [0, 1, 2, 3].map((index) => parts[index] ?? "0").join(".");

    const { page } = await sandbox.start();
    for (const code of ["en", "zh"]) {
        await chooseLanguage(page, code);
        await homeShown(page, code);
        await openMenu(page);
        await page.click("#liAbout");
        const about = await dialogFrame(page, "about.html");
        await about.waitForFunction((text) => document.getElementById("txtVersion").textContent === text, version);
        assert.equal(await page.locator("[data-lockora-disabled]").count(), 1);
        assert.deepEqual(await untranslatedKeys(about), []);
        assert.equal(await about.locator('a[type="support"]').getAttribute("href"), catalogues[code].HTTP_SUPPORT);
        await screenshot(page, `about-${code}`);
        await about.locator("#btnOK").click();
        await dialogClosed(page, "about.html");
        assert.equal(await page.locator("[data-lockora-disabled]").count(), 0);
    }
}));

test("the open verb shows the decrypt screen with that container checked", withSandbox(async (sandbox) => {
    mkdirSync(sandbox.host("C:/Data/sub"));
    for (const name of ["box.xep", "other.xep", "plain.txt"]) writeFileSync(sandbox.host(`C:/Data/${name}`), name);
    const { page } = await sandbox.start(["open", sandbox.host("C:/Data/box.xep")]);
    await page.waitForFunction(() => document.querySelectorAll("#paritionInfo tr").length === 3);
    assert.equal(await page.getAttribute(".boxcontent", "index"), "1");
    const rows = await page.$$eval("#paritionInfo tr", (trs) => trs.map((tr) => [
        tr.querySelector("td.name").getAttribute("fileName"),
        tr.querySelector(".btnCheckbox").checked,
        tr.querySelector(".btnCheckbox").disabled,
    ]));
    assert.deepEqual(rows, [
        ["C:/Data/box.xep", true, false],
        ["C:/Data/other.xep", false, false],
        ["C:/Data/sub", false, true],
    ]);
    assert.equal(await page.$eval("#selAllBut", (box) => box.indeterminate), true);
}));

test("with a program password the start asks for it, and cancelling ends the program", withSandbox(async (sandbox) => {
    let program = await sandbox.start();
    await homeShown(program.page, "en");
    await program.page.evaluate(async () => {
        const settings = await view.GetSettingInfo();
        settings[0] = true;
        await view.ChangeSettingInfo(settings.slice(0, 9));
        await view.SetSoftPassword(["", "secret-1"]);
    });
    await program.page.click("#btnClose");
    await answerMessageBox(program.page, "#btnYes");
    assert.equal(await program.exitCode(), 0);

    program = await sandbox.start();
    const check = await dialogFrame(program.page, "passwordcheck.html");
    await check.locator("#btnCheckCancel").click();
    assert.equal(await program.exitCode(), 0);
}));
