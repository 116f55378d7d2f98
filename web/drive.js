// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the web game in headless Chromium through its DevTools protocol:
// opens URL, then runs the steps: wait:MS, go:URL, key:NAME (press and release),
// hold:NAME:MS, shot:FILE.png, eval:EXPRESSION, until:EXPRESSION (polled
// until true, at most 30 s; prints when), and prints the page's console lines.
//   node --experimental-websocket web/drive.js URL STEP...
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

// The browser's key codes, which the web's SDL reads.
const KEYS = { Enter: 13, Escape: 27, ArrowUp: 38, ArrowDown: 40, ArrowLeft: 37, ArrowRight: 39, Space: 32 };
const keyCode = (name) => KEYS[name] || name.toUpperCase().charCodeAt(0);

function startBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'chainball-web-'));
  const browser = spawn('chromium', ['--headless', '--no-sandbox', '--disable-gpu', '--window-size=700,600',
    '--remote-debugging-port=0', '--user-data-dir=' + profile, 'about:blank'], { stdio: ['ignore', 'ignore', 'pipe'] });
  return new Promise((resolve, reject) => {
    let said = '';
    const timer = setTimeout(() => reject(new Error('chromium did not start')), 20000);
    browser.stderr.on('data', (d) => {
      said += d;
      const m = said.match(/DevTools listening on ws:\/\/([^/]+)\//);
      if (m) { clearTimeout(timer); resolve({ browser, host: m[1] }); }
    });
  });
}

async function main() {
  const [url, ...steps] = process.argv.slice(2);
  const { browser, host } = await startBrowser();
  try {
    const pages = await (await fetch(`http://${host}/json/list`)).json();
    const ws = new WebSocket(pages.find((p) => p.type === 'page').webSocketDebuggerUrl);
    await new Promise((r) => ws.addEventListener('open', r));
    let id = 0;
    const waiting = new Map();
    ws.addEventListener('message', (m) => {
      const msg = JSON.parse(m.data);
      if (msg.id && waiting.has(msg.id)) { waiting.get(msg.id)(msg); waiting.delete(msg.id); }
      if (msg.method === 'Runtime.consoleAPICalled')
        console.log('page: ' + msg.params.args.map((a) => a.value).join(' '));
      if (msg.method === 'Runtime.exceptionThrown') console.log('page error: ' + msg.params.exceptionDetails.text);
    });
    const call = (method, params = {}) => new Promise((r) => { waiting.set(++id, r); ws.send(JSON.stringify({ id, method, params })); });
    const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
    const key = (type, name) => call('Input.dispatchKeyEvent', { type, key: name, windowsVirtualKeyCode: keyCode(name) });
    await call('Runtime.enable');
    const started = Date.now();
    await call('Page.navigate', { url });
    for (const step of steps) {
      const [what, arg, ms] = step.split(':');
      if (what === 'wait') await sleep(+arg);
      else if (what === 'go') await call('Page.navigate', { url: step.slice(3) });
      else if (what === 'key') { await key('keyDown', arg); await sleep(60); await key('keyUp', arg); }
      else if (what === 'hold') { await key('keyDown', arg); await sleep(+ms); await key('keyUp', arg); }
      else if (what === 'shot') {
        const shot = await call('Page.captureScreenshot', { format: 'png' });
        fs.writeFileSync(arg, Buffer.from(shot.result.data, 'base64'));
        console.log(`${arg} at ${Date.now() - started} ms`);
      } else if (what === 'until') {
        const expression = step.slice(6);
        for (let t = 0; t < 600; t++, await sleep(50)) {
          const r = await call('Runtime.evaluate', { expression, returnByValue: true });
          if (r.result.result.value) break;
        }
        console.log(`${expression}: at ${Date.now() - started} ms`);
      } else if (what === 'eval') {
        const r = await call('Runtime.evaluate', { expression: arg, returnByValue: true });
        console.log(`${arg} = ${JSON.stringify(r.result.result.value)}`);
      }
    }
    ws.close();
  } finally {
    browser.kill();
  }
}
main().catch((e) => { console.error('drive: ' + e.message); process.exit(1); });
