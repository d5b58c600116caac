#!/usr/bin/env bash
# Audits the built site (build-web/site, from tools/run-web.sh --no-serve) with Lighthouse in its
# default mobile mode (simulated slow 4G, CPU slowed four times), as a new user's phone sees it,
# served by a plain static server: prints each run's four scores with the largest contentful
# paint, total blocking time, layout shift and time to interactive, then the medians.
# Usage: tools/lighthouse.sh [RUNS]    (3 by default; reports stay in build-web/lighthouse/)
# Lighthouse (pinned) is installed into build-web/lighthouse/tool on first use, from npm.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-3}
site=build-web/site
out=build-web/lighthouse
tool=$out/tool
[ -f "$site/index.html" ] || { echo "no site in $site: build it with tools/run-web.sh --no-serve" >&2; exit 1; }
mkdir -p "$out"
if [ ! -f "$tool/node_modules/lighthouse/cli/index.js" ]; then
  npm install --prefix "$tool" --no-audit --no-fund --loglevel=error lighthouse@12.2.3 >/dev/null
fi

# A free loopback port for the server, which stops with this script.
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  /usr/bin/python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null && break
  sleep 0.1
done

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$runs"); do
  node "$tool/node_modules/lighthouse/cli/index.js" "http://127.0.0.1:$port/" --quiet \
    --only-categories=performance,accessibility,best-practices,seo \
    --chrome-path=/usr/bin/chromium \
    --chrome-flags="--headless=new --no-sandbox --enable-unsafe-swiftshader --use-angle=swiftshader" \
    --output=json --output-path="$out/run-$run.json"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

node - "$out" "$runs" <<'EOF'
const fs = require('fs');
const [folder, runs] = process.argv.slice(2);
const reports = Array.from({ length: Number(runs) }, (_, i) => JSON.parse(fs.readFileSync(`${folder}/run-${i + 1}.json`)));
const columns = [
  ['Performance', (r) => r.categories.performance.score * 100],
  ['Accessibility', (r) => r.categories.accessibility.score * 100],
  ['Best practices', (r) => r.categories['best-practices'].score * 100],
  ['SEO', (r) => r.categories.seo.score * 100],
  ['LCP s', (r) => r.audits['largest-contentful-paint'].numericValue / 1000],
  ['TBT ms', (r) => r.audits['total-blocking-time'].numericValue],
  ['CLS', (r) => r.audits['cumulative-layout-shift'].numericValue],
  ['TTI s', (r) => r.audits.interactive.numericValue / 1000],
];
const shown = (name, value) => (name === 'CLS' ? value.toFixed(3) : name.endsWith(' s') ? value.toFixed(2) : Math.round(value));
const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
console.log(['run', ...columns.map(([name]) => name)].join('\t'));
reports.forEach((r, i) => console.log([i + 1, ...columns.map(([name, get]) => shown(name, get(r)))].join('\t')));
console.log(['median', ...columns.map(([name, get]) => shown(name, median(reports.map(get))))].join('\t'));
for (const r of reports) {
  const failing = Object.values(r.categories).flatMap((c) => c.auditRefs)
    .map((ref) => r.audits[ref.id]).filter((a) => a.score !== null && a.score < 1 && a.scoreDisplayMode === 'binary');
  if (failing.length) console.log('failing:', [...new Set(failing.map((a) => a.id))].join(', '));
}
EOF
