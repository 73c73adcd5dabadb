// The display's meters, lamps and clock, drawn on a canvas from its event stream. Levels come
// at most 25 times a second as the highest of each window; the page lets the bars fall at the
// display's release rate and keeps the peak marks itself, at every animation frame.
'use strict';

const FLOOR = -50, TOP = 5, FALL_DB_PER_S = 13.3, PEAK_HOLD_MS = 1500;
const STALE_MS = 2000, SILENT_STREAM_MS = 20000, RETRY_MS = 2000;
const MARKS = [-50, -40, -30, -20, -10, -5, 0, 5];
const PAIRS = ['prog', 'sub', 'crm'];
// The panel's own colours, one to a state: blue for NO DATA, red for NO LINK and the alarms,
// violet for a clock that is not synchronised, cyan for the end time's approach.
const COLOURS = { live: '#00c440', no_data: '#1e64eb', no_link: '#d71414', dark: '#2a2e34',
  text: '#d8dce2', dim: '#7d848e', bar: '#38d05a', barHot: '#e8c62a', barOver: '#e3343c',
  magenta: '#ff50ff', red: '#d71414', violet: '#b084ff', cyan: '#00c8ff' };
// White words on the dark faces, black on the light ones, as on the panel.
const WHITE_INK = new Set([COLOURS.no_data, COLOURS.no_link, COLOURS.red]);

const canvas = document.getElementById('panel');
const ctx = canvas.getContext('2d');

let state = null;              // the last `state` event
let clockOffsetMs = 0;         // the display's clock minus this browser's
let connected = false;
let lastLevelsAt = 0;
let lastByteAt = 0;
let token = localStorage.getItem('orvane-token') || '';
const meters = Array.from({ length: 6 }, () => ({ target: FLOOR, shown: FLOOR, peak: FLOOR, peakAt: 0 }));

function din(db) {
  const lo = Math.pow(10, FLOOR / 80), hi = Math.pow(10, TOP / 80);
  const clamped = Math.min(TOP, Math.max(FLOOR, db));
  return (Math.pow(10, clamped / 80) - lo) / (hi - lo);
}

function displayNow() { return Date.now() + clockOffsetMs; }

function pad(n, width = 2) { return String(n).padStart(width, '0'); }

// The display's own wall clock, in its own time zone.
function displayTime() {
  const offset = state ? state.utc_offset_s * 1000 : 0;
  const t = new Date(displayNow() + offset);
  return { h: t.getUTCHours(), m: t.getUTCMinutes(), s: t.getUTCSeconds(),
    date: `${t.getUTCFullYear()}-${pad(t.getUTCMonth() + 1)}-${pad(t.getUTCDate())}` };
}

function clockText(seconds) {
  const h = Math.floor(seconds / 3600), m = Math.floor(seconds / 60) % 60, s = seconds % 60;
  return h > 0 ? `${h}:${pad(m)}:${pad(s)}` : `${pad(m)}:${pad(s)}`;
}

function endTimeLeft() {
  if (!state || state.end_time.mode === 'off' || !state.end_time.time) return -1;
  const t = displayTime();
  const parts = state.end_time.time.split(':').map(Number);
  const now = t.h * 3600 + t.m * 60 + t.s;
  if (state.end_time.mode === 'daily') {
    const end = parts[0] * 3600 + parts[1] * 60 + parts[2];
    return (end - now + 86400) % 86400;
  }
  const end = parts[0] * 60 + parts[1];
  return (end - (t.m * 60 + t.s) + 3600) % 3600;
}

function applyState(next) {
  state = next;
  clockOffsetMs = next.time_ms - Date.now();
  next.meters.forEach((m, i) => {
    meters[i].target = next.link.state === 'live' ? m.level_db : FLOOR;
    if (!connected) meters[i].shown = meters[i].target;
  });
  document.getElementById('onair').classList.toggle('on', !!next.onair);
}

function applyLevels(levels) {
  lastLevelsAt = performance.now();
  if (!state || state.link.state !== 'live') return;
  levels.forEach((db, i) => { meters[i].target = db; });
}

// --- the stream: fetch, so that the token can go in a header where reading needs it ---

