// The foundation of the screens: the message catalogue and the translation
// of marked elements, the language choice, the message box, dialogs and the
// maker's web links.
import { after, test } from "node:test";
import assert from "node:assert/strict";
import { chmodSync, readFileSync, watch, writeFileSync } from "node:fs";
import { join } from "node:path";
import { catalogues, closeBrowser, dialogClosed, dialogFrame, kBound, Sandbox, screenshot, untranslatedKeys } from "./support/program.mjs";

after(closeBrowser);

// The main page, once it shows its start language.
async function languageReady(page) {
    await page.waitForFunction(() => typeof Lang !== "undefined");
    await page.evaluate(() => Lang.ready);
}

const isBlocked = (page) => page.evaluate(() => document.querySelector("[data-lockora-disabled]") !== null);
const visibleButtons = (frame) => frame.evaluate(() =>
    [...document.querySelectorAll("button")].filter((button) => button.offsetParent !== null).map((button) => button.id));

test("the catalogues have the same keys, but for one English-only entry, in the same order", () => {
    const english = Object.keys(catalogues.en).filter((key) => key !== "CHANGE_ICON_FOR_FOLDER");
    assert.deepEqual(Object.keys(catalogues.zh), english);
    assert.ok("CHANGE_ICON_FOR_FOLDER" in catalogues.en);
    for (const [code, entries] of Object.entries(catalogues)) {
        for (const [key, text] of Object.entries(entries)) {
            assert.match(key, /^[A-Z0-9]+(_[A-Z0-9]+)*$/, `${code} ${key}`);
            assert.equal(typeof text, "string", `${code} ${key}`);
        }
    }
});

