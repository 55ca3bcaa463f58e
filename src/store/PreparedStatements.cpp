#include "store/PreparedStatements.h"

#include <QSqlQuery>

#include <algorithm>

PreparedStatements::PreparedStatements() = default;
PreparedStatements::~PreparedStatements() = default;

QHash<QByteArray, PreparedStatements::Compiled>::iterator
PreparedStatements::add(const QSqlDatabase& connection, const QByteArray& shape, const QString& translated)
{
    if (m_byShape.size() >= capacity) {
        const auto longestAgo = [](const Compiled& a, const Compiled& b) { return a.lastUse < b.lastUse; };
        const auto oldest = std::min_element(m_byShape.begin(), m_byShape.end(), longestAgo);
        m_byShape.erase(oldest);
    }
    auto statement = std::make_shared<QSqlQuery>(connection);
    statement->setForwardOnly(true);
    if (!statement->prepare(translated))
        statement.reset();
    return m_byShape.insert(shape, Compiled{std::move(statement), 0});
}
