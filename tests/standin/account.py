"""Account endpoints: captcha, sign-in and sign-up with a device limit, sign-out,
the token check, the host report, the lock sync and usage reports."""

import random
import secrets
import time

LOST = "登录已失效，请重新登录"
KICKED = "你的账号已在其他设备登录"


def register(app, Reply):
    accounts = {}   # username -> {"password", "max_devices", "epoch", "sessions": {device: session}}
    tokens = {}     # token -> (username, device)
    revoked = {}    # token -> msg the service gives for it
    captchas = {}   # id -> answer
    hosts = []      # (token, host)
    stats = []

    def fail(code, msg, status=200):
        return Reply(status, {"ok": 0, "code": code, "msg": msg})

    def session_of(token):
        entry = tokens.get(token or "")
        if entry is None:
            return None, None
        return entry

    def sign_in(name, device, device_name, confirm):
        acct = accounts[name]
        others = [(d, s) for d, s in acct["sessions"].items() if d != device]
        over = len(others) + 1 - acct["max_devices"]
        if over > 0 and not confirm:
            others.sort(key=lambda ds: ds[1]["since"])
            kick = [{"name": s["name"], "ip": "127.0.0.1", "lastSeen": time.strftime("%Y-%m-%d %H:%M", time.localtime(s["since"]))}
                    for _, s in others[:over]]
            return Reply(200, {"ok": 1, "needConfirm": 1, "maxDevices": acct["max_devices"], "willKick": kick,
                               "msg": "登录设备数已达上限"})
        if over > 0:
            others.sort(key=lambda ds: ds[1]["since"])
            for d, s in others[:over]:
                tokens.pop(s["token"], None)
                revoked[s["token"]] = KICKED
                del acct["sessions"][d]
        old = acct["sessions"].get(device)
        if old:
            tokens.pop(old["token"], None)
        token = secrets.token_hex(16)
        acct["sessions"][device] = {"token": token, "name": device_name, "since": time.time()}
        tokens[token] = (name, device)
        return Reply(200, {"ok": 1, "token": token, "username": name, "msg": "登录成功"})

    @app.route("GET", "/api/auth.php", "captcha")
    def captcha(req):
        a, b = random.randint(1, 9), random.randint(1, 9)
        cid = secrets.token_hex(8)
        with app.lock:
            captchas[cid] = str(a + b)
        return Reply(200, {"ok": 1, "id": cid, "q": "%d + %d = ?" % (a, b)})

    @app.route("POST", "/api/auth.php", "login")
    def login(req):
        b = req.json()
        with app.lock:
            name = b.get("username", "")
            acct = accounts.get(name)
            if acct is None or acct["password"] != b.get("password"):
                return fail("BAD_CREDENTIALS", "用户名或密码错误")
            return sign_in(name, b.get("device", ""), b.get("device_name", ""), b.get("confirm") == 1)

    @app.route("POST", "/api/auth.php", "register")
    def register_account(req):
        b = req.json()
        with app.lock:
            answer = captchas.pop(b.get("captcha_id", ""), None)
            if answer is None or answer != b.get("captcha_code"):
                return fail("BAD_CAPTCHA", "验证码错误")
            if b.get("agree") != 1:
                return fail("NOT_AGREED", "请先同意用户协议")
            name = b.get("username", "")
            if not name or not b.get("password"):
                return fail("BAD_INPUT", "用户名和密码不能为空")
            if name in accounts:
                return fail("USER_EXISTS", "用户名已存在")
            accounts[name] = {"password": b["password"], "max_devices": 2, "epoch": 0, "sessions": {}}
            return sign_in(name, b.get("device", ""), b.get("device_name", ""), False)

    @app.route("POST", "/api/auth.php", "logout")
    def logout(req):
        token = req.json().get("token", "")
        with app.lock:
            name, device = session_of(token)
            if name:
                accounts[name]["sessions"].pop(device, None)
                tokens.pop(token, None)
        return Reply(200, {"ok": 1})

    @app.route("POST", "/api/auth.php", "me")
    def me(req):
        token = req.json().get("token", "")
        with app.lock:
            name, _ = session_of(token)
            if not name:
                return fail("NOT_LOGIN", revoked.get(token, LOST), status=401)
            return Reply(200, {"ok": 1, "username": name})

    @app.route("POST", "/api/uc.php", "report_host")
    def report_host(req):
        b = req.json()
        with app.lock:
            hosts.append((b.get("token", ""), b.get("host", "")))
        return Reply(200, {"ok": 1})

    @app.route("POST", "/api/uc.php", "lock_sync")
    def lock_sync(req):
        token = req.json().get("token", "")
        with app.lock:
            name, _ = session_of(token)
            if not name:
                return fail("NOT_LOGIN", LOST, status=401)
            return Reply(200, {"ok": 1, "epoch": accounts[name]["epoch"]})

    @app.route("POST", "/api/appstat.php")
    def appstat(req):
        with app.lock:
            stats.append(req.json())
        return Reply(200, {"ok": 1})

    # Control of the test.
    @app.command("account.add")
    def add(msg):
        accounts[msg["username"]] = {"password": msg.get("password", ""), "max_devices": msg.get("max_devices", 1),
                                     "epoch": msg.get("epoch", 0), "sessions": {}}
        return {}

    @app.command("account.unlock")
    def unlock(msg):
        accounts[msg["username"]]["epoch"] += 1
        return {"epoch": accounts[msg["username"]]["epoch"]}

    @app.command("account.revoke")
    def revoke(msg):
        """Signs the account out on every PC, as a sign-in elsewhere would."""
        acct = accounts[msg["username"]]
        for s in acct["sessions"].values():
            tokens.pop(s["token"], None)
            revoked[s["token"]] = msg.get("msg", KICKED)
        acct["sessions"].clear()
        return {}

    @app.command("account.sign_in")
    def make_session(msg):
        """A session made outside the panel (another PC)."""
        reply = sign_in(msg["username"], msg.get("device", "other-pc"), msg.get("device_name", "OTHER-PC"), True)
        import json
        return json.loads(reply.raw.decode("utf-8"))

    @app.command("account.state")
    def state(msg):
        return {"accounts": {n: {"max_devices": a["max_devices"], "epoch": a["epoch"],
                                 "sessions": {d: dict(s) for d, s in a["sessions"].items()}}
                             for n, a in accounts.items()},
                "tokens": list(tokens.keys()), "captchas": dict(captchas),
                "hosts": [list(h) for h in hosts], "stats": list(stats)}
