// Ending the program from outside: SIGTERM, SIGINT and SIGHUP close it the
// way closing its window does, so the settings are saved and nothing of the
// run (its private run folder, the browser profile in it) is left behind.
import { test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, readdirSync } from "node:fs";
import { join } from "node:path";
import { Sandbox, closeBrowser } from "./support/program.mjs";
import { mainPageReady } from "./support/screens.mjs";

for (const signal of ["SIGTERM", "SIGINT", "SIGHUP"]) {
    test(`${signal} ends the program as closing its window does`, async () => {
        const sandbox = new Sandbox();
        try {
            const program = await sandbox.start();
            await mainPageReady(program.page);
            const runFolders = () => readdirSync(join(sandbox.root, "run")).filter((name) => name.startsWith("lockora-web-"));
            const settings = sandbox.host("C:/App/Ombrix Lockora Sentinex/FileUseSetting.dat");
            assert.equal(runFolders().length, 1);
            assert.equal(existsSync(settings), false);

            // Our own child, by the process id we started it with.
            assert.ok(program.child.pid > 0);
            program.child.kill(signal);
            assert.equal(await program.exitCode(), 0);
            assert.deepEqual(runFolders(), []);
            assert.ok(existsSync(settings), "saved once, as at a close");
        } finally {
            await sandbox.dispose();
            await closeBrowser();
        }
    });
}
