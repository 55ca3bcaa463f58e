#pragma once

#include "store/Dialect.h"

#include <QString>

// Which engine stands behind the alias VEXO_ACC. SQLite needs nothing more:
// its file lies in the folder the program gives. PostgreSQL needs a libpq
// connection string ("host=finish-pc dbname=meet user=vexo"); its password
// comes from the user's ~/.pgpass, never from the settings.
struct DatabaseSettings {
    SqlEngine engine = SqlEngine::SQLite;
    QString connection;
};
