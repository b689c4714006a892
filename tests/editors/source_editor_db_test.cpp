// The function, procedure and type source editor against the sandbox server: the editor
// table's contract, captions of overloads, the text of every kind of type, re-creating a
// type with its privileges and comments, compiles that fail and roll back, new objects from
// the templates, procedures, the script option Owner, and the round trip of every function,
// procedure and type of the sample database in scratch copies of it.
#include "browser/fobject.h"
#include "controls/fprint.h"
#include "controls/kdmemo.h"
#include "controls/kdprinter.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdopeners.h"
#include "core/kdsub_options.h"
#include "editors/editor_fixture.h"
#include "editors/source_editor.h"
#include "controls/kdchklst.h"
#include "controls/kdcomctrls.h"
#include "frames/grant_frame.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcessEnvironment>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class SourceEditorTest : public EditorDbTest
{
protected:
    QString S() const { return QuoteIdentifier(schema(), false); }
    QString Oid(const QString &signature)
    {
        return scalar("SELECT " + QuoteLiteral(signature) + "::regprocedure::oid");
    }
    TfrmSource *OpenSource(int code, const QString &name, quint32 oid = 0, TOpenMode mode = omSource,
                           const QString &schemaName = QString())
    {
        QWidget *w = Conn->OpenObject(code, schemaName.isEmpty() ? schema() : schemaName, name, mode, false, 0, oid);
        FlushEvents();
        return qobject_cast<TfrmSource *>(w);
    }
    TfrmSource *OpenNew(int code)
    {
        return OpenSource(code, QString());
    }
    static QStringList MemoLines(TfrmSource *w)
    {
        return SourceTextLines(w->txtSource->text());
    }
    static void CompileWindow(TfrmSource *w)
    {
        GuardedCall([w] { w->Compile(); });
        FlushEvents();
    }
    QString Identity() const
    {
        const testdb::Params &p = testdb::params();
        return " @ " + p.database + "/" + p.host + ":" + p.port;
    }
};

TEST_F(SourceEditorTest, EditorTableContractForProceduresFunctionsAndTypes)
{
    exec("CREATE FUNCTION " + S() + ".f(a integer, b text) RETURNS integer LANGUAGE sql AS $$ SELECT a $$");
    exec("CREATE PROCEDURE " + S() + ".p(a integer) LANGUAGE sql AS $$ SELECT a $$");
    exec("CREATE TYPE " + S() + ".t AS ENUM ('x', 'y')");
    struct Case {
        int code;
        QString name;
        quint32 oid;
    };
    const QList<Case> cases = {
        {51, "p", 0},
        {52, "f", Oid(schema() + ".f(integer,text)").toUInt()},
        {55, "t", 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.code);
        TEditorContract c;
        c.Owner = Conn;
        c.Code = k.code;
        c.Schema = schema();
        c.Name = k.name;
        c.OID = k.oid;
        // Source 0, privileges 1, references 2; the definition mode shows the source.
        c.PagesOfModes = {{omDefine, 0}, {omSource, 0}, {omGrant, 1}, {omCross, 2}};
        CheckEditorContract(c);
    }
}

TEST_F(SourceEditorTest, CaptionsCarryArgumentTypesAndOverloadsOpenSideBySide)
{
    exec("CREATE SCHEMA " + QuoteIdentifier(schema() + "_2", true));
    const QString s2 = schema() + "_2";
    exec("CREATE FUNCTION " + S() + ".f(a integer, b text) RETURNS integer LANGUAGE sql AS $$ SELECT a $$");
    exec("CREATE FUNCTION " + S() + ".f() RETURNS integer LANGUAGE sql AS $$ SELECT 1 $$");
    exec("CREATE FUNCTION " + QuoteIdentifier(s2, true) + ".f(a integer, b text) RETURNS integer LANGUAGE sql AS $$ SELECT 2 $$");
    const int before = Main->ChildWindows().size();
    TfrmSource *two = OpenSource(52, "f", Oid(schema() + ".f(integer,text)").toUInt());
    TfrmSource *none = OpenSource(52, "f", Oid(schema() + ".f()").toUInt());
    TfrmSource *other = OpenSource(52, "f", Oid(s2 + ".f(integer,text)").toUInt(), omSource, s2);
    ASSERT_TRUE(two && none && other);
    EXPECT_EQ(two->windowTitle(), "FUNCTION - " + schema() + ".f(int4,text)" + Identity());
    EXPECT_EQ(none->windowTitle(), "FUNCTION - " + schema() + ".f" + Identity());
    EXPECT_EQ(other->windowTitle(), "FUNCTION - " + s2 + ".f(int4,text)" + Identity());
    EXPECT_EQ(two->TaskCaption(), "f");
    EXPECT_EQ(Main->ChildWindows().size(), before + 3);
    // The same overload again fronts its window.
    EXPECT_EQ(OpenSource(52, "f", Oid(schema() + ".f(integer,text)").toUInt()), nullptr);
    EXPECT_EQ(Main->ChildWindows().size(), before + 3);
    // The text is the server's definition and a line ";".
    const QStringList lines = MemoLines(two);
    EXPECT_TRUE(lines.first().startsWith("CREATE OR REPLACE FUNCTION " + schema() + ".f(a integer, b text)")) << lines.first();
    EXPECT_EQ(lines.last(), ";");
    // Two types of one name in two schemas.
    exec("CREATE TYPE " + S() + ".t AS (a int)");
    exec("CREATE TYPE " + QuoteIdentifier(s2, true) + ".t AS (a int)");
    TfrmSource *t1 = OpenSource(55, "t");
    TfrmSource *t2 = OpenSource(55, "t", 0, omSource, s2);
    ASSERT_TRUE(t1 && t2);
    EXPECT_EQ(t1->windowTitle(), "TYPE - " + schema() + ".t" + Identity());
    EXPECT_EQ(t2->windowTitle(), "TYPE - " + s2 + ".t" + Identity());
    for (QWidget *w : {static_cast<QWidget *>(two), static_cast<QWidget *>(none), static_cast<QWidget *>(other),
                       static_cast<QWidget *>(t1), static_cast<QWidget *>(t2)})
        CloseEditor(w);
    exec("DROP SCHEMA " + QuoteIdentifier(s2, true) + " CASCADE");
}

struct TypeTextCase {
    const char *what;
    QStringList setup; // %1 = the quoted schema
    QString name;
    QStringList expected; // after the CREATE TYPE line; %1 = the quoted schema
};

