#!/usr/bin/env python3
"""Stand-in of the vendor web service for the tests.

Serves HTTPS on 127.0.0.1 with the certificate it is given, keeps all state in
memory and is driven by the test through JSON lines on stdin (one reply line
on stdout each). Every area of the service (account, notices, support, market,
updates) is a module beside this file with a register(app) function.

Control commands (stdin): {"cmd": "<name>", ...}
  log            -> {"requests": [...]}   requests seen, oldest first
  clear_log      -> {}
  fault          -> {}  script a fault: match on "path" or "path_prefix" (and "action"), with
                   "mode" (status, delay, stall, hangup, false_length,
                   oversize, corrupt, trickle, chunked, redirect, endless),
                   "count" (default 1, -1 = always) and the mode's values
  clear_faults   -> {}
  quit           -> {} and the process ends
  <area>.<name>  -> handled by the area's module
"""

import argparse
import importlib.util
import json
import os
import socket
import ssl
import sys
import threading
import time
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit


class Reply:
    """stream (optional) shapes how the body is sent:
      declared     Content-Length sent instead of the true length
      omit_length  no Content-Length; the connection closes after the body
      cut_after    only the first n bytes are sent, then the connection closes
      chunk, gap   the body goes out in pieces of `chunk` bytes `gap` seconds apart
    """

    def __init__(self, status=200, body=None, raw=None, headers=None, content_type="application/json; charset=utf-8",
                 stream=None):
        self.status = status
        self.stream = stream or {}
        if raw is None:
            raw = json.dumps(body if body is not None else {}, ensure_ascii=False).encode("utf-8")
        self.raw = raw
        self.headers = headers or {}
        self.content_type = content_type


class App:
    def __init__(self):
        self.lock = threading.RLock()
        self.routes = {}      # (method, path, action or None) -> fn(req) -> Reply
        self.prefix_routes = []  # (method, path prefix, fn)
        self.commands = {}    # "area.name" -> fn(msg) -> dict
        self.log = []
        self.faults = []
        self.stopping = threading.Event()

    def route(self, method, path, action=None):
        def deco(fn):
            self.routes[(method, path, action)] = fn
            return fn
        return deco

    def prefix_route(self, method, prefix):
        def deco(fn):
            self.prefix_routes.append((method, prefix, fn))
            return fn
        return deco

    def command(self, name):
        def deco(fn):
            self.commands[name] = fn
            return fn
        return deco

    def take_fault(self, path, action):
        with self.lock:
            for f in self.faults:
                if f.get("path") not in (None, path):
                    continue
                if not path.startswith(f.get("path_prefix", "")):
                    continue
                if f.get("action") not in (None, action):
                    continue
                count = f.get("count", 1)
                if count == 0:
                    continue
                if count > 0:
                    f["count"] = count - 1
                return dict(f)
        return None


class Request:
    def __init__(self, method, path, query, headers, body):
        self.method = method
        self.path = path
        self.query = query
        self.headers = headers
        self.body = body
        self._json = None

    def action(self):
        return self.query.get("action", [None])[0]

    def json(self):
        if self._json is None:
            try:
                value = json.loads(self.body.decode("utf-8")) if self.body else {}
            except (ValueError, UnicodeDecodeError):
                value = None
            self._json = value if isinstance(value, dict) else {}
        return self._json


