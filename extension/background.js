// The background: one player process per page port, relaying both ways, and the files the
// player asks for, fetched here with the page's cookies (the player has none of them).
'use strict';

// Firefox lists urls.js before this script; Chromium's service worker loads it here.
if (typeof importScripts === 'function') importScripts('urls.js');

const api = globalThis.browser ?? globalThis.chrome;
const HOST_NAME = 'org.orbolanth.player';
const PAGE_PORT_NAME = 'orbolanth-page';
// The host refuses pieces above this; smaller ones would only cost more messages.
const PIECE_BYTES = 512 * 1024;
// Only the background answers the host's fetches: a page that sent these could feed the
// player files it never asked the network for.
const BACKGROUND_ONLY = new Set(['fileData', 'fileEnd']);

function base64(bytes) {
  let text = '';
  // String.fromCharCode takes its arguments on the stack: slices keep it well inside.
  for (let at = 0; at < bytes.length; at += 0x8000) {
    text += String.fromCharCode.apply(null, bytes.subarray(at, at + 0x8000));
  }
  return btoa(text);
}

class PageSession {
  constructor(page) {
    this.page = page;
    this.pageOpen = true;
    this.fetches = new Map();  // request -> AbortController
    this.hostAnswered = false;
    this.native = api.runtime.connectNative(HOST_NAME);
    this.native.onMessage.addListener((message) => this.fromHost(message));
    this.native.onDisconnect.addListener(() => this.hostGone());
    page.onMessage.addListener((message) => this.fromPage(message));
    page.onDisconnect.addListener(() => this.pageGone());
  }

  fromPage(message) {
    if (!message || typeof message.type !== 'string' || BACKGROUND_ONLY.has(message.type)) return;
    this.native.postMessage(message);
  }

  fromHost(message) {
    this.hostAnswered = true;
    if (!message || typeof message.type !== 'string') return;
    if (message.type === 'fetch') {
      this.fetch(message.request, message.url);
    } else if (message.type === 'cancel') {
      this.fetches.get(message.request)?.abort();
      this.fetches.delete(message.request);
    } else if (this.pageOpen) {
      this.page.postMessage(message);
    }
  }

  toHost(message) {
    try {
      this.native.postMessage(message);
    } catch {
      // The host has gone; hostGone tells the page.
    }
  }

  async fetch(request, url) {
    if (!Number.isInteger(request) || this.fetches.has(request)) return;
    if (!isWebUrl(url)) {
      this.toHost({type: 'fileEnd', request, url: String(url), mimeType: '', ok: false,
                   error: 'only http and https files are fetched'});
      return;
    }
    const abort = new AbortController();
    this.fetches.set(request, abort);
    let end;
    try {
      const response = await fetch(url, {credentials: 'include', signal: abort.signal});
      const mimeType = (response.headers.get('Content-Type') || '').split(';')[0].trim();
      end = {type: 'fileEnd', request, url: response.url || url, mimeType, ok: response.ok};
      if (response.ok) {
        await this.sendBody(request, response.body);
      } else {
        end.error = `HTTP ${response.status}`;
      }
    } catch (error) {
      end = {type: 'fileEnd', request, url, mimeType: '', ok: false, error: String(error.message || error)};
    }
    // A cancelled request gets no answer: the host has already forgotten it.
    if (abort.signal.aborted) return;
    this.fetches.delete(request);
    this.toHost(end);
  }

  async sendBody(request, body) {
    if (!body) return;
    const reader = body.getReader();
    const piece = new Uint8Array(PIECE_BYTES);
    let filled = 0;
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      let at = 0;
      while (at < value.length) {
        const taken = Math.min(value.length - at, PIECE_BYTES - filled);
        piece.set(value.subarray(at, at + taken), filled);
        filled += taken;
        at += taken;
        if (filled === PIECE_BYTES) {
          this.toHost({type: 'fileData', request, data: base64(piece)});
          filled = 0;
        }
      }
    }
    if (filled > 0) this.toHost({type: 'fileData', request, data: base64(piece.subarray(0, filled))});
  }

  abortFetches() {
    for (const abort of this.fetches.values()) abort.abort();
    this.fetches.clear();
  }

  pageGone() {
    this.pageOpen = false;
    this.abortFetches();
    // The host sees its input end and closes the page as a browser leaves it.
    this.native.disconnect();
  }

  hostGone() {
    this.abortFetches();
    if (!this.pageOpen) return;
    const error = api.runtime.lastError ?? this.native.error;
    if (error) console.warn('Orbolanth player: ' + (error.message || error));
    // A host that never said a word most likely never started: not installed, or not for us.
    this.page.postMessage({type: 'hostGone', started: this.hostAnswered});
  }
}

api.runtime.onConnect.addListener((page) => {
  if (page.name === PAGE_PORT_NAME && page.sender?.tab) new PageSession(page);
});

// Links the player follows that leave the frame: the whole tab, or a new one.
api.runtime.onMessage.addListener((message, sender) => {
  const tab = sender.tab?.id;
  if (tab === undefined || !message || !isLinkUrl(message.url)) return;
  if (message.openLink === 'tab') {
    api.tabs.create({url: message.url, openerTabId: tab, index: sender.tab.index + 1});
  } else if (message.openLink === 'top') {
    api.tabs.update(tab, {url: message.url});
  }
});
