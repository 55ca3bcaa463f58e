#pragma once

#include "store/Database.h"
#include "store/Query.h"
#include "store/TestEngine.h"
#include "support/PrintTo.h"
#include "support/SqlProbes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

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

    // What the engine holds, read (or set up) past the query object.
    QVariant scalar(const QByteArray& sql) { return sqlprobe::scalar(db->connection(), QString::fromUtf8(sql)); }
    QList<QVariantList> rows(const QByteArray& sql) { return sqlprobe::rows(db->connection(), QString::fromUtf8(sql)); }
    int count(const QByteArray& from) { return sqlprobe::count(db->connection(), QString::fromUtf8(from)); }
    void exec(const QByteArray& sql) { sqlprobe::exec(db->connection(), QString::fromUtf8(sql)); }

    QTemporaryDir dir;
    DatabaseSettings settings; // the engine's: another station opens the same tables with them
    std::unique_ptr<Database> db;
    std::unique_ptr<Query> query;
};
