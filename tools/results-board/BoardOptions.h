#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// The command line of vexo-results and the folder it reads.
struct BoardOptions {
    QString dataFolder;
    quint16 port = 8080;
    QHostAddress listen = QHostAddress::Any;

    // False with a message for the user when the arguments are wrong; true
    // with `exitNow` set for --help and --version.
    static bool parse(const QStringList& arguments, BoardOptions& options, QString& message, bool& exitNow);

    // The station's folder when none is named: the folder of a VEXO_BARCODE
    // beside this program when it holds a settings file (a build, or a
    // folder copied to a laptop), else the installed program's data folder.
    static QString defaultDataFolder(const QString& programFolder);
    // The station's settings file in the folder; empty when it has none.
    static QString settingsFile(const QString& folder);
};

// "http://192.168.1.20:8080/" for each address the board can be reached
// at, the machine's network addresses before its own loopback.
QStringList boardAddresses(const QHostAddress& listen, quint16 port);
