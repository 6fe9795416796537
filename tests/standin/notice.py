"""Notice endpoints: the latest notice of a generation and the reports of
delivered, opened and closed notices."""


def register(app, Reply):
    state = {"gen": 0, "notice": None}
    reports = []

    @app.route("POST", "/api/notice.php", "latest")
    def latest(req):
        with app.lock:
            notice = state["notice"]
            return Reply(200, {"ok": 1, "gen": state["gen"], "notice": dict(notice) if notice else {}})

    @app.route("POST", "/api/notice.php", "report")
    def report(req):
        with app.lock:
            reports.append(req.json())
        return Reply(200, {"ok": 1})

    # Control of the test.
    @app.command("notice.set")
    def set_notice(msg):
        """Publishes a notice ({"id", "created", "title", "body", "url",
        "title_color"}) in generation "gen"; no "notice" withdraws it."""
        state["gen"] = msg.get("gen", 0)
        state["notice"] = msg.get("notice")
        return {}

    @app.command("notice.reports")
    def get_reports(msg):
        return {"reports": list(reports)}