async function stream() {
  const controller = new AbortController();
  const watchdog = setInterval(() => {
    if (performance.now() - lastByteAt > SILENT_STREAM_MS) controller.abort();
  }, 1000);
  try {
    const headers = token ? { Authorization: `Bearer ${token}` } : {};
    const response = await fetch('/api/v1/events', { headers, signal: controller.signal, cache: 'no-store' });
    if (response.status === 401 || response.status === 429) {
      document.getElementById('message').textContent = response.status === 401
        ? 'This display shows its meters only with its access token.'
        : 'Too many wrong tokens from here: wait a minute.';
    }
    if (!response.ok) throw new Error(`status ${response.status}`);
    connected = true;
    lastByteAt = lastLevelsAt = performance.now();
    const reader = response.body.getReader();
    const decoder = new TextDecoder();
    let buffer = '';
    for (;;) {
      const { value, done } = await reader.read();
      if (done) break;
      lastByteAt = performance.now();
      buffer += decoder.decode(value, { stream: true });
      let end;
      while ((end = buffer.indexOf('\n\n')) >= 0) {
        handleEvent(buffer.slice(0, end));
        buffer = buffer.slice(end + 2);
      }
    }
  } catch (error) {
    // Dropped, refused or aborted: the page shows Offline and tries again.
  } finally {
    clearInterval(watchdog);
    connected = false;
    setTimeout(stream, RETRY_MS);
  }
}

function handleEvent(block) {
  let name = 'message', data = '';
  for (const line of block.split('\n')) {
    if (line.startsWith('event:')) name = line.slice(6).trim();
    else if (line.startsWith('data:')) data += line.slice(5).trim();
  }
  if (!data) return;
  try {
    if (name === 'state') applyState(JSON.parse(data));
    else if (name === 'levels') applyLevels(JSON.parse(data));
  } catch (error) { /* a broken event is skipped */ }
}

// --- drawing ---

let last = performance.now();

function step(now) {
  const dt = Math.min(0.25, (now - last) / 1000);
  last = now;
  for (const m of meters) {
    m.shown = m.target >= m.shown ? m.target : Math.max(m.target, m.shown - FALL_DB_PER_S * dt);
    if (m.shown >= m.peak) { m.peak = m.shown; m.peakAt = now; }
    else if (now - m.peakAt > PEAK_HOLD_MS) m.peak = Math.max(m.shown, m.peak - FALL_DB_PER_S * dt);
  }
  draw(now);
  requestAnimationFrame(step);
}

function fitCanvas() {
  const ratio = window.devicePixelRatio || 1;
  const w = canvas.clientWidth, h = canvas.clientHeight;
  if (canvas.width !== Math.round(w * ratio) || canvas.height !== Math.round(h * ratio)) {
    canvas.width = Math.round(w * ratio);
    canvas.height = Math.round(h * ratio);
  }
  ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  return { w, h };
}

function lamp(x, y, w, h, colour, text, lit) {
  ctx.fillStyle = lit ? colour : COLOURS.dark;
  roundRect(x, y, w, h, h * 0.25);
  ctx.fill();
  ctx.fillStyle = lit ? (WHITE_INK.has(colour) ? '#fff' : '#111') : COLOURS.dim;
  ctx.font = `bold ${Math.round(h * 0.5)}px sans-serif`;
  ctx.textAlign = 'center';
  ctx.textBaseline = 'middle';
  ctx.fillText(text, x + w / 2, y + h / 2 + 1, w - 6);
}

function roundRect(x, y, w, h, r) {
  ctx.beginPath();
  ctx.moveTo(x + r, y);
  ctx.arcTo(x + w, y, x + w, y + h, r);
  ctx.arcTo(x + w, y + h, x, y + h, r);
  ctx.arcTo(x, y + h, x, y, r);
  ctx.arcTo(x, y, x + w, y, r);
  ctx.closePath();
}

function linkLamp() {
  if (!state) return { colour: COLOURS.no_link, text: 'WAITING' };
  const link = state.link;
  if (link.state === 'live') return { colour: COLOURS.live, text: 'LIVE' };
  if (link.state === 'no_data') {
    const age = link.last_frame_ms ? Math.max(0, Math.floor((displayNow() - link.last_frame_ms) / 1000)) : null;
    return { colour: COLOURS.no_data, text: age === null ? 'NO DATA' : `NO DATA ${age} s` };
  }
  return { colour: COLOURS.no_link, text: `NO LINK ${link.source || ''}`.trim() };
}

