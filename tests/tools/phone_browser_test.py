#!/usr/bin/env python3
"""手机点歌 in a real browser: headless chromium, driven through the DevTools protocol over
--remote-debugging-pipe, loads the page from `linlangok-tool serve` over a generated catalogue,
taps the search box, types pinyin initials, taps 点歌 on the result, sees the song among its own
picks, and the program's queue (`queue list`) holds it. Exit 77 (skipped) without chromium.

usage: phone_browser_test.py TOOL [--screenshot OUT.png]"""
import base64, fcntl, json, os, shutil, signal, subprocess, sys, tempfile, time, urllib.request, wave

CHROMIUM = next((path for path in map(shutil.which, ("chromium", "chromium-browser", "google-chrome")) if path), None)
SONGS = {"邓丽君 - 月亮代表我的心": 2, "邓丽君 - 甜蜜蜜": 3, "周杰伦 - 晴天": 4, "田馥甄 - 小幸运": 5, "Beyond - 海阔天空": 6}


class DevTools:
    """A DevTools client over the pipe: fd 3 carries commands to chromium, fd 4 its replies, each
    message a JSON text ended by NUL."""

    def __init__(self, folder):
        to_browser, self.commands = os.pipe()
        self.replies, from_browser = os.pipe()
        # Copies above the numbers the child's fds 3 and 4 could overwrite.
        high = [fcntl.fcntl(descriptor, fcntl.F_DUPFD, 100) for descriptor in (to_browser, from_browser)]
        os.close(to_browser)
        os.close(from_browser)

        def place_pipes():
            os.dup2(high[0], 3)
            os.dup2(high[1], 4)

        self.process = subprocess.Popen(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe", "--no-first-run",
             "--user-data-dir=" + os.path.join(folder, "profile"), "about:blank"],
            pass_fds=(3, 4, *high), preexec_fn=place_pipes, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for descriptor in high:
            os.close(descriptor)
        self.pending = b""
        self.number = 0
        self.events = []

    def send(self, method, session=None, **params):
        self.number += 1
        message = {"id": self.number, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.number:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)

    def receive(self):
        while b"\0" not in self.pending:
            chunk = os.read(self.replies, 1 << 16)
            if not chunk:
                raise RuntimeError("chromium closed the pipe")
            self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        return json.loads(message)

    def close(self):
        try:
            self.send("Browser.close")
        except RuntimeError:
            pass
        self.process.wait(timeout=20)


class Page:
    def __init__(self, devtools):
        self.devtools = devtools
        target = devtools.send("Target.createTarget", url="about:blank")["targetId"]
        self.session = devtools.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.taps = 0
        # A phone's screen, with touch.
        self.call("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=2, mobile=True)
        self.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=1)

    def call(self, method, **params):
        return self.devtools.send(method, self.session, **params)

    def evaluate(self, expression):
        reply = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in reply:
            raise RuntimeError(f"{expression}: {reply['exceptionDetails']}")
        return reply["result"].get("value")

    def wait_for(self, expression, what, seconds=10):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}; page text: {self.evaluate('document.body.innerText')}")

    def tap(self, selector):
        box = self.wait_for(f"""(() => {{ const node = {selector}; if (!node) return null;
            node.scrollIntoView({{block: 'center'}}); const r = node.getBoundingClientRect();
            return {{x: r.left + r.width / 2, y: r.top + r.height / 2}}; }})()""", selector)
        point = [{"x": box["x"], "y": box["y"]}]
        self.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=point)
        self.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])
        self.taps += 1


