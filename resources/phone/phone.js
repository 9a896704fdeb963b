'use strict';
// 手机点歌: search, pick, the queue and what plays, polled every two seconds.
(() => {
  const $ = (id) => document.getElementById(id);
  let me = { host: false, picks: 0, limit: 3 };
  let searchTimer = 0;
  let searchNumber = 0;
  let toastTimer = 0;

  function toast(text) {
    const box = $('toast');
    box.textContent = text;
    box.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => { box.hidden = true; }, 3000);
  }

  async function call(method, path, body) {
    const options = { method, credentials: 'same-origin', headers: {} };
    if (body !== undefined) {
      options.headers['Content-Type'] = 'application/json';
      options.body = JSON.stringify(body);
    }
    let response;
    try {
      response = await fetch(path, options);
    } catch (error) {
      throw new Error('连不上点歌程序，请检查网络。');
    }
    const reply = await response.json().catch(() => ({}));
    if (!response.ok)
      throw new Error(reply.error || ('请求失败（' + response.status + '）'));
    return reply;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className)
      node.className = className;
    if (text !== undefined)
      node.textContent = text;
    return node;
  }

  function minutes(milliseconds) {
    const seconds = Math.round(milliseconds / 1000);
    return Math.floor(seconds / 60) + ':' + String(seconds % 60).padStart(2, '0');
  }

  function button(text, action, quiet) {
    const node = element('button', quiet ? 'quiet' : '', text);
    node.type = 'button';
    node.addEventListener('click', async () => {
      node.disabled = true;
      try {
        await action();
      } catch (error) {
        toast(error.message);
      }
      node.disabled = false;
    });
    return node;
  }

  function songText(title, detail, badge) {
    const text = element('div', 'text');
    const first = element('div', 'title-line', title);
    if (badge)
      first.appendChild(element('span', 'badge', badge));
    text.appendChild(first);
    text.appendChild(element('div', 'detail', detail));
    return text;
  }

  function renderResults(reply) {
    const list = $('results');
    list.replaceChildren();
    for (const song of reply.results) {
      const item = element('li');
      const detail = [song.singer, song.kind.toUpperCase(), song.length_ms ? minutes(song.length_ms) : '']
        .filter(Boolean).join(' · ');
      item.appendChild(songText(song.title, detail));
      item.appendChild(button('点歌', async () => {
        await call('POST', '/api/pick', { id: song.id });
        toast('已点：' + song.title);
        await refresh();
      }));
      list.appendChild(item);
    }
    $('results-note').textContent = !reply.ready ? '歌库还在载入，请稍候再搜。'
      : reply.results.length ? '' : ($('search').value.trim() ? '没有找到这首歌。' : '');
  }

  async function search() {
    const number = ++searchNumber;
    const query = $('search').value.trim();
    try {
      const reply = await call('GET', '/api/search?q=' + encodeURIComponent(query));
      if (number === searchNumber)
        renderResults(reply);
    } catch (error) {
      toast(error.message);
    }
  }

  function renderState(state) {
    me = state.me;
    $('my-name').textContent = me.name;
    if (document.activeElement !== $('name'))
      $('name').value = me.name;
    const current = state.current;
    $('now-label').textContent = current ? (state.playing ? '正在播放' : '当前歌曲') : '现在没有歌在播放';
    $('now-title').textContent = current ? current.title : '';
    $('now-detail').textContent = current
      ? [current.singer, current.performer ? '演唱：' + current.performer : ''].filter(Boolean).join(' · ') : '';
    $('mine-count').textContent = '（我点了 ' + me.picks + '/' + me.limit + ' 首）';
    const list = $('queue');
    list.replaceChildren();
    state.queue.forEach((entry, index) => {
      const item = element('li', entry.mine ? 'mine' : '');
      item.appendChild(element('span', 'number', String(index + 1)));
      const detail = [entry.singer, entry.performer ? '演唱：' + entry.performer : ''].filter(Boolean).join(' · ');
      item.appendChild(songText(entry.title, detail, entry.mine ? '我点的' : ''));
      if (me.host)
        item.appendChild(button('优先', () => call('POST', '/api/host/prioritize', { ticket: entry.ticket }).then(refresh), true));
      if (entry.mine || me.host) {
        const path = entry.mine ? '/api/unpick' : '/api/host/remove';
        item.appendChild(button('删除', () => call('POST', path, { ticket: entry.ticket }).then(refresh), true));
      }
      list.appendChild(item);
    });
    $('queue-note').textContent = state.queue.length === 0 ? '还没有人点歌。'
      : state.more ? '后面还有 ' + state.more + ' 首。' : '';
    $('host-controls').hidden = !me.host;
    $('pin-form').hidden = me.host;
  }

  async function refresh() {
    try {
      renderState(await call('GET', '/api/state'));
    } catch (error) {
      toast(error.message);
    }
  }

  $('search').addEventListener('input', () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(search, 200);
  });
  $('search').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      clearTimeout(searchTimer);
      search();
    }
  });
  $('name-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    try {
      await call('POST', '/api/name', { name: $('name').value });
      $('name-box').open = false;
      await refresh();
    } catch (error) {
      toast(error.message);
    }
  });
  $('pin-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    try {
      await call('POST', '/api/host/login', { pin: $('pin').value.trim() });
      $('pin').value = '';
      toast('已进入主持人模式');
      await refresh();
    } catch (error) {
      toast(error.message);
    }
  });
  for (const control of document.querySelectorAll('[data-host]')) {
    control.addEventListener('click', async () => {
      const body = control.dataset.host === 'key' ? { step: Number(control.dataset.step) } : {};
      try {
        await call('POST', '/api/host/' + control.dataset.host, body);
        await refresh();
      } catch (error) {
        toast(error.message);
      }
    });
  }

  refresh();
  search();
  setInterval(refresh, 2000);
})();