function draw(now) {
  const { w, h } = fitCanvas();
  ctx.clearRect(0, 0, w, h);
  const portrait = h > w * 1.1;
  // One measure for everything, so that a phone, a tablet and a 4K screen show the same panel.
  const unit = Math.max(8, portrait ? w / 30 : Math.min(w, h) / 40);

  // Header: link lamp, connection badge, name, ON AIR.
  const headH = unit * 2.6;
  const link = linkLamp();
  lamp(unit, unit * 0.6, unit * 9, headH * 0.7, link.colour, link.text, true);
  const stale = !connected || (state && state.link.state === 'live' && now - lastLevelsAt > STALE_MS);
  lamp(unit * 10.6, unit * 0.6, unit * 6, headH * 0.7, connected ? COLOURS.live : COLOURS.no_link,
    connected ? 'Live' : 'Offline', true);
  const onair = !!(state && state.onair);
  const onW = unit * 11;
  lamp(w - onW - unit, unit * 0.4, onW, headH * 0.85, COLOURS.red, 'ON AIR', onair);
  if (state && w > unit * 40) {
    ctx.fillStyle = COLOURS.dim;
    ctx.font = `${Math.round(unit * 0.9)}px sans-serif`;
    ctx.textAlign = 'left';
    ctx.fillText(state.display || '', unit * 17.4, unit * 1.5, w - onW - unit * 19);
  }

  // Meters and clock side by side, or meters above the clock on a phone held upright.
  const top = headH + unit;
  const clockBox = portrait
    ? { x: unit, y: h - Math.max(unit * 9, h * 0.24), w: w - 2 * unit, h: Math.max(unit * 8, h * 0.24) - unit }
    : { x: w * 0.68, y: top, w: w * 0.32 - unit, h: h - top - unit };
  const meterBox = portrait
    ? { x: unit, y: top, w: w - 2 * unit, h: clockBox.y - top - unit }
    : { x: unit, y: top, w: w * 0.68 - 2 * unit, h: h - top - unit };
  drawMeters(meterBox, unit);
  drawClock(clockBox, unit);

  if (stale) {
    ctx.fillStyle = 'rgba(20, 22, 26, 0.62)';
    ctx.fillRect(0, headH, w, h - headH);
  }
}

function drawMeters(box, unit) {
  const pairW = box.w / 3;
  const scaleH = box.h - unit * 6.2;
  const barTop = box.y + unit * 0.6;
  ctx.font = `${Math.round(unit * 0.75)}px sans-serif`;
  for (let p = 0; p < 3; ++p) {
    const px = box.x + p * pairW;
    const barW = Math.min(unit * 3, pairW * 0.22);
    const gap = Math.max(barW * 0.5, unit * 2.4);
    const x0 = px + pairW / 2 - barW - gap / 2;
    // The printed scale between the two bars.
    ctx.textAlign = 'center';
    ctx.textBaseline = 'middle';
    for (const mark of MARKS) {
      const y = barTop + scaleH * (1 - din(mark));
      ctx.fillStyle = mark > 0 ? COLOURS.red : COLOURS.dim;
      ctx.fillText(mark > 0 ? `+${mark}` : `${mark}`, px + pairW / 2, y);
      ctx.fillRect(x0 - unit * 0.4, y, unit * 0.3, 1);
      ctx.fillRect(x0 + 2 * barW + gap + unit * 0.1, y, unit * 0.3, 1);
    }
    for (let side = 0; side < 2; ++side) {
      const m = meters[p * 2 + side];
      const x = x0 + side * (barW + gap);
      ctx.fillStyle = '#0d0f11';
      ctx.fillRect(x, barTop, barW, scaleH);
      const level = din(m.shown);
      const zero = din(0);
      const grad = ctx.createLinearGradient(0, barTop + scaleH, 0, barTop);
      grad.addColorStop(0, COLOURS.bar);
      grad.addColorStop(zero * 0.92, COLOURS.bar);
      grad.addColorStop(zero, COLOURS.barHot);
      grad.addColorStop(1, COLOURS.barOver);
      ctx.fillStyle = grad;
      ctx.fillRect(x, barTop + scaleH * (1 - level), barW, scaleH * level);
      if (m.peak > FLOOR) {
        ctx.fillStyle = '#ffffff';
        ctx.fillRect(x, barTop + scaleH * (1 - din(m.peak)) - 1, barW, 2);
      }
    }
    // Caption, over and silence lamps under the pair.
    const pair = state ? state.pairs[PAIRS[p]] : null;
    const below = barTop + scaleH + unit * 0.8;
    ctx.fillStyle = COLOURS.text;
    ctx.font = `bold ${Math.round(unit * 1.1)}px sans-serif`;
    ctx.textAlign = 'center';
    ctx.fillText(pair ? pair.caption : PAIRS[p].toUpperCase(), px + pairW / 2, below + unit * 0.5, pairW - unit);
    const lampW = Math.min(pairW - unit, unit * 9);
    const over = pair && pair.over.latched;
    lamp(px + (pairW - lampW) / 2, below + unit * 1.5, lampW, unit * 1.6, COLOURS.red,
      over ? `OVER ${pair.over.count}×` : 'OVER', over);
    const silent = pair && pair.silence.active;
    // A pair that is not watched says so, rather than an unlit SILENCE read as "no silence".
    let silenceText = pair && pair.silence.watched === false ? 'NOT WATCHED' : 'SILENCE';
    if (silent && pair.silence.since_ms) silenceText += ` ${clockText(Math.max(0, Math.floor((displayNow() - pair.silence.since_ms) / 1000)))}`;
    lamp(px + (pairW - lampW) / 2, below + unit * 3.5, lampW, unit * 1.6, COLOURS.red, silenceText, silent);
  }
  ctx.font = `${Math.round(unit * 0.75)}px sans-serif`;
}