def make_handler(app):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, fmt, *args):
            pass

        def do_GET(self):
            self.handle_any("GET")

        def do_POST(self):
            self.handle_any("POST")

        def do_HEAD(self):
            self.handle_any("HEAD")

        def handle_any(self, method):
            parts = urlsplit(self.path)
            query = parse_qs(parts.query, keep_blank_values=True)
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length) if length > 0 else b""
            req = Request(method, parts.path, query, {k.lower(): v for k, v in self.headers.items()}, body)
            entry = {"method": method, "path": parts.path, "query": parts.query,
                     "headers": req.headers, "body": body.decode("utf-8", "replace"),
                     "time": time.time()}
            with app.lock:
                app.log.append(entry)
            self.entry = entry
            fault = app.take_fault(parts.path, req.action())
            try:
                reply = self.dispatch(req)
            except Exception:  # a bug in the stand-in is a 500, and visible
                traceback.print_exc(file=sys.stderr)
                reply = Reply(500, {"ok": 0, "code": "STANDIN_BUG", "msg": "stand-in failure"})
            self.send(reply, fault, method)

        def dispatch(self, req):
            fn = app.routes.get((req.method, req.path, req.action())) or app.routes.get((req.method, req.path, None))
            if fn is None:
                for method, prefix, pfn in app.prefix_routes:
                    if method == req.method and req.path.startswith(prefix):
                        fn = pfn
                        break
            if fn is None:
                return Reply(404, {"ok": 0, "code": "NOT_FOUND", "msg": "no such endpoint"})
            return fn(req)

        def send(self, reply, fault, method):
            mode = fault.get("mode") if fault else None
            if mode == "hangup":
                self.close_connection = True
                try:
                    self.connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                return
            if mode == "delay":
                time.sleep(fault.get("seconds", 1))
            if mode == "trickle" and "raw" in fault:
                reply = Reply(fault.get("status", 200), raw=fault["raw"].encode("utf-8"))
            if mode == "status":
                reply = Reply(fault.get("status", 500),
                              raw=fault["raw"].encode("utf-8") if "raw" in fault else None,
                              body=fault.get("body"),
                              content_type=fault.get("content_type", "application/json; charset=utf-8"))
            if mode == "corrupt":
                reply = Reply(fault.get("status", 200), raw=fault.get("raw", "<html><body>Bad gateway</body></html>").encode("utf-8"),
                              content_type="text/html")
            if mode == "oversize":
                reply = Reply(200, raw=b"x" * int(fault.get("bytes", 1 << 20)), content_type="application/octet-stream")
            if mode == "redirect":
                self.send_redirect(fault)
                return
            if mode == "endless":
                self.send_endless(fault, method)
                return
            raw = reply.raw
            if mode == "chunked":
                self.send_chunked(reply, fault, method)
                return
            declared = len(raw)
            if mode == "false_length":
                declared = len(raw) + int(fault.get("extra", 100))
            stream = reply.stream if mode is None else {}
            if "declared" in stream:
                declared = int(stream["declared"])
            self.send_response(reply.status)
            self.send_header("Content-Type", reply.content_type)
            if not stream.get("omit_length"):
                self.send_header("Content-Length", str(declared))
            for k, v in reply.headers.items():
                self.send_header(k, v)
            if mode in ("false_length", "stall") or stream:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            if method == "HEAD":
                return
            if stream:
                self.send_stream(raw, stream)
                return
            if mode == "stall":
                cut = int(fault.get("after", len(raw) // 2))
                self.wfile.write(raw[:cut])
                self.wfile.flush()
                app.stopping.wait(fault.get("seconds", 30))
                return
            if mode == "trickle":
                gap = fault.get("gap", 0.2)
                step = int(fault.get("chunk", 1))
                for i in range(0, len(raw), step):
                    self.wfile.write(raw[i:i + step])
                    self.wfile.flush()
                    if app.stopping.wait(gap):
                        return
                return
            self.wfile.write(raw)
            self.wfile.flush()

        def send_stream(self, raw, stream):
            if "cut_after" in stream:
                raw = raw[:int(stream["cut_after"])]
            step = int(stream.get("chunk", 0)) or len(raw) or 1
            gap = float(stream.get("gap", 0))
            try:
                for i in range(0, len(raw), step):
                    self.wfile.write(raw[i:i + step])
                    self.wfile.flush()
                    if gap and app.stopping.wait(gap):
                        return
            except OSError:  # the client went away (a pause or a cancel)
                return
            if "cut_after" in stream:
                try:
                    self.connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
        def send_redirect(self, fault):
            """A redirect to "location" (another host, port or scheme)."""
            self.send_response(int(fault.get("status", 307)))
            self.send_header("Location", fault["location"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            self.wfile.flush()

        def send_endless(self, fault, method):
            """A body that never ends: pieces of "chunk" bytes "gap" seconds
            apart until the client hangs up; "declared" sends that
            Content-Length, otherwise none is sent. The request's log entry
            gets "sent" (bytes of body so far) and "ended" once the client
            has gone."""
            self.send_response(int(fault.get("status", 200)))
            self.send_header("Content-Type", fault.get("content_type", "application/json; charset=utf-8"))
            if "declared" in fault:
                self.send_header("Content-Length", str(int(fault["declared"])))
            self.send_header("Connection", "close")
            self.close_connection = True
            self.end_headers()
            if method == "HEAD":
                return
            step = int(fault.get("chunk", 65536))
            gap = float(fault.get("gap", 0))
            piece = (fault.get("fill", "x") * step).encode("utf-8")[:step]
            sent = 0
            try:
                if "head" in fault:
                    head = fault["head"].encode("utf-8")
                    self.wfile.write(head)
                    sent += len(head)
                while not app.stopping.is_set():
                    self.wfile.write(piece)
                    self.wfile.flush()
                    sent += len(piece)
                    self.entry["sent"] = sent
                    if gap and app.stopping.wait(gap):
                        return
            except OSError:
                self.entry["ended"] = True  # the client gave up, which is the point

        def send_chunked(self, reply, fault, method):
            """The body without a length, in chunks; with "after" the transfer
            stops there and the connection stays open for "seconds"."""
            raw = reply.raw
            self.send_response(reply.status)
            self.send_header("Content-Type", reply.content_type)
            self.send_header("Transfer-Encoding", "chunked")
            self.send_header("Connection", "close")
            self.close_connection = True
            self.end_headers()
            if method == "HEAD":
                return
            step = int(fault.get("chunk", 65536))
            cut = int(fault.get("after", len(raw)))
            try:
                for i in range(0, min(cut, len(raw)), step):
                    piece = raw[i:min(i + step, cut)]
                    self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                    self.wfile.flush()
                if cut < len(raw):
                    app.stopping.wait(fault.get("seconds", 30))
                    return
                self.wfile.write(b"0\r\n\r\n")
                self.wfile.flush()
            except OSError:
                pass  # the client hung up, which is what a test may want

    return Handler


def load_areas(app):
    here = os.path.dirname(os.path.abspath(__file__))
    for name in sorted(os.listdir(here)):
        if not name.endswith(".py") or name == "standin.py" or name.startswith("_"):
            continue
        spec = importlib.util.spec_from_file_location("standin_" + name[:-3], os.path.join(here, name))
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        module.register(app, Reply)


def serve_control(app, server):
    for line in sys.stdin:
        line = line.strip()
        if not line:
            continue
        try:
            msg = json.loads(line)
            cmd = msg.get("cmd", "")
            with app.lock:
                if cmd == "log":
                    out = {"requests": list(app.log)}
                elif cmd == "clear_log":
                    app.log.clear()
                    out = {}
                elif cmd == "fault":
                    fault = {k: v for k, v in msg.items() if k != "cmd"}
                    app.faults.append(fault)
                    out = {}
                elif cmd == "clear_faults":
                    app.faults.clear()
                    out = {}
                elif cmd == "quit":
                    out = {}
                elif cmd in app.commands:
                    out = app.commands[cmd](msg) or {}
                else:
                    out = {"error": "unknown command " + cmd}
        except Exception as e:  # the test sees the failure in its reply
            out = {"error": repr(e)}
            cmd = ""
        sys.stdout.write(json.dumps(out, ensure_ascii=False) + "\n")
        sys.stdout.flush()
        if cmd == "quit":
            break
    app.stopping.set()
    server.shutdown()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cert", required=True)
    ap.add_argument("--key", required=True)
    ap.add_argument("--port", type=int, default=0)
    args = ap.parse_args()

    app = App()
    load_areas(app)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), make_handler(app))
    server.daemon_threads = True
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(args.cert, args.key)
    server.socket = ctx.wrap_socket(server.socket, server_side=True)
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()
    threading.Thread(target=serve_control, args=(app, server), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
