#pragma once

#include <QString>

// Where the program keeps its files, decided once at start-up.
//
// A program in a folder it can write (the build folder, a folder copied to
// a meet laptop, an install under the user's home) keeps its settings file,
// database, backups and race journal beside the executable. Installed where
// it cannot write (under /usr) and with neither a settings file nor a
// database beside it, it keeps them in the user's data folder,
// $XDG_DATA_HOME/vexo-barcode, by default ~/.local/share/vexo-barcode. A
// meet's folder that cannot be written stays the place: start-up reports it
// and the program ends, nothing is created elsewhere. The
// help pages are read from the folder help beside the executable, or, when
// there is none, from the installed share folder ../share/vexo-barcode.
struct FileLocations {
    QString dataFolder;   // settings, database, backups, race journal
    QString settingsFile; // the executable's name with ".ini", in dataFolder
    QString helpParent;   // the folder that holds the folder help

    // For the executable at the given path. The user's data folder is
    // created when it is chosen and missing.
    static FileLocations forExecutable(const QString& executable);
    // For the running executable.
    static FileLocations ofRunningProgram();
};

// Whether a file can be made in the folder: a file made and removed again is
// the one test that holds for every cause (permissions, a read-only mount or
// stick, the superuser who writes anywhere else).
bool canCreateFilesIn(const QString& folder);
