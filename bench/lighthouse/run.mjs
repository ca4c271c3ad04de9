// SPDX-License-Identifier: MIT
// Lighthouse's scores for the browser page, fully offline: the page served on
// 127.0.0.1 by a small static server of our own, Debian's Chromium kept off
// the network. Lighthouse's defaults otherwise: a mobile phone, simulated
// throttling. The runs are made with no sound server, as on a machine
// without a sound device, and once more with a private PulseAudio.
// Then the page's first loads without any throttling, traced: the longest
// task of the page's main thread from the navigation until it is idle, with
// and without a sound server. Each figure is given beside the same for the
// floor: the page without its scripts (the menu bar, the stage and the
// style, as the browser shows them before the game has come), served as
// /floor.html.
//   node run.mjs [--runs N] [--rows FILE] [--reports DIR] [BUILD_WEB_DIR]
// Prints the median score (0 to 100) and range of each category over the runs,
// the page's metrics, and every audit that scored below 1 with its value.
// --rows writes the categories as rows of bench/results.md's table;
// --reports keeps each run's full Lighthouse report (JSON).
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { existsSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, extname, join, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';
import lighthouse from 'lighthouse';
import * as chromeLauncher from 'chrome-launcher';
import puppeteer from 'puppeteer-core';

const categories = ['performance', 'accessibility', 'best-practices', 'seo'];
const metrics = [
    ['first-contentful-paint', 'FCP'], ['largest-contentful-paint', 'LCP'], ['total-blocking-time', 'TBT'],
    ['cumulative-layout-shift', 'CLS'], ['speed-index', 'SI'],
];

const args = process.argv.slice(2);
let runs = 3, rowsFile = null, reportsDir = null;
let root = resolve(dirname(fileURLToPath(import.meta.url)), '../../build-web');
for (let i = 0; i < args.length; i++) {
    if (args[i] === '--runs') runs = Math.max(1, parseInt(args[++i], 10) || 1);
    else if (args[i] === '--rows') rowsFile = args[++i];
    else if (args[i] === '--reports') reportsDir = args[++i];
    else root = resolve(args[i]);
}
statSync(join(root, 'index.html'));

// Served as a static web host serves it: each file with its Content-Type, and
// text gzipped when the browser accepts it, as every real host does (the
// page's weight and Lighthouse's text-compression audit depend on it). No
// Cache-Control: how long browsers keep the files is the host's choice.
const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
    '.webmanifest': 'application/manifest+json', '.json': 'application/json',
    '.png': 'image/png', '.wasm': 'application/wasm', '.css': 'text/css; charset=utf-8',
    '.txt': 'text/plain; charset=utf-8', '.svg': 'image/svg+xml', '.ico': 'image/x-icon',
};
const compressible = new Set(['.html', '.js', '.webmanifest', '.json', '.css', '.txt', '.svg', '.wasm']);
const floorPage = readFileSync(join(root, 'index.html'), 'utf8').replace(/<script[^>]*>[\s\S]*?<\/script>\s*/g, '');
const server = createServer((req, res) => {
    let path = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    if (path.endsWith('/')) path += 'index.html';
    const file = resolve(root, '.' + path);
    let body;
    try {
        if (!file.startsWith(root + sep) || (req.method !== 'GET' && req.method !== 'HEAD')) throw new Error();
        body = path === '/floor.html' ? Buffer.from(floorPage) : readFileSync(file);
    } catch {
        res.writeHead(404, { 'Content-Type': 'text/plain; charset=utf-8' });
        res.end('Not found\n');
        return;
    }
    const ext = extname(file);
    const headers = {
        'Content-Type': types[ext] || 'application/octet-stream',
        'Last-Modified': statSync(path === '/floor.html' ? join(root, 'index.html') : file).mtime.toUTCString(),
    };
    if (compressible.has(ext)) {
        headers['Vary'] = 'Accept-Encoding';
        if (/\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
            body = gzipSync(body);
            headers['Content-Encoding'] = 'gzip';
        }
    }
    headers['Content-Length'] = body.length;
    res.writeHead(200, headers);
    res.end(req.method === 'HEAD' ? undefined : body);
});
await new Promise(ok => server.listen(0, '127.0.0.1', ok));
const url = `http://127.0.0.1:${server.address().port}/`;

