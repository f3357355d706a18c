// "Copy to Quillet..." on a selection: the page's own Copy puts the selection
// on the clipboard (HTML and text, as the browser's Copy does), then the page's
// title and address go to Quillet's native host, which starts Quillet.
// One source for Chromium-family browsers (service worker) and Firefox
// (background script).
const api = globalThis.browser ?? globalThis.chrome;
const HOST = "quillet.clip_host";
const MENU_ID = "copy-to-quillet";

// On every install and update. Firefox keeps an event page's menu entries
// across an update, so the entry is made anew rather than a second time.
api.runtime.onInstalled.addListener(async () => {
  await api.contextMenus.removeAll();
  api.contextMenus.create({ id: MENU_ID, title: "Copy to Quillet...", contexts: ["selection"] });
});

// Runs inside the page that holds the selection.
function copySelection() {
  return { copied: document.execCommand("copy"), title: document.title, address: document.URL };
}

async function copyToQuillet(tabId, frameId = 0) {
  const [injection] = await api.scripting.executeScript({ target: { tabId, frameIds: [frameId] }, func: copySelection });
  const page = injection && injection.result;
  if (!page || !page.copied)
    throw new Error("The selection could not be copied.");
  const reply = await api.runtime.sendNativeMessage(HOST, { title: page.title, address: page.address });
  if (!reply || !reply.ok)
    throw new Error((reply && reply.error) || "Quillet did not answer.");
  return reply;
}

api.contextMenus.onClicked.addListener((info, tab) => {
  if (info.menuItemId !== MENU_ID || !tab)
    return;
  copyToQuillet(tab.id, info.frameId ?? 0).catch((error) => console.error("Copy to Quillet:", error.message));
});