test("keys in markup and script are translated, and re-translated when the language changes", async (t) => {
    const sandbox = new Sandbox();
    t.after(() => sandbox.dispose());
    const program = await sandbox.start([]);
    const { page } = program;
    await languageReady(page);
    // A third catalogue with formatting entries, served for the "de" link.
    await page.route("**/tis/de.tis", (route) => route.fulfill({
        contentType: "application/json",
        body: '{ "COUNT": "# files, # folders", "PWD_ERROR": "Falsches Passwort!" }',
    }));

    await t.test("the catalogues are read as data under a policy that evaluates nothing", async () => {
        const policy = await page.evaluate(async () => (await fetch(location.href)).headers.get("content-security-policy"));
        assert.match(policy, /script-src 'self';/);
        assert.doesNotMatch(policy, /unsafe-eval/);
        await page.evaluate(() => (language = "zh"));
        assert.equal(await page.evaluate(() => Lang.x("PWD_ERROR")), "密码错误！");
        await page.evaluate(() => (language = "en"));
        assert.deepEqual(program.pageErrors, []);
    });

    await t.test("script translation", async () => {
        const texts = await page.evaluate(() => {
            language = "en";
            return [Lang.translate("PWD_ERROR"), Lang.x("DELETE_FILE_FUN", "C:/a<b>.txt"), Lang.x("COMPONENT_ERROR"),
                Lang.x("LINK_FACEBOOK"), Lang.x("toString")];
        });
        assert.deepEqual(texts, ["Wrong password!", "Are you sure to delete the file：C:/a<b>.txt?",
            "COMPONENT_ERROR", "", "toString"]);
        const german = await page.evaluate(() => {
            language = "de";
            return [Lang.x("COUNT", 3), Lang.x("COUNT"), Lang.x("PWD_ERROR"), Lang.x("HOME"), language];
        });
        assert.deepEqual(german, ["3 files, 3 folders", " files,  folders", "Falsches Passwort!", "HOME", "de"]);
    });

    await t.test("marked elements follow the language at once", async () => {
        await page.evaluate(() => {
            language = "en";
            const box = document.createElement("div");
            box.id = "marked";
            box.innerHTML = `<label id="l">PWD_ERROR</label><dfn id="d">CANCEL</dfn><span id="s" class="dfn">OK</span>
                <span id="t" title="HOME">x</span><input id="n" novalue="INPUT_PW_NULL">
                <var id="v" value="a.txt">DELETE_FILE_FUN</var><output id="o">LOG</output>
                <label id="c"><input type="checkbox"> SETTING_8</label><label id="m">CLOSE_COMPUTER</label>
                <div data-lang="off"><label id="off" title="HOME">HOME</label></div>`;
            document.body.append(box);
        });
        await page.waitForFunction(() => document.getElementById("l").textContent === "Wrong password!");
        const read = () => page.evaluate(() => {
            const text = (id) => document.getElementById(id).textContent;
            const input = document.getElementById("n");
            return {
                l: text("l"), d: text("d"), s: text("s"), t: document.getElementById("t").title,
                n: [input.getAttribute("novalue"), input.placeholder], v: text("v"), o: text("o"), c: text("c").trim(),
                box: document.querySelector("#c input") !== null, m: text("m"),
                off: [text("off"), document.getElementById("off").title], key: document.getElementById("l").dataset.key,
            };
        });
        assert.deepEqual(await read(), {
            l: "Wrong password!", d: "Cancel", s: "OK", t: "Home", n: ["Please enter your password.", "Please enter your password."],
            v: "Are you sure to delete the file：a.txt?", o: "Log", c: "Keep your original file.", box: true,
            m: "CLOSE_COMPUTER", off: ["HOME", "HOME"], key: "PWD_ERROR",
        });
        // The switch translates in the same task: no element shows the old language.
        const zh = await page.evaluate(() => {
            language = "zh";
            const text = (id) => document.getElementById(id).textContent;
            return [text("l"), text("d"), text("s"), document.getElementById("t").title, document.getElementById("n").placeholder,
                text("v"), text("o"), text("c").trim(), document.documentElement.lang, document.documentElement.dir];
        });
        assert.deepEqual(zh, ["密码错误！", "取消", "确定", "主页", "请输入密码。", "你确定删除文件：a.txt 吗?", "日志",
            "保留原文件", "zh", "ltr"]);
        // Text and attributes set later are new keys.
        await page.evaluate(() => {
            document.getElementById("l").textContent = "ERROR_PW";
            document.getElementById("t").setAttribute("title", "LOG");
            document.getElementById("v").setAttribute("value", "b.txt");
        });
        await page.waitForFunction(() => document.getElementById("l").textContent === "密码错误");
        assert.deepEqual(await page.evaluate(() => [document.getElementById("t").title, document.getElementById("v").textContent]),
            ["日志", "你确定删除文件：b.txt 吗?"]);
        await page.evaluate(() => (language = "en"));
        assert.deepEqual(await page.evaluate(() => [document.getElementById("l").textContent, document.getElementById("t").title]),
            ["Wrong password", "Log"]);
    });

    await t.test("a language without a link is refused and changes nothing", async () => {
        const outcome = await page.evaluate(() => {
            try {
                language = "ru";
                return "accepted";
            } catch {
                return [language, Lang.x("PWD_ERROR")];
            }
        });
        assert.deepEqual(outcome, ["en", "Wrong password!"]);
    });

    await t.test("the stored language is used when the page has a link for it", async () => {
        const result = await page.evaluate(async () => {
            await view.SetLang("fr");
            const french = await GetUseLang();
            language = french; // no catalogue file: English texts
            const shown = [language, Lang.x("PWD_ERROR")];
            await view.SetLang("ru");
            return [GetContainLang(), french, shown, await GetUseLang()];
        });
        assert.deepEqual(result, [["zh", "en", "jp", "fr", "de"], "fr", ["fr", "Wrong password!"], "en"]);
    });

    await t.test("screens load into a container and fail visibly", async () => {
        const result = await page.evaluate(async () => {
            const container = document.createElement("div");
            document.body.append(container);
            const seen = [];
            Screens.register("AsynMsgBox.html", async (content) => seen.push(content === container));
            await loadContacts(container, "missing-screen.html");
            const failed = container.textContent;
            // Of two overlapping loads the later one wins.
            await Promise.all([loadContacts(container, "asynmsgbox.html"), loadContacts(container, "missing-screen.html")]);
            const overlapped = container.textContent;
            await loadContacts(container, "asynmsgbox.html");
            return [failed, overlapped, container.querySelector("#msgContent") !== null,
                container.querySelector("script") !== null, container.querySelector("#btnOK").textContent, seen];
        });
        assert.deepEqual(result, ["COMPONENT_ERROR", "COMPONENT_ERROR", true, false, "OK", [true]]);
    });
    assert.deepEqual(program.pageErrors, []);
});