TEST_F(SourceEditorTest, EveryKindOfTypeReadsAsItsCreateTextAndRunsBack)
{
    const QString pad = QString(29, ' ');
    const QList<TypeTextCase> cases = {
        {"composite with lengths, a collation and a long name",
         {"CREATE TYPE %1.comp AS (a integer, \"B\" varchar(10), n numeric(10,2), c text COLLATE \"C\", "
          "abcdefghijklmnopqrstuvwxyz_0123 int[])"},
         "comp",
         {"AS (", "    a" + pad + "integer,", "    \"B\"" + QString(27, ' ') + "character varying(10),",
          "    n" + pad + "numeric(10,2),", "    c" + pad + "text COLLATE \"C\",",
          "    abcdefghijklmnopqrstuvwxyz_0123 integer[]", ")", ";"}},
        {"composite without attributes", {"CREATE TYPE %1.empty AS ()"}, "empty", {"AS (", ")", ";"}},
        {"enum in sort order with a quote",
         {"CREATE TYPE %1.mood AS ENUM ('sad', 'it''s')", "ALTER TYPE %1.mood ADD VALUE 'first' BEFORE 'sad'"},
         "mood",
         {"AS ENUM (", "    'first',", "    'sad',", "    'it''s'", ")", ";"}},
        {"range with a collation and a difference function in the schema",
         {"CREATE FUNCTION %1.tdiff(a time, b time) RETURNS float8 LANGUAGE sql IMMUTABLE STRICT "
          "AS $$ SELECT EXTRACT(EPOCH FROM (a - b))::float8 $$",
          "CREATE TYPE %1.slot AS RANGE (SUBTYPE = time, SUBTYPE_DIFF = %1.tdiff)",
          "CREATE TYPE %1.trange AS RANGE (SUBTYPE = text, COLLATION = \"C\")"},
         "slot",
         {"AS RANGE (", "    SUBTYPE = \"time\"", "  , SUBTYPE_OPCLASS = time_ops", "  , SUBTYPE_DIFF = %1.tdiff", ")", ";"}},
        {"range over text with its collation", {}, "trange",
         {"AS RANGE (", "    SUBTYPE = text", "  , SUBTYPE_OPCLASS = text_ops", "  , COLLATION = \"C\"", ")", ";"}},
        {"shell type", {"CREATE TYPE %1.shell"}, "shell", {";"}},
    };
    for (const TypeTextCase &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString &sql : c.setup)
            exec(sql.arg(S()));
        TfrmSource *w = OpenSource(55, c.name);
        ASSERT_NE(w, nullptr);
        QStringList expected{"CREATE TYPE " + S() + "." + c.name};
        for (const QString &l : c.expected)
            expected << QString(l).replace("%1", S());
        EXPECT_EQ(MemoLines(w), expected);
        // Drop and run the text again: the server takes it and reads back the same.
        const QStringList before = MemoLines(w);
        CloseEditor(w);
        exec("DROP TYPE " + S() + "." + c.name + " CASCADE");
        roundtrip::RunLines(Conn, before);
        w = OpenSource(55, c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(MemoLines(w), before);
        CloseEditor(w);
    }
}

TEST_F(SourceEditorTest, BaseTypeTextQualifiesItsFunctionsAndQuotesItsDefault)
{
    exec("CREATE TYPE " + S() + ".bt");
    exec("CREATE FUNCTION " + S() + ".bt_in(cstring) RETURNS " + S() + ".bt AS 'textin' LANGUAGE internal IMMUTABLE STRICT");
    exec("CREATE FUNCTION " + S() + ".bt_out(" + S() + ".bt) RETURNS cstring AS 'textout' LANGUAGE internal IMMUTABLE STRICT");
    exec("CREATE TYPE " + S() + ".bt (INPUT = " + S() + ".bt_in, OUTPUT = " + S()
         + ".bt_out, INTERNALLENGTH = VARIABLE, DEFAULT = 'it''s', CATEGORY = 'U')");
    TfrmSource *w = OpenSource(55, "bt");
    ASSERT_NE(w, nullptr);
    const QStringList expected = {"CREATE TYPE " + S() + ".bt", "(", "    INPUT = " + S() + ".bt_in",
                                  "  , OUTPUT = " + S() + ".bt_out", "  , INTERNALLENGTH = -1",
                                  "  , ALIGNMENT = int4", "  , STORAGE = plain", "  , CATEGORY = 'U'",
                                  "  , PREFERRED = FALSE", "  , DEFAULT = 'it''s'", "  , DELIMITER = ','",
                                  "  , COLLATABLE = FALSE", ")", ";"};
    EXPECT_EQ(MemoLines(w), expected);
    CloseEditor(w);
    // The text runs: a second type made from it under another name takes the same functions.
    QStringList copy = expected;
    copy[0] = "CREATE TYPE " + S() + ".bt2";
    exec("CREATE TYPE " + S() + ".bt2");
    exec("CREATE FUNCTION " + S() + ".bt2_in(cstring) RETURNS " + S() + ".bt2 AS 'textin' LANGUAGE internal IMMUTABLE STRICT");
    exec("CREATE FUNCTION " + S() + ".bt2_out(" + S() + ".bt2) RETURNS cstring AS 'textout' LANGUAGE internal IMMUTABLE STRICT");
    copy[2] = "    INPUT = " + S() + ".bt2_in";
    copy[3] = "  , OUTPUT = " + S() + ".bt2_out";
    roundtrip::RunLines(Conn, copy);
    EXPECT_EQ(scalar("SELECT typdefault FROM pg_type WHERE oid = '" + schema() + ".bt2'::regtype"), "it's");
}

