#include "results-board/BoardOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QStandardPaths>

bool BoardOptions::parse(const QStringList& arguments, BoardOptions& options, QString& message, bool& exitNow)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves the results of the meet in the station's database to browsers, read-only."));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("The folder of the station's settings file and database."),
                                  QStringLiteral("folder"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The port to serve (8080)."),
                                  QStringLiteral("number"), QStringLiteral("8080"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("The address to serve on (every address of the machine)."),
                                    QStringLiteral("address"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version."));
    parser.addOptions({data, port, listen, help, version});
    exitNow = false;
    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return false;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        message = parser.isSet(help) ? parser.helpText()
                                     : QStringLiteral("vexo-results ") + QStringLiteral(VEXO_VERSION) + QLatin1Char('\n');
        exitNow = true;
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("Unexpected argument \"%1\"; see --help.").arg(parser.positionalArguments().first());
        return false;
    }
    bool ok = false;
    const uint number = parser.value(port).toUInt(&ok);
    // 0 lets the system choose a free port, which the board then prints.
    if (!ok || number > 65535) {
        message = QStringLiteral("The port \"%1\" is not a number from 0 to 65535.").arg(parser.value(port));
        return false;
    }
    options.port = quint16(number);
    if (parser.isSet(listen) && !options.listen.setAddress(parser.value(listen))) {
        message = QStringLiteral("The address \"%1\" is not an IP address of this machine.").arg(parser.value(listen));
        return false;
    }
    if (parser.isSet(data)) {
        options.dataFolder = parser.value(data);
        if (!QFileInfo(options.dataFolder).isDir()) {
            message = QStringLiteral("The data folder \"%1\" does not exist.").arg(options.dataFolder);
            return false;
        }
    }
    return true;
}

QString BoardOptions::settingsFile(const QString& folder)
{
    // The station names its settings file after its program: VEXO_BARCODE
    // as built, vexo-barcode as installed.
    for (const char* name : {"VEXO_BARCODE.ini", "vexo-barcode.ini"}) {
        const QString path = QDir(folder).filePath(QLatin1String(name));
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString BoardOptions::defaultDataFolder(const QString& programFolder)
{
    const QDir beside(programFolder);
    if (QFileInfo(beside.filePath(QStringLiteral("VEXO_BARCODE"))).exists() && !settingsFile(programFolder).isEmpty())
        return beside.path();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("vexo-barcode"));
}

QStringList boardAddresses(const QHostAddress& listen, quint16 port)
{
    auto url = [port](const QHostAddress& a) {
        const QString host = a.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + a.toString() + QLatin1Char(']')
                                                                          : a.toString();
        return QStringLiteral("http://%1:%2/").arg(host).arg(port);
    };
    if (listen != QHostAddress::Any && listen != QHostAddress::AnyIPv4 && listen != QHostAddress::AnyIPv6)
        return {url(listen)};
    QStringList network, loopback;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        // A link-local address needs its interface named, which a phone
        // cannot type.
        if (a.isLinkLocal() || (a.protocol() != QAbstractSocket::IPv4Protocol && a.protocol() != QAbstractSocket::IPv6Protocol))
            continue;
        (a.isLoopback() ? loopback : network) << url(a);
    }
    // IPv4 first: what a phone on the field's network reaches most surely.
    std::stable_partition(network.begin(), network.end(), [](const QString& u) { return !u.contains(QLatin1Char('[')); });
    return network + loopback;
}
