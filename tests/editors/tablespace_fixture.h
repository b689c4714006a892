#pragma once
// The surroundings of the tablespace and user list tests: an editor fixture plus empty
// folders of the sandbox for tablespaces of a test's own. The sandbox keeps a few empty
// folders owned by the server's user under VANTOR_TBS_FREE; a test claims one (a claim file
// made exclusively, with the test's process id, so a crashed test's claim is taken over)
// and drops every tablespace it made there at the end, which empties the folder again.
#include "editors/editor_fixture.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <unistd.h>

class TTablespaceFolder
{
public:
    TTablespaceFolder() = default;
    ~TTablespaceFolder() { Release(); }
    TTablespaceFolder(const TTablespaceFolder &) = delete;
    TTablespaceFolder &operator=(const TTablespaceFolder &) = delete;

    // The parent of the free folders; empty when the sandbox has none.
    static QString Parent() { return qEnvironmentVariable("VANTOR_TBS_FREE"); }

    // Claims a free folder; false when none is free.
    bool Claim()
    {
        const QString parent = Parent();
        if (parent.isEmpty())
            return false;
        const QStringList folders = QDir(parent).entryList({QStringLiteral("slot*")}, QDir::Dirs, QDir::Name);
        for (const QString &slot : folders) {
            const QString claim = parent + QStringLiteral("/claims/") + slot;
            QFile f(claim);
            if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                // A claim of a process that is gone is taken over.
                QFile old(claim);
                if (!old.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray pid = old.readAll().trimmed();
                old.close();
                if (pid.isEmpty() || QFileInfo::exists(QStringLiteral("/proc/") + QString::fromLatin1(pid)))
                    continue;
                QFile::remove(claim);
                if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                    continue;
            }
            f.write(QByteArray::number(qint64(::getpid())));
            f.close();
            FClaim = claim;
            FPath = parent + QLatin1Char('/') + slot;
            return true;
        }
        return false;
    }
    void Release()
    {
        if (!FClaim.isEmpty())
            QFile::remove(FClaim);
        FClaim.clear();
    }
    const QString &Path() const { return FPath; }

private:
    QString FClaim;
    QString FPath;
};

class TablespaceDbTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        if (TTablespaceFolder::Parent().isEmpty())
            GTEST_SKIP() << "the sandbox keeps no tablespace folders";
        // Tests running side by side share the folders: a test takes two or none (so two tests
        // never hold one each and wait for each other) and waits while all are taken.
        QDeadlineTimer deadline(std::chrono::minutes(3));
        for (;;) {
            if (A.Claim()) {
                if (B.Claim())
                    break;
                A.Release();
            }
            ASSERT_FALSE(deadline.hasExpired()) << "no two tablespace folders of the sandbox became free";
            QThread::msleep(50 + ::getpid() % 100);
        }
        // Tablespaces a crashed run left in these folders go first.
        for (const QString &path : {A.Path(), B.Path()})
            DropTablespacesAt(path);
    }
    void TearDown() override
    {
        EditorDbTest::TearDownWindows();
        for (const QString &path : {A.Path(), B.Path()})
            if (!path.isEmpty())
                DropTablespacesAt(path);
        A.Release();
        B.Release();
        DropRoles(Roles);
        EditorDbTest::TearDown();
    }
    // Drops every tablespace located in `path` with whatever it holds in the test database.
    void DropTablespacesAt(const QString &path)
    {
        // Other tests drop their own tablespaces at the same time; the server's location function
        // fails on a tablespace whose link has just gone, so it is asked row by row and a row it
        // cannot answer for counts as located elsewhere.
        exec("CREATE OR REPLACE FUNCTION pg_temp.vantor_tablespace_location(oid) RETURNS text LANGUAGE plpgsql AS "
             "$$BEGIN RETURN pg_tablespace_location($1); EXCEPTION WHEN OTHERS THEN RETURN NULL; END$$");
        const QString names = scalar("SELECT string_agg(quote_ident(spcname), ' ') FROM pg_tablespace "
                                     "WHERE pg_temp.vantor_tablespace_location(oid) = "
                                     + QuoteLiteral(path));
        for (const QString &n : names.split(' ', Qt::SkipEmptyParts)) {
            const QString rels = scalar("SELECT string_agg(format('%I.%I', n.nspname, c.relname), ', ') FROM pg_class c "
                                        "JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_tablespace t ON t.oid = "
                                        "c.reltablespace WHERE quote_ident(t.spcname) = "
                                        + QuoteLiteral(n) + " AND c.relkind IN ('r', 'p', 'm')");
            if (!rels.isEmpty())
                exec("DROP TABLE IF EXISTS " + rels + " CASCADE");
            exec("DROP TABLESPACE IF EXISTS " + n);
        }
    }
    bool TablespaceExists(const QString &name)
    {
        return scalar("SELECT count(*) FROM pg_tablespace WHERE spcname = " + QuoteLiteral(name)) == "1";
    }
    QString Role(const QString &name, const QString &options = QString())
    {
        Roles << name;
        exec("CREATE ROLE " + QuoteIdentifier(name, true) + (options.isEmpty() ? QString() : " " + options));
        return name;
    }
    TTablespaceFolder A, B;
    QStringList Roles;
};