TEST_F(SourceEditorTest, RecreatedTypeKeepsPrivilegesAndComments)
{
    const QString role = testdb::uniqueName("src_role");
    const QString owner = testdb::uniqueName("src_owner");
    exec("CREATE ROLE " + role);
    exec("CREATE ROLE " + owner);
    exec("GRANT CREATE, USAGE ON SCHEMA " + S() + " TO " + owner);
    exec("CREATE TYPE " + S() + ".addr AS (zip text, city text)");
    exec("ALTER TYPE " + S() + ".addr OWNER TO " + owner);
    exec("COMMENT ON TYPE " + S() + ".addr IS '住所 ''型'''");
    exec("COMMENT ON COLUMN " + S() + ".addr.zip IS '郵便番号'");
    exec("REVOKE USAGE ON TYPE " + S() + ".addr FROM PUBLIC");
    exec("GRANT USAGE ON TYPE " + S() + ".addr TO " + role + " WITH GRANT OPTION");
    TfrmSource *w = OpenSource(55, "addr");
    ASSERT_NE(w, nullptr);
    QStringList lines = MemoLines(w);
    ASSERT_EQ(lines.size(), 6);
    lines[3] += ",";
    lines.insert(4, "    street                        text");
    w->txtSource->setText(lines.join('\n'));
    EXPECT_TRUE(w->Modified());
    TBoxes boxes;
    QStringList ran;
    Conn->dbsMain()->setStatementObserver([&](const QString &sql) { ran << sql; });
    CompileWindow(w);
    Conn->dbsMain()->setStatementObserver({});
    EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    EXPECT_FALSE(w->Modified());
    EXPECT_TRUE(ran.first().startsWith("DROP TYPE " + S() + ".addr")) << ran.join("\n");
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_attribute WHERE attrelid = (SELECT typrelid FROM pg_type WHERE oid = '"
                     + schema() + ".addr'::regtype) AND attnum > 0"),
              "3");
    EXPECT_EQ(scalar("SELECT obj_description('" + schema() + ".addr'::regtype, 'pg_type')"), "住所 '型'");
    EXPECT_EQ(scalar("SELECT col_description(typrelid, 1) FROM pg_type WHERE oid = '" + schema() + ".addr'::regtype"),
              "郵便番号");
    EXPECT_EQ(scalar("SELECT has_type_privilege('" + role + "', '" + schema() + ".addr', 'USAGE WITH GRANT OPTION')"), "t");
    EXPECT_EQ(scalar("SELECT has_type_privilege('public', '" + schema() + ".addr', 'USAGE')"), "f");
    EXPECT_EQ(scalar("SELECT pg_get_userbyid(typowner) FROM pg_type WHERE oid = '" + schema() + ".addr'::regtype"), owner);
    // An unchanged text runs no DROP and no CREATE, only the privileges, and still succeeds.
    ran.clear();
    boxes.Texts.clear();
    Conn->dbsMain()->setStatementObserver([&](const QString &sql) { ran << sql; });
    CompileWindow(w);
    Conn->dbsMain()->setStatementObserver({});
    EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    for (const QString &sql : ran) {
        EXPECT_FALSE(sql.contains("DROP TYPE")) << sql.toStdString();
        EXPECT_FALSE(sql.contains("CREATE TYPE")) << sql.toStdString();
    }
    EXPECT_EQ(scalar("SELECT has_type_privilege('" + role + "', '" + schema() + ".addr', 'USAGE')"), "t");
    CloseEditor(w);
    exec("DROP TYPE " + S() + ".addr");
    exec("REVOKE ALL ON SCHEMA " + S() + " FROM " + owner);
    exec("DROP ROLE " + role);
    exec("DROP ROLE " + owner);
}

TEST_F(SourceEditorTest, AwkwardNamesOpenScriptAndRecreate)
{
    const QStringList names = {"日本.型\"q", "Upper Case", "select"};
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString q = S() + "." + QuoteIdentifier(name, true);
        exec("CREATE TYPE " + q + " AS ENUM ('a')");
        exec("CREATE FUNCTION " + q + "(v " + q + ") RETURNS text LANGUAGE sql AS $$ SELECT v::text $$");
        TfrmSource *t = OpenSource(55, name);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->windowTitle(), "TYPE - " + schema() + "." + name + Identity());
        EXPECT_EQ(MemoLines(t).first(), "CREATE TYPE " + S() + "." + QuoteIdentifier(name));
        QString text = t->txtSource->text();
        text.replace("'a'", "'a',\n    'b'");
        t->txtSource->setText(text);
        {
            // The function of the type goes with it only by CASCADE: the DROP is refused and
            // nothing changes.
            TBoxes boxes;
            CompileWindow(t);
            ASSERT_EQ(boxes.Flags.size(), 1);
            EXPECT_EQ(boxes.Flags.first() & 0xF0, MB_ICONERROR);
        }
        const QString oid = scalar("SELECT p.oid FROM pg_proc p WHERE p.pronamespace = '" + schema()
                                   + "'::regnamespace AND p.proname = " + QuoteLiteral(name));
        TfrmSource *f = OpenSource(52, name, oid.toUInt());
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(f->windowTitle().startsWith("FUNCTION - " + schema() + "." + name + "(")) << f->windowTitle();
        CloseEditor(f);
        exec("DROP FUNCTION " + q + "(" + q + ")");
        {
            TBoxes boxes;
            CompileWindow(t);
            EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
        }
        EXPECT_EQ(scalar("SELECT string_agg(enumlabel, ',' ORDER BY enumsortorder) FROM pg_enum WHERE enumtypid = "
                         "to_regtype(" + QuoteLiteral(q) + ")"),
                  "a,b");
        CloseEditor(t);
    }
}

// Takes USAGE / EXECUTE away from PUBLIC on the privilege page, as the user would.
void RevokeFromPublicOnThePage(TfrmSource *w)
{
    TfraGrant *f = w->fraGrant;
    f->lstGrant->clearSelection();
    bool found = false;
    for (int i = 0; i < f->lstGrant->topLevelItemCount(); ++i)
        if (f->lstGrant->topLevelItem(i)->text(0) == "public") {
            f->lstGrant->topLevelItem(i)->setSelected(true);
            found = true;
        }
    ASSERT_TRUE(found);
    f->chkGrant->SetStateL(0, Qt::Unchecked);
    f->chkGrantClick();
}

TEST_F(SourceEditorTest, PrivilegePageChangesRunWithTheTextInOneTransaction)
{
    exec("CREATE TYPE " + S() + ".e AS ENUM ('a')");
    exec("CREATE FUNCTION " + S() + ".f() RETURNS integer LANGUAGE sql AS $$ SELECT 1 $$");
    // A type: edited text and a privilege taken from PUBLIC, on the source page.
    TfrmSource *t = OpenSource(55, "e");
    ASSERT_NE(t, nullptr);
    RevokeFromPublicOnThePage(t);
    QString text = t->txtSource->text();
    text.replace("'a'", "'a',\n    'z'");
    t->txtSource->setText(text);
    {
        TBoxes boxes;
        CompileWindow(t);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    }
    EXPECT_EQ(scalar("SELECT has_type_privilege('public', '" + schema() + ".e', 'USAGE')"), "f");
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_enum WHERE enumtypid = '" + schema() + ".e'::regtype"), "2");
    CloseEditor(t);
    // A function on its privilege page: the text runs again and the REVOKE with it.
    TfrmSource *w = OpenSource(52, "f", Oid(schema() + ".f()").toUInt(), omGrant);
    ASSERT_NE(w, nullptr);
    RevokeFromPublicOnThePage(w);
    EXPECT_TRUE(w->Modified());
    QStringList ran;
    Conn->dbsMain()->setStatementObserver([&](const QString &sql) { ran << sql; });
    {
        TBoxes boxes;
        CompileWindow(w);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    }
    Conn->dbsMain()->setStatementObserver({});
    ASSERT_EQ(ran.size(), 2) << ran.join("\n").toStdString();
    EXPECT_TRUE(ran.at(0).startsWith("CREATE OR REPLACE FUNCTION"));
    EXPECT_TRUE(ran.at(1).startsWith("REVOKE EXECUTE ON FUNCTION")) << ran.at(1);
    EXPECT_EQ(scalar("SELECT has_function_privilege('public', '" + schema() + ".f()', 'EXECUTE')"), "f");
    CloseEditor(w);
}

