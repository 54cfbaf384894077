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
//   view.selectFolder({caption, path, labels})
//   view.selectFile({caption, path, filter, multiple, labels})
//                               pickers that resolve with full Windows-form
//                               paths (an array when multiple), or undefined;
//                               labels: the texts of the picker's controls
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
    //
    // A picker's elements carry part names, so the page's own style sheet
    // can dress them (`[data-lockora-layer]::part(folder-icon) {...}`):
    // panel, caption, toolbar, up, field, list, item (with folder, file or
    // drive, and active and selected as they change), icon (with
    // folder-icon, file-icon, drive-icon), name, status, footer,
    // filter-label, filter, button (with primary).

    const kFolderAttribute = 0x10;
    const kPickerLabels = Object.freeze({
        select: "Open", cancel: "Cancel", up: "Up one level", filter: "Show:",
        drives: "Drives", empty: "This folder is empty.", unreadable: "This folder cannot be read.",
    });

    const kPickerStyle = `
        .picker { width: 520px; height: 420px; }
        .toolbar { display: flex; gap: 6px; padding: 8px 12px 0; }
        .toolbar input { flex: 1; min-width: 0; font: inherit; padding: 4px 6px; }
        .list { flex: 1; min-height: 0; margin: 8px 12px 0; padding: 0; list-style: none;
                border: 1px solid #ccc; overflow: auto; outline: none; }
        .list:focus-visible { border-color: #1a66d9; }
        .item { display: flex; align-items: center; gap: 8px; padding: 3px 8px; cursor: default; user-select: none; }
        .item.selected { background: #cde4ff; }
        .item.active { box-shadow: inset 0 0 0 1px #1a66d9; }
        .icon { flex: none; width: 14px; height: 12px; border: 1px solid #777; border-radius: 2px; }
        .folder-icon, .drive-icon { background: #e8c35a; border-color: #b8912a; }
        .up-icon { width: auto; height: auto; border: 0; }
        .up-icon::before { content: "\\2191"; }
        .name { white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
        .status { padding: 4px 12px 0; min-height: 1.4em; color: #666; }
        .footer { display: flex; align-items: center; gap: 8px; padding: 8px 12px; }
        .footer .spacer { flex: 1; }`;

    // "Containers (*.xep)|*.xep|All files (*.*)|*.*" as [label, matcher]
    // pairs; a bare pattern is its own label.
    function parseFilter(filter) {
        const parts = String(filter ?? "").split("|");
        if (parts.length === 1 && parts[0].trim() !== "") parts.push(parts[0]);
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

    const byName = new Intl.Collator(undefined, { numeric: true, sensitivity: "base" });

    // Keyboard: arrows, Home and End move (and select, as a file dialog
    // does), Space adds or takes away an item of a multiple choice, Enter
    // opens a folder or chooses the files, Backspace and Alt+Left go up,
    // Escape cancels, a letter jumps to the next name starting with it.
    function showPicker({ caption, path, filter, multiple = false, folders, labels = {} }) {
        const text = { ...kPickerLabels, ...labels };
        const choices = folders ? [] : parseFilter(filter);
        return new Promise((resolve) => {
            const layer = openLayer(folders ? "folder-picker" : "file-picker");
            const make = (tag, part, properties = {}) => {
                const element = layer.element(tag, properties);
                element.setAttribute("part", part);
                element.className = part;
                return element;
            };
            const style = layer.element("style", { textContent: kPickerStyle });
            layer.backdrop.before(style);

            const panel = make("div", "panel picker");
            panel.setAttribute("role", "dialog");
            panel.setAttribute("aria-label", caption ?? "");
            const toolbar = make("div", "toolbar");
            const up = make("button", "button up", { type: "button", title: text.up });
            up.setAttribute("aria-label", text.up);
            up.dataset.action = "up";
            up.append(make("span", "icon up-icon"));
            const field = make("input", "field", { type: "text", spellcheck: false, autocomplete: "off" });
            toolbar.append(up, field);
            const list = make("ul", "list", { tabIndex: 0 });
            list.setAttribute("role", "listbox");
            list.setAttribute("aria-multiselectable", String(Boolean(multiple && !folders)));
            const status = make("div", "status");
            status.setAttribute("role", "status");
            const footer = make("div", "footer");
            let matcher = () => true;
            if (!folders) {
                const select = make("select", "filter");
                select.id = "pickerFilter";
                const label = make("label", "filter-label", { textContent: text.filter, htmlFor: "pickerFilter" });
                choices.forEach(([name], index) => select.append(layer.element("option", { value: String(index), textContent: name })));
                select.addEventListener("change", () => {
                    matcher = choices[Number(select.value)][1];
                    show(current);
                });
                matcher = choices[0][1];
                footer.append(label, select);
            }
            const ok = make("button", "button primary", { type: "button", textContent: text.select });
            ok.dataset.action = "ok";
            const cancel = make("button", "button", { type: "button", textContent: text.cancel });
            cancel.dataset.action = "cancel";
            footer.append(make("span", "spacer"), ok, cancel);
            panel.append(make("div", "caption", { textContent: caption ?? "" }), toolbar, list, status, footer);
            layer.backdrop.append(panel);

            let current = "";
            let selected = new Set();
            let active = null;
            const finish = (value) => {
                layer.remove();
                resolve(value);
            };
            const items = () => [...list.children];
            const markSelected = (item, on) => {
                item.classList.toggle("selected", on);
                item.part.toggle("selected", on);
                item.setAttribute("aria-selected", String(on));
                if (on) selected.add(item.dataset.full);
                else selected.delete(item.dataset.full);
            };
            const selectOnly = (item) => {
                for (const other of items()) if (other.classList.contains("selected")) markSelected(other, false);
                // A file picker chooses files: its folders are opened, not chosen.
                if (item && (folders || item.dataset.kind === "file")) markSelected(item, true);
            };
            const activate = (item) => {
                if (active) {
                    active.classList.remove("active");
                    active.part.remove("active");
                }
                active = item ?? null;
                if (!active) return;
                active.classList.add("active");
                active.part.add("active");
                list.setAttribute("aria-activedescendant", active.id);
                active.scrollIntoView({ block: "nearest" });
            };
            const open = (item) => {
                if (item.dataset.kind !== "file") show(item.dataset.full);
                else if (!multiple) finish(item.dataset.full);
                else finish(selected.has(item.dataset.full) ? [...selected] : [item.dataset.full]);
            };
            const choose = () => {
                if (folders) {
                    const chosen = selected.size ? [...selected][0] : current;
                    if (chosen) finish(chosen);
                    return;
                }
                if (selected.size === 0) {
                    if (active?.dataset.kind !== "file") {
                        if (active) open(active);
                        return;
                    }
                    selectOnly(active);
                }
                finish(multiple ? [...selected] : [...selected][0]);
            };

            async function show(folder) {
                let rows;
                try {
                    rows = await service("list", folder);
                } catch {
                    status.textContent = text.unreadable;
                    field.value = current;
                    return; // the listing shown stays
                }
                const cameFrom = current;
                current = folder;
                selected = new Set();
                active = null;
                field.value = folder;
                field.placeholder = folder === "" ? text.drives : "";
                const entries = rows.map(([name, attributes]) => {
                    const kind = folder === "" ? "drive" : (attributes & kFolderAttribute) !== 0 ? "folder" : "file";
                    return { name, kind };
                }).filter(({ name, kind }) => kind !== "file" || (!folders && matcher(name)));
                entries.sort((a, b) => (a.kind === "file") - (b.kind === "file") || byName.compare(a.name, b.name));
                list.replaceChildren(...entries.map(({ name, kind }, index) => {
                    const item = make("li", `item ${kind}`);
                    item.id = `pickerItem${index}`;
                    item.setAttribute("role", "option");
                    item.dataset.name = name;
                    item.dataset.kind = kind;
                    item.dataset.full = folder === "" ? name : joinPath(folder, name);
                    item.append(make("span", `icon ${kind}-icon`), make("span", "name", { textContent: name }));
                    return item;
                }));
                status.textContent = entries.length === 0 ? text.empty : "";
                // Going up puts the cursor on the folder just left.
                const left = items().find((item) => item.dataset.full.replace(/\\+$/, "") === cameFrom.replace(/\\+$/, ""));
                activate(left ?? items()[0]);
                list.focus();
            }

            list.addEventListener("click", (event) => {
                const item = event.target.closest("li");
                if (!item) return;
                activate(item);
                if (multiple && !folders && item.dataset.kind === "file") markSelected(item, !selected.has(item.dataset.full));
                else selectOnly(item);
            });
            list.addEventListener("dblclick", (event) => {
                const item = event.target.closest("li");
                if (item) open(item);
            });
            const move = (item, event) => {
                event.preventDefault();
                if (!item) return;
                activate(item);
                if (!event.ctrlKey) selectOnly(item);
            };
            list.addEventListener("keydown", (event) => {
                const all = items();
                const at = all.indexOf(active);
                switch (event.key) {
                case "ArrowDown": return move(all[Math.min(at + 1, all.length - 1)], event);
                case "ArrowUp": return move(all[Math.max(at - 1, 0)], event);
                case "Home": return move(all[0], event);
                case "End": return move(all[all.length - 1], event);
                case " ":
                    event.preventDefault();
                    if (active && multiple && active.dataset.kind === "file") markSelected(active, !selected.has(active.dataset.full));
                    else if (active) selectOnly(active);
                    return;
                case "Enter":
                    event.preventDefault();
                    if (active?.dataset.kind === "file" || (folders && event.ctrlKey)) choose();
                    else if (active) open(active);
                    return;
                default:
                    if (event.key.length === 1 && !event.ctrlKey && !event.altKey && !event.metaKey) {
                        const letter = event.key.toLocaleLowerCase();
                        const next = [...all.slice(at + 1), ...all.slice(0, at + 1)]
                            .find((item) => item.dataset.name.toLocaleLowerCase().startsWith(letter));
                        if (next) move(next, event);
                    }
                }
            });
            panel.addEventListener("keydown", (event) => {
                const inField = event.target === field;
                if (event.key === "Escape") finish(undefined);
                else if ((event.key === "Backspace" && !inField) || (event.key === "ArrowLeft" && event.altKey)) show(parentOf(current));
                else if (event.key === "Enter" && inField) show(field.value.trim().replace(/\//g, "\\"));
                else return;
                event.preventDefault();
            });
            up.addEventListener("click", () => show(parentOf(current)));
            cancel.addEventListener("click", () => finish(undefined));
            ok.addEventListener("click", choose);
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
