// The engine's runtime, loaded by every HTML page before the page's own
// scripts. It gives page script what the native side and the window offer:
//
//   view.<Name>(...args)        a native function; resolves with its value,
//                               rejects when the native side does not handle it
//   view.parameters             the parameters a dialog was opened with
//   view.window({url, width, height, parameters})
//                               opens a page as a modal dialog over this one;
//                               resolves with the value the dialog closes with
//   view.close(value)           closes the dialog, or the main window
//   view.move(x, y, width, height), view.box(), view.screenBox(area, part)
//   view.enable(on)             enables or disables this page (a disabled page
//                               takes no input)
//   view.selectFolder({caption, path})
//   view.selectFile({caption, path, filter, multiple})
//                               pickers that resolve with full Windows-form
//                               paths (an array when multiple), or undefined
//   System.scanFiles(path, callback)
//                               the entries matching a path or a wildcard
//                               pattern; calls callback(path, attributes) for
//                               each and resolves with their count
//   System.rename(from, to)     resolves true, or rejects with the error text
//   System.launch(address)      opens an http or https address in the default
//                               browser
//   System.windowsPath(hostPath)
//                               the Windows form of a host path (as a file
//                               manager's drop names it, or "~/..."); rejects
//                               when no drive maps it
//   System.hostPath(path)       the host path a Windows-form path stands for
//
// Native code calls the main page's global functions (window[name](arg)); the
// answer is the awaited value, or the error text when the function throws.
// Dialogs are frames in the main page and share its connection.
(() => {
    "use strict";

    const kRuntimeKey = "__lockoraRuntime";
    const kDialogKey = "__lockoraDialog";
    const top = window.top;
    const isFrame = window !== top;

    // ---- values on the wire: null is undefined, {error} an error string ----

    const isErrorObject = (value) => Object.prototype.toString.call(value) === "[object Error]";

    function encode(value) {
        if (value === undefined || value === null) return null;
        switch (typeof value) {
        case "boolean":
        case "string":
            return value;
        case "number":
            return Number.isFinite(value) ? value : null;
        case "object":
            if (Array.isArray(value)) return value.map(encode);
            if (isErrorObject(value)) return { error: String(value.message) };
            if (value instanceof String || value instanceof Number || value instanceof Boolean)
                return encode(value.valueOf());
            return null;
        default:
            return null;
        }
    }

    function decode(value) {
        if (value === null || value === undefined) return undefined;
        if (Array.isArray(value)) return value.map(decode);
        if (typeof value === "object") return new Error(String(value.error));
        return value;
    }

    const errorText = (error) => (isErrorObject(error) ? String(error.message) : String(error));

    // ---- the connection, owned by the main page ----

    function createTransport() {
        const socket = new WebSocket(`ws://${location.host}/engine/socket`);
        const outbox = [];
        const pending = new Map();
        const runtimeFunctions = {};
        let nextId = 1;
        let open = false;
        let closed = false;

        function send(message) {
            if (closed) return;
            const text = JSON.stringify(message);
            if (open) socket.send(text);
            else outbox.push(text);
        }

        function request(type, fields) {
            return new Promise((resolve, reject) => {
                if (closed) {
                    reject(new Error("the window is closed"));
                    return;
                }
                const id = nextId++;
                pending.set(id, { resolve, reject });
                send({ type, id, ...fields });
            });
        }

        async function answerInvocation(message) {
            try {
                const target = message.runtime ? runtimeFunctions[message.name] : window[message.name];
                if (typeof target !== "function") throw new Error(`${message.name} is not a function`);
                const value = await target.call(window, decode(message.arg));
                send({ type: "answer", id: message.id, value: encode(value) });
            } catch (error) {
                send({ type: "answer", id: message.id, error: errorText(error) });
            }
        }

        function settle(message) {
            const waiting = pending.get(message.id);
            if (!waiting) return false;
            pending.delete(message.id);
            if ("error" in message) waiting.reject(new Error(String(message.error ?? message.message)));
            else waiting.resolve(decode(message.value));
            return true;
        }

        socket.addEventListener("open", () => {
            open = true;
            for (const text of outbox) socket.send(text);
            outbox.length = 0;
        });
        socket.addEventListener("message", (event) => {
            let message;
            try {
                message = JSON.parse(event.data);
            } catch {
                return;
            }
            switch (message.type) {
            case "result":
                settle(message);
                break;
            case "invoke":
                answerInvocation(message);
                break;
            case "navigate":
                location.replace(message.url);
                break;
            case "error":
                if (!settle({ id: message.id, error: message.message })) console.warn("engine:", message.message);
                break;
            }
        });
        socket.addEventListener("close", () => {
            open = false;
            closed = true;
            for (const waiting of pending.values()) waiting.reject(new Error("the window is closed"));
            pending.clear();
        });

        return { send, request, runtimeFunctions };
    }

    const runtime = isFrame && top[kRuntimeKey] ? top[kRuntimeKey] : createMainRuntime();

    function createMainRuntime() {
        const transport = createTransport();
        const main = { transport, layerCount: 0 };
        Object.defineProperty(window, kRuntimeKey, { value: main });
        transport.runtimeFunctions.messageBox = ([text, caption, type]) => showMessageBox(text, caption, type);
        const announce = () => transport.send({ type: "ready", page: location.pathname });
        if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", announce, { once: true });
        else announce();
        return main;
    }

    const callNative = (name, args) => runtime.transport.request("call", { name, args: args.map(encode) });
    const service = (op, ...args) => runtime.transport.request("service", { op, args: args.map(encode) });

    // ---- layers over the main page: dialogs, pickers, message boxes ----

    const kLayerStyle = `
        :host { all: initial; }
        .backdrop { position: fixed; inset: 0; display: flex; align-items: center; justify-content: center;
                    background: rgba(0, 0, 0, 0.25); font: 13px system-ui, sans-serif; color: #222; }
        .panel { background: #fff; border: 1px solid #999; box-shadow: 0 4px 24px rgba(0, 0, 0, 0.3);
                 display: flex; flex-direction: column; max-width: 96vw; max-height: 96vh; }
        .caption { padding: 8px 12px; background: #f0f0f0; border-bottom: 1px solid #ddd; font-weight: 600; }
        .body { padding: 12px; overflow: auto; white-space: pre-wrap; }
        .buttons { display: flex; gap: 8px; justify-content: flex-end; padding: 8px 12px; }
        .path { display: flex; gap: 6px; padding: 8px 12px 0; }
        .path input { flex: 1; }
        ul { list-style: none; margin: 0; padding: 0; border: 1px solid #ccc; height: 260px; overflow: auto; }
        li { padding: 3px 8px; cursor: default; user-select: none; }
        li.folder::before { content: "\\1F4C1  "; }
        li.selected { background: #cde4ff; }
        iframe { border: 0; background: #fff; display: block; }
        button { min-width: 72px; }`;

    // A layer above the main page and every earlier layer; its content lives
    // in a shadow root, so page styles and runtime styles stay apart.
    function openLayer(kind) {
        const host = top.document.createElement("div");
        host.dataset.lockoraLayer = kind;
        host.style.cssText = `position: fixed; inset: 0; z-index: ${2147483000 + ++runtime.layerCount};`;
        const root = host.attachShadow({ mode: "open" });
        const style = top.document.createElement("style");
        style.textContent = kLayerStyle;
        root.append(style);
        const backdrop = top.document.createElement("div");
        backdrop.className = "backdrop";
        root.append(backdrop);
        top.document.documentElement.append(host);
        return {
            backdrop,
            element: (tag, properties = {}) => Object.assign(top.document.createElement(tag), properties),
            remove: () => {
                host.remove();
                runtime.layerCount--;
            },
        };
    }

    function showMessageBox(text, caption, type) {
        const kButtons = [
            [["OK", 1]],
            [["OK", 1], ["Cancel", 2]],
            [["Abort", 3], ["Retry", 4], ["Ignore", 5]],
            [["Yes", 6], ["No", 7], ["Cancel", 2]],
            [["Yes", 6], ["No", 7]],
            [["Retry", 4], ["Cancel", 2]],
            [["Cancel", 2], ["Try Again", 10], ["Continue", 11]],
        ];
        const buttons = kButtons[(type ?? 0) & 0xf] ?? kButtons[0];
        const defaultIndex = Math.min(((type ?? 0) >> 8) & 0xf, buttons.length - 1);
        return new Promise((resolve) => {
            const layer = openLayer("message-box");
            const panel = layer.element("div", { className: "panel" });
            panel.style.minWidth = "320px";
            panel.append(layer.element("div", { className: "caption", textContent: caption ?? "" }));
            panel.append(layer.element("div", { className: "body", textContent: text ?? "" }));
            const row = layer.element("div", { className: "buttons" });
            buttons.forEach(([label, answer], index) => {
                const button = layer.element("button", { textContent: label });
                button.dataset.answer = String(answer);
                button.addEventListener("click", () => {
                    layer.remove();
                    resolve(answer);
                });
                row.append(button);
                if (index === defaultIndex) queueMicrotask(() => button.focus());
            });
            panel.append(row);
            layer.backdrop.append(panel);
        });
    }

    // ---- dialogs: pages in frames over the main page ----

    const toServerAddress = (url) => {
        const text = String(url);
        if (text.startsWith("this://app/")) return "/app/" + text.slice("this://app/".length);
        return new URL(text, location.href).href;
    };

    function openDialog({ url, width = 400, height = 220, parameters } = {}) {
        let settle;
        const closed = new Promise((resolve) => (settle = resolve));
        const layer = openLayer("dialog");
        const frame = layer.element("iframe");
        frame.style.width = `${width}px`;
        frame.style.height = `${height}px`;
        frame.style.boxShadow = "0 4px 24px rgba(0, 0, 0, 0.3)";
        // A dialog larger than the window shrinks to fit it; its page
        // scrolls instead of being cut off.
        frame.style.maxWidth = "100vw";
        frame.style.maxHeight = "100vh";
        let open = true;
        const dialog = {
            parameters,
            close(value) {
                if (!open) return;
                open = false;
                layer.remove();
                settle(value);
            },
            resize(newWidth, newHeight) {
                frame.style.width = `${newWidth}px`;
                frame.style.height = `${newHeight}px`;
            },
        };
        frame[kDialogKey] = dialog;
        frame.src = toServerAddress(url);
        layer.backdrop.append(frame);
        return closed;
    }

    const ownDialog = isFrame && window.frameElement ? window.frameElement[kDialogKey] : undefined;

    // ---- pickers over the engine's own listing ----

    const kFolderAttribute = 0x10;

    // "Containers (*.xep)|*.xep|All files (*.*)|*.*" as [label, matcher] pairs.
    function parseFilter(filter) {
        const parts = String(filter ?? "").split("|");
        const choices = [];
        for (let i = 0; i + 1 < parts.length; i += 2) {
            const patterns = parts[i + 1].split(";").map((pattern) => pattern.trim()).filter(Boolean);
            const expressions = patterns.map((pattern) => {
                if (pattern === "*.*" || pattern === "*") return /^.*$/;
                const source = pattern.replace(/[.+^${}()|[\]\\]/g, "\\$&").replace(/\*/g, ".*").replace(/\?/g, ".");
                return new RegExp(`^${source}$`, "i");
            });
            choices.push([parts[i], (name) => expressions.some((expression) => expression.test(name))]);
        }
        if (choices.length === 0) choices.push(["*.*", () => true]);
        return choices;
    }

    const joinPath = (folder, name) => (folder.endsWith("\\") ? folder + name : `${folder}\\${name}`);

    function parentOf(folder) {
        const trimmed = folder.replace(/\\+$/, "");
        const cut = trimmed.lastIndexOf("\\");
        if (/^[A-Za-z]:$/.test(trimmed)) return "";
        if (cut < 0) return "";
        const parent = trimmed.slice(0, cut);
        return /^[A-Za-z]:$/.test(parent) ? `${parent}\\` : parent;
    }

    function showPicker({ caption, path, filter, multiple = false, folders }) {
        const choices = folders ? [] : parseFilter(filter);
        return new Promise((resolve) => {
            const layer = openLayer(folders ? "folder-picker" : "file-picker");
            const panel = layer.element("div", { className: "panel" });
            panel.style.width = "480px";
            panel.append(layer.element("div", { className: "caption", textContent: caption ?? "" }));
            const pathRow = layer.element("div", { className: "path" });
            const up = layer.element("button", { textContent: "Up" });
            up.dataset.action = "up";
            const field = layer.element("input", { type: "text", readOnly: true });
            pathRow.append(up, field);
            const body = layer.element("div", { className: "body" });
            const list = layer.element("ul");
            body.append(list);
            let matcher = () => true;
            if (!folders) {
                const select = layer.element("select");
                choices.forEach(([label], index) => select.append(layer.element("option", { value: String(index), textContent: label })));
                select.addEventListener("change", () => {
                    matcher = choices[Number(select.value)][1];
                    show(current);
                });
                matcher = choices[0][1];
                body.append(select);
            }
            const buttons = layer.element("div", { className: "buttons" });
            const ok = layer.element("button", { textContent: "OK" });
            ok.dataset.action = "ok";
            const cancel = layer.element("button", { textContent: "Cancel" });
            cancel.dataset.action = "cancel";
            buttons.append(ok, cancel);
            panel.append(pathRow, body, buttons);
            layer.backdrop.append(panel);

            let current = "";
            let selected = new Set();
            const finish = (value) => {
                layer.remove();
                resolve(value);
            };

            async function show(folder) {
                let rows;
                try {
                    rows = await service("list", folder);
                } catch {
                    return; // an unreadable folder keeps the current listing
                }
                current = folder;
                selected = new Set();
                field.value = folder;
                list.replaceChildren();
                for (const [name, attributes] of rows) {
                    const isFolder = folder === "" || (attributes & kFolderAttribute) !== 0;
                    if (!isFolder && (folders || !matcher(name))) continue;
                    const item = layer.element("li", { textContent: name });
                    item.dataset.name = name;
                    if (isFolder) item.classList.add("folder");
                    const full = folder === "" ? name : joinPath(folder, name);
                    item.addEventListener("dblclick", () => {
                        if (isFolder) show(full);
                        else finish(multiple ? [full] : full);
                    });
                    item.addEventListener("click", () => {
                        if (!multiple || isFolder) {
                            selected = new Set();
                            for (const other of list.children) other.classList.remove("selected");
                        }
                        if (isFolder && !folders) return;
                        if (selected.has(full)) {
                            selected.delete(full);
                            item.classList.remove("selected");
                        } else {
                            selected.add(full);
                            item.classList.add("selected");
                        }
                    });
                    list.append(item);
                }
            }

            up.addEventListener("click", () => show(parentOf(current)));
            cancel.addEventListener("click", () => finish(undefined));
            ok.addEventListener("click", () => {
                if (folders) {
                    const chosen = selected.size ? [...selected][0] : current;
                    if (chosen) finish(chosen);
                    return;
                }
                if (selected.size === 0) return;
                finish(multiple ? [...selected] : [...selected][0]);
            });
            show(path ? String(path).replace(/\//g, "\\") : "");
        });
    }

    // ---- view and System ----

    function pageBlocker() {
        let blocker = document.querySelector("[data-lockora-disabled]");
        if (!blocker) {
            blocker = document.createElement("div");
            blocker.dataset.lockoraDisabled = "";
            blocker.style.cssText = "position: fixed; inset: 0; z-index: 2147482999;";
        }
        return blocker;
    }

    const runtimeMembers = {
        parameters: ownDialog ? ownDialog.parameters : undefined,
        window: (options) => openDialog(options),
        close(value) {
            if (ownDialog) {
                ownDialog.close(value);
                return;
            }
            runtime.transport.send({ type: "close" });
            window.close();
        },
        move(x, y, width, height) {
            if (ownDialog) {
                if (width !== undefined && height !== undefined) ownDialog.resize(width, height);
                return;
            }
            if (width !== undefined && height !== undefined) window.resizeTo(width, height);
            window.moveTo(x, y);
        },
        box: () => [window.screenX, window.screenY, window.outerWidth, window.outerHeight],
        screenBox(area = "workarea", part = "xywh") {
            const s = window.screen;
            const box = area === "workarea"
                ? [s.availLeft ?? 0, s.availTop ?? 0, s.availWidth, s.availHeight]
                : [0, 0, s.width, s.height];
            switch (part) {
            case "rect": return [box[0], box[1], box[0] + box[2], box[1] + box[3]];
            case "x": return box[0];
            case "y": return box[1];
            case "width": return box[2];
            case "height": return box[3];
            default: return box;
            }
        },
        enable(on = true) {
            const blocker = pageBlocker();
            if (on) blocker.remove();
            else document.documentElement.append(blocker);
        },
        selectFolder: (options = {}) => showPicker({ ...options, folders: true }),
        selectFile: (options = {}) => showPicker({ ...options, folders: false }),
    };

    const view = new Proxy(runtimeMembers, {
        get(target, name) {
            if (Object.prototype.hasOwnProperty.call(target, name)) return target[name];
            // Not a thenable, and no symbol names a native function.
            if (typeof name !== "string" || name === "then") return undefined;
            return (...args) => callNative(name, args);
        },
    });

    const System = Object.freeze({
        async scanFiles(path, callback) {
            const rows = await service("scan", String(path));
            let count = 0;
            for (const [fullPath, attributes] of rows) {
                count++;
                if (typeof callback === "function" && callback(fullPath, attributes) === false) break;
            }
            return count;
        },
        rename: (from, to) => service("rename", String(from), String(to)),
        launch: (address) => service("launch", String(address)),
        windowsPath: (hostPath) => service("windowsPath", String(hostPath)),
        hostPath: (path) => service("hostPath", String(path)),
    });

    Object.defineProperty(window, "view", { value: view, enumerable: true });
    Object.defineProperty(window, "System", { value: System, enumerable: true });
})();
