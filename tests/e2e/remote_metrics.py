"""Reads the running program's /metrics with the Prometheus text-format parser and
compares its numbers with the last-run file and the delivery histories.

Usage: remote_metrics.py PORT USER PASSWORD DATA_FOLDER PRESET
Exits 77 when the parser is not installed, 1 on a mismatch. Only 127.0.0.1 is contacted.
"""

import base64
import http.client
import os
import re
import sys
import time

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    print("python3-prometheus-client is not installed")
    sys.exit(77)

port, user, password, data, preset = sys.argv[1:6]
connection = http.client.HTTPConnection("127.0.0.1", int(port), timeout=10)
credential = base64.b64encode(f"{user}:{password}".encode()).decode()
connection.request("GET", "/metrics", headers={"Authorization": "Basic " + credential})
response = connection.getresponse()
text = response.read().decode()
if response.status != 200:
    print("status", response.status)
    sys.exit(1)

samples = {}
for family in text_string_to_metric_families(text):
    for sample in family.samples:
        samples[(sample.name, sample.labels.get("preset"))] = sample.value


def stamp_seconds(stamp):
    return time.mktime(time.strptime(stamp.strip(), "%Y.%m.%d %H:%M:%S"))


with open(os.path.join(data, "swl.las"), encoding="utf-8") as f:
    last_runs = dict((m.group(2), m.group(1)) for m in
                     re.finditer(r"<D>(.*?)</D><P>(.*?)</P>", f.read()))
last_run = stamp_seconds(last_runs[preset])
with open(os.path.join(data, "presets", preset + ".hst"), encoding="utf-8") as f:
    deliveries = [line.rstrip("\r\n").split("\t") for line in f if line.strip()]
of_last_run = [d for d in deliveries if stamp_seconds(d[0]) >= last_run]
expected = {
    ("stowline_up", None): 1,
    ("stowline_preset_last_run_timestamp_seconds", preset): last_run,
    ("stowline_preset_last_success_timestamp_seconds", preset):
        max(stamp_seconds(d[0]) for d in deliveries),
    ("stowline_preset_last_result", preset): 1 if of_last_run else 0,
    ("stowline_preset_last_archive_bytes", preset):
        sum(os.path.getsize(d[2]) for d in of_last_run if d[1] == "4-COPY"),
    ("stowline_preset_last_duration_seconds", preset):
        max(stamp_seconds(d[0]) for d in of_last_run) - last_run,
}
failed = False
for key, value in expected.items():
    if samples.get(key) != value:
        print(f"{key}: expected {value}, served {samples.get(key)}")
        failed = True
if ("stowline_error_lines_total", None) not in samples:
    print("error line counter missing")
    failed = True
sys.exit(1 if failed else 0)
