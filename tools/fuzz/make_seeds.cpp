// Writes the seed corpora of the fuzz targets: the same generated program,
// icon and shell link files the tests use.
#include "readercorpus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    const auto write = [&out](const QString& sub, const QList<QByteArray>& seeds) {
        QDir().mkpath(out + QLatin1Char('/') + sub);
        for (int i = 0; i < seeds.size(); ++i) {
            QFile f(QStringLiteral("%1/%2/seed-%3").arg(out, sub).arg(i));
            if (f.open(QIODevice::WriteOnly))
                f.write(seeds[i]);
        }
    };
    write(QStringLiteral("peicons"), readercorpus::programSeeds());
    write(QStringLiteral("shelllink"), readercorpus::shortcutSeeds());
    // The first byte of an agent seed is the delivery size less one.
    write(QStringLiteral("agentrequest"),
          { QByteArray("\x03{\"cmd\":\"ping\",\"app\":\"x\"}\n"), QByteArray("\xff  \n\n{\"cmd\":\"show\"}\r\n"),
            QByteArray("\x00[1,2]\n"), QByteArray("\x10{\"cmd\":") });
    return 0;
}
