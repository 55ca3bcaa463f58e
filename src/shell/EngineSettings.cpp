#include "shell/EngineSettings.h"

#include "shell/IniFile.h"
#include "store/Exception.h"

#include <QRegularExpression>

DatabaseSettings readDatabaseSettings(const QString& settingsFile)
{
    const IniFile file(settingsFile);
    const QString engine = QString::fromUtf8(file.readString("Database", "engine", "sqlite")).trimmed();
    DatabaseSettings settings;
    if (engine.compare(QLatin1String("sqlite"), Qt::CaseInsensitive) == 0)
        return settings;
    if (engine.compare(QLatin1String("postgresql"), Qt::CaseInsensitive) != 0)
        throw EDatabaseError(QStringLiteral("The line \"engine=%1\" of the Database section in %2 names no engine: "
                                            "write engine=sqlite or engine=postgresql.")
                                 .arg(engine, file.fileName()));

    settings.engine = SqlEngine::PostgreSQL;
    settings.connection = QString::fromUtf8(file.readString("Database", "connection", QByteArray())).trimmed();
    if (settings.connection.isEmpty())
        throw EDatabaseError(QStringLiteral("The Database section in %1 names the engine postgresql but no server: "
                                            "add a line such as connection=host=finish-pc dbname=meet user=vexo.")
                                 .arg(file.fileName()));
    // password=... as a keyword, or user:password@ in a URI.
    static const QRegularExpression password(QStringLiteral("(^|\\s)password\\s*=|://[^/@]*:[^/@]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (password.match(settings.connection).hasMatch())
        throw EDatabaseError(QStringLiteral("The connection of the Database section in %1 holds a password, which "
                                            "anyone who can read the settings would see: remove it and put it in "
                                            "the file .pgpass in the home folder of the user running the program.")
                                 .arg(file.fileName()));
    return settings;
}