TEST_F(SourceEditorTest, TypeInUseIsNotRecreatedAndNothingChanges)
{
    exec("CREATE TYPE " + S() + ".st AS ENUM ('a', 'b')");
    exec("CREATE TABLE " + S() + ".uses (v " + S() + ".st)");
    TfrmSource *w = OpenSource(55, "st");
    ASSERT_NE(w, nullptr);
    QString text = w->txtSource->text();
    text.replace("'b'", "'b',\n    'c'");
    w->txtSource->setText(text);
    TBoxes boxes;
    CompileWindow(w);
    ASSERT_EQ(boxes.Flags.size(), 1);
    EXPECT_EQ(boxes.Flags.first() & 0xF0, MB_ICONERROR) << boxes.Texts.join("\n");
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->txtSource->text(), text) << "the text stays as typed";
    EXPECT_EQ(scalar("SELECT string_agg(enumlabel, ',' ORDER BY enumsortorder) FROM pg_enum WHERE enumtypid = '"
                     + schema() + ".st'::regtype"),
              "a,b");
    CloseEditor(w);
}

TEST_F(SourceEditorTest, FunctionWithASyntaxErrorRollsBackShowsTheErrorAndKeepsTheText)
{
    TfrmSource *w = OpenNew(52);
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("ok");
    const QString text = "CREATE FUNCTION " + S() + ".ok() RETURNS integer LANGUAGE sql AS $$ SELECT 1 $$\n;\n"
                         "CREATE FUNCTION " + S() + ".broken( RETURNS integer LANGUAGE sql AS $$ SELECT 1 $$\n;\n";
    w->txtSource->setText(text);
    TBoxes boxes;
    QPointer<TfrmSource> alive(w);
    CompileWindow(w);
    ASSERT_TRUE(alive) << "the window stays";
    ASSERT_EQ(boxes.Flags.size(), 1);
    EXPECT_EQ(boxes.Flags.first() & 0xF0, MB_ICONERROR);
    EXPECT_FALSE(boxes.Texts.first().isEmpty());
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_proc WHERE pronamespace = '" + schema() + "'::regnamespace"), "0")
        << "the first statement was rolled back";
    EXPECT_EQ(w->txtSource->text(), text);
    EXPECT_TRUE(w->Modified());
    EXPECT_TRUE(w->IsNew());
    CloseEditor(w);
}

TEST_F(SourceEditorTest, ClosingAModifiedWindowCompilesAndStaysWhenTheCompileFails)
{
    exec("CREATE FUNCTION " + S() + ".f() RETURNS integer LANGUAGE sql AS $$ SELECT 1 $$");
    TfrmSource *w = OpenSource(52, "f", Oid(schema() + ".f()").toUInt());
    ASSERT_NE(w, nullptr);
    QString text = w->txtSource->text();
    text.replace("SELECT 1", "SELEC 1");
    w->txtSource->setText(text);
    QPointer<TfrmSource> alive(w);
    auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
    ASSERT_NE(sub, nullptr);
    {
        TBoxes boxes;
        boxes.Answers = {IDYES, IDOK};
        sub->close();
        FlushEvents();
        ASSERT_EQ(boxes.Texts.size(), 2);
        EXPECT_EQ(boxes.Texts.first(), "情報が変更されています。コンパイルしますか？");
        EXPECT_EQ(boxes.Flags.at(1) & 0xF0, MB_ICONERROR);
    }
    ASSERT_TRUE(alive) << "a failed compile keeps the window";
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(scalar("SELECT " + S() + ".f()"), "1");
    TBoxes boxes;
    boxes.Answers = {IDNO};
    sub->close();
    FlushEvents();
    EXPECT_FALSE(alive) << "No closes without compiling";
}

TEST_F(SourceEditorTest, CompileInsideTheUsersOpenBlockUndoesOnlyItsOwnStatements)
{
    exec("CREATE TABLE " + S() + ".work (v int)");
    Conn->ExecuteSQL("BEGIN");
    Conn->ExecuteSQL("INSERT INTO " + S() + ".work VALUES (1)");
    TfrmSource *w = OpenNew(52);
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("bad");
    w->txtSource->setText("CREATE FUNCTION " + S() + ".bad() RETURNS integer LANGUAGE sql AS $$ SELECT nosuch $$");
    {
        TBoxes boxes;
        CompileWindow(w);
        ASSERT_EQ(boxes.Flags.size(), 1);
        EXPECT_EQ(boxes.Flags.first() & 0xF0, MB_ICONERROR);
    }
    // The user's pending row is still there and the block is usable.
    db::Query *q = Conn->OpenSQL("SELECT count(*) FROM " + S() + ".work");
    EXPECT_EQ(q->field(0).asString(), "1");
    q->close();
    Conn->ExecuteSQL("ROLLBACK");
    CloseEditor(w);
}

TEST_F(SourceEditorTest, NewFunctionFromTheTemplateCompilesAndCloses)
{
    TfrmSource *w = OpenNew(52);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "FUNCTION - 新規");
    EXPECT_EQ(w->pagObject->count(), 3);
    EXPECT_TRUE(w->pagObject->isTabVisible(0));
    EXPECT_FALSE(w->pagObject->isTabVisible(1));
    EXPECT_FALSE(w->pagObject->isTabVisible(2));
    // The user leaves the schema box with the name still empty, then names the function.
    w->cmbSchema->Save();
    w->cmbSchema->setEditText(schema());
    w->txtNameExit(true);
    QStringList lines = MemoLines(w);
    ASSERT_EQ(lines.size(), 22);
    EXPECT_TRUE(lines.first().startsWith("CREATE FUNCTION " + S() + ".()")) << lines.first();
    w->txtName->Save();
    w->txtName->setText("calc");
    w->txtNameExit(false);
    lines = MemoLines(w);
    EXPECT_EQ(lines.first(), "CREATE FUNCTION " + S() + ".calc() /* (引数, 引数...) */");
    // Fill it in; a ";" line inside the body belongs to the body.
    lines[1] = "RETURNS integer";
    lines[5] = "  RETURN 41 + 1";
    lines.insert(6, ";");
    w->txtSource->setText(lines.join('\n'));
    TBoxes boxes;
    QPointer<TfrmSource> alive(w);
    CompileWindow(w);
    EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    EXPECT_EQ(scalar("SELECT " + S() + ".calc()"), "42");
    EXPECT_FALSE(alive) << "a new function's window closes";
}

