"""Drives the running program's remote control with Python's HTTP client.

Usage: remote_client.py PORT USER PASSWORD
Prints one line per failed check and exits 1 when any failed. Only 127.0.0.1 is
contacted.
"""

import base64
import http.client
import re
import socket
import sys
import threading
import time
import urllib.parse

HOST = "127.0.0.1"
PORT = int(sys.argv[1])
CREDENTIAL = base64.b64encode(f"{sys.argv[2]}:{sys.argv[3]}".encode()).decode()
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def request(method, path, body=None, authorized=True, headers=None):
    connection = http.client.HTTPConnection(HOST, PORT, timeout=10)
    all_headers = dict(headers or {})
    if authorized:
        all_headers["Authorization"] = "Basic " + CREDENTIAL
    if body is not None:
        all_headers.setdefault("Content-Type", "application/x-www-form-urlencoded")
    connection.request(method, path, body=body, headers=all_headers)
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response, data


def post_form(path, fields, authorized=True):
    return request("POST", path, urllib.parse.urlencode(fields), authorized)


TIME = re.compile(rb"Local server time: \d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d ?\. ")
STAMP = re.compile(rb"\[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\]")


def masked(page):
    return STAMP.sub(b"[STAMP]", TIME.sub(b"Local server time: NOW. ", page))


# Pages: the fixed ones byte for byte, the others with the clock masked.
PAGES = {
    "/cp.htm": b'<html><head><title>SWL Remote Access</title><meta http-equiv="Content-Type" '
    b'content="text/html; charset=windows-1251"></head><frameset rows="60,*" '
    b'frameborder="YES" border="0" framespacing="0"><frame name="mainFrame" '
    b'src="command.htm"><frame name="bottomFrame" scrolling="YES" src="log.htm"></frameset>'
    b'<noframes><body bgcolor="#FFFFFF" text="#000000"></body></noframes></html>',
    "/": b"<HTML><HEAD><TITLE>SWL remote control</TITLE></HEAD><BODY><H2>SWL remote control"
    b"</H2>Local server time: NOW. Refresh interval: 0 seconds.<BR><BR><b>"
    b'<A HREF="/cp.htm" target="_blank">Control panel</A><BR>'
    b'<A HREF="/schedule.htm" target="_blank">View the preset list and the schedule</A><BR>'
    b'<A HREF="/rarlog.htm" target="_blank">View WinRAR error log</A></b><BR><BR>'
    b'<A HREF="/command.htm" target="_blank">Command/options only</A><BR>'
    b'<A HREF="/log.htm" target="_blank">View SWL log only</A><BR></BODY></HTML>',
}
for path, expected in PAGES.items():
    response, data = request("GET", path)
    check(response.status == 200, f"{path}: status {response.status}")
    check(response.getheader("Content-Type") == "text/html; charset=utf-8",
          f"{path}: type {response.getheader('Content-Type')}")
    check(masked(data) == expected, f"{path}: page differs: {data!r}")

response, data = request("GET", "/LOG.HTM")
check(response.status == 200 and masked(data).startswith(
    b'<HTML><HEAD><TITLE>Stowline log file.</TITLE></HEAD><body bgcolor="#FFFFFF" '
    b'text="#000000"><H2>Stowline log file.</H2>Local server time: NOW. Refresh interval: 0 '
    b'seconds.<BR><BR><font size="-1"><FONT color="#000000">[STAMP] '),
    f"/LOG.HTM: {data[:300]!r}")

# Without the credential: 401 with the path as realm, for pages and posts alike.
response, data = request("GET", "/log.htm", authorized=False)
check(response.status == 401, f"401 expected, got {response.status}")
check(response.getheader("WWW-Authenticate") == "Basic Realm=/log.htm",
      f"realm: {response.getheader('WWW-Authenticate')}")
response, _ = post_form("/cgi-bin/command", {"Command": "/EXIT"}, authorized=False)
check(response.status == 401, f"unauthenticated post: {response.status}")

# Log setup changes how many lines the log page shows.
post_form("/cgi-bin/logsetup", {"Lines": "2", "Refresh": "30"})
_, data = request("GET", "/log.htm")
check(data.count(b"<FONT color") == 2, f"two lines expected: {data.count(b'<FONT color')}")
check(b'<META http-equiv="refresh" content="30">' in data, "refresh element missing")
post_form("/cgi-bin/logsetup", {"Lines": "200", "Refresh": "0"})

# A hostile command comes back escaped; one with a line break is refused.
post_form("/cgi-bin/command", {"Command": "<script>alert(1)</script>"})
_, data = request("GET", "/log.htm")
check(b"<script>" not in data, "script tag served unescaped")
check(b"&lt;script&gt;alert(1)&lt;/script&gt;" in data, "escaped command missing")
response, _ = post_form("/cgi-bin/command", {"Command": "Docs\r\n[2016.01.01 00:00:00] Forged"})
check(response.status == 400, f"CR/LF command: {response.status}")
_, data = request("GET", "/log.htm")
check(b'">[2016.01.01 00:00:00] Forged' not in data, "a forged line reached the log")
check(b"&lt;U+000D&gt;&lt;U+000A&gt;[2016.01.01 00:00:00] Forged" in data,
      "the refusal does not show the command")

# An 8 MB post is refused from its length and the server stays usable. The answer is
# read while the body is still being sent, as a browser would.
big = socket.create_connection((HOST, PORT), timeout=10)
answer_parts = []


def read_answer():
    try:
        while True:
            part = big.recv(65536)
            if not part:
                break
            answer_parts.append(part)
    except OSError:
        pass


reader = threading.Thread(target=read_answer)
reader.start()
try:
    big.sendall(b"POST /cgi-bin/command HTTP/1.1\r\nHost: x\r\nAuthorization: Basic "
                + CREDENTIAL.encode() + b"\r\nContent-Length: 8388608\r\n\r\n")
    chunk = b"x" * 65536
    for _ in range(128):
        big.sendall(chunk)
except OSError:
    pass  # the server closed after its answer
reader.join(20)
big.close()
answer = b"".join(answer_parts)
check(answer.startswith(b"HTTP/1.1 413 "), f"8 MB post: {answer[:80]!r}")
response, _ = request("GET", "/")
check(response.status == 200, "server unusable after the large post")

# 100 connections that never finish their headers do not stop a normal request.
slow = []
for _ in range(100):
    s = socket.create_connection((HOST, PORT), timeout=10)
    s.sendall(b"GET / HTTP/1.1\r\nX-Slow: ")
    slow.append(s)
started = time.monotonic()
response, _ = request("GET", "/log.htm")
check(response.status == 200, f"request among slow ones: {response.status}")
check(time.monotonic() - started < 5, "request among slow ones took too long")
for s in slow:
    s.close()

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
