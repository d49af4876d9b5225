// The operator console: asks the server for its state every second and
// shows it; sends the operator's changes at once. Inputs being edited are
// left alone until their change is sent.
'use strict';

const POLL_MS = 1000;
const CHANGE_HEADERS = { 'Content-Type': 'application/json', 'X-Kelvo-Console': '1' };
const FORMS = { general: 'vispārējā', alcohol: 'alkohola' };
const OUTCOMES = {
  printed: 'nodrukāta', 'no printer': 'nav printera', 'not printed': 'netika drukāta',
  cancelled: 'atcelta', failed: 'neizdevās',
};
const MODES = { window: 'ar logu', headless: 'bez loga' };

const $ = (id) => document.getElementById(id);
const editing = new Set();  // ids of inputs with a change not yet sent
const shown = {};           // what each table shows, to redraw only on change
let pollTimer = null;

function cell(row, text, className) {
  const td = document.createElement('td');
  td.textContent = text === null || text === undefined ? '' : String(text);
  if (className) td.className = className;
  row.appendChild(td);
  return td;
}

function setText(id, text) {
  const element = $(id);
  if (element.textContent !== text) element.textContent = text;
}

async function send(path, body) {
  const response = await fetch(path, {
    method: 'POST', headers: CHANGE_HEADERS, body: JSON.stringify(body), credentials: 'same-origin',
  });
  let data = null;
  try { data = await response.json(); } catch (e) { data = null; }
  return { status: response.status, data };
}

// --- Settings ---------------------------------------------------------------

function showInput(id, value) {
  const input = $(id);
  if (editing.has(id) || document.activeElement === input) return;
  if (input.value !== String(value)) input.value = String(value);
}

function showDepartments(id, departments, key, emptyText) {
  const select = $(id);
  const signature = JSON.stringify(departments);
  if (select.dataset.list !== signature) {
    select.replaceChildren();
    const empty = document.createElement('option');
    empty.value = '';
    empty.textContent = emptyText;
    empty.disabled = true;
    select.appendChild(empty);
    for (const department of departments) {
      const option = document.createElement('option');
      option.value = String(department.isn);
      option.textContent = department.name;
      select.appendChild(option);
    }
    select.dataset.list = signature;
  }
  if (document.activeElement === select && editing.has(id)) return;
  const listed = departments.some((department) => department.isn === key);
  const value = listed ? String(key) : '';
  if (select.value !== value) select.value = value;
}

function showSettings(settings, departments) {
  showInput('date-from', settings.dateFrom);
  showInput('date-to', settings.dateTo);
  showInput('copies', settings.copies);
  showDepartments('sending', departments.sending, settings.sendingDepartment, '(nav izvēlēta)');
  showDepartments('hidden', departments.hidden, settings.hiddenDepartment, '(nav)');
}

async function changeSettings(change, id) {
  if (id) editing.add(id);
  try {
    const { status, data } = await send('/api/settings', change);
    if (status === 401) { showLogin(); return; }
    setText('settings-error', status === 200 ? '' : (data && data.error) || `Kļūda ${status}`);
    if (id) editing.delete(id);
    if (status === 200) render(data);
    else poll();
  } catch (e) {
    if (id) editing.delete(id);
    setText('settings-error', 'Serveris neatbild');
  }
}

function watchInput(id, name, value) {
  const input = $(id);
  let sent = null;
  const commit = () => {
    if (!editing.has(id) || input.value === sent) return;
    sent = input.value;
    const parsed = value(input.value);
    if (parsed === undefined) {
      setText('settings-error', 'Kopiju skaitam jābūt veselam skaitlim');
      editing.delete(id);
      return;
    }
    changeSettings({ [name]: parsed }, id);
  };
  input.addEventListener('input', () => { editing.add(id); sent = null; });
  input.addEventListener('change', commit);
  input.addEventListener('keydown', (event) => { if (event.key === 'Enter') commit(); });
  input.addEventListener('blur', () => { if (input.value === sent || sent === null) editing.delete(id); });
}

function watchDepartment(id, name) {
  const select = $(id);
  select.addEventListener('change', () => {
    if (select.value !== '') changeSettings({ [name]: Number(select.value) }, null);
  });
}

// --- Server, handhelds, journal -------------------------------------------

function describeDatabase(server) {
  if (server.databaseReachable === null) return ['vēl nav pārbaudīta', ''];
  const checked = server.databaseCheckedAt ? ` (pārbaudīta ${server.databaseCheckedAt})` : '';
  if (server.databaseReachable) return [`pieejama${checked}`, 'reachable'];
  return [`nav pieejama: ${server.databaseError}${checked}`, 'unreachable'];
}

function describePrint(print) {
  if (!print) return 'nekas netiek drukāts';
  const by = print.peer ? `, pieprasīja ${print.peer}` : '';
  return `drukā pavadzīmi ${print.number || print.isn} (${FORMS[print.form] || print.form}) kopš ${print.startedAt}${by}`;
}

