// The web remote: the rooms, and a room's evening controls built from qjd's own description
// of them (GET /api/v1/params), kept live by the event stream (/api/v1/events). Captions,
// value texts and status texts come from qjd; only the page's own words are here.
'use strict';

(function () {
  const WORDS = {
    zh: {
      name: '中文', language: '语言', rooms: '包房', back: '返回包房列表',
      connecting: '正在连接 qjd……', noRooms: '没有包房。', noRoom: '没有这个包房。',
      unreachable: '无法连接 qjd：正在重试……',
      refused: '没有进入许可：请再次打开管理员给的链接（含令牌）。',
      recall: (memory) => `调用 ${memory}？当前的设置将被这个记忆替换。`,
      cancel: '取消', recallNow: '调用',
    },
    en: {
      name: 'English', language: 'Language', rooms: 'Rooms', back: 'Back to the rooms',
      connecting: 'Connecting to qjd…', noRooms: 'No rooms.', noRoom: 'No such room.',
      unreachable: 'Cannot reach qjd: trying again…',
      refused: 'Not let in: open the link with the token from the manager again.',
      recall: (memory) => `Recall ${memory}? It replaces the current settings.`,
      cancel: 'Cancel', recallNow: 'Recall',
    },
  };
  const TOKEN_KEY = 'qj-token';
  const LANGUAGE_KEY = 'qj-language';
  const FIRST_RETRY_MS = 500;
  const LAST_RETRY_MS = 8000;

  const $ = (selector) => document.querySelector(selector);
  const main = $('#main');
  const notices = {
    unreachable: $('[data-notice="unreachable"]'),
    refused: $('[data-notice="token"]'),
    offline: $('[data-notice="offline"]'),
  };

  let token = localStorage.getItem(TOKEN_KEY) || '';
  let language = chooseLanguage();
  let description = null; // GET /api/v1/params
  const rooms = new Map(); // id: the room as the event stream tells it
  let socket = null;
  let retryMs = FIRST_RETRY_MS;
  let reachable = false;
  let heard = false; // the stream has answered once
  let refused = false;
  let view = null; // the room on screen: {id, fieldset, controls}

  function words() { return WORDS[language]; }

  function chooseLanguage() {
    const chosen = localStorage.getItem(LANGUAGE_KEY);
    if (chosen in WORDS) return chosen;
    for (const tag of navigator.languages || [navigator.language || 'en']) {
      const base = tag.toLowerCase().slice(0, 2);
      if (base in WORDS) return base;
    }
    return 'en';
  }

  function el(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  // The manager's link carries the token in the fragment: kept in this browser, and taken out
  // of the address bar and the history at once.
  function takeToken() {
    const found = /^#token=([^&]*)/.exec(location.hash);
    if (!found) return false;
    try {
      token = decodeURIComponent(found[1]);
    } catch (e) {
      token = found[1];
    }
    localStorage.setItem(TOKEN_KEY, token);
    history.replaceState(null, '', location.pathname + '#/');
    return true;
  }

  function refuse() {
    refused = true;
    if (socket) socket.close();
    showNotices();
  }

  async function api(method, path, body) {
    const headers = {};
    if (token) headers.Authorization = 'Bearer ' + token;
    const init = { method, headers, cache: 'no-store' };
    if (body !== undefined) {
      headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    const response = await fetch('/api/v1' + path, init);
    if (response.status === 401) refuse();
    return response;
  }

  async function loadDescription() {
    try {
      const response = await api('GET', '/params');
      if (response.ok) {
        description = await response.json();
        render();
      }
    } catch (e) {
      // Unreachable: the event stream's notice says so, and its return asks again.
    }
  }

  function connect() {
    if (refused) return;
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    const ws = new WebSocket(scheme + location.host + '/api/v1/events');
    socket = ws;
    ws.onopen = () => ws.send(JSON.stringify({ token }));
    ws.onmessage = (message) => {
      retryMs = FIRST_RETRY_MS;
      heard = true;
      if (!reachable) {
        reachable = true;
        if (!description) loadDescription();
      }
      received(JSON.parse(message.data));
    };
    ws.onclose = (closed) => {
      if (socket !== ws) return;
      socket = null;
      reachable = false;
      if (closed.code === 1008) return refuse();
      heard = true;
      update();
      setTimeout(connect, retryMs);
      retryMs = Math.min(retryMs * 2, LAST_RETRY_MS);
    };
  }

  function received(event) {
    if (event.rooms) {
      rooms.clear();
      for (const room of event.rooms) rooms.set(room.id, room);
      return render();
    }
    const room = rooms.get(event.room);
    if (!room) return;
    if ('state' in event) {
      room.state = event.state;
      room.reason = event.reason;
    }
    if ('muted' in event) room.muted = event.muted;
    if (event.settings) Object.assign(room.settings, event.settings);
    update();
  }

  // At most one request per control in flight; while one is, a newer value replaces the one
  // waiting, and the last value is always sent.
  function sender(send) {
    let inFlight = false;
    let wanted = null;
    async function pump() {
      inFlight = true;
      while (wanted !== null) {
        const value = wanted;
        wanted = null;
        try {
          await send(value);
        } catch (e) {
          // Unreachable or refused: the notices say so, and the control shows what qjd holds.
        }
      }
      inFlight = false;
      update();
    }
    return {
      send(value) {
        wanted = value;
        if (!inFlight) pump();
      },
      busy: () => inFlight || wanted !== null,
    };
  }

  function caption(p) { return p.caption[language]; }
  function textOf(p, value) {
    const found = p.values.find((v) => v.value === value);
    return found ? found.text : value === null || value === undefined ? '–' : String(value);
  }
  function roomPath(id, what) { return '/rooms/' + encodeURIComponent(id) + '/' + what; }
  function patch(id, name, value) {
    return api('PATCH', roomPath(id, 'settings'), { [name]: value });
  }

  function head(p, labelFor) {
    const line = el('div', 'head');
    const label = el(labelFor ? 'label' : 'span', 'caption', caption(p));
    if (labelFor) label.htmlFor = labelFor;
    const value = el('span', 'value');
    line.append(label, value);
    return { line, value };
  }

  // A level: a range whose value is the raw parameter value. Its top is the larger of the
  // limit the processor reports and the level itself: a level above its limit is shown as it
  // is, and moving it down takes it to the limit at once (the processor refuses anything above).
  function level(p, id) {
    const box = el('div', 'control');
    const input = el('input');
    input.type = 'range';
    input.id = 'param-' + p.name;
    input.dataset.param = p.name;
    input.min = p.min;
    input.max = p.max;
    input.step = 1;
    const { line, value } = head(p, input.id);
    box.append(line, input);
    const send = sender((v) => patch(id, p.name, v));
    let shown = null;
    function show(v) {
      value.textContent = textOf(p, v);
      input.setAttribute('aria-valuetext', textOf(p, v));
    }
    function limitNow() {
      const room = rooms.get(id);
      const limit = p.limit && room ? room.settings[p.limit] : null;
      return limit === null || limit === undefined ? p.max : limit;
    }
    input.addEventListener('input', () => {
      let v = Number(input.value);
      const limit = limitNow();
      if (v > limit) v = shown !== null && shown > limit && v >= shown ? shown : limit;
      input.value = v;
      show(v);
      if (v !== shown) {
        shown = v;
        send.send(v);
      }
    });
    return {
      element: box,
      update(room) {
        if (send.busy()) return; // the person's own value stands until qjd has answered it
        const reported = room.settings[p.name];
        shown = reported === null || reported === undefined ? null : reported;
        input.max = Math.max(limitNow(), shown === null ? 0 : shown);
        if (shown !== null) input.value = shown;
        input.classList.toggle('unknown', shown === null); // not reported: no value to show
        show(shown);
      },
    };
  }

  // One of a group of buttons; a user memory asks before it recalls.
  function choice(p, id) {
    const box = el('div', 'control');
    box.dataset.param = p.name;
    box.setAttribute('role', 'group');
    const { line, value } = head(p);
    box.setAttribute('aria-label', caption(p));
    const buttons = el('div', 'choices');
    box.append(line, buttons);
    const send = sender((v) => patch(id, p.name, v));
    for (const v of p.values) {
      if (v.hidden) continue;
      const button = el('button', '', v.text);
      button.type = 'button';
      button.dataset.value = v.value;
      button.setAttribute('aria-label', caption(p) + ' ' + v.text);
      button.addEventListener('click', async () => {
        if (p.kind === 'memory' && !(await confirmed(words().recall(v.text)))) return;
        send.send(v.value);
      });
      buttons.append(button);
    }
    return {
      element: box,
      update(room) {
        const reported = room.settings[p.name];
        value.textContent = textOf(p, reported);
        for (const button of buttons.children)
          button.setAttribute('aria-pressed', String(Number(button.dataset.value) === reported));
      },
    };
  }

  function mute(p, id) {
    const box = el('div', 'control');
    const button = el('button', '', caption(p));
    button.type = 'button';
    button.dataset.param = 'Mute';
    box.append(button);
    const send = sender((on) => api('PUT', roomPath(id, 'muted'), on));
    button.addEventListener('click', () => send.send(button.getAttribute('aria-pressed') !== 'true'));
    return {
      element: box,
      update(room) { button.setAttribute('aria-pressed', String(Boolean(room.muted))); },
    };
  }

  function confirmed(question) {
    const dialog = $('#confirm');
    const cancel = dialog.querySelector('[data-confirm="cancel"]');
    const ok = dialog.querySelector('[data-confirm="ok"]');
    $('#confirm-text').textContent = question;
    cancel.textContent = words().cancel;
    ok.textContent = words().recallNow;
    return new Promise((resolve) => {
      function done(answer) {
        cancel.onclick = ok.onclick = dialog.oncancel = null;
        dialog.close();
        resolve(answer);
      }
      cancel.onclick = () => done(false);
      ok.onclick = () => done(true);
      dialog.oncancel = (e) => {
        e.preventDefault();
        done(false);
      };
      dialog.showModal();
      cancel.focus();
    });
  }

  function routeRoom() {
    const found = /^#\/rooms\/([^/]+)$/.exec(location.hash);
    return found ? decodeURIComponent(found[1]) : null;
  }

  function statusText(room) {
    if (!description) return room.state;
    return description.status[room.state === 'online' ? 'online' : 'offline'][language];
  }

  function renderList() {
    $('#title').textContent = words().rooms;
    if (!heard) return main.append(el('p', '', words().connecting));
    if (rooms.size === 0) return main.append(el('p', '', words().noRooms));
    const list = el('ul', 'rooms');
    for (const room of rooms.values()) {
      const item = el('li');
      const link = el('a', 'room');
      link.href = '#/rooms/' + encodeURIComponent(room.id);
      link.dataset.room = room.id;
      link.append(el('span', 'name', room.name), el('span', 'state', statusText(room)));
      if (room.reason) link.title = room.reason;
      item.append(link);
      list.append(item);
    }
    main.append(list);
  }

  function renderRoom(id) {
    const room = rooms.get(id);
    $('#title').textContent = room ? room.name : id;
    if (!room) return main.append(el('p', '', heard ? words().noRoom : words().connecting));
    if (!description) return main.append(el('p', '', words().connecting));
    const fieldset = el('fieldset');
    const controls = [];
    const build = { level, choice, memory: choice, mute };
    for (const p of description.parameters) {
      const control = build[p.kind](p, id);
      controls.push(control);
      fieldset.append(control.element);
    }
    main.append(fieldset);
    view = { id, fieldset, controls };
  }

  // The page built afresh: a new route, language or snapshot.
  function render() {
    document.documentElement.lang = language === 'zh' ? 'zh-CN' : 'en';
    const other = language === 'zh' ? 'en' : 'zh';
    const switcher = $('#language');
    switcher.textContent = WORDS[other].name;
    switcher.setAttribute('aria-label', words().language + ': ' + WORDS[other].name);
    const home = $('#home');
    home.textContent = '‹';
    home.setAttribute('aria-label', words().back);
    home.hidden = routeRoom() === null;
    main.replaceChildren();
    view = null;
    const id = routeRoom();
    if (id === null) renderList();
    else renderRoom(id);
    update();
  }

  function showNotices() {
    notices.refused.textContent = words().refused;
    notices.refused.hidden = !refused;
    notices.unreachable.textContent = words().unreachable;
    notices.unreachable.hidden = refused || reachable || !heard;
    const room = view ? rooms.get(view.id) : null;
    const offline = Boolean(reachable && room && room.state !== 'online');
    notices.offline.textContent = description ? description.status.offline[language] : '';
    notices.offline.hidden = !offline || !description;
    if (view) view.fieldset.disabled = !reachable || refused || offline;
  }

  // The values and states shown, in place: a drag in progress keeps its element.
  function update() {
    showNotices();
    if (!view) {
      if (routeRoom() === null && heard) {
        for (const link of main.querySelectorAll('[data-room]')) {
          const room = rooms.get(link.dataset.room);
          if (room) link.querySelector('.state').textContent = statusText(room);
        }
      }
      return;
    }
    const room = rooms.get(view.id);
    if (room) for (const control of view.controls) control.update(room);
  }

  $('#language').addEventListener('click', () => {
    language = language === 'zh' ? 'en' : 'zh';
    localStorage.setItem(LANGUAGE_KEY, language);
    render();
  });
  window.addEventListener('hashchange', () => {
    if (takeToken()) {
      refused = false;
      if (!socket) connect();
    }
    render();
  });

  takeToken();
  render();
  connect();
})();