function drawClock(box, unit) {
  const t = displayTime();
  ctx.textAlign = 'center';
  ctx.textBaseline = 'middle';
  const cx = box.x + box.w / 2;
  const size = Math.min(box.w / 5.2, box.h / 4);
  ctx.fillStyle = COLOURS.text;
  ctx.font = `bold ${Math.round(size)}px "DejaVu Sans Mono", monospace`;
  ctx.fillText(`${pad(t.h)}:${pad(t.m)}:${pad(t.s)}`, cx, box.y + box.h * 0.3);
  ctx.font = `${Math.round(size * 0.32)}px sans-serif`;
  ctx.fillStyle = COLOURS.dim;
  ctx.fillText(t.date, cx, box.y + box.h * 0.3 + size * 0.8);
  if (state && state.clock) {
    ctx.fillStyle = state.clock.synchronised ? COLOURS.live : COLOURS.violet;
    ctx.fillText(state.clock.legend || (state.clock.synchronised ? 'SYNC' : 'NOT SYNCED'), cx, box.y + box.h * 0.3 - size * 0.85);
  }
  let line = box.y + box.h * 0.3 + size * 1.5;
  ctx.font = `bold ${Math.round(size * 0.45)}px sans-serif`;
  const end = endTimeLeft();
  if (end >= 0 && end <= 600) {
    ctx.fillStyle = end <= 15 ? COLOURS.red : COLOURS.cyan;
    ctx.fillText(`END ${clockText(end)}`, cx, line);
    line += size * 0.6;
  }
  if (state && state.countdown.state !== 'idle') {
    let text = 'TIME UP';
    if (state.countdown.state === 'running') {
      const left = Math.max(0, Math.round((state.countdown.ends_ms - displayNow()) / 1000));
      text = left > 0 ? `COUNT ${clockText(left)}` : 'TIME UP';
    }
    ctx.fillStyle = text === 'TIME UP' ? COLOURS.red : COLOURS.magenta;
    if (text !== 'TIME UP' || Math.floor(performance.now() / 500) % 2 === 0) ctx.fillText(text, cx, line);
  }
}

// --- commands, with the token entered once and kept in this browser ---

function showCommands() {
  document.getElementById('commands').hidden = !token;
  document.getElementById('token-forget').hidden = !token;
  document.getElementById('token').value = '';
  document.getElementById('token').placeholder = token ? 'token kept in this browser' : 'for the commands';
}

async function command(method, path, body) {
  const message = document.getElementById('message');
  try {
    const response = await fetch(path, {
      method, cache: 'no-store',
      headers: { Authorization: `Bearer ${token}`, 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const answer = await response.json();
    if (!response.ok) { message.textContent = answer.error || `refused (${response.status})`; return; }
    message.textContent = '';
    applyState(answer);
  } catch (error) {
    message.textContent = 'the display did not answer';
  }
}

document.getElementById('token-form').addEventListener('submit', (event) => {
  event.preventDefault();
  token = document.getElementById('token').value.trim();
  if (token) localStorage.setItem('orvane-token', token);
  showCommands();
});
document.getElementById('token-forget').addEventListener('click', () => {
  token = '';
  localStorage.removeItem('orvane-token');
  showCommands();
});
document.getElementById('reset').addEventListener('click', () => command('POST', '/api/v1/reset'));
document.getElementById('countdown-start').addEventListener('click', () => {
  const seconds = parseInt(document.getElementById('countdown-seconds').value, 10);
  command('POST', '/api/v1/countdown', Number.isFinite(seconds) ? { seconds } : undefined);
});
document.getElementById('countdown-cancel').addEventListener('click', () => command('DELETE', '/api/v1/countdown'));
document.getElementById('end-set').addEventListener('click', () => {
  const mode = document.getElementById('end-mode').value;
  const time = document.getElementById('end-time').value.trim();
  command('PUT', '/api/v1/endtime', mode === 'off' ? { mode } : { mode, time });
});
document.getElementById('onair').addEventListener('click', () =>
  command('PUT', '/api/v1/onair', { on: !(state && state.onair) }));

showCommands();
stream();
requestAnimationFrame(step);