// Leaving the name box fills in the template; the focus that moves on by itself while the
// window is hidden (closed, or put away behind another maximised window) is no such exit:
// the untouched window stays unmodified and closes without a question.
TEST_F(SourceEditorTest, AWindowHiddenWithTheFocusInItsNameBoxGetsNoTemplate)
{
    TfrmSource *w = OpenNew(52);
    ASSERT_NE(w, nullptr);
    QPointer<TfrmSource> alive(w);
    w->parentWidget()->showMaximized();
    QApplication::setActiveWindow(w->window());
    w->txtName->setFocus();
    FlushEvents();
    ASSERT_TRUE(w->txtName->hasFocus());
    w->parentWidget()->hide();
    FlushEvents();
    EXPECT_TRUE(TrimBlanks(w->txtSource->text()).isEmpty()) << w->txtSource->text().toStdString();
    EXPECT_FALSE(w->Modified());
    w->parentWidget()->show();
    FlushEvents();
    TBoxes boxes;
    w->parentWidget()->close();
    FlushEvents();
    EXPECT_TRUE(boxes.Texts.isEmpty()) << boxes.Texts.join(' ').toStdString();
    EXPECT_FALSE(alive);
}

TEST_F(SourceEditorTest, NewTypeBecomesAnExistingTypeWindow)
{
    TfrmSource *w = OpenNew(55);
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->Save();
    w->txtName->setText("pt");
    w->txtNameExit(false);
    ASSERT_EQ(MemoLines(w).size(), 40);
    EXPECT_EQ(MemoLines(w).first(), "CREATE TYPE " + S() + ".pt");
    w->txtSource->setText("CREATE TYPE " + S() + ".pt AS (x float8, y float8)");
    TBoxes boxes;
    CompileWindow(w);
    EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    EXPECT_FALSE(w->IsNew());
    EXPECT_EQ(w->windowTitle(), "TYPE - " + schema() + ".pt" + Identity());
    EXPECT_FALSE(w->pnlName->isEnabled());
    EXPECT_TRUE(w->pagObject->isTabVisible(1));
    EXPECT_TRUE(w->pagObject->isTabVisible(2));
    EXPECT_EQ(scalar("SELECT typtype FROM pg_type WHERE oid = '" + schema() + ".pt'::regtype"), "c");
    CloseEditor(w);
}

TEST_F(SourceEditorTest, LeavingTheNameBoxForTheTextWritesTheTemplate)
{
    TfrmSource *w = OpenNew(55);
    ASSERT_NE(w, nullptr);
    Main->activateWindow();
    w->txtName->setFocus();
    FlushEvents();
    ASSERT_EQ(QApplication::focusWidget(), w->txtName);
    w->txtName->setText("pt");
    // Another window taking the focus is no exit of the box.
    TfrmSource *other = OpenNew(52);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(w->txtSource->text().isEmpty());
    CloseEditor(other);
    w->txtName->setFocus();
    FlushEvents();
    w->txtSource->setFocus();
    FlushEvents();
    EXPECT_EQ(MemoLines(w).value(0), "CREATE TYPE " + S() + ".pt");
    EXPECT_TRUE(w->Modified());
    w->resize(900, 420);
    FlushEvents();
    EXPECT_TRUE(w->grab().toImage().save("/tmp/vantor-source-new-type.png"));
    CloseEditor(w);
}

TEST_F(SourceEditorTest, LeavingAnEditedTextWithoutCompilingReloadsItBeforeTheNextCompile)
{
    exec("CREATE FUNCTION " + S() + ".f() RETURNS integer LANGUAGE sql AS $$ SELECT 1 $$");
    TfrmSource *w = OpenSource(52, "f", Oid(schema() + ".f()").toUInt());
    ASSERT_NE(w, nullptr);
    const QString original = w->txtSource->text();
    QString edited = original;
    edited.replace("SELECT 1", "SELECT 2");
    w->txtSource->setText(edited);
    {
        // The page change asks; No drops the edit and the new page loads.
        TBoxes boxes;
        boxes.Answers = {IDNO};
        w->pagObject->setCurrentWidget(w->tabGrant);
        FlushEvents();
        EXPECT_EQ(boxes.Texts, QStringList{"情報が変更されています。コンパイルしますか？"});
    }
    EXPECT_EQ(w->pagObject->currentWidget(), w->tabGrant);
    EXPECT_EQ(w->txtSource->text(), original) << "the dropped edit is gone from the text as well";
    TBoxes boxes;
    CompileWindow(w);
    EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    EXPECT_EQ(scalar("SELECT " + S() + ".f()"), "1");
    CloseEditor(w);
}