test("message box: buttons by flag, answers, keyboard, text-only messages", async (t) => {
    const sandbox = new Sandbox();
    t.after(() => sandbox.dispose());
    const program = await sandbox.start([]);
    const { page } = program;
    await languageReady(page);
    await page.evaluate(() => {
        language = "en";
        window.answers = [];
    });
    const open = async (flags, msg = "IS_CLOSE_RUN_APP") => {
        await page.evaluate(([buttons, text]) => SyncMessageBox("TIPS", text, buttons, "m1",
            (...answer) => window.answers.push(answer)), [flags, msg]);
        const frame = await dialogFrame(page, "asynmsgbox.html");
        await frame.waitForFunction(() => document.getElementById("msgCaption").textContent !== "");
        return frame;
    };
    const answers = () => page.evaluate(() => window.answers.splice(0));

    await t.test("YES and NO show exactly those buttons; YES answers 4 and enables the caller", async () => {
        const frame = await open(0x4 | 0x8);
        assert.deepEqual(await visibleButtons(frame), ["btnClose", "btnYes", "btnNo"]);
        assert.equal(await frame.locator("#msgContent").textContent(), "Do you really want to exit?");
        assert.equal(await frame.locator("#msgContent").getAttribute("data-key"), "IS_CLOSE_RUN_APP");
        assert.equal(await isBlocked(page), true);
        assert.deepEqual(await untranslatedKeys(frame), []);
        await screenshot(page, "asynmsgbox-en");
        await frame.click("#btnYes");
        await dialogClosed(page, "asynmsgbox.html");
        assert.deepEqual(await answers(), [["m1", 4]]);
        assert.equal(await isBlocked(page), false);
    });

    await t.test("CANCEL or SAVE alone show no button; closing calls nobody back", async () => {
        let frame = await open(0x2);
        assert.deepEqual(await visibleButtons(frame), ["btnClose"]);
        await frame.click("#btnClose");
        await dialogClosed(page, "asynmsgbox.html");
        frame = await open(0x40);
        assert.deepEqual(await visibleButtons(frame), ["btnClose"]);
        await frame.locator("#btnClose").press("Escape");
        await dialogClosed(page, "asynmsgbox.html");
        assert.deepEqual(await answers(), []);
        assert.equal(await isBlocked(page), false);
    });

    await t.test("Enter presses the first button, Escape closes", async () => {
        let frame = await open(0x4 | 0x8);
        await page.keyboard.press("Enter");
        await dialogClosed(page, "asynmsgbox.html");
        frame = await open(0x4 | 0x8);
        await frame.locator("#btnNo").focus();
        await frame.locator("#btnNo").press("Enter");
        await dialogClosed(page, "asynmsgbox.html");
        frame = await open(0x1);
        await frame.locator("#btnOK").press("Escape");
        await dialogClosed(page, "asynmsgbox.html");
        assert.deepEqual(await answers(), [["m1", 4], ["m1", 8]]);
        const asked = page.evaluate(() => askMessageBox("TIPS", "LOG", BTN_OK));
        frame = await dialogFrame(page, "asynmsgbox.html");
        await frame.waitForFunction(() => document.getElementById("msgContent").textContent === "Log");
        await frame.locator("#btnOK").press("Enter");
        assert.equal(await asked, 1);
    });

    await t.test("a message with markup characters is shown as text", async () => {
        const frame = await open(0x1, "C:/Data/<b>x</b>.txt");
        assert.equal(await frame.locator("#msgContent").textContent(), "C:/Data/<b>x</b>.txt");
        assert.equal(await frame.locator("#msgContent b").count(), 0);
        await frame.click("#btnOK");
        await dialogClosed(page, "asynmsgbox.html");
        assert.deepEqual(await answers(), [["m1", 1]]);
    });

    await t.test("a dialog speaks the main page's language", async () => {
        await page.evaluate(() => (language = "zh"));
        const frame = await open(0x4 | 0x8);
        assert.deepEqual(await frame.evaluate(() => [language, document.getElementById("msgCaption").textContent,
            document.getElementById("btnYes").textContent, document.getElementById("btnNo").textContent]),
        ["zh", "温馨提示", "确定", "取消"]);
        assert.deepEqual(await untranslatedKeys(frame), []);
        await screenshot(page, "asynmsgbox-zh");
        await frame.click("#btnNo");
        await dialogClosed(page, "asynmsgbox.html");
        assert.deepEqual(await answers(), [["m1", 8]]);
    });

    await t.test("closing a TipsPop dialog enables the page that opened it", async () => {
        const closed = page.evaluate(() => TipsPop(400, 220, "asynmsgbox.html", { parent: view, tips: "TIPS", msg: "LOG", btns: BTN_OK }));
        const frame = await dialogFrame(page, "asynmsgbox.html");
        await frame.waitForFunction(() => document.getElementById("msgContent").textContent === "日志");
        assert.equal(await isBlocked(page), true);
        await frame.click("#btnClose");
        assert.equal(await closed, undefined);
        assert.equal(await isBlocked(page), false);
    });
    assert.deepEqual(program.pageErrors, []);
});

