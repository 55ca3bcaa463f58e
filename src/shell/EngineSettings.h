#pragma once

#include "store/DatabaseSettings.h"

#include <QString>

// The Database section of the settings file, read once at start-up and never
// written by the program:
//   [Database]
//   engine=postgresql          (or sqlite, the default)
//   connection=host=finish-pc dbname=meet user=vexo
// Throws EDatabaseError naming the file and the line at fault for an unknown
// engine, a server without a connection, or a connection string that holds a
// password (which belongs in ~/.pgpass, where only its owner can read it).
DatabaseSettings readDatabaseSettings(const QString& settingsFile);
