"""Update endpoints: the stable and beta manifests, signed at test time with
a P-256 key pair made here, the release-note history and installer files.

Control commands:
  update.keys      -> {"x", "y"}  public half of the signing key (hex)
  update.manifest  {"channel": "panel" | "panel-beta", "fields": {...},
                    "sign": "raw" (default) | "der" | "short" | "other" | "none",
                    "tamper": {...}  applied after signing (null removes a key),
                    "raw": text  served as the body instead}
                   -> {"body": text}
  update.unset     {"channel"} -> the manifest answers 404 again
  update.history   {"entries": [...]} | {"raw": text} | {} (404)
  update.installer {"name", "text" | "bytes": n} -> {"path", "sha256", "size"}
"""

import base64
import hashlib
import json
import os
import subprocess
import tempfile


def _der_to_raw(der):
    # SEQUENCE { INTEGER r, INTEGER s }, short lengths only (P-256).
    assert der[0] == 0x30
    i = 2
    out = b""
    for _ in range(2):
        assert der[i] == 0x02
        n = der[i + 1]
        value = der[i + 2:i + 2 + n].lstrip(b"\x00")
        out += value.rjust(32, b"\x00")
        i += 2 + n
    return out


def _payload(fields):
    size = fields.get("size", 0)
    size = int(size) if size not in (None, "") else 0
    return "|".join([str(fields.get("version", "")), str(fields.get("sha256", "")), str(size),
                     str(fields.get("url", "")), str(fields.get("time", ""))]).encode("utf-8")


def register(app, Reply):
    folder = tempfile.mkdtemp(prefix="standin-update-")
    keys = {}
    manifests = {}
    files = {}
    state = {"history": None}

    def key(name):
        if name not in keys:
            pem = os.path.join(folder, name + ".pem")
            subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", pem],
                           check=True, capture_output=True)
            der = subprocess.run(["openssl", "ec", "-in", pem, "-pubout", "-outform", "DER"],
                                 check=True, capture_output=True).stdout
            point = der[-65:]
            assert point[0] == 4
            keys[name] = (pem, point[1:33].hex(), point[33:].hex())
        return keys[name]

    def sign_der(name, payload):
        return subprocess.run(["openssl", "dgst", "-sha256", "-sign", key(name)[0]], input=payload,
                              check=True, capture_output=True).stdout

    @app.command("update.keys")
    def keys_cmd(msg):
        _, x, y = key("main")
        return {"x": x, "y": y}

    @app.command("update.manifest")
    def manifest_cmd(msg):
        channel = msg.get("channel", "panel")
        if "raw" in msg:
            manifests[channel] = msg["raw"].encode("utf-8")
            return {"body": msg["raw"]}
        fields = dict(msg.get("fields", {}))
        sign = msg.get("sign", "raw")
        if sign != "none":
            payload = _payload(fields)
            der = sign_der("other" if sign == "other" else "main", payload)
            sig = der if sign == "der" else _der_to_raw(der)
            if sign == "short":
                sig = sig[:63]
            fields.setdefault("sig", base64.b64encode(sig).decode("ascii"))
            fields.setdefault("sig_alg", "ES256")
        for k, v in msg.get("tamper", {}).items():
            if v is None:
                fields.pop(k, None)
            else:
                fields[k] = v
        body = json.dumps(fields, ensure_ascii=False)
        manifests[channel] = body.encode("utf-8")
        return {"body": body}

    @app.command("update.unset")
    def unset_cmd(msg):
        manifests.pop(msg.get("channel", "panel"), None)
        return {}

    @app.command("update.history")
    def history_cmd(msg):
        if "raw" in msg:
            state["history"] = msg["raw"].encode("utf-8")
        elif "entries" in msg:
            state["history"] = json.dumps(msg["entries"], ensure_ascii=False).encode("utf-8")
        else:
            state["history"] = None
        return {}

    @app.command("update.installer")
    def installer_cmd(msg):
        name = msg.get("name", "setup.bin")
        data = msg["text"].encode("utf-8") if "text" in msg else os.urandom(int(msg.get("bytes", 1024)))
        files[name] = data
        return {"path": "/update/files/" + name, "sha256": hashlib.sha256(data).hexdigest(), "size": len(data)}

    def serve_manifest(channel):
        def handler(req):
            with app.lock:
                body = manifests.get(channel)
            if body is None:
                return Reply(404, {"ok": 0, "msg": "no manifest"})
            return Reply(200, raw=body)
        return handler

    app.route("GET", "/update/apps/panel.json")(serve_manifest("panel"))
    app.route("GET", "/update/apps/panel-beta.json")(serve_manifest("panel-beta"))

    @app.route("GET", "/update/apps/history.json")
    def history(req):
        with app.lock:
            body = state["history"]
        if body is None:
            return Reply(404, {"ok": 0, "msg": "no history"})
        return Reply(200, raw=body)

    @app.prefix_route("GET", "/update/files/")
    def installer_file(req):
        with app.lock:
            data = files.get(req.path[len("/update/files/"):])
        if data is None:
            return Reply(404, {"ok": 0, "msg": "no such file"})
        return Reply(200, raw=data, content_type="application/octet-stream")
