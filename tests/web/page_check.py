#!/usr/bin/env python3
"""Plays demos in the web page under headless Chromium and checks its frames against
tessaline-render's: each demo folder is packed with tessaline-web, served on 127.0.0.1, and
rendered by the page's test hook (?times=...&image=work|screen); every frame must equal the
renderer's byte for byte, with the same reports.

usage: page_check.py --chromium PATH --render PATH --packer PATH --engine DIR DEMO_DIR=T1,T2,... ...
       [--single-file] [--video-demo DIR=T1,T2,... --video-name NAME --videogen PATH --video FILE ...]
       [--lacking-demo DIR=T --video-name NAME --picture NAME --videogen PATH]
       [--first-frame N]
With --single-file, each demo is also packed as one HTML file and opened from file://.
With --video-demo, the demo DIR is checked once with each video as its file NAME: the real
videos given and those tessaline-videogen makes (raw, MJPEG, MPEG-4, MJPEG with dropped frames).
With --first-frame N, nothing is compared: each demo is opened N times as a viewer opens it
(served, then as one file from disk; ?autostart=1, sound allowed without a click) and the time
from the page's opening to the demo's first frame is printed, the median of the N.
With --lacking-demo, a copy of DIR without its picture NAME and with an FFV1 video (a codec the
page leaves out) as its video NAME: tessaline-web must warn of both, and the page, played as a
viewer plays it, must show the renderer's reports and the video's failure.
Exits 0 when all frames match, 1 on a difference, 77 when there is no Chromium or no page.
"""
import argparse
import base64
import functools
import html
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

from headless import Page

SKIP = 77
FRAME = re.compile(r'<img class="frame" data-time="([^"]*)" src="data:image/png;base64,([^"]*)">')
DONE = re.compile(r'<pre id="done">(.*?)</pre>', re.S)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(directory):
    handler = functools.partial(QuietHandler, directory=directory)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def page_html(chromium, url, profile, ready, timeout=600):
    """The page's HTML once `ready` (a script expression) is true; None when it never is."""
    page = Page(chromium, url, profile)
    try:
        if not page.wait_for(ready, timeout):
            return None
        return page.evaluate("document.documentElement.outerHTML")
    finally:
        page.close()


def page_frames(chromium, url, profile):
    dom = page_html(chromium, url, profile, "document.getElementById('done') !== null")
    if dom is None:
        raise RuntimeError("the page did not finish: " + url)
    done = DONE.search(dom)
    frames = [(t, base64.b64decode(data)) for t, data in FRAME.findall(dom)]
    reports = [line for line in html.unescape(done.group(1)).split("\n") if line]
    return frames, reports


def native_frames(render, demo, script, times, image, out_dir):
    run = subprocess.run([render, "--quiet", "--times", ",".join(times), "--image", image, "--out", out_dir, script],
                         cwd=demo, capture_output=True, text=True, timeout=900)
    frames = []
    for k in range(len(times)):
        path = os.path.join(out_dir, "%06d.png" % k)
        frames.append(open(path, "rb").read() if os.path.exists(path) else None)
    return frames, [line for line in run.stderr.split("\n") if line]


def video_demos(a, tmp):
    template, times = a.video_demo.rsplit("=", 1)
    videos = list(a.video)
    for name, args in (("raw", ["--codec", "raw"]), ("mjpeg", ["--codec", "mjpeg"]), ("mpeg4", ["--codec", "mpeg4"]),
                       ("dropped", ["--codec", "mjpeg", "--keep-every", "3"])):
        path = os.path.join(tmp, name + ".avi")
        subprocess.run([a.videogen, *args, "--size", "64x64", "--frames", "60", path], check=True, capture_output=True)
        videos.append(path)
    demos = []
    for k, video in enumerate(videos):
        demo = os.path.join(tmp, "video%d-%s" % (k, os.path.splitext(os.path.basename(video))[0]))
        shutil.copytree(template, demo, ignore=shutil.ignore_patterns("frames"))
        shutil.copyfile(video, os.path.join(demo, a.video_name))
        demos.append(demo + "=" + times)
    return demos


def compare(a, demo, label, web, web_reports, native, native_reports, times):
    """Counts the frames of one page run that differ from the renderer's; reports too."""
    same, failures = 0, 0
    for k, t in enumerate(times):
        got = web[k][1] if k < len(web) and web[k][0] == t else None
        if got is not None and got == native[k]:
            same += 1
        else:
            print("%s: %s at %s ms differs from tessaline-render's" % (demo, label, t))
    if web_reports != native_reports:
        print("%s: the page's reports %r, tessaline-render's %r" % (demo, web_reports, native_reports))
        failures += 1
    print("%s: %d of %d %s frames equal tessaline-render's" % (demo, same, len(times), label))
    return failures + len(times) - same


REPORT_LINE = re.compile(r'<div id="reports"[^>]*>(.*?)</div>', re.S)


