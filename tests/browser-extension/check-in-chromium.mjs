// Loads the shipped "Copy to Quillet" extension into a headless Chromium,
// selects text in a page, runs the extension's copy action and checks that
// the clipboard holds the selection and that quillet-clip-host started
// "quillet" with the page's title and address. Driven over the DevTools
// protocol through a pipe, so it needs nothing but node and chromium.
//
// usage: node check-in-chromium.mjs <build bin folder> [chromium]
// With QUILLET_PROFILE set to a Chromium profile folder into which Quillet
// installed its host manifest, the real host starts the real program instead.
import { spawn } from "node:child_process";
import { copyFileSync, cpSync, mkdirSync, mkdtempSync, readFileSync, writeFileSync, chmodSync, existsSync } from "node:fs";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { join } from "node:path";

const bin = process.argv[2];
const chromium = process.argv[3] ?? "chromium";
const work = mkdtempSync(join(tmpdir(), "quillet-ext-"));
const fail = (message) => { console.error("FAIL:", message); process.exit(1); };

const realProfile = process.env.QUILLET_PROFILE;
const extensionId = "kfcabhebpaeidcokbolplcmhkldhhefh";
const record = join(work, "started.txt");
let profile = realProfile;
if (!realProfile) {
  // The host beside a stand-in "quillet" that records its arguments.
  const hostDir = join(work, "bin");
  mkdirSync(hostDir);
  copyFileSync(join(bin, "quillet-clip-host"), join(hostDir, "quillet-clip-host"));
  writeFileSync(join(hostDir, "quillet"), `#!/bin/sh\nfor a in "$@"; do printf '%s\\n' "$a" >> '${record}'; done\n`);
  chmodSync(join(hostDir, "quillet"), 0o755);

  // The host manifest as the program installs it, in the profile's folder.
  profile = join(work, "config", "chromium");
  const manifests = join(profile, "NativeMessagingHosts");
  mkdirSync(manifests, { recursive: true });
  writeFileSync(join(manifests, "quillet.clip_host.json"), JSON.stringify({
    name: "quillet.clip_host", description: "check", path: join(hostDir, "quillet-clip-host"), type: "stdio",
    allowed_origins: [`chrome-extension://${extensionId}/`],
  }));
}

// A copy of the extension that may script the test page: the context-menu
// click that grants that in real use cannot happen in a headless browser.
const extension = join(work, "extension");
cpSync(join(bin, "browser-extension", "chromium"), extension, { recursive: true });
const manifest = JSON.parse(readFileSync(join(extension, "manifest.json")));
manifest.host_permissions = ["http://127.0.0.1/*"];
writeFileSync(join(extension, "manifest.json"), JSON.stringify(manifest));

const server = createServer((request, response) => {
  response.setHeader("Content-Type", "text/html; charset=utf-8");
  response.end(`<!DOCTYPE html><html><head><title>My page title</title></head>
    <body><p id="p">Before <b>bold words</b> and <i>italic</i> after.</p></body></html>`);
}).listen(0, "127.0.0.1");
await new Promise((resolve) => server.on("listening", resolve));
const pageUrl = `http://127.0.0.1:${server.address().port}/a?b=1&c=%22q%22`;

