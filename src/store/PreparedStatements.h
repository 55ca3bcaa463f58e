#pragma once

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QString>

#include <memory>

class QSqlQuery;

// The statements of one SQLite connection compiled once per shape
// (StatementShape.h): compiling an insert costs the engine more than
// running it. Bounded: past `capacity` shapes the one used longest ago is
// dropped, so that statements of ever new shapes (a race's date is part of
// its shape) do not pile up. A shape the engine cannot compile with its
// values as parameters is remembered as such, and its statements run as
// written.
class PreparedStatements {
public:
    static constexpr int capacity = 64;

    PreparedStatements();
    ~PreparedStatements();

    // The compiled statement of the shape, or null when it runs as
    // written. `translated` is the shape in the engine's dialect, asked for
    // only when the shape is new.
    template <typename Translate>
    QSqlQuery* find(const QSqlDatabase& connection, const QByteArray& shape, Translate&& translated)
    {
        auto known = m_byShape.find(shape);
        if (known == m_byShape.end())
            known = add(connection, shape, translated());
        known->lastUse = ++m_uses;
        return known->statement.get();
    }

    // Every statement dropped: the connection they were compiled on was
    // closed.
    void clear() { m_byShape.clear(); }
    qsizetype size() const { return m_byShape.size(); }
    bool holds(const QByteArray& shape) const { return m_byShape.contains(shape); }

private:
    struct Compiled {
        std::shared_ptr<QSqlQuery> statement;
        quint64 lastUse = 0;
    };
    QHash<QByteArray, Compiled>::iterator add(const QSqlDatabase& connection, const QByteArray& shape,
                                              const QString& translated);

    QHash<QByteArray, Compiled> m_byShape;
    quint64 m_uses = 0;
};
