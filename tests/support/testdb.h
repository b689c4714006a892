#pragma once
// Access to the sandbox server that scripts/test.sh starts. Connection values come from
// the env file written by scripts/pg-sandbox.sh (path in VANTOR_PG_ENV, else the default
// sandbox's file); variables already set in the environment win.
#include "support/qstring_printer.h"
#include <QString>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <memory>

namespace testdb {

struct Params {
    QString host, port, user, password, database;
    QString sampleDatabase; // the sample business database loaded by the scripts
    QString tablespace;     // a tablespace of the sandbox; empty when the sandbox has none
};

// The connection values; empty host when no sandbox is configured.
const Params &params();

// A libpq connection to `database` (the test database when empty); fails the test on error.
struct PGconnDeleter { void operator()(PGconn *c) const { if (c) PQfinish(c); } };
using ConnPtr = std::unique_ptr<PGconn, PGconnDeleter>;
ConnPtr connect(const QString &database = QString());

// Runs one statement and fails the current test when it does not succeed.
void exec(PGconn *conn, const QString &sql);
// First column of the first row, as text (empty when no row).
QString scalar(PGconn *conn, const QString &sql);

// A fresh schema for one test in the test database, dropped afterwards.
class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    PGconn *conn() const { return FConn.get(); }
    const QString &schema() const { return FSchema; }
    void exec(const QString &sql) { testdb::exec(conn(), sql); }
    QString scalar(const QString &sql) { return testdb::scalar(conn(), sql); }
private:
    ConnPtr FConn;
    QString FSchema;
};

// A fresh database for one test, dropped afterwards (for tests that need a whole database).
class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    PGconn *conn() const { return FConn.get(); }
    const QString &database() const { return FDatabase; }
    void exec(const QString &sql) { testdb::exec(conn(), sql); }
    QString scalar(const QString &sql) { return testdb::scalar(conn(), sql); }
private:
    ConnPtr FConn;
    QString FDatabase;
};

// A name that no other test running at the same time uses.
QString uniqueName(const QString &prefix);

} // namespace testdb
