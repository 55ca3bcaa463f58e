#pragma once

#include <QtGlobal>

#include <functional>

class Query;

// How the statements of the items go to the engine: each as it is run, or
// gathered and sent together batch by batch (Query::gatherStatements), which
// spares a server a round trip per item. Together is only for items that
// read nothing back, such as the inserts of an import.
enum class Statements { OneByOne, Together };

// Stores items one after another through the query, inside the open
// transaction, and, when one fails, leaves the transaction holding exactly
// the items before it: the lines of a track data file before the line that
// failed, the places of a race before the place that failed. This holds on
// an engine whose failed statement aborts the whole transaction
// (PostgreSQL) as on one that undoes only the statement (SQLite). The
// failure of the item then goes on to the caller, who commits what is kept.
//
// The items go in batches, each under one savepoint, rather than a
// savepoint around every statement, which would cost a server two more
// round trips per item. A batch in which an item fails is undone to its
// savepoint, and its items are stored again one by one up to the failing
// one. storeItem(i) must therefore store item i the same way each time it
// is called.
void storeInOrder(Query& query, qsizetype count, const std::function<void(qsizetype)>& storeItem,
    Statements statements = Statements::OneByOne, qsizetype batch = 500);
