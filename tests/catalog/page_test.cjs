// The route catalogue page in headless Chromium, served from a loopback
// server: it loads without console errors, lists every registered route, and
// a search for "6100" shows "/6100".
//   node page_test.cjs BUILD/api BUILD/nvr-routes
const { execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const path = require("path");
const { requirePackage } = require("./node_modules_dir.cjs");
const { chromium } = requirePackage("playwright-core");

const browserPath = process.env.NVR_CHROMIUM || "/usr/bin/chromium";
const types = { ".html": "text/html; charset=utf-8", ".json": "application/json" };

// Serves the folder under /api/ on 127.0.0.1 (a free port).
function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = request.url.replace(/^\/api\//, "").replace(/\?.*$/, "") || "index.html";
    const file = path.join(folder, path.basename(name));
    if (!request.url.startsWith("/api/") || !fs.existsSync(file)) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "text/plain" });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function main() {
  const [folder, routesProgram] = process.argv.slice(2);
  if (!fs.existsSync(browserPath)) {
    console.log(`SKIPPED: no browser at ${browserPath} (tools/install-deps.sh)`);
    process.exit(77);
  }
  const codes = execFileSync(routesProgram, ["--list"], { encoding: "utf8" })
    .split("\n").filter((line) => line.length > 0);
  const server = await serve(folder);
  const browser = await chromium.launch({
    executablePath: browserPath,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run"],
    timeout: 30000,
  });
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on("console", (message) => {
      if (message.type() === "error") errors.push(message.text());
    });
    page.on("pageerror", (error) => errors.push(error.message));
    const url = `http://127.0.0.1:${server.address().port}/api/`;
    const response = await page.goto(url, { waitUntil: "load", timeout: 30000 });
    check(response.ok(), `GET ${url} answered ${response.status()}`);

    const listed = await page.locator(".route").count();
    check(listed === codes.length, `the page lists ${listed} routes, ${codes.length} are registered`);
    const total = await page.locator("#count").getAttribute("data-total");
    check(total === String(codes.length), `the count says ${total}`);
    const shownCodes = await page.locator(".route .code").allTextContents();
    check(JSON.stringify(shownCodes) === JSON.stringify(codes), "the page's codes differ from the tables'");

    await page.fill("#search", "6100");
    const visible = await page.locator(".route:visible .code").allTextContents();
    check(visible.includes("/6100"), `a search for 6100 shows ${visible.join(" ")}`);
    check(visible.length < codes.length, "the search filtered nothing");
    const shown = await page.locator("#count").getAttribute("data-shown");
    check(shown === String(visible.length), `the count shows ${shown} for ${visible.length} visible`);

    await page.fill("#search", "disk format");
    const words = await page.locator(".route:visible .code").allTextContents();
    check(words.includes("/6102"), `a search for "disk format" shows ${words.join(" ")}`);

    check(errors.length === 0, `console errors: ${errors.join(" | ")}`);
    console.log(`page lists ${listed} routes; search finds /6100`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(`failed: ${error.message}`);
  process.exit(1);
});
