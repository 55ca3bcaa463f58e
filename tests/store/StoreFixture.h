#pragma once

#include "store/Database.h"
#include "store/Query.h"
#include "store/TestEngine.h"

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>
#include <ostream>

// 8-bit texts shown as text in failure messages, not as lists of bytes.
inline void PrintTo(const QByteArray& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QVariant& value, std::ostream* out)
{
    if (value.isNull())
        *out << "null";
    else
        *out << value.typeName() << ' ' << value.toString().toStdString();
}

// A fresh data store for each test: a new SQLite file in a temporary folder,
// or an empty database on the test server (TestEngine.h). The folder is
// there for either, for the files a test writes.
class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        if (TestEngine::onServer()) {
            const QString unavailable = TestEngine::unavailable();
            if (!unavailable.isEmpty())
                GTEST_SKIP() << unavailable.toStdString();
            QString failure;
            settings = TestEngine::emptyServerDatabase(failure);
            ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
            db = std::make_unique<Database>(settings, dir.path());
        } else {
            db = std::make_unique<Database>(settings, dir.path());
        }
        query = std::make_unique<Query>(*db);
    }

    // For a test of what only the SQLite file has (the file itself, its
    // layout history, another program opening it).
    static bool onServer() { return TestEngine::onServer(); }
    void TearDown() override
    {
        query.reset();
        db.reset();
    }

    // The first column of the first row of a SELECT.
    QVariant scalar(const QByteArray& sql)
    {
        QSqlQuery raw(db->connection());
        raw.exec(QString::fromUtf8(sql));
        raw.next();
        return raw.value(0);
    }

    // Every row of a SELECT, each as its column values, read past the query
    // object so that what the engine holds is seen as it is.
    QList<QVariantList> rows(const QByteArray& sql)
    {
        QSqlQuery raw(db->connection());
        EXPECT_TRUE(raw.exec(QString::fromUtf8(sql))) << sql.constData();
        QList<QVariantList> all;
        while (raw.next()) {
            QVariantList row;
            for (int i = 0; i < raw.record().count(); ++i)
                row << raw.value(i);
            all << row;
        }
        return all;
    }

    int count(const QByteArray& table) { return scalar("select count(*) from " + table).toInt(); }

    // A statement run past the query object, to set up a case.
    void exec(const QByteArray& sql)
    {
        QSqlQuery raw(db->connection());
        ASSERT_TRUE(raw.exec(QString::fromUtf8(sql))) << sql.constData();
    }

    QTemporaryDir dir;
    DatabaseSettings settings; // the engine's: another station opens the same tables with them
    std::unique_ptr<Database> db;
    std::unique_ptr<Query> query;
};