TEST_F(SourceEditorTest, SavedSourcesUseTheKindsFolderAndTheCreatedRoutine)
{
    QTemporaryDir dir;
    TkdOption &o = TkdOption::Global();
    o.SaveBeforeSrc = true;
    o.SaveAfterSrc = true;
    o.SaveBeforeSrcDir = dir.path() + "/before/";
    o.SaveAfterSrcDir = dir.path() + "/after/";
    o.SaveBeforeSrcDialog = o.SaveAfterSrcDialog = o.SaveBeforeSrcRenum = o.SaveAfterSrcRenum = false;
    o.SaveBeforeSrcHead = o.SaveAfterSrcHead = false;
    auto read = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    // Scripts leave out the login schema (script option Owner 1).
    TScriptOption::Global().Owner = 1;
    // A new function: the after-source is the routine the compile created.
    TfrmSource *w = OpenNew(52);
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("made");
    w->txtSource->setText("CREATE FUNCTION " + S() + ".made(a integer) RETURNS integer LANGUAGE sql AS $$ SELECT a $$");
    {
        TBoxes boxes;
        CompileWindow(w);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    }
    EXPECT_TRUE(read(dir.path() + "/after/" + schema() + "/FUNCTION/made.SQL")
                    .startsWith("CREATE OR REPLACE FUNCTION made(a integer)"))
        << read(dir.path() + "/after/" + schema() + "/FUNCTION/made.SQL").toStdString()
        << QDir(dir.path() + "/after/" + schema()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(",").toStdString();
    // A procedure goes to the PROCEDURE folder, before and after.
    exec("CREATE PROCEDURE " + S() + ".pr() LANGUAGE sql AS $$ SELECT 1 $$");
    TfrmSource *p = OpenSource(51, "pr");
    ASSERT_NE(p, nullptr);
    {
        TBoxes boxes;
        CompileWindow(p);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    }
    for (const QString when : {"before", "after"})
        EXPECT_TRUE(read(dir.path() + "/" + when + "/" + schema() + "/PROCEDURE/pr.SQL").startsWith("CREATE OR REPLACE PROCEDURE"))
            << when.toStdString();
    CloseEditor(p);
    o.SaveBeforeSrc = o.SaveAfterSrc = false;
}

TEST_F(SourceEditorTest, EmptyNameOrSchemaIsRefusedBeforeAnythingRuns)
{
    TfrmSource *w = OpenNew(55);
    ASSERT_NE(w, nullptr);
    w->txtSource->setText("CREATE TYPE " + S() + ".never AS (a int)");
    TBoxes boxes;
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("  ");
    CompileWindow(w);
    w->txtName->setText("never");
    w->cmbSchema->setEditText("");
    CompileWindow(w);
    EXPECT_EQ(boxes.Texts, (QStringList{"名前を入力して下さい。", "スキーマ名を入力して下さい。"}));
    EXPECT_EQ(boxes.Flags, (QList<int>{MB_ICONWARNING | MB_OK, MB_ICONWARNING | MB_OK}));
    EXPECT_EQ(scalar("SELECT to_regtype('" + schema() + ".never') IS NULL"), "t");
    CloseEditor(w);
}

TEST_F(SourceEditorTest, ProcedureOpensLikeAFunctionAndDropsAsAProcedure)
{
    exec("CREATE PROCEDURE " + S() + ".move(a integer, INOUT b integer) LANGUAGE plpgsql AS $$ BEGIN b := a; END $$");
    const quint32 oid = Oid(schema() + ".move(integer,integer)").toUInt();
    // The object list shows procedures among the functions, with their OID.
    TfrmSource *w = OpenSource(52, "move", oid);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Kind(), TSourceKind::Procedure);
    EXPECT_EQ(w->windowTitle(), "PROCEDURE - " + schema() + ".move(int4,int4)" + Identity());
    EXPECT_TRUE(MemoLines(w).first().startsWith("CREATE OR REPLACE PROCEDURE " + schema() + ".move("));
    EXPECT_FALSE(w->actExec->isEnabled()) << "procedures are not executed here";
    EXPECT_TRUE(w->actDelete->isEnabled());
    EXPECT_FALSE(w->btnSample->isVisibleTo(w));
    // Opened by its own code and name, the same window comes to the front.
    EXPECT_EQ(OpenSource(51, "move"), nullptr);
    // Compile runs the text again (CREATE OR REPLACE).
    {
        TBoxes boxes;
        CompileWindow(w);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    }
    TBoxes boxes;
    boxes.Answers = {IDYES, IDOK};
    QPointer<TfrmSource> alive(w);
    GuardedCall([w] { w->actDeleteExecute(); });
    FlushEvents();
    EXPECT_EQ(boxes.Texts, (QStringList{"オブジェクトを削除しますか？", "オブジェクトが削除されました。"}));
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_proc WHERE oid = " + QString::number(oid)), "0");
    EXPECT_FALSE(alive);
}

TEST_F(SourceEditorTest, DeleteWithCascadeAndAFailedDropKeepsTheWindow)
{
    exec("CREATE FUNCTION " + S() + ".f(a integer, b text) RETURNS integer LANGUAGE sql AS $$ SELECT a $$");
    exec("CREATE VIEW " + S() + ".v AS SELECT " + S() + ".f(1, 'x') AS r");
    TfrmSource *w = OpenSource(52, "f", Oid(schema() + ".f(integer,text)").toUInt());
    ASSERT_NE(w, nullptr);
    QStringList ran;
    {
        TBoxes boxes;
        boxes.Answers = {IDYES, IDOK};
        Conn->dbsMain()->setStatementObserver([&](const QString &sql) { ran << sql; });
        GuardedCall([w] { w->actDeleteExecute(); });
        Conn->dbsMain()->setStatementObserver({});
        FlushEvents();
        ASSERT_EQ(boxes.Texts.size(), 2);
        EXPECT_EQ(boxes.Flags.at(1) & 0xF0, MB_ICONERROR) << "the view depends on it";
        EXPECT_NE(boxes.Texts.at(1), "オブジェクトが削除されました。");
    }
    EXPECT_TRUE(ran.contains("DROP FUNCTION " + S() + ".f(int4,text)")) << ran.join("\n");
    QPointer<TfrmSource> alive(w);
    EXPECT_TRUE(alive);
    // With the CASCADE box ticked the view goes as well.
    TBoxes boxes;
    boxes.Answers = {IDYES, IDOK};
    boxes.OnBox = [](MessageBoxRequest &r) {
        for (MsgCheckItem &item : r.items)
            item.Checked = true;
    };
    GuardedCall([w] { w->actDeleteExecute(); });
    FlushEvents();
    EXPECT_EQ(boxes.Texts.last(), "オブジェクトが削除されました。");
    EXPECT_EQ(scalar("SELECT to_regclass('" + schema() + ".v') IS NULL"), "t");
    EXPECT_FALSE(alive);
}

TEST_F(SourceEditorTest, ExecuteSaveAndSampleButtons)
{
    exec("CREATE FUNCTION " + S() + ".\"Calc\"(a integer) RETURNS integer LANGUAGE sql AS $$ SELECT a $$");
    TfrmSource *w = OpenSource(52, "Calc", Oid(schema() + ".\"Calc\"(integer)").toUInt());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->actExec->isEnabled());
    EXPECT_TRUE(w->actSave->isEnabled());
    {
        // The execution window is not built: the command says so.
        kdopeners::Clear();
        TBoxes boxes;
        w->actExec->trigger();
        FlushEvents();
        EXPECT_EQ(boxes.Texts, QStringList{kdopeners::NotAvailableText()});
    }
    // An edit disables execute, print and save until the text is compiled or reverted.
    w->txtSource->insert("-- note\n");
    EXPECT_TRUE(w->Modified());
    EXPECT_FALSE(w->actExec->isEnabled());
    EXPECT_FALSE(w->actSave->isEnabled());
    EXPECT_TRUE(w->actCompile->isEnabled());
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        GuardedCall([w] { w->Reload(); });
        EXPECT_EQ(boxes.Texts, QStringList{"全ての変更を取り消しますか？"});
    }
    EXPECT_FALSE(w->Modified());
    EXPECT_TRUE(w->actSave->isEnabled());
    // Save writes the text without byte-order mark in the configured encoding.
    QTemporaryDir dir;
    TkdOption::Global().Encoding = 2;
    TkdOption::Global().FileDir = dir.path();
    QString proposed;
    auto previous = SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
        proposed = r.FileName;
        return dir.filePath("out.sql");
    });
    {
        TBoxes boxes;
        w->actSave->trigger();
        EXPECT_EQ(boxes.Texts, QStringList{"スクリプトが出力されました。"});
    }
    SetSaveFileHook(previous);
    EXPECT_EQ(proposed, dir.path() + "/" + schema() + ".Calc.sql");
    QFile f(dir.filePath("out.sql"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(bytes), MemoLines(w).join("\r\n") + "\r\n");
    EXPECT_EQ(TkdOption::Global().FileDir, dir.path() + "/");
    // The sample button asks the opener table with this window's slot.
    int asked = 0;
    int kind = 0;
    kdopeners::Register("TfrmSample", [&](const TOpenerArgs &a) -> QWidget * {
        ++asked;
        kind = a.Values.value("ObjectType").toInt();
        EXPECT_NE(kdopeners::OpenerOut<void>(a.Values, "SampleWindow"), nullptr);
        return nullptr;
    });
    w->actSample->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(kind, 52);
    kdopeners::Clear();
    CloseEditor(w);
}

