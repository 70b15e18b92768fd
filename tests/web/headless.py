"""Headless Chromium driven over its DevTools pipe, on real time: a page is opened and an
expression evaluated in it until it gives a value (the page's work done), or a time limit.
Virtual time (--virtual-time-budget) would not wait for work the browser does off the page's
thread, such as compiling the engine from bytes."""
import json
import os
import subprocess
import time


class Page:
    def __init__(self, chromium, url, profile, extra=()):
        read_cmd, self._cmd = os.pipe()
        self._out, write_out = os.pipe()
        # Chromium reads commands on fd 3 and answers on fd 4; high copies dup2 onto them.
        child_in, child_out = os.dup(read_cmd), os.dup(write_out)
        os.close(read_cmd)
        os.close(write_out)

        def fds():
            os.dup2(child_in, 3)
            os.dup2(child_out, 4)

        self._proc = subprocess.Popen([chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                                       "--no-first-run", "--user-data-dir=" + profile, "--remote-debugging-pipe", *extra, url],
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      preexec_fn=fds, close_fds=False)
        os.close(child_in)
        os.close(child_out)
        self._buffer = b""
        self._id = 0
        targets = self._call("Target.getTargets")["targetInfos"]
        page = [t for t in targets if t["type"] == "page"][0]
        self._session = self._call("Target.attachToTarget", {"targetId": page["targetId"], "flatten": True})["sessionId"]

    def _call(self, method, params=None, session=None):
        self._id += 1
        message = {"id": self._id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._cmd, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" in self._buffer:
                raw, self._buffer = self._buffer.split(b"\0", 1)
                answer = json.loads(raw)
                if answer.get("id") == self._id:
                    return answer.get("result", {})
            chunk = os.read(self._out, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium ended")
            self._buffer += chunk

    def evaluate(self, expression):
        result = self._call("Runtime.evaluate", {"expression": expression, "returnByValue": True}, self._session)
        return result.get("result", {}).get("value")

    def wait_for(self, expression, timeout):
        """The expression's first true value, evaluated every 50 ms; None after `timeout` s."""
        end = time.time() + timeout
        while time.time() < end:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        return None

    def close(self):
        self._proc.kill()
        self._proc.wait()
        os.close(self._cmd)
        os.close(self._out)
