#pragma once

#include "store/Database.h"
#include "store/Query.h"

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

// A fresh data store in a temporary folder for each test.
class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = std::make_unique<Database>(dir.path());
        query = std::make_unique<Query>(*db);
    }
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

    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    std::unique_ptr<Query> query;
};
