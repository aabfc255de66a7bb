"""Headless Chromium logs in to the running program's control panel, sends a command
through its form and takes a picture of the log frame.

Usage: remote_browser.py PORT USER PASSWORD DATA_FOLDER PRESET SCREENSHOT
Chromium is driven over its DevTools pipe; it may resolve and reach 127.0.0.1 only.
Exits 77 when Chromium is not installed, 1 when a check fails.
"""

import base64
import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

port, user, password, data, preset, screenshot = sys.argv[1:7]
chromium = shutil.which("chromium") or shutil.which("chromium-browser")
if not chromium:
    print("chromium is not installed")
    sys.exit(77)


class Browser:
    def __init__(self, profile):
        # The DevTools pipe is on the child's descriptors 3 (commands) and 4 (answers).
        # The pipe ends are moved above 100 first so that placing them cannot clobber
        # one another.
        ends = [fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 100) for pair in (os.pipe(), os.pipe())
                for fd in pair]
        for fd in range(3, 7):
            try:
                os.close(fd)
            except OSError:
                pass
        to_browser_r, self.to_browser, self.from_browser, from_browser_w = ends
        os.dup2(to_browser_r, 3)
        os.dup2(from_browser_w, 4)
        self.process = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             f"--user-data-dir={profile}", "--no-first-run", "--no-default-browser-check",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-extensions", "--no-proxy-server",
             "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
             "--window-size=1000,640", "about:blank"],
            pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for fd in (3, 4, to_browser_r, from_browser_w):
            os.close(fd)
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def send(self, method, params=None, session=None, timeout=20):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for answer in self.read():
                if answer.get("id") == self.next_id:
                    if "error" in answer:
                        raise RuntimeError(f"{method}: {answer['error']}")
                    return answer.get("result", {})
                self.events.append(answer)
        raise RuntimeError(f"{method}: no answer")

    def read(self):
        chunk = os.read(self.from_browser, 1 << 20)
        if not chunk:
            raise RuntimeError("chromium ended")
        self.buffer += chunk
        *messages, self.buffer = self.buffer.split(b"\0")
        return [json.loads(m) for m in messages if m]

    def wait_event(self, method, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for i, event in enumerate(self.events):
                if event.get("method") == method:
                    del self.events[i]
                    return event
            self.events.extend(self.read())
        raise RuntimeError(f"no {method}")

    def close(self):
        try:
            self.send("Browser.close", timeout=5)
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def log_holds(text):
    try:
        with open(os.path.join(data, "swl.log"), encoding="utf-8") as f:
            return any(line.rstrip("\r\n").endswith(text) for line in f)
    except OSError:
        return False


failures = []
with tempfile.TemporaryDirectory() as profile:
    browser = Browser(profile)
    try:
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = browser.send("Target.attachToTarget",
                               {"targetId": target, "flatten": True})["sessionId"]
        credential = base64.b64encode(f"{user}:{password}".encode()).decode()
        browser.send("Network.enable", session=session)
        browser.send("Network.setExtraHTTPHeaders",
                     {"headers": {"Authorization": "Basic " + credential}}, session=session)
        browser.send("Page.enable", session=session)
        browser.send("Page.navigate", {"url": f"http://127.0.0.1:{port}/cp.htm"}, session=session)
        browser.wait_event("Page.loadEventFired")

        def evaluate(expression):
            result = browser.send("Runtime.evaluate",
                                  {"expression": expression, "returnByValue": True},
                                  session=session)
            return result.get("result", {}).get("value")

        title = evaluate("window.frames['mainFrame'].document.title")
        if title != "SWL Control Panel":
            failures.append(f"command frame not loaded: {title!r}")
        evaluate("(() => { const d = window.frames['mainFrame'].document;"
                 f" d.querySelector('input[name=Command]').value = {json.dumps(preset)};"
                 " d.forms[0].submit(); return true; })()")
        deadline = time.monotonic() + 60
        while not log_holds(f"{preset}: Done.") and time.monotonic() < deadline:
            time.sleep(0.2)
        if not log_holds(f'HTTP - Received command: "{preset}".'):
            failures.append("the command was not received")
        if not log_holds(f"{preset}: Done."):
            failures.append("the preset did not run")
        evaluate("window.frames['bottomFrame'].location.reload()")
        time.sleep(1.5)
        shown = evaluate("window.frames['bottomFrame'].document.body.innerText") or ""
        if f'HTTP - Received command: "{preset}".' not in shown:
            failures.append(f"log frame does not show the command: {shown[-300:]!r}")
        picture = browser.send("Page.captureScreenshot", {"format": "png"}, session=session)
        with open(screenshot, "wb") as f:
            f.write(base64.b64decode(picture["data"]))
    except RuntimeError as error:
        failures.append(str(error))
    finally:
        browser.close()

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
