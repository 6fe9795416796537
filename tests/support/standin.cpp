#include "standin.h"

#include "app/servicehost.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStandardPaths>

namespace testsupport {

namespace {

bool run(const QString& program, const QStringList& args, const QString& dir, QString* error)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(": ")
                     + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

} // namespace

bool makeTestCertificates(const QString& dir, QString* error)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        *error = QStringLiteral("openssl not found");
        return false;
    }
    const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes")};
    if (!writeFile(dir + QStringLiteral("/server.ext"),
                   "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                   "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n")) {
        *error = QStringLiteral("cannot write server.ext");
        return false;
    }
    return run(openssl,
               QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec
                   + QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                                 QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                                 QStringLiteral("-subj"), QStringLiteral("/CN=Quillory Test CA"),
                                 QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                                 QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
               dir, error)
           && run(openssl,
                  QStringList{QStringLiteral("req")} + ec
                      + QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                                    QStringLiteral("server.csr"), QStringLiteral("-subj"),
                                    QStringLiteral("/CN=127.0.0.1")},
                  dir, error)
           && run(openssl,
                  {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
                   QStringLiteral("-CA"), QStringLiteral("ca.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                   QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), QStringLiteral("server.pem"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                   QStringLiteral("server.ext")},
                  dir, error);
}

StandInService::~StandInService()
{
    stop();
}

bool StandInService::start(QString* error, Trust trust)
{
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!makeTestCertificates(m_dir.path(), error))
        return false;
    const QString script = sourceDir() + QStringLiteral("/tests/standin/standin.py");
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_proc.start(QStringLiteral("python3"), {script, QStringLiteral("--cert"), m_dir.filePath(QStringLiteral("server.pem")),
                                             QStringLiteral("--key"), m_dir.filePath(QStringLiteral("server.key"))});
    if (!m_proc.waitForStarted(10000)) {
        *error = QStringLiteral("python3 did not start: ") + m_proc.errorString();
        return false;
    }
    while (!m_proc.canReadLine()) {
        // Generous: a loaded machine starts Python and makes keys slowly.
        if (!m_proc.waitForReadyRead(60000)) {
            *error = QStringLiteral("the stand-in service did not report its port");
            return false;
        }
    }
    const QByteArray line = m_proc.readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        *error = QStringLiteral("unexpected first line: ") + QString::fromUtf8(line);
        return false;
    }
    m_port = quint16(line.mid(5).toUInt());
    if (trust == Trust::Trusted) {
        const QList<QSslCertificate> ca = QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("ca.pem")));
        if (ca.isEmpty()) {
            *error = QStringLiteral("the test CA does not load");
            return false;
        }
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        conf.addCaCertificates(ca);
        QSslConfiguration::setDefaultConfiguration(conf);
        setServiceHostOverride(host());
    }
    return true;
}

void StandInService::stop()
{
    if (m_proc.state() == QProcess::NotRunning)
        return;
    m_proc.write("{\"cmd\":\"quit\"}\n");
    if (!m_proc.waitForFinished(3000)) {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
}

QString StandInService::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QJsonObject StandInService::control(const QString& cmd, const QJsonObject& args)
{
    QJsonObject msg = args;
    msg.insert(QStringLiteral("cmd"), cmd);
    m_proc.write(QJsonDocument(msg).toJson(QJsonDocument::Compact) + '\n');
    m_proc.waitForBytesWritten(5000);
    while (!m_proc.canReadLine()) {
        if (!m_proc.waitForReadyRead(10000))
            return QJsonObject{{QStringLiteral("error"), QStringLiteral("no answer from the stand-in")}};
    }
    return QJsonDocument::fromJson(m_proc.readLine()).object();
}

QJsonArray StandInService::requests()
{
    return control(QStringLiteral("log")).value(QStringLiteral("requests")).toArray();
}

QJsonArray StandInService::requestsTo(const QString& path, const QString& action)
{
    QJsonArray out;
    const QString query = QStringLiteral("action=") + action;
    for (const QJsonValue& v : requests()) {
        const QJsonObject r = v.toObject();
        if (r.value(QStringLiteral("path")).toString() == path
            && (action.isEmpty() || r.value(QStringLiteral("query")).toString() == query))
            out.append(r);
    }
    return out;
}

void StandInService::fault(const QJsonObject& spec)
{
    control(QStringLiteral("fault"), spec);
}

} // namespace testsupport