def lacking(a, tmp):
    """A demo missing a picture, with a video the page cannot decode: warned, then reported."""
    template, times = a.lacking_demo.rsplit("=", 1)
    demo = os.path.join(tmp, "lacking")
    shutil.copytree(template, demo, ignore=shutil.ignore_patterns("frames"))
    os.remove(os.path.join(demo, a.picture))
    subprocess.run([a.videogen, "--codec", "ffv1", "--size", "64x64", "--frames", "10", os.path.join(demo, a.video_name)],
                   check=True, capture_output=True)
    site = os.path.join(tmp, "lacking-site")
    packed = subprocess.run([a.packer, "--quiet", "--engine", a.engine, demo, site], capture_output=True, text=True)
    failures = 0
    warned_picture = any(a.picture in line and "warning" in line for line in packed.stderr.splitlines())
    warned_video = any(a.video_name + ": the page cannot decode its codec ffv1" in line for line in packed.stderr.splitlines())
    if packed.returncode != 0 or not warned_picture or not warned_video:
        print("%s: tessaline-web did not warn of %s and %s: %r" % (demo, a.picture, a.video_name, packed.stderr))
        failures += 1
    scripts = [f for f in os.listdir(demo) if f.endswith(".lscx")]
    native, native_reports = native_frames(a.render, demo, scripts[0], [times], "work", os.path.join(tmp, "lacking-native"))
    server = serve(site)
    try:
        url = "http://127.0.0.1:%d/index.html?times=%s&image=work" % (server.server_port, times)
        _, web_reports = page_frames(a.chromium, url, os.path.join(tmp, "profile"))
        extra = [r for r in web_reports if r not in native_reports]
        # The video's own failure, as the desktop gives it for a video it cannot decode: the
        # decoder's report and the texture's.
        if [r for r in web_reports if r in native_reports] != native_reports or \
                sorted(extra) != ["error: [CAvi error] can't get Frame", "warning: [S3DTextureAvi warning:] no frame"]:
            print("%s: the page's reports %r, the renderer's %r and the video's" % (demo, web_reports, native_reports))
            failures += 1
        # As a viewer opens it: loaded, the reports shown over the picture, and the demo stopped
        # by the video's failure, as the desktop player stops after its load.
        dom = page_html(a.chromium, "http://127.0.0.1:%d/index.html" % server.server_port, os.path.join(tmp, "profile"),
                        "!document.getElementById('panel').classList.contains('hidden')", 120) or ""
        shown = REPORT_LINE.search(dom)
        lines = re.findall(r"<p>(.*?)</p>", shown.group(1)) if shown else []
        if "The demo stopped." not in dom or len(lines) != len(web_reports):
            print("%s: the played page shows %r, not the %d reports" % (demo, lines, len(web_reports)))
            failures += 1
        else:
            print("%s: warned at packing, %d reports shown by the page" % (demo, len(lines)))
    finally:
        server.shutdown()
    return failures


def first_frame(a, demo, site, single, tmp, runs):
    """The median time from the page's opening to the demo's first frame, served and from disk."""
    server = serve(site)
    try:
        for label, url in (("served", "http://127.0.0.1:%d/index.html" % server.server_port), ("single file", "file://" + single)):
            times = []
            for k in range(runs):
                page = Page(a.chromium, url + "?autostart=1", os.path.join(tmp, "profile-first%d" % k),
                            ["--autoplay-policy=no-user-gesture-required"])
                try:
                    times.append(page.wait_for("tlPage.firstFrameMs || 0", 60) or float("inf"))
                finally:
                    page.close()
            times.sort()
            print("%s (%s): first frame %s ms after the page was opened (median of %d: %s)" %
                  (demo, label, times[len(times) // 2], runs, times))
    finally:
        server.shutdown()


def main():
    ap = argparse.ArgumentParser()
    for name in ("--chromium", "--render", "--packer", "--engine"):
        ap.add_argument(name, required=True)
    ap.add_argument("--video-demo")
    ap.add_argument("--video-name")
    ap.add_argument("--videogen")
    ap.add_argument("--video", action="append", default=[])
    ap.add_argument("--single-file", action="store_true")
    ap.add_argument("--lacking-demo")
    ap.add_argument("--picture")
    ap.add_argument("--first-frame", type=int, default=0)
    ap.add_argument("demos", nargs="*", help="DEMO_DIR=T1,T2,... (the folder's one .lscx)")
    a = ap.parse_args()
    a.render, a.packer, a.engine = (os.path.abspath(p) for p in (a.render, a.packer, a.engine))
    if not shutil.which(a.chromium):
        print("no Chromium: skipped")
        return SKIP
    if not os.path.exists(os.path.join(a.engine, "tessaline.wasm")):
        print("the page is not built (make web): skipped")
        return SKIP
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        demos = list(a.demos)
        if a.video_demo:
            demos += video_demos(a, tmp)
        for n, entry in enumerate(demos):
            demo, times = entry.rsplit("=", 1)
            times = times.split(",")
            scripts = [f for f in os.listdir(demo) if f.endswith(".lscx")]
            site = os.path.join(tmp, "site%d" % n)
            subprocess.run([a.packer, "--quiet", "--engine", a.engine, demo, site], check=True)
            single = os.path.join(tmp, "single%d.html" % n)
            if a.single_file or a.first_frame:
                subprocess.run([a.packer, "--quiet", "--single-file", "--engine", a.engine, demo, single], check=True)
            if a.first_frame:
                first_frame(a, demo, site, single, tmp, a.first_frame)
                continue
            server = serve(site)
            try:
                for image in ("work", "screen"):
                    query = "?times=%s&image=%s" % (",".join(times), image)
                    native, native_reports = native_frames(a.render, demo, scripts[0], times, image,
                                                           os.path.join(tmp, "native%d-%s" % (n, image)))
                    url = "http://127.0.0.1:%d/index.html%s" % (server.server_port, query)
                    web, web_reports = page_frames(a.chromium, url, os.path.join(tmp, "profile"))
                    failures += compare(a, demo, image, web, web_reports, native, native_reports, times)
                    if a.single_file:
                        web, web_reports = page_frames(a.chromium, "file://" + single + query, os.path.join(tmp, "profile"))
                        failures += compare(a, demo, image + " single-file", web, web_reports, native, native_reports, times)
            finally:
                server.shutdown()
        if a.lacking_demo:
            failures += lacking(a, tmp)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
