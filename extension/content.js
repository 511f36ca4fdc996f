// The page's side: every applet element becomes a canvas of the same box, and the player,
// through the background, plays it there. A page without applets never starts the player.
'use strict';

(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  const APPLET_TYPE = 'application/x-orbolanth-3d-applet';
  const CONTROL_CLASSID = 'clsid:7b9dbb87-d073-440a-a713-787fd3fd89ef';
  const MAX_SIDE = 8192;
  const HOST_GONE_TEXT = 'The Orbolanth player stopped. Reload the page to start it again.';
  const NO_HOST_TEXT = 'The Orbolanth player did not start. Is it installed?';
  const WHEEL_NOTCH = 120;

  function endsWithAppletSuffix(reference) {
    if (!reference) return false;
    let path;
    try {
      path = new URL(reference, document.baseURI).pathname.toLowerCase();
    } catch {
      return false;
    }
    return path.endsWith('.obvm') || path.endsWith('.obv');
  }

  function isApplet(element) {
    const tag = element.localName;
    if (tag !== 'embed' && tag !== 'object') return false;
    if ((element.getAttribute('type') || '').trim().toLowerCase() === APPLET_TYPE) return true;
    if (tag === 'object' && (element.getAttribute('classid') || '').trim().toLowerCase() === CONTROL_CLASSID) {
      return true;
    }
    return endsWithAppletSuffix(element.getAttribute(tag === 'embed' ? 'src' : 'data'));
  }

  function namesAndValues(element) {
    return Array.from(element.attributes, (attribute) => [attribute.name, attribute.value]);
  }

  // The object's own params, not those of an object nested in it as its fallback.
  function objectParams(element) {
    return Array.from(element.querySelectorAll('param'))
      .filter((param) => param.closest('object') === element && param.hasAttribute('name'))
      .map((param) => [param.getAttribute('name'), param.getAttribute('value') ?? '']);
  }

  // A width or height attribute as CSS: plain numbers are pixels, percentages stay.
  function cssLength(value) {
    const text = (value || '').trim();
    if (/^\d+(\.\d+)?$/.test(text)) return text + 'px';
    if (/^\d+(\.\d+)?%$/.test(text)) return text;
    return '';
  }

  function modifiers(event) {
    return (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0) | (event.metaKey ? 8 : 0);
  }

  // Browsers report wheels in pixels, lines or pages; the plug-in counts notches of 120.
  function wheelDelta(event) {
    const perNotch = [100, 3, 1][event.deltaMode] ?? 100;
    const notches = event.deltaY / perNotch;
    if (notches === 0) return 0;
    return Math.sign(notches) * Math.max(1, Math.round(Math.abs(notches))) * WHEEL_NOTCH;
  }

  function clampSide(value) {
    return Math.min(MAX_SIDE, Math.max(1, Math.round(value)));
  }

  function decodeBase64(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // One applet element turned canvas: its picture, its status line and its input.
  class AppletCanvas {
    constructor(page, id, element) {
      this.page = page;
      this.id = id;
      this.canvas = document.createElement('canvas');
      this.context = this.canvas.getContext('2d');
      this.picture = null;  // the last frame drawn, kept to draw the status over again
      this.status = '';
      this.drawing = Promise.resolve();
      this.pendingMove = null;
      this.sentSize = null;
      this.stopped = false;

      const tag = element.localName;
      this.added = {
        type: 'add', element: id, tag,
        attributes: namesAndValues(element),
        params: tag === 'object' ? objectParams(element) : [],
      };
      this.takePlaceOf(element);
      this.listen();
    }

    takePlaceOf(element) {
      const canvas = this.canvas;
      const box = element.getBoundingClientRect();
      if (element.id) canvas.id = element.id;
      if (element.className && typeof element.className === 'string') canvas.className = element.className;
      canvas.style.cssText = element.style.cssText;
      canvas.style.width = cssLength(element.getAttribute('width')) || (box.width ? box.width + 'px' : '300px');
      canvas.style.height = cssLength(element.getAttribute('height')) || (box.height ? box.height + 'px' : '150px');
      canvas.tabIndex = 0;
      // Drags turn cameras; the page must neither scroll nor select under them.
      canvas.style.touchAction = 'none';
      canvas.style.userSelect = 'none';
      element.replaceWith(canvas);
      const size = this.deviceSize();
      canvas.width = size.width;
      canvas.height = size.height;
      this.added.width = size.width;
      this.added.height = size.height;
      this.sentSize = size;
    }

    deviceSize(entry) {
      const device = entry?.devicePixelContentBoxSize?.[0];
      if (device) return {width: clampSide(device.inlineSize), height: clampSide(device.blockSize)};
      const box = this.canvas.getBoundingClientRect();
      return {width: clampSide(box.width * devicePixelRatio), height: clampSide(box.height * devicePixelRatio)};
    }

    resized(entry) {
      const size = this.deviceSize(entry);
      if (size.width === this.sentSize.width && size.height === this.sentSize.height) return;
      this.sentSize = size;
      this.canvas.width = size.width;
      this.canvas.height = size.height;
      this.redraw();
      this.send({type: 'resize', element: this.id, width: size.width, height: size.height});
    }

    send(message) {
      if (!this.stopped) this.page.send(message);
    }

    // Device pixels in the canvas, kept inside it while a drag leaves it.
    point(event) {
      const box = this.canvas.getBoundingClientRect();
      const x = (event.clientX - box.left) * this.canvas.width / (box.width || 1);
      const y = (event.clientY - box.top) * this.canvas.height / (box.height || 1);
      return {
        x: Math.min(this.canvas.width - 1, Math.max(0, Math.round(x))),
        y: Math.min(this.canvas.height - 1, Math.max(0, Math.round(y))),
      };
    }

    mouse(kind, event, extra = {}) {
      const {x, y} = this.point(event);
      this.send({type: 'mouse', element: this.id, kind, x, y, button: event.button >= 0 && event.button <= 2
        ? event.button : 0, deltaY: 0, modifiers: modifiers(event), ...extra});
    }

    // Moves go at most once a frame; a press or release sends the one waiting first.
    flushMove() {
      if (!this.pendingMove) return;
      const event = this.pendingMove;
      this.pendingMove = null;
      this.mouse('move', event, {button: 0});
    }

    listen() {
      const canvas = this.canvas;
      canvas.addEventListener('pointerdown', (event) => {
        canvas.focus();
        canvas.setPointerCapture(event.pointerId);
        this.flushMove();
        this.mouse('down', event);
        event.preventDefault();
      });
      canvas.addEventListener('pointerup', (event) => {
        this.flushMove();
        this.mouse('up', event);
      });
      canvas.addEventListener('pointermove', (event) => {
        if (!this.pendingMove) requestAnimationFrame(() => this.flushMove());
        this.pendingMove = event;
      });
      canvas.addEventListener('wheel', (event) => {
        if (document.activeElement !== canvas) return;
        const deltaY = wheelDelta(event);
        event.preventDefault();
        if (deltaY !== 0) this.mouse('wheel', event, {button: 0, deltaY});
      }, {passive: false});
      canvas.addEventListener('contextmenu', (event) => event.preventDefault());
      const key = (kind, event) => {
        const text = kind === 'down' && [...event.key].length === 1 ? event.key : '';
        this.send({type: 'key', element: this.id, kind, keyCode: event.keyCode, text, modifiers: modifiers(event)});
        // Tab still moves the focus on; every other key is the applet's.
        if (event.key !== 'Tab') event.preventDefault();
      };
      canvas.addEventListener('keydown', (event) => key('down', event));
      canvas.addEventListener('keyup', (event) => key('up', event));
      canvas.addEventListener('focus', () => this.send({type: 'focus', element: this.id, focused: true}));
      canvas.addEventListener('blur', () => this.send({type: 'focus', element: this.id, focused: false}));
    }

    // Frames are decoded in turn so that an older one never covers a newer one.
    frame(message) {
      const bytes = decodeBase64(message.data);
      const blob = new Blob([bytes], {type: message.format === 'png' ? 'image/png' : 'image/jpeg'});
      this.drawing = this.drawing.then(async () => {
        try {
          const picture = await createImageBitmap(blob);
          if (this.stopped) {
            picture.close();
            return;
          }
          this.picture?.close();
          this.picture = picture;
          this.redraw();
        } catch (error) {
          console.warn(`Orbolanth frame ${message.frame} not drawn: ${error}`);
        }
        // Acknowledged even when it could not be drawn: the host must not wait for it forever.
        this.send({type: 'frameAck', element: this.id, frame: message.frame});
      });
    }

    setStatus(text) {
      this.status = typeof text === 'string' ? text : '';
      this.canvas.title = this.status;
      this.redraw();
    }

    redraw() {
      const {canvas, context} = this;
      if (this.picture) {
        context.drawImage(this.picture, 0, 0);
      } else {
        context.fillStyle = '#808080';
        context.fillRect(0, 0, canvas.width, canvas.height);
      }
      if (this.status) this.drawLine(this.status);
    }

    // A thin line over the picture's bottom, as a browser's status bar would show it.
    drawLine(text) {
      const {canvas, context} = this;
      const height = Math.min(canvas.height, Math.round(16 * devicePixelRatio));
      context.fillStyle = 'rgba(0, 0, 0, 0.6)';
      context.fillRect(0, canvas.height - height, canvas.width, height);
      context.fillStyle = '#ffffff';
      context.font = `${Math.round(11 * devicePixelRatio)}px sans-serif`;
      context.textBaseline = 'middle';
      const margin = Math.round(4 * devicePixelRatio);
      context.fillText(text, margin, canvas.height - height / 2, Math.max(1, canvas.width - 2 * margin));
    }

    stop(text) {
      this.stopped = true;
      this.picture?.close();
      this.picture = null;
      this.status = text;
      this.canvas.title = text;
      this.redraw();
    }
  }

  // The page's applets and its one port to the background, opened with the first applet.
  class Page {
    constructor() {
      this.applets = new Map();  // element number -> AppletCanvas
      this.byCanvas = new Map();
      this.nextId = 1;
      this.port = null;
      this.gone = false;
      this.goneText = HOST_GONE_TEXT;
      this.resizes = new ResizeObserver((entries) => {
        for (const entry of entries) this.byCanvas.get(entry.target)?.resized(entry);
      });
    }

    send(message) {
      if (this.gone) return;
      if (!this.port) this.connect();
      this.port.postMessage(message);
    }

    connect() {
      this.port = api.runtime.connect({name: 'orbolanth-page'});
      this.port.onMessage.addListener((message) => this.received(message));
      // The extension itself went away (updated, disabled): nothing plays any more.
      this.port.onDisconnect.addListener(() => this.hostGone(HOST_GONE_TEXT));
      this.port.postMessage({type: 'hello', pageUrl: location.href, format: 'jpeg',
                             visible: document.visibilityState === 'visible'});
      document.addEventListener('visibilitychange', () => {
        this.send({type: 'visible', visible: document.visibilityState === 'visible'});
      });
    }

    received(message) {
      if (!message || typeof message.type !== 'string') return;
      if (message.type === 'hostGone') {
        this.hostGone(message.started === false ? NO_HOST_TEXT : HOST_GONE_TEXT);
        return;
      }
      const applet = this.applets.get(message.element);
      switch (message.type) {
        case 'frame':
          if (applet && typeof message.data === 'string') applet.frame(message);
          break;
        case 'status':
          applet?.setStatus(message.text);
          break;
        case 'navigate':
          if (applet) navigate(message.url, message.target);
          break;
        case 'closed':
          // Refused or ended: the canvas stays as it was last drawn.
          break;
        case 'error':
          console.warn('Orbolanth player: ' + message.what);
          break;
      }
    }

    hostGone(text) {
      if (this.gone) return;
      this.gone = true;
      this.goneText = text;
      this.port?.disconnect();
      for (const applet of this.applets.values()) applet.stop(text);
    }

    scan(root) {
      const found = [];
      if (root.nodeType === Node.ELEMENT_NODE && isApplet(root)) found.push(root);
      if (root.querySelectorAll) found.push(...Array.from(root.querySelectorAll('embed, object')).filter(isApplet));
      // In document order: an applet inside another's fallback content leaves with it.
      for (const element of found) {
        if (element.isConnected) this.adopt(element);
      }
    }

    adopt(element) {
      const id = this.nextId++;
      const applet = new AppletCanvas(this, id, element);
      this.applets.set(id, applet);
      this.byCanvas.set(applet.canvas, applet);
      if (this.gone) {
        applet.stop(this.goneText);
        return;
      }
      this.resizes.observe(applet.canvas, {box: 'device-pixel-content-box'});
      this.send(applet.added);
      applet.redraw();
    }

    forgetRemoved() {
      for (const [id, applet] of this.applets) {
        if (applet.canvas.isConnected) continue;
        this.applets.delete(id);
        this.byCanvas.delete(applet.canvas);
        this.resizes.unobserve(applet.canvas);
        applet.stop('');
        this.send({type: 'remove', element: id});
      }
    }

    watch() {
      new MutationObserver((records) => {
        let removed = false;
        for (const record of records) {
          if (record.type === 'attributes') {
            this.scan(record.target);
            continue;
          }
          removed ||= record.removedNodes.length > 0;
          for (const node of record.addedNodes) this.scan(node);
        }
        if (removed) this.forgetRemoved();
      }).observe(document, {childList: true, subtree: true, attributes: true,
                            attributeFilter: ['type', 'src', 'data', 'classid']});
      this.scan(document);
    }
  }

  // _self, _parent, _top and no target replace a page; any other opens a tab.
  function navigate(url, target) {
    if (!isLinkUrl(url)) return;
    const name = (target || '').toLowerCase();
    if (name === '' || name === '_self') {
      location.assign(url);
    } else if (name === '_parent' && window.parent !== window) {
      try {
        window.parent.location.assign(url);
      } catch {
        api.runtime.sendMessage({openLink: 'top', url});
      }
    } else if (name === '_top' || name === '_parent') {
      if (window.top === window) location.assign(url);
      else api.runtime.sendMessage({openLink: 'top', url});
    } else {
      api.runtime.sendMessage({openLink: 'tab', url});
    }
  }

  new Page().watch();
})();