// Flags that keep Chromium off the network (no updates, sync, field trials,
// default apps), on top of chrome-launcher's own, in a profile of its own.
const chromeFlags = [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--disable-default-apps',
];
// A private PulseAudio with a null sink, as the tests start one; its address.
const soundServer = async () => {
    const dir = mkdtempSync(join(tmpdir(), 'tarvo-pulse-'));
    const proc = spawn('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--disable-shm=yes',
        '-L', `module-native-protocol-unix auth-anonymous=1 socket=${dir}/native`, '-L', 'module-null-sink sink_name=tarvo_null'],
        { env: { ...process.env, HOME: dir, XDG_RUNTIME_DIR: dir, XDG_CONFIG_HOME: dir }, stdio: 'ignore' });
    for (let i = 0; i < 100 && !existsSync(`${dir}/native`); i++) await new Promise(ok => setTimeout(ok, 50));
    if (!existsSync(`${dir}/native`)) throw new Error('PulseAudio did not start');
    const ended = new Promise(ok => proc.on('exit', ok));
    return {
        address: `unix:${dir}/native`,
        stop: async () => {
            proc.kill();
            await ended;
            rmSync(dir, { recursive: true, force: true });
        },
    };
};
const noServer = 'unix:/nonexistent/tarvo-bench';

// A browser just started goes on starting for a few seconds (its own pages
// compile their scripts, its profile is written): the page is loaded after
// that, as in a browser that a player has open.
const settle = () => new Promise(ok => setTimeout(ok, 3000));

const lighthouseRuns = async (pulse, keep, path = '') => {
    const reports = [];
    for (let i = 0; i < runs; i++) {
        const profile = mkdtempSync(join(tmpdir(), 'tarvo-lighthouse-'));
        const chrome = await chromeLauncher.launch({
            chromePath: process.env.CHROME_PATH || '/usr/bin/chromium', chromeFlags, userDataDir: profile,
            logLevel: 'silent', envVars: { ...process.env, PULSE_SERVER: pulse },
        });
        try {
            await settle();
            const result = await lighthouse(url + path, { port: chrome.port, output: 'json', logLevel: 'error', onlyCategories: categories });
            reports.push(result.lhr);
            if (reportsDir && keep) {
                mkdirSync(reportsDir, { recursive: true });
                writeFileSync(join(reportsDir, `lighthouse-${i + 1}.json`), result.report);
            }
        } finally {
            await chrome.kill();
            rmSync(profile, { recursive: true, force: true });
        }
    }
    return reports;
};