test("typed links get the maker's addresses and open in the default browser", async (t) => {
    // A stand-in for xdg-open that records the addresses it is given.
    const sandbox = new Sandbox();
    t.after(() => sandbox.dispose());
    const launched = join(sandbox.root, "launched.txt");
    const opener = join(sandbox.root, "xdg-open");
    writeFileSync(opener, `#!/bin/sh\nprintf '%s\\n' "$1" > '${launched}.part' && mv '${launched}.part' '${launched}'\n`);
    chmodSync(opener, 0o755);
    const path = process.env.PATH;
    process.env.PATH = `${sandbox.root}:${path}`;
    let program;
    try {
        program = await sandbox.start([]);
    } finally {
        process.env.PATH = path;
    }
    const { page } = program;
    await languageReady(page);
    const hrefs = await page.evaluate(() => {
        const box = document.createElement("div");
        box.innerHTML = '<a id="h" type="home">x</a><a id="s" type="support">x</a><a id="f" type="facebook">x</a>'
            + '<a id="w" type="twitter">x</a><a id="g" type="help">x</a><a id="u" type="other">x</a>';
        document.body.prepend(box);
        CompanyRelatedLinks();
        return ["h", "s", "f", "w", "g", "u"].map((id) => document.getElementById(id).getAttribute("href"));
    });
    assert.ok(hrefs.slice(0, 5).every((href) => /^https:\/\/[^/]+\//.test(href)), String(hrefs));
    assert.equal(hrefs[5], null);
    const address = page.url();
    let watcher;
    const recorded = new Promise((resolve, reject) => {
        watcher = watch(sandbox.root, (event, name) => name === "launched.txt" && resolve());
        setTimeout(() => reject(new Error("no address was launched")), kBound).unref();
    }).finally(() => watcher.close());
    await page.click("#s");
    await recorded;
    assert.equal(readFileSync(launched, "utf8"), `${hrefs[1]}\n`);
    assert.equal(page.url(), address);
    assert.deepEqual(program.pageErrors, []);
});
