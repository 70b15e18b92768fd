#!/usr/bin/env python3
"""Plays demos in the web page under headless Chromium and checks its frames against
tessaline-render's: each demo folder is packed with tessaline-web, served on 127.0.0.1, and
rendered by the page's test hook (?times=...&image=work|screen); every frame must equal the
renderer's byte for byte, with the same reports.

usage: page_check.py --chromium PATH --render PATH --packer PATH --engine DIR DEMO_DIR=T1,T2,... ...
       [--video-demo DIR=T1,T2,... --video-name NAME --videogen PATH --video FILE ...]
With --video-demo, the demo DIR is checked once with each video as its file NAME: the real
videos given and those tessaline-videogen makes (raw, MJPEG, MPEG-4, MJPEG with dropped frames).
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


def page_frames(chromium, url, profile):
    out = subprocess.run([chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
                          "--user-data-dir=" + profile, "--virtual-time-budget=600000", "--dump-dom", url],
                         capture_output=True, text=True, timeout=900)
    dom = out.stdout
    done = DONE.search(dom)
    if not done:
        raise RuntimeError("the page did not finish: " + (out.stderr[-2000:] or dom[-2000:]))
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


def main():
    ap = argparse.ArgumentParser()
    for name in ("--chromium", "--render", "--packer", "--engine"):
        ap.add_argument(name, required=True)
    ap.add_argument("--video-demo")
    ap.add_argument("--video-name")
    ap.add_argument("--videogen")
    ap.add_argument("--video", action="append", default=[])
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
            server = serve(site)
            try:
                for image in ("work", "screen"):
                    url = "http://127.0.0.1:%d/index.html?times=%s&image=%s" % (server.server_port, ",".join(times), image)
                    web, web_reports = page_frames(a.chromium, url, os.path.join(tmp, "profile"))
                    native, native_reports = native_frames(a.render, demo, scripts[0], times, image,
                                                           os.path.join(tmp, "native%d-%s" % (n, image)))
                    same = 0
                    for k, t in enumerate(times):
                        got = web[k][1] if k < len(web) and web[k][0] == t else None
                        if got is not None and got == native[k]:
                            same += 1
                        else:
                            print("%s: %s at %s ms differs from tessaline-render's" % (demo, image, t))
                    if web_reports != native_reports:
                        print("%s: the page's reports %r, tessaline-render's %r" % (demo, web_reports, native_reports))
                        failures += 1
                    print("%s: %d of %d %s frames equal tessaline-render's" % (demo, same, len(times), image))
                    failures += len(times) - same
            finally:
                server.shutdown()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