// The longest task of the page's main thread, in ms, from the navigation
// until 2 s after its load event: one load each in a browser of its own.
const longestTask = async (path, pulse) => {
    const profile = mkdtempSync(join(tmpdir(), 'tarvo-trace-'));
    const browser = await puppeteer.launch({ executablePath: process.env.CHROME_PATH || '/usr/bin/chromium',
        userDataDir: profile, args: chromeFlags, env: { ...process.env, PULSE_SERVER: pulse } });
    try {
        const page = await browser.newPage();
        await settle();
        await page.tracing.start({ categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline', 'toplevel'] });
        await page.goto(url + path, { waitUntil: 'load' });
        await new Promise(ok => setTimeout(ok, 2000));
        const events = JSON.parse(Buffer.from(await page.tracing.stop()).toString('utf8')).traceEvents;
        // The page's main thread: the one that parsed its HTML.
        const main = events.find(e => e.name === 'ParseHTML' && JSON.stringify(e.args).includes(url));
        return Math.max(...events.filter(e => e.pid === main.pid && e.tid === main.tid && e.name === 'RunTask' && e.dur)
            .map(e => e.dur / 1000));
    } finally {
        await browser.close();
        rmSync(profile, { recursive: true, force: true });
    }
};

const loads = Math.max(3, runs + 2);
let reports = [], withSound = [], floorReports = [];
const traced = {};
try {
    reports = await lighthouseRuns(noServer, true);
    floorReports = await lighthouseRuns(noServer, false, 'floor.html');
    const pulse = await soundServer();
    try {
        withSound = await lighthouseRuns(pulse.address, false);
        for (const [name, address] of [['no sound server', noServer], ['with a sound server', pulse.address]])
            for (const path of ['', 'floor.html']) {
                const key = `${name} ${path || 'page'}`;
                traced[key] = [];
                for (let i = 0; i < loads; i++) traced[key].push(await longestTask(path, address));
            }
    } finally {
        await pulse.stop();
    }
} finally {
    server.close();
}

const median = xs => {
    const s = [...xs].sort((a, b) => a - b), m = s.length >> 1;
    return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
};
const score = x => Math.round(x * 100);
const spread = xs => xs.length > 1 ? `, ${Math.min(...xs)} to ${Math.max(...xs)}` : '';
const of = reports.length > 1 ? ` (median of ${reports.length} runs` : ' (one run';
const lhr0 = reports[0];
console.log(`Lighthouse ${lhr0.lighthouseVersion}, ${lhr0.environment.hostUserAgent.match(/Chrome\/\S+/)?.[0]}, ` +
    `${lhr0.configSettings.formFactor}, throttling ${lhr0.configSettings.throttlingMethod}, ${url}`);
// The table's rows: with the metrics' medians for performance, and the
// audits that cost the other categories points.
const ms = v => v >= 1000 ? `${(v / 1000).toFixed(1)} s` : `${Math.round(v)} ms`;
const costly = id => lhr0.categories[id].auditRefs.filter(ref => ref.weight > 0 &&
    reports.some(r => r.audits[ref.id].score !== null && r.audits[ref.id].score < 1)).map(ref => ref.id);
// The performance figure: the score, and the metrics' medians.
const performance = runsOf => {
    const xs = runsOf.map(r => score(r.categories.performance.score));
    return `${Math.round(median(xs))}${runsOf.length > 1 ? ` (median of ${runsOf.length} runs` : ' (one run'}${spread(xs)}); ` +
        metrics.map(([audit, name]) => {
            const v = median(runsOf.map(r => r.audits[audit].numericValue));
            return `${name} ${name === 'CLS' ? v.toFixed(3) : name === 'TBT' ? `${Math.round(v)} ms` : ms(v)}`;
        }).join(', ');
};
const rows = [];
for (const id of categories) {
    const xs = reports.map(r => score(r.categories[id].score));
    const m = Math.round(median(xs));
    console.log(`${lhr0.categories[id].title.padEnd(16)} ${String(m).padStart(3)}${of}${spread(xs)})`);
    let figure = `${m}${of}${spread(xs)})`, floor = '-';
    if (id === 'performance') {
        figure = performance(reports);
        floor = 'the page without its scripts: ' + performance(floorReports);
        console.log(`  the floor page: ${floor}`);
    } else if (costly(id).length) {
        figure += `; below 1: ${costly(id).join(', ')}`;
    }
    rows.push(`| Lighthouse ${id}, Chromium | ${figure} | ${floor} | - | 100 | ${m === 100 ? 'met' : 'missed'} |`);
}
const perf = xs => xs.map(r => score(r.categories.performance.score));
const tbt = xs => Math.round(median(xs.map(r => r.audits['total-blocking-time'].numericValue)));
const soundPerf = perf(withSound);
rows.push(`| Lighthouse performance, Chromium, with a sound server | ${Math.round(median(soundPerf))}${of}${spread(soundPerf)}); ` +
    `TBT ${tbt(withSound)} ms | - | - | 100 | ${median(soundPerf) === 100 ? 'met' : 'missed'} |`);
console.log(`Performance with a sound server: ${soundPerf.join(', ')}; TBT ${withSound.map(r => Math.round(r.audits['total-blocking-time'].numericValue)).join(', ')} ms`);
const ms1 = v => v.toFixed(1);
for (const name of ['no sound server', 'with a sound server']) {
    const game = traced[`${name} page`], floor = traced[`${name} floor.html`];
    const m = median(game);
    console.log(`Longest main-thread task while loading, ${name}: ${game.map(ms1).join(', ')} ms (floor ${floor.map(ms1).join(', ')})`);
    rows.push(`| chromium: longest main-thread task while loading, ${name}, median of ${game.length} | ` +
        `${ms1(m)} (${ms1(Math.min(...game))} to ${ms1(Math.max(...game))}) ms | ` +
        `${ms1(median(floor))} (${ms1(Math.min(...floor))} to ${ms1(Math.max(...floor))}) ms | - | < 50 ms | ${m < 50 ? 'met' : 'missed'} |`);
    if (!game.every(Number.isFinite)) throw new Error('a load left no trace of its main thread');
}
console.log('\nMetrics, run by run:');
for (const [id, name] of metrics)
    console.log(`  ${name.padEnd(4)} ${reports.map(r => r.audits[id].displayValue).join(', ')}`);

// Every audit in the four categories that scored below 1 in any run; those of
// weight 0 (performance's diagnostics) do not move the category's score.
console.log('\nAudits below 1 (score run by run; weight in its category):');
for (const id of categories) {
    for (const ref of lhr0.categories[id].auditRefs) {
        const runsOf = reports.map(r => r.audits[ref.id]);
        if (!runsOf.some(a => a.score !== null && a.score < 1)) continue;
        const a = runsOf[0];
        const values = runsOf.some(x => x.displayValue) ? runsOf.map(x => x.displayValue || '-').join(' | ') : '';
        console.log(`  ${id}: ${ref.id} "${a.title}" score ${runsOf.map(x => x.score ?? '-').join(', ')}; ` +
            `weight ${ref.weight}${values ? `; ${values}` : ''}`);
    }
}
if (rowsFile) writeFileSync(rowsFile, rows.join('\n') + '\n');