TEST_F(SourceEditorTest, PrintLaysTheTextOutUnderItsTitle)
{
    exec("CREATE FUNCTION " + S() + ".\"集計\"(a integer) RETURNS integer LANGUAGE sql AS $$ SELECT a * 2 $$");
    TfrmSource *w = OpenSource(52, "集計", Oid(schema() + ".\"集計\"(integer)").toUInt());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->actPrint->isEnabled());
    QTemporaryDir dir;
    const QString pdf = dir.filePath("source.pdf");
    auto previous = TfrmPrint::SetFileNameHook([&](QWidget *, const QString &) { return pdf; });
    std::function<void()> onDialog;
    onDialog = [&] {
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<TfrmPrint *>(QApplication::activeModalWidget());
            if (!d) {
                onDialog();
                return;
            }
            d->cmbPrinterName->setCurrentIndex(d->cmbPrinterName->findText(TkdPrinter::PdfPrinterName()));
            d->btnOk->click();
        });
    };
    onDialog();
    w->actPrint->trigger();
    TfrmPrint::SetFileNameHook(previous);
    QProcess text;
    text.start("pdftotext", {"-raw", "-enc", "UTF-8", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(schema() + ".集計")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("SELECT a * 2")) << printed.toStdString();
    CloseEditor(w);
}

TEST_F(SourceEditorTest, ScriptOwnerOptionDecidesTheQualificationOfTheCreateLineOnly)
{
    exec("CREATE FUNCTION " + S() + ".calc_total(p integer) RETURNS integer LANGUAGE plpgsql AS $$ BEGIN "
         "IF p <= 0 THEN RETURN 0; END IF; RETURN p + " + S() + ".CALC_TOTAL(p - 1); END $$");
    exec("CREATE TYPE " + S() + ".pair AS (a int, b int)");
    const quint32 oid = Oid(schema() + ".calc_total(integer)").toUInt();
    const int saved = TScriptOption::Global().Owner;
    for (int owner : {0, 2}) {
        SCOPED_TRACE(owner);
        TScriptOption::Global().Owner = owner;
        TScriptSink f;
        ASSERT_TRUE(Conn->OutputScript(52, schema(), "calc_total", f, QString(), QString(), oid));
        const QString prefix = owner == 2 ? QString() : S() + ".";
        EXPECT_EQ(f.Lines().first(), "CREATE OR REPLACE FUNCTION " + prefix + "calc_total(p integer)");
        EXPECT_TRUE(f.Lines().join("\n").contains(S() + ".CALC_TOTAL(p - 1)")) << "the body keeps its names";
        EXPECT_EQ(f.Lines().last(), ";");
        TScriptSink t;
        ASSERT_TRUE(Conn->OutputScript(55, schema(), "pair", t));
        EXPECT_EQ(t.Lines().first(), "CREATE TYPE " + prefix + "pair");
    }
    TScriptOption::Global().Owner = saved;
    // The script without qualification runs in the login schema.
    TScriptOption::Global().Owner = 2;
    TScriptSink f;
    ASSERT_TRUE(Conn->OutputScript(52, schema(), "calc_total", f, QString(), QString(), oid));
    TScriptOption::Global().Owner = saved;
    exec("DROP FUNCTION " + S() + ".calc_total(integer)");
    roundtrip::RunLines(Conn, f.Lines());
    EXPECT_EQ(scalar("SELECT " + S() + ".calc_total(3)"), "6");
}

// ---- the sample database ----------------------------------------------------------------------

// The entries of pg_dump (schema only, no owners or privileges) of one schema, by their
// header "Name: …; Type: …; Schema: …", each without comment and blank lines.
QMap<QString, QString> DumpEntries(const QString &database, const QString &schemaName)
{
    const testdb::Params &p = testdb::params();
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PGPASSWORD", p.password);
    proc.setProcessEnvironment(env);
    proc.start("pg_dump", {"--schema-only", "--no-owner", "--no-privileges", "-h", p.host, "-p", p.port, "-U", p.user,
                           "-n", roundtrip::ExactPattern(schemaName), database});
    if (!proc.waitForFinished(120000) || proc.exitCode() != 0) {
        ADD_FAILURE() << "pg_dump failed: " << proc.readAllStandardError().toStdString();
        return {};
    }
    QMap<QString, QString> entries;
    QString key;
    QStringList body;
    auto flush = [&] {
        if (!key.isEmpty())
            entries.insert(key, body.join('\n'));
        body.clear();
    };
    for (const QString &line : QString::fromUtf8(proc.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("-- Name: ")) {
            flush();
            key = line.mid(9).section("; Owner:", 0, 0);
            continue;
        }
        // Session settings belong to whatever entry follows in the file, not to this one.
        if (line.startsWith("--") || line.trimmed().isEmpty() || line.startsWith("\\") || line.startsWith("SET ")
            || line.startsWith("SELECT pg_catalog.set_config"))
            continue;
        body << line;
    }
    flush();
    return entries;
}

// The dump entries of one routine name (every overload) or of one type.
QMap<QString, QString> EntriesOf(const QMap<QString, QString> &all, const QString &name, bool routine)
{
    QMap<QString, QString> out;
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QString entryName = it.key().section("; Type: ", 0, 0);
        const QString type = it.key().section("; Type: ", 1).section(";", 0, 0);
        if (routine ? (entryName.startsWith(name + "(") && (type == "FUNCTION" || type == "PROCEDURE"))
                    : (entryName == name && type == "TYPE"))
            out.insert(it.key(), it.value());
    }
    return out;
}

