#pragma once

#include <QByteArray>

class Query;

// Reads a whole race text, header and timed places, and stores the race and
// one result per place. The rows go in as one transaction, so a race costs
// one commit; when a place fails to read or store, the race and the places
// before it stay stored (committed) and the error goes on to the caller.
// Returns the new race's key.
qint32 storeRaceText(QByteArray text, Query& query);