def fill_party(started, page):
    """For the picture: two more guests pick, the host starts the first song, this phone picks again."""
    base = started["url"].split("/?")[0]
    for name, queries, pin in (("小王", ["qt", "hktk"], started["pin"]), ("小李", ["xxy"], None)):
        guest = urllib.request.build_opener(urllib.request.HTTPCookieProcessor())
        guest.open(started["url"]).read()
        post = lambda path, body: guest.open(base + path, json.dumps(body).encode()).read()
        post("/api/name", {"name": name})
        for query in queries:
            found = json.loads(guest.open(base + "/api/search?q=" + query).read())["results"][0]
            post("/api/pick", {"id": found["id"]})
        if pin:
            post("/api/host/login", {"pin": pin})
            post("/api/host/skip", {})
    page.tap("document.getElementById('search')")
    page.evaluate("document.getElementById('search').value = ''")
    page.call("Input.insertText", text="tmm")
    page.wait_for("[...document.querySelectorAll('#results li')].some(li => li.innerText.includes('甜蜜蜜'))", "甜蜜蜜")
    page.tap("document.querySelector('#results li button')")
    page.wait_for("document.querySelectorAll('#queue li').length === 4 && document.getElementById('now-title').textContent",
                  "the party's queue")
    page.evaluate("document.activeElement.blur(); window.scrollTo(0, 0)")
    time.sleep(3.2)  # the toast fades


def write_songs(folder):
    for name, seconds in SONGS.items():
        with wave.open(os.path.join(folder, name + ".wav"), "wb") as song:
            song.setnchannels(1)
            song.setsampwidth(2)
            song.setframerate(8000)
            song.writeframes(b"\0\0" * 8000 * seconds)


def main():
    tool = sys.argv[1]
    screenshot = sys.argv[sys.argv.index("--screenshot") + 1] if "--screenshot" in sys.argv else None
    if not CHROMIUM:
        print("SKIPPED: no chromium on this machine (Debian package chromium); the phone page was not tested")
        return 77
    folder = tempfile.mkdtemp(prefix="linlangok-phone-")
    environment = dict(os.environ, LINLANGOK_HOME=os.path.join(folder, "home"))
    os.makedirs(os.path.join(folder, "songs"))
    os.makedirs(environment["LINLANGOK_HOME"])
    write_songs(os.path.join(folder, "songs"))
    subprocess.run([tool, "catalog", "add", os.path.join(folder, "songs")], env=environment, check=True,
                   stdout=subprocess.DEVNULL)
    server = subprocess.Popen([tool, "serve", "--port", "0", "--address", "127.0.0.1"], env=environment,
                              stdout=subprocess.PIPE, text=True)
    devtools = None
    try:
        started = json.loads(server.stdout.readline())
        assert started["url"].startswith("http://127.0.0.1:") and "/?k=" in started["url"], started
        assert len(started["pin"]) == 4 and started["pin"].isdigit(), started
        devtools = DevTools(folder)
        page = Page(devtools)
        page.call("Page.enable")
        page.call("Page.navigate", url=started["url"])
        page.wait_for("document.readyState === 'complete' && document.getElementById('my-name').textContent",
                      "the page and its state")

        page.tap("document.getElementById('search')")
        page.call("Input.insertText", text="yldbwdx")
        page.wait_for("[...document.querySelectorAll('#results li')].some(li => li.innerText.includes('月亮代表我的心'))",
                      "月亮代表我的心 among the results of yldbwdx")
        page.tap("[...document.querySelectorAll('#results li')].find(li => li.innerText.includes('月亮代表我的心'))"
                 ".querySelector('button')")
        page.wait_for("[...document.querySelectorAll('#queue li.mine')].some(li => li.innerText.includes('月亮代表我的心')"
                      " && li.innerText.includes('我点的'))", "月亮代表我的心 among my picks")
        assert page.taps <= 3, f"{page.taps} taps from the scan to a queued song"
        print(f"scan to queued song in {page.taps} taps")
        queue = json.loads(subprocess.run([tool, "queue", "list"], env=environment, check=True,
                                          stdout=subprocess.PIPE, text=True).stdout)
        titles = [(entry["title"], entry["singer"], entry["performer"]) for entry in queue["queue"]]
        assert titles == [("月亮代表我的心", "邓丽君", "客人1")], titles
        print("the program's queue holds it:", titles)
        if screenshot:
            fill_party(started, page)
            with open(screenshot, "wb") as out:
                out.write(base64.b64decode(page.call("Page.captureScreenshot", format="png")["data"]))
    finally:
        if devtools:
            devtools.close()
        server.send_signal(signal.SIGTERM)
        code = server.wait(timeout=20)
        shutil.rmtree(folder, ignore_errors=True)
    assert code == 0, f"serve ended with {code} on SIGTERM"
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