QString ConnScalar(TfrmObject *conn, const QString &sql)
{
    db::Query *q = conn->OpenSQL(sql);
    const QString v = q->eof() ? QString() : q->field(0).asString();
    q->close();
    return v;
}

struct SampleObject {
    QString schema, name, kind; // kind: routine kind letter, or "t" for a type
    quint32 oid = 0;
};

class SampleRoundTripTest : public SourceEditorTest
{
protected:
    // A fresh copy of the sample database and a connection window on it.
    TfrmObject *Copy(const QString &name)
    {
        const testdb::Params &p = testdb::params();
        auto admin = testdb::connect("postgres");
        bool made = false;
        for (int i = 0; i < 30 && !made; ++i) {
            try {
                testdb::exec(admin.get(), "CREATE DATABASE " + name + " TEMPLATE "
                                              + QuoteIdentifier(p.sampleDatabase + "_template", true));
                made = true;
            } catch (...) {
                QThread::msleep(500);
            }
        }
        if (!made)
            return nullptr;
        FCopies << name;
        TfrmObject *conn = TfrmObject::Create({p.host, p.port, name, "public", p.user, p.password});
        FlushEvents();
        return conn;
    }
    void TearDown() override
    {
        TearDownWindows();
        auto admin = testdb::connect("postgres");
        for (const QString &c : FCopies)
            testdb::exec(admin.get(), "DROP DATABASE IF EXISTS " + c + " WITH (FORCE)");
        SourceEditorTest::TearDown();
    }
    // The functions, procedures and types of the sample; extension members and the
    // constructors the server makes for range types (parts of their type) are left out.
    static QList<SampleObject> Objects(const QString &database, bool types)
    {
        auto c = testdb::connect(database);
        const QString sql = types
            ? "SELECT string_agg(n.nspname || chr(1) || t.typname || chr(1) || 't' || chr(1) || t.oid, chr(2) "
              "ORDER BY n.nspname, t.typname) FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
              "LEFT JOIN pg_class c ON c.oid = t.typrelid "
              "WHERE n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg_toast%' "
              "AND (c.relkind = 'c' OR t.typtype IN ('e', 'r', 'p') OR (t.typtype = 'b' AND t.typcategory = 'U')) "
              "AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = t.oid AND d.deptype = 'e')"
            : "SELECT string_agg(n.nspname || chr(1) || p.proname || chr(1) || p.prokind::text || chr(1) || p.oid, chr(2) "
              "ORDER BY n.nspname, p.proname, p.oid) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
              "WHERE n.nspname NOT IN ('pg_catalog', 'information_schema') "
              "AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.classid = 'pg_proc'::regclass AND d.objid = p.oid "
              "AND d.deptype IN ('e', 'i'))";
        QList<SampleObject> out;
        for (const QString &row : testdb::scalar(c.get(), sql).split(QChar(2), Qt::SkipEmptyParts)) {
            const QStringList f = row.split(QChar(1));
            out << SampleObject{f.at(0), f.at(1), f.at(2), f.at(3).toUInt()};
        }
        return out;
    }
    QStringList FCopies;
};

TEST_F(SampleRoundTripTest, EveryFunctionProcedureAndTypeOfTheSampleScriptsBackTheSame)
{
    TkdOption::Global().UseLowerName = false;
    TScriptOption::Global().Owner = 0;
    // Functions and procedures share one copy (dropping one never takes another with it);
    // types get another (dropping a type takes functions of that type along).
    for (bool types : {false, true}) {
        SCOPED_TRACE(types ? "types" : "routines");
        const QString copy = testdb::uniqueName(types ? "src_rt_t" : "src_rt_f");
        TfrmObject *conn = Copy(copy);
        ASSERT_NE(conn, nullptr);
        const QList<SampleObject> objects = Objects(copy, types);
        EXPECT_GE(objects.size(), types ? 5 : 20);
        // What the editor opens: everything but aggregates.
        QList<SampleObject> opened;
        for (const SampleObject &o : objects) {
            TBoxes boxes;
            QWidget *w = conn->OpenObject(types ? 55 : 52, o.schema, o.name, omSource, false, 0, types ? 0 : o.oid);
            FlushEvents();
            if (w) {
                opened << o;
                auto *source = qobject_cast<TfrmSource *>(w);
                ASSERT_NE(source, nullptr);
                EXPECT_EQ(source->Kind(), types ? TSourceKind::Type
                                                : (o.kind == "p" ? TSourceKind::Procedure : TSourceKind::Function));
                EXPECT_FALSE(source->txtSource->text().isEmpty());
                if (!types && o.schema == "sales" && o.name == "order_total") {
                    source->resize(900, 420);
                    source->show();
                    FlushEvents();
                    EXPECT_TRUE(source->grab().toImage().save("/tmp/vantor-source-editor.png"));
                }
                CloseEditor(w);
            } else {
                EXPECT_EQ(o.kind, "a") << (o.schema + "." + o.name).toStdString() << " does not open";
                EXPECT_EQ(boxes.Texts, QStringList{"定義情報を読み込めませんでした。"});
            }
        }
        EXPECT_GE(opened.size(), types ? 5 : 20);
        for (const SampleObject &o : opened) {
            SCOPED_TRACE((o.schema + "." + o.name).toStdString());
            const QMap<QString, QString> before = EntriesOf(DumpEntries(copy, o.schema), o.name, !types);
            ASSERT_FALSE(before.isEmpty());
            TScriptSink sink;
            ASSERT_TRUE(conn->OutputScript(types ? 55 : 52, o.schema, o.name, sink, QString(), QString(), o.oid));
            try {
                if (types) {
                    conn->ExecuteSQL(TypeDropStatement(o.schema, o.name, true));
                } else {
                    const QString args = ConnScalar(conn, "SELECT pg_get_function_identity_arguments(" + QString::number(o.oid) + ")");
                    conn->ExecuteSQL(QString(o.kind == "p" ? "DROP PROCEDURE " : "DROP FUNCTION ") + QuoteIdentifier(o.schema, true)
                                     + "." + QuoteIdentifier(o.name, true) + "(" + args + ") CASCADE");
                }
                roundtrip::RunLines(conn, sink.Lines());
            } catch (const std::exception &e) {
                ADD_FAILURE() << e.what() << "\n" << sink.Lines().join('\n').toStdString();
                continue;
            }
            EXPECT_EQ(EntriesOf(DumpEntries(copy, o.schema), o.name, !types), before) << sink.Lines().join('\n').toStdString();
        }
        conn->close();
        FlushEvents();
    }
}

} // namespace
