#pragma once

#include "store/Field.h"
#include "store/PreparedStatements.h"
#include "store/SqliteRows.h"
#include "store/StatementShape.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QSqlRecord>

#include <vector>

class Database;

// The SQL query object through which every statement of the data store runs
// (the main window's Query1). One statement at a time: each user replaces
// the statement text first. The text is the system's SQL; the dialect turns
// it into the engine's. Engine failures raise EDatabaseError carrying the
// engine's message.
//
// On SQLite, where the engine is a library in this process, a statement
// costs mostly its compiling, and the driver's turning of every column of
// every row into a value: statements without rows are compiled once per
// shape and run with their values bound, and rows are read straight from
// the engine. What a statement does and what a failure says stay as they
// are. A server's statements cost their round trips, and run as written.
class Query : public FieldSource {
public:
    explicit Query(Database& database);

    void setSQL(const QByteArray& statement);
    const QByteArray& SQL() const { return m_sql; }

    // Runs the statement, no rows: at once, or with the statements gathered.
    void ExecSQL();

    // While gathering, ExecSQL only gathers its statement, and the gathered
    // ones go to the engine together, one round trip for many, when they are
    // sent (or before the next SELECT). A failure is then reported by the
    // sending, not by the statement that failed. Only for statements whose
    // outcome nobody reads, and only where the engine takes several
    // statements in one text; elsewhere each runs at once as before.
    void gatherStatements(bool on);
    // Throws EDatabaseError when one of the gathered statements failed.
    void sendGathered();
    void discardGathered() { m_gathered.clear(); }
    // Runs a SELECT and stands on its first row (Eof at once when none).
    void Open();
    void Close();

    void First();
    // Throws EDatabaseError when the next row cannot be read.
    void Next();
    bool Eof() const { return m_eof; }

    // A field of the current row, matched by name without regard to case.
    // Throws EDatabaseError when the result has no such column.
    Field FieldByName(const QByteArray& name) const override;
    // The same, for a walk over many rows: the name is looked up once,
    // and each row's field is read by the position this gives.
    int FieldPosition(const QByteArray& name) const;
    Field FieldAt(int position) const;

    Database& database() { return m_database; }

private:
    void exec(bool forRows);
    // Runs the statement compiled for its shape; false when it has none.
    bool execPrepared();
    // Binds the statement objects to the connection opened last: those of
    // a connection closed since are dropped.
    void follow();
    void step();

    Database& m_database;
    QSqlQuery m_query;
    // The columns of the open SELECT, taken once: asking the query for its
    // record copies every value of the row.
    QSqlRecord m_columns;
    // Column index and date-time flag by the names asked for, so that a
    // walk over many rows looks each name up once. A walk asks for a few
    // names: a short list compared directly costs less than hashing the
    // name for every field. FieldPosition gives the place in this list.
    struct ColumnOf {
        QByteArray name;
        int index;
        bool dateTime;
    };
    mutable std::vector<ColumnOf> m_columnOf;
    PreparedStatements m_prepared;
    StatementShape m_shape;
    // The open SELECT's rows, when read straight from SQLite.
    SqliteRows m_rows;
    QByteArray m_sql;
    int m_generation = 0;
    bool m_gathering = false;
    QString m_gathered;
    bool m_open = false;
    bool m_eof = true;
    int m_row = -1;
};
