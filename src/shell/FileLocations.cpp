#include "shell/FileLocations.h"

#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

const char* const dataFolderName = "vexo-barcode";

} // namespace

bool canCreateFilesIn(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("VEXO_write_check_XXXXXX")));
    return probe.open();
}

FileLocations FileLocations::forExecutable(const QString& executable)
{
    const QFileInfo program(executable);
    const QDir programFolder = program.absoluteDir();
    FileLocations places;
    // A folder that holds a meet (its settings, its database) is that meet's
    // place even when it cannot be written now: start-up then says so and
    // ends, rather than open an empty meet elsewhere.
    const QString settingsName = program.completeBaseName() + QStringLiteral(".ini");
    const QString databaseName = QString::fromLatin1(Database::alias) + QStringLiteral(".db");
    const bool holdsMeet = QFileInfo::exists(programFolder.filePath(settingsName))
                           || QFileInfo::exists(programFolder.filePath(databaseName));
    if (holdsMeet || canCreateFilesIn(programFolder.path())) {
        places.dataFolder = programFolder.path();
    } else {
        places.dataFolder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                .filePath(QString::fromLatin1(dataFolderName));
        // A folder that cannot be made is named by the start-up check.
        QDir().mkpath(places.dataFolder);
    }
    places.settingsFile = QDir(places.dataFolder).filePath(settingsName);

    const QString installed = QDir::cleanPath(programFolder.filePath(QStringLiteral("../share/")
                                                                      + QString::fromLatin1(dataFolderName)));
    const bool besideProgram = QFileInfo(programFolder.filePath(QStringLiteral("help"))).isDir();
    places.helpParent = !besideProgram && QFileInfo(QDir(installed).filePath(QStringLiteral("help"))).isDir()
                            ? installed
                            : programFolder.path();
    return places;
}

FileLocations FileLocations::ofRunningProgram()
{
    return forExecutable(QCoreApplication::applicationFilePath());
}