function showServer(server) {
  setText('mode', MODES[server.mode] || server.mode);
  setText('listen', server.listen);
  setText('database', server.database);
  const [text, className] = describeDatabase(server);
  setText('database-state', text);
  $('database-state').className = className;
  setText('next-number', server.nextWaybillNumber || 'turpinās pēc jaunākās datubāzes pavadzīmes');
  setText('running-print', describePrint(server.runningPrint));
  setText('server-time', server.time);
}

function redraw(name, rows, fill) {
  const signature = JSON.stringify(rows);
  if (shown[name] === signature) return;
  shown[name] = signature;
  const body = document.querySelector(`#${name} tbody`);
  body.replaceChildren();
  for (const row of rows) {
    const tr = document.createElement('tr');
    fill(tr, row);
    body.appendChild(tr);
  }
}

function showHandhelds(handhelds) {
  setText('handheld-count', String(handhelds.length));
  redraw('handhelds', handhelds, (tr, handheld) => {
    cell(tr, handheld.peer);
    cell(tr, handheld.since);
    cell(tr, handheld.requests, 'number');
    cell(tr, handheld.lastRequest || '—');
  });
}

async function reprint(entry) {
  setText('reprint-message', `Pavadzīme ${entry.number || entry.isn} tiek drukāta vēlreiz…`);
  try {
    const { status, data } = await send('/api/reprint', { isn: entry.isn });
    if (status === 401) { showLogin(); return; }
    if (status !== 202) setText('reprint-message', (data && data.error) || `Kļūda ${status}`);
    poll();
  } catch (e) {
    setText('reprint-message', 'Serveris neatbild');
  }
}

function showJournal(journal) {
  // A new entry ends the wait for a reprint, however it went.
  if (shown.journal !== undefined && shown.journal !== JSON.stringify(journal)) setText('reprint-message', '');
  redraw('journal', journal, (tr, entry) => {
    if (entry.outcome !== 'printed') tr.className = 'failed';
    cell(tr, entry.startedAt);
    cell(tr, entry.isn, 'number');
    cell(tr, entry.number);
    cell(tr, FORMS[entry.form] || entry.form);
    cell(tr, entry.copies, 'number');
    cell(tr, entry.destination);
    cell(tr, `${entry.durationMs} ms`, 'number');
    cell(tr, OUTCOMES[entry.outcome] || entry.outcome, 'outcome');
    cell(tr, entry.error, 'print-error');
    cell(tr, entry.peer);
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'reprint';
    button.textContent = 'Drukāt vēlreiz';
    button.addEventListener('click', () => reprint(entry));
    cell(tr, '').appendChild(button);
  });
}

// --- The whole ----------------------------------------------------------------

function render(state) {
  $('login').hidden = true;
  $('console').hidden = false;
  showSettings(state.settings, state.departments);
  showServer(state.server);
  showHandhelds(state.server.handhelds);
  showJournal(state.journal);
}

function setConnection(online) {
  const status = $('connection');
  status.textContent = online ? 'Savienots' : 'Serveris neatbild';
  status.className = online ? 'status' : 'status offline';
}

function showLogin() {
  $('console').hidden = true;
  $('login').hidden = false;
}

async function poll() {
  clearTimeout(pollTimer);
  try {
    const response = await fetch('/api/state', { credentials: 'same-origin', cache: 'no-store' });
    if (response.status === 401) {
      setConnection(true);
      showLogin();
      return;
    }
    if (!response.ok) throw new Error(String(response.status));
    render(await response.json());
    setConnection(true);
  } catch (e) {
    setConnection(false);
  } finally {
    if ($('login').hidden) pollTimer = setTimeout(poll, POLL_MS);
  }
}

async function login(event) {
  event.preventDefault();
  try {
    const { status, data } = await send('/api/login', { token: $('token').value });
    if (status !== 204) {
      setText('login-error', (data && data.error) || `Kļūda ${status}`);
      return;
    }
    setText('login-error', '');
    $('token').value = '';
    $('login').hidden = true;
    poll();
  } catch (e) {
    setText('login-error', 'Serveris neatbild');
  }
}

function parseCopies(text) {
  return /^-?\d+$/.test(text.trim()) ? Number(text) : undefined;
}

document.addEventListener('DOMContentLoaded', () => {
  watchInput('date-from', 'dateFrom', (text) => text.trim());
  watchInput('date-to', 'dateTo', (text) => text.trim());
  watchInput('copies', 'copies', parseCopies);
  watchDepartment('sending', 'sendingDepartment');
  watchDepartment('hidden', 'hiddenDepartment');
  $('today').addEventListener('click', () => changeSettings({ today: true }, null));
  $('clear-hidden').addEventListener('click', () => changeSettings({ hiddenDepartment: 0 }, null));
  $('login-form').addEventListener('submit', login);
  poll();
});
