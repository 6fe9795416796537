#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// The stand-in of the vendor web service (tests/standin/standin.py), run as
// a real process on a free port of 127.0.0.1 over HTTPS. Its certificate is
// signed at start by a test CA made with openssl; a trusted service adds that
// CA to the default TLS configuration of this process, so the panel's
// network code verifies it like any public service.
class StandInService {
public:
    enum class Trust { Trusted, Untrusted };

    StandInService() = default;
    ~StandInService();
    StandInService(const StandInService&) = delete;
    StandInService& operator=(const StandInService&) = delete;

    // Makes the certificates, starts the service and, when trusted, points
    // the service host of this process at it. False with `error` filled when
    // anything is missing.
    bool start(QString* error, Trust trust = Trust::Trusted);
    void stop();

    // "127.0.0.1:<port>".
    QString host() const;
    quint16 port() const { return m_port; }

    // One control command; the reply object ("error" set on failure).
    QJsonObject control(const QString& cmd, const QJsonObject& args = QJsonObject());
    // Requests seen, oldest first (method, path, query, headers, body).
    QJsonArray requests();
    // Requests to `path` with the query "action=<action>" (any when empty).
    QJsonArray requestsTo(const QString& path, const QString& action = QString());
    // Scripts a fault (see standin.py): path, action, mode and its values.
    void fault(const QJsonObject& spec);

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
    quint16 m_port = 0;
};

// Makes a CA and a server certificate for 127.0.0.1 in `dir` (ca.pem,
// server.pem, server.key).
bool makeTestCertificates(const QString& dir, QString* error);

} // namespace testsupport
