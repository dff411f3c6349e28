// What the web page costs in headless chromium with the GPU off, side by side with two pages that stand
// for the browser's own floor. Each page in a browser of its own, one after the other, in rounds:
//   CPU of every process of the browser (/proc/PID/stat, utime + stime), by type (renderer, gpu-process,
//   the browser itself, the rest), and the page's script and task time (DevTools Performance.getMetrics);
// then the time from navigation to the first picture of the Zarvo1 page, five times, from the server.
// Usage: node scripts/measure-web.mjs SECONDS WARMUP ROUNDS LABEL=URL...
import fs from 'node:fs';
import { execFileSync } from 'node:child_process';
import { launch } from './browser.mjs';

const [seconds, warmup, rounds, ...pages] = process.argv.slice(2);
const HZ = Number(execFileSync('getconf', ['CLK_TCK']).toString());
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Every process under the browser: its CPU ticks so far and its type.
function processes(root) {
  const all = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const cmd = fs.readFileSync(`/proc/${name}/cmdline`, 'utf8');
      all.set(Number(name), { ppid: Number(f[1]), ticks: Number(f[11]) + Number(f[12]), type: /--type=([\w-]+)/.exec(cmd)?.[1] ?? 'browser' });
    } catch { /* ended meanwhile */ }
  }
  const mine = new Map();
  const walk = (pid) => {
    mine.set(pid, all.get(pid));
    for (const [child, p] of all) if (p.ppid === pid && !mine.has(child)) walk(child);
  };
  if (all.has(root)) walk(root);
  return mine;
}

const metrics = async (page) => Object.fromEntries((await page.send('Performance.getMetrics')).metrics.map((m) => [m.name, m.value]));

async function measure(url) {
  const browser = await launch('chromium');
  try {
    const page = await browser.open(url, { width: 800, height: 600 });
    await page.send('Performance.enable');
    await sleep(warmup * 1000);
    const p0 = processes(browser.pid);
    const m0 = await metrics(page);
    const t0 = performance.now();
    await sleep(seconds * 1000);
    const p1 = processes(browser.pid);
    const m1 = await metrics(page);
    const wall = (performance.now() - t0) / 1000;
    const cpu = {};
    // A process that started during the run counts from zero; one that ended is lost (none should).
    for (const [pid, p] of p1) {
      const before = p0.get(pid)?.ticks ?? 0;
      const kind = ['renderer', 'gpu-process', 'browser'].includes(p.type) ? p.type : 'other';
      cpu[kind] = (cpu[kind] ?? 0) + (p.ticks - before) / HZ / wall * 100;
    }
    cpu.all = Object.values(cpu).reduce((a, b) => a + b, 0);
    const script = (m1.ScriptDuration - m0.ScriptDuration) / wall * 100;
    const task = (m1.TaskDuration - m0.TaskDuration) / wall * 100;
    return { cpu, script, task, gone: [...p0.keys()].filter((pid) => !p1.has(pid)).length };
  } finally {
    await browser.close();
  }
}

const pct = (v) => (v ?? 0).toFixed(2).padStart(7);
const results = new Map();
for (let round = 1; round <= rounds; round++) {
  for (const entry of pages) {
    const [label, url] = [entry.slice(0, entry.indexOf('=')), entry.slice(entry.indexOf('=') + 1)];
    const r = await measure(url);
    results.set(label, [...(results.get(label) ?? []), r]);
    console.log(`round ${round} ${label.padEnd(22)} all ${pct(r.cpu.all)} %  renderer ${pct(r.cpu.renderer)}  gpu ${pct(r.cpu['gpu-process'])}  ` +
      `browser ${pct(r.cpu.browser)}  other ${pct(r.cpu.other)}  script ${pct(r.script)}  tasks ${pct(r.task)}${r.gone ? `  (${r.gone} processes ended)` : ''}`);
  }
}

console.log(`\nmeans over ${rounds} round(s) of ${seconds} s each, percent of one core:`);
console.log('| page | all processes | renderer | gpu-process | browser | other | script | tasks |');
console.log('| --- | --- | --- | --- | --- | --- | --- | --- |');
const mean = (rs, f) => rs.reduce((a, r) => a + (f(r) ?? 0), 0) / rs.length;
const totals = [];
for (const [label, rs] of results) {
  const all = mean(rs, (r) => r.cpu.all);
  totals.push(all);
  console.log(`| ${label} | ${all.toFixed(2)} | ${mean(rs, (r) => r.cpu.renderer).toFixed(2)} | ${mean(rs, (r) => r.cpu['gpu-process']).toFixed(2)} | ` +
    `${mean(rs, (r) => r.cpu.browser).toFixed(2)} | ${mean(rs, (r) => r.cpu.other).toFixed(2)} | ${mean(rs, (r) => r.script).toFixed(3)} | ${mean(rs, (r) => r.task).toFixed(2)} |`);
}
if (totals.length >= 3) console.log(`last page / second page, all processes: ${(totals[2] / totals[1]).toFixed(2)}`);

// The first picture: from the start of the navigation (the page's time origin) to the first frame after
// the page said it is ready, with the cache off so that every file comes from the server. Every page after
// the two baselines, loaded in turn, seven times each.
const sites = pages.slice(2).map((entry) => [entry.slice(0, entry.indexOf('=')), entry.slice(entry.indexOf('=') + 1)]);
const browser = await launch('chromium');
try {
  const page = await browser.open('about:blank', { width: 800, height: 600 });
  await page.send('Network.enable');
  await page.send('Network.setCacheDisabled', { cacheDisabled: true });
  await page.send('Page.addScriptToEvaluateOnNewDocument', {
    source: `(function look() { requestAnimationFrame(() => {
      if (globalThis.zarvo1Page?.ready) globalThis.__firstPicture = performance.now(); else look(); }); })();`,
  });
  const times = new Map(sites.map(([label]) => [label, []]));
  for (let i = 0; i < 7; i++) {
    for (const [label, url] of sites) {
      await browser.open(url, { width: 800, height: 600 });
      for (let t = 0; t < 100 && !(await page.eval('globalThis.__firstPicture ?? null')); t++) await sleep(50);
      times.get(label).push(Math.round(await page.eval('globalThis.__firstPicture ?? -1')));
    }
  }
  console.log('\nfirst picture after navigation, ms (7 loads each, in turn, cache off):');
  for (const [label, ts] of times) {
    ts.sort((a, b) => a - b);
    console.log(`${label.padEnd(22)} ${ts.join(' ')}; median ${ts[3]}`);
  }
} finally {
  await browser.close();
}
