"""App market endpoints: index pages, app manifests, icons, the minimum SDK
version and package downloads with Range support.

Commands:
  market.page        {"page": n, "body": {...} or "raw": "..."}   an index page
  market.manifest    {"id": id, "body": {...}}                      an app manifest
  market.package     {"id": id, "b64": ..., "manifest": {...}}      a package; with
                     "manifest" the manifest is written too, its "sha256" filled in
  market.icon        {"name": n, "b64": ...}                        served at /icons/<n>
  market.sdk_min     {"body": {...}} or {} to answer 404
  market.download_fault {"mode": ..., "count": n (default 1, -1 always), ...}
      ignore_range   answer a resume with 200 and the whole package
      wrong_start    answer a resume with 206 whose range starts `delta` (default 1) late
      range_header   answer a resume with 206 and the Content-Range text `value`
      cut            send `after` bytes of the answer, then close (with "omit_length"
                     the length is not declared, so the close looks like the end)
      corrupt        flip one byte of the answer; "resume_only" limits it to resumes
      slow           send the answer in `chunk` byte pieces `gap` seconds apart
      declare        send Content-Length `value` (a lie)
  market.reject_token {"token": t}     downloads with this token get 401 NOT_LOGIN
  market.downloads   -> {"downloads": [{"app", "range", "token", "ver", "file"}]}
"""

import base64
import hashlib
import re

NOT_LOGIN_MSG = "登录已失效，请重新登录"


def register(app, Reply):
    pages = {}
    manifests = {}
    packages = {}
    icons = {}
    state = {"sdk_min": None}
    faults = []
    rejected = set()
    downloads = []

    def take_fault(app_id, ranged):
        for f in faults:
            if f.get("app") not in (None, app_id):
                continue
            if f.get("resume_only") and not ranged:
                continue
            if f["mode"] in ("ignore_range", "wrong_start", "range_header") and not ranged:
                continue
            count = f.get("count", 1)
            if count == 0:
                continue
            if count > 0:
                f["count"] = count - 1
            return dict(f)
        return None

    @app.command("market.page")
    def cmd_page(msg):
        pages[int(msg.get("page", 1))] = msg.get("raw") if "raw" in msg else msg.get("body", {"apps": []})
        return {}

    @app.command("market.manifest")
    def cmd_manifest(msg):
        manifests[msg["id"]] = msg.get("body", {})
        return {}

    @app.command("market.package")
    def cmd_package(msg):
        data = base64.b64decode(msg.get("b64", ""))
        packages[msg["id"]] = data
        digest = hashlib.sha256(data).hexdigest()
        if "manifest" in msg:
            body = dict(msg["manifest"])
            body.setdefault("sha256", digest)
            manifests[msg["id"]] = body
        return {"sha256": digest, "size": len(data)}

    @app.command("market.icon")
    def cmd_icon(msg):
        icons[msg["name"]] = base64.b64decode(msg.get("b64", ""))
        return {}

    @app.command("market.sdk_min")
    def cmd_sdk(msg):
        state["sdk_min"] = msg.get("body")
        return {}

    @app.command("market.download_fault")
    def cmd_fault(msg):
        faults.append({k: v for k, v in msg.items() if k != "cmd"})
        return {}

    @app.command("market.clear")
    def cmd_clear(msg):
        faults.clear()
        downloads.clear()
        rejected.clear()
        return {}

    @app.command("market.reject_token")
    def cmd_reject(msg):
        rejected.add(msg.get("token", ""))
        return {}

    @app.command("market.downloads")
    def cmd_downloads(msg):
        return {"downloads": list(downloads)}

    @app.prefix_route("GET", "/update/index/page-")
    def index_page(req):
        m = re.fullmatch(r"/update/index/page-(\d+)\.json", req.path)
        page = pages.get(int(m.group(1))) if m else None
        if page is None:
            return Reply(404, {"ok": 0, "msg": "no such page"})
        if isinstance(page, str):
            return Reply(200, raw=page.encode("utf-8"))
        return Reply(200, page)

    @app.route("GET", "/update/sdk_min.json")
    def sdk_min(req):
        if state["sdk_min"] is None:
            return Reply(404, {"ok": 0, "msg": "none"})
        return Reply(200, state["sdk_min"])

    @app.prefix_route("GET", "/update/apps/")
    def manifest(req):
        m = re.fullmatch(r"/update/apps/([^/]+)\.json", req.path)
        body = manifests.get(m.group(1)) if m else None
        if body is None:
            return Reply(404, {"ok": 0, "msg": "no such app"})
        return Reply(200, body)

    @app.prefix_route("GET", "/icons/")
    def icon(req):
        data = icons.get(req.path[len("/icons/"):])
        if data is None:
            return Reply(404, {"ok": 0})
        return Reply(200, raw=data, content_type="image/png")

    @app.route("GET", "/api/download.php")
    def download(req):
        q = {k: v[0] for k, v in req.query.items()}
        app_id = q.get("app", "")
        token = q.get("token", "")
        rng = req.headers.get("range", "")
        with app.lock:
            downloads.append({"app": app_id, "range": rng, "token": token,
                              "ver": q.get("ver"), "file": q.get("file")})
            if not token or token in rejected:
                return Reply(401, {"ok": 0, "code": "NOT_LOGIN", "msg": NOT_LOGIN_MSG})
            data = packages.get(app_id)
            if data is None:
                return Reply(404, {"ok": 0, "code": "NO_APP", "msg": "应用不存在"})
            m = re.fullmatch(r"bytes=(\d+)-", rng)
            start = int(m.group(1)) if m else 0
            fault = take_fault(app_id, start > 0)
        mode = fault["mode"] if fault else None
        stream = {}
        if mode == "corrupt":
            pos = len(data) - 1
            data = data[:pos] + bytes([data[pos] ^ 0xFF])
        if mode == "slow":
            stream = {"chunk": fault.get("chunk", 1024), "gap": fault.get("gap", 0.05)}
        if start > 0 and mode != "ignore_range":
            if start >= len(data):
                return Reply(416, {"ok": 0, "msg": "bad range"},
                             headers={"Content-Range": "bytes */%d" % len(data)})
            first = start
            if mode == "wrong_start":
                first = start + int(fault.get("delta", 1))
            body = data[first:]
            content_range = "bytes %d-%d/%d" % (first, len(data) - 1, len(data))
            if mode == "range_header":
                content_range = fault.get("value", "")
            reply = Reply(206, raw=body, content_type="application/zip",
                          headers={"Content-Range": content_range}, stream=stream)
        else:
            reply = Reply(200, raw=data, content_type="application/zip", stream=stream)
        if mode == "cut":
            reply.stream = {"cut_after": int(fault.get("after", len(reply.raw) // 2))}
            if fault.get("omit_length"):
                reply.stream["omit_length"] = True
        if mode == "declare":
            reply.stream = {"declared": int(fault["value"]), "cut_after": 0}
        return reply
