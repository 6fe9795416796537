"""Support chat endpoints: poll, read, welcome, send and unread, and the chat
pictures under "/uploads/". Conversations are kept per account; the token is
checked through the account area's token check."""

import base64
import json
import time


class _Probe:
    """A request as the account area's handlers read it."""

    def __init__(self, body):
        self.method = "POST"
        self.path = "/api/auth.php"
        self.query = {"action": ["me"]}
        self.headers = {}
        self.body = json.dumps(body).encode("utf-8")

    def action(self):
        return "me"

    def json(self):
        return json.loads(self.body.decode("utf-8"))


def register(app, Reply):
    next_id = [100]
    chats = {}      # username -> {"messages": [...], "read_upto": id}
    uploads = {}    # name -> bytes
    config = {"welcome": {"title": "Quillory 客服", "text": "你好，有什么可以帮你？"},
              "ignore_after": False}

    def user_of(token):
        check = app.routes.get(("POST", "/api/auth.php", "me"))
        if not token or check is None:
            return None
        reply = check(_Probe({"token": token}))
        try:
            answer = json.loads(reply.raw.decode("utf-8"))
        except ValueError:
            return None
        return answer.get("username") if answer.get("ok") == 1 else None

    def chat_of(name):
        return chats.setdefault(name, {"messages": [], "read_upto": 0})

    def add_message(name, text, from_cs, img=""):
        next_id[0] += 1
        m = {"id": next_id[0], "text": text, "from_cs": 1 if from_cs else 0,
             "created": time.strftime("%Y-%m-%d %H:%M:%S"), "img": img}
        chat_of(name)["messages"].append(m)
        return m

    def unread_of(name):
        chat = chat_of(name)
        return sum(1 for m in chat["messages"] if m["from_cs"] and m["id"] > chat["read_upto"])

    def refuse():
        return Reply(200, {"ok": 0, "code": "NOT_LOGIN", "msg": "请先登录"})

    @app.route("POST", "/api/support.php", "poll")
    def poll(req):
        b = req.json()
        with app.lock:
            name = user_of(b.get("token"))
            if not name:
                return refuse()
            after = 0 if config["ignore_after"] else int(b.get("after") or 0)
            return Reply(200, {"ok": 1, "messages": [dict(m) for m in chat_of(name)["messages"] if m["id"] > after]})

    @app.route("POST", "/api/support.php", "read")
    def read(req):
        with app.lock:
            name = user_of(req.json().get("token"))
            if not name:
                return refuse()
            chat = chat_of(name)
            chat["read_upto"] = max([m["id"] for m in chat["messages"]] + [chat["read_upto"]])
            return Reply(200, {"ok": 1})

    @app.route("POST", "/api/support.php", "welcome")
    def welcome(req):
        with app.lock:
            w = config["welcome"]
            if not w:
                return Reply(200, {"ok": 0, "msg": "no greeting"})
            return Reply(200, {"ok": 1, "title": w.get("title", ""), "text": w.get("text", "")})

    @app.route("POST", "/api/support.php", "send")
    def send(req):
        b = req.json()
        with app.lock:
            name = user_of(b.get("token"))
            if not name:
                return refuse()
            text = b.get("text", "")
            img = ""
            if "img_b64" in b:
                try:
                    data = base64.b64decode(b["img_b64"], validate=True)
                except ValueError:
                    return Reply(200, {"ok": 0, "msg": "图片数据无效"})
                img = "u%d.png" % (next_id[0] + 1)
                uploads[img] = data
            if not text and not img:
                return Reply(200, {"ok": 0, "msg": "消息为空"})
            m = add_message(name, text, False, img)
            return Reply(200, {"ok": 1, "id": m["id"]})

    @app.route("POST", "/api/support.php", "unread")
    def unread(req):
        with app.lock:
            name = user_of(req.json().get("token"))
            if not name:
                return refuse()
            return Reply(200, {"ok": 1, "unread": unread_of(name)})

    @app.prefix_route("GET", "/uploads/")
    def picture(req):
        with app.lock:
            data = uploads.get(req.path[len("/uploads/"):])
        if data is None:
            return Reply(404, raw=b"not found", content_type="text/plain")
        return Reply(200, raw=data, content_type="image/png")

    # Control of the test.
    @app.command("support.say")
    def say(msg):
        """Customer service writes to an account ("img" names an upload)."""
        with app.lock:
            return add_message(msg["username"], msg.get("text", ""), True, msg.get("img", ""))

    @app.command("support.flood")
    def flood(msg):
        """Customer service writes "count" messages at once, each "text_bytes"
        long; with "img_prefix" each names the picture <prefix><n>.png."""
        size = int(msg.get("text_bytes", 8))
        prefix = msg.get("img_prefix", "")
        with app.lock:
            for n in range(int(msg["count"])):
                text = ("%d " % n + "x" * size)[:max(size, len(str(n)))]
                add_message(msg["username"], text, True, "%s%d.png" % (prefix, n) if prefix else "")
        return {"last": next_id[0]}

    @app.command("support.upload")
    def upload(msg):
        """Stores a picture: "b64" bytes, or "size" bytes of filler."""
        data = base64.b64decode(msg["b64"]) if "b64" in msg else b"\0" * int(msg.get("size", 0))
        uploads[msg["name"]] = data
        return {"bytes": len(data)}

    @app.command("support.configure")
    def configure(msg):
        for key in ("welcome", "ignore_after"):
            if key in msg:
                config[key] = msg[key]
        return {}

    @app.command("support.state")
    def get_state(msg):
        return {"chats": {n: {"messages": list(c["messages"]), "read_upto": c["read_upto"],
                              "unread": unread_of(n)} for n, c in chats.items()},
                "uploads": {n: len(d) for n, d in uploads.items()}}