const browser = spawn(chromium, ["--headless=new", "--no-sandbox", "--remote-debugging-pipe",
  "--enable-unsafe-extension-debugging", `--user-data-dir=${profile}`, "--no-first-run", "--disable-gpu",
  "about:blank"], { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
process.on("exit", () => browser.kill());
let stderr = "";
browser.stdio[2].on("data", (d) => { stderr += d; });
const out = browser.stdio[3], incoming = browser.stdio[4];
let nextId = 1, buffer = "";
const pending = new Map();
incoming.on("data", (chunk) => {
  buffer += chunk;
  let end;
  while ((end = buffer.indexOf("\0")) >= 0) {
    const message = JSON.parse(buffer.slice(0, end));
    buffer = buffer.slice(end + 1);
    const waiter = pending.get(message.id);
    if (waiter) {
      pending.delete(message.id);
      message.error ? waiter.reject(new Error(JSON.stringify(message.error))) : waiter.resolve(message.result);
    }
  }
});
const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
  const id = nextId++;
  pending.set(id, { resolve, reject });
  out.write(JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) }) + "\0");
});
const evaluate = async (sessionId, expression) => {
  const result = await send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true, userGesture: true }, sessionId);
  if (result.exceptionDetails) throw new Error(JSON.stringify(result.exceptionDetails));
  return result.result.value;
};
const until = async (what, probe) => {
  for (let i = 0; i < 100; ++i) {
    const value = await probe();
    if (value) return value;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  fail(`timed out waiting for ${what}`);
};

try {
  const { id } = await send("Extensions.loadUnpacked", { path: extension });
  if (id !== extensionId) fail(`extension id ${id}, expected ${extensionId}`);
  console.log("extension loaded:", id);

  const { targetId } = await send("Target.createTarget", { url: pageUrl });
  const { sessionId: pageSession } = await send("Target.attachToTarget", { targetId, flatten: true });
  await until("the page", () => evaluate(pageSession, "document.readyState === 'complete' && !!document.getElementById('p')"));
  await send("Emulation.setFocusEmulationEnabled", { enabled: true }, pageSession);
  await evaluate(pageSession, `(() => { const r = document.createRange(); r.selectNodeContents(document.getElementById('p'));
    const s = getSelection(); s.removeAllRanges(); s.addRange(r); return s.toString(); })()`);

  const worker = await until("the extension's service worker", async () => {
    const { targetInfos } = await send("Target.getTargets");
    return targetInfos.find((t) => t.type === "service_worker" && t.url.startsWith(`chrome-extension://${extensionId}/`));
  });
  const { sessionId: workerSession } = await send("Target.attachToTarget", { targetId: worker.targetId, flatten: true });
  await until("the extension's script in its worker", () =>
    evaluate(workerSession, "typeof copyToQuillet === 'function' && !!chrome.contextMenus").catch(() => false));
  // The entry made at install exists (an update makes it anew, never twice).
  await until("the menu entry", () =>
    evaluate(workerSession, "chrome.contextMenus.update('copy-to-quillet', {}).then(() => true, () => false)"));
  const reply = await evaluate(workerSession, `(async () => {
    const [tab] = await chrome.tabs.query({ url: "http://127.0.0.1/*" });
    return copyToQuillet(tab.id);
  })()`);
  console.log("host reply:", JSON.stringify(reply));

  await send("Browser.grantPermissions", { permissions: ["clipboardReadWrite", "clipboardSanitizedWrite"],
    origin: new URL(pageUrl).origin });
  const clipboard = await evaluate(pageSession, `(async () => {
    const [item] = await navigator.clipboard.read();
    const text = async (type) => item.types.includes(type) ? await (await item.getType(type)).text() : null;
    return { types: item.types, html: await text("text/html"), text: await text("text/plain") };
  })()`);
  console.log("clipboard:", JSON.stringify(clipboard));
  if (!clipboard.html || !clipboard.html.includes("<b") || !clipboard.html.includes("bold words"))
    fail("the clipboard has no HTML of the selection");
  if (!clipboard.text || !clipboard.text.includes("Before bold words and italic after."))
    fail("the clipboard has no text of the selection");

  if (realProfile) {
    console.log("PASS (real host and program)");
  } else {
    const lines = await until("the host to start quillet", () =>
      existsSync(record) && readFileSync(record, "utf8").split("\n").filter(Boolean).length >= 2 &&
      readFileSync(record, "utf8").split("\n").filter(Boolean));
    console.log("quillet started with:", JSON.stringify(lines));
    if (lines[0] !== "HEADER_IE2QuilletMy_page_title" || lines[1] !== pageUrl)
      fail("quillet was not started with the page's title and address");
    console.log("PASS");
  }
} catch (error) {
  console.error(stderr.split("\n").slice(-15).join("\n"));
  fail(error.message);
} finally {
  browser.kill();
  server.close();
}
process.exit(0);
