// The tablespace editor against the sandbox server: the editor table's contract for code 69,
// a new tablespace with options and a role's grant option, the owner-only ALTER, cleared
// options reset, a quoted role in the access list, the script and the source page with every
// option and the whole access list (a group role as owner, login roles and PUBLIC), the
// location change through a temporary name (and bad folders that leave the old tablespace
// untouched), the refusal inside the user's open block, the stored-objects page (sizes of a
// relation over 2 GiB, the multi-pass drop, kinds that cannot be dropped), a DROP TABLESPACE
// that fails with the error icon, and a screenshot of the stored objects.
#include "controls/kdcomctrls.h"
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "editors/privilege_list.h"
#include "editors/tablespace_editor.h"
#include "support/editor_contract.h"
#include "editors/tablespace_fixture.h"
#include "support/testdb.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidgetItem>

namespace {

class TablespaceEditorTest : public TablespaceDbTest
{
protected:
    TfrmTBS *OpenTbs(const QString &name, TOpenMode mode = omDefine)
    {
        return OpenEditor<TfrmTBS>(69, QString(), name, mode);
    }
    static bool Compile(TfrmTBS *e)
    {
        const bool ok = GuardedCall([e] { e->Compile(); });
        FlushEvents();
        return ok;
    }
    // A tablespace of this test at folder A (quoted as needed), with `extra` statements after.
    QString MakeTablespace(const QString &name, const QString &folder)
    {
        exec("CREATE TABLESPACE " + QuoteIdentifier(name, true) + " LOCATION " + QuoteLiteral(folder));
        return name;
    }
    QString Acl(const QString &name)
    {
        return scalar("SELECT array_to_string(spcacl, ' ') FROM pg_tablespace WHERE spcname = " + QuoteLiteral(name));
    }
    QString Options(const QString &name)
    {
        return scalar("SELECT array_to_string(spcoptions, ' ') FROM pg_tablespace WHERE spcname = " + QuoteLiteral(name));
    }
    QString Location(const QString &name)
    {
        return scalar("SELECT pg_tablespace_location(oid) FROM pg_tablespace WHERE spcname = " + QuoteLiteral(name));
    }
    static QTreeWidgetItem *Item(TfrmTBS *w, const QString &name)
    {
        const QList<QTreeWidgetItem *> hits = w->lstObject->findItems(name, Qt::MatchExactly, 0);
        return hits.isEmpty() ? nullptr : hits.first();
    }
    static QStringList Names(TfrmTBS *w)
    {
        QStringList l;
        for (int i = 0; i < w->lstObject->topLevelItemCount(); ++i)
            l << w->lstObject->topLevelItem(i)->text(0);
        return l;
    }
};

TEST_F(TablespaceEditorTest, EditorTableContract)
{
    const QString tbs = MakeTablespace(testdb::uniqueName("tc"), A.Path());
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 69;
    c.Name = tbs;
    c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omGrant, 0}, {omCross, 0}, {omData, 0}};
    CheckEditorContract(c);
}

TEST_F(TablespaceEditorTest, NewTablespaceWithOptionsAndRoleGrantOption)
{
    const QString g = Role(testdb::uniqueName("g"));
    TRecordingRunner runner;
    TBoxes boxes;
    TfrmTBS *w = OpenTbs(QString());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "TABLESPACE - 新規");
    EXPECT_TRUE(w->txtDir->text().isEmpty()) << "a new tablespace proposes no folder";
    EXPECT_FALSE(w->pagObject->isTabVisible(w->pagObject->indexOf(w->tabContents)));
    EXPECT_EQ(w->cmbOwner->currentText(), testdb::params().user);

    const QString name = testdb::uniqueName("tn");
    w->txtName->setText(name);
    // Empty folder and a value that is no number are refused before anything runs.
    EXPECT_FALSE(Compile(w));
    EXPECT_EQ(boxes.Texts.last(), "ディレクトリを入力して下さい。");
    w->txtDir->setText(A.Path());
    w->grdTbsOption->StoreEditText(1, 1, "2); DROP TABLE x; --");
    EXPECT_FALSE(Compile(w));
    EXPECT_EQ(boxes.Texts.last(), "値には数値を入力して下さい。");
    EXPECT_TRUE(runner.Ran.isEmpty());

    w->grdTbsOption->StoreEditText(1, 1, "2");
    const int line = w->chkRole->LineOf(g, 0);
    ASSERT_GE(line, 0);
    w->chkRole->SetCheckedL(line, true);
    w->chkRole->SetCheckedR(line, true);
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran.first(),
              QStringList({"CREATE TABLESPACE " + name, "  OWNER " + testdb::params().user,
                           "  LOCATION " + QuoteLiteral(A.Path()), ";", "ALTER TABLESPACE " + name,
                           " SET (random_page_cost = 2)", ";",
                           "GRANT CREATE ON TABLESPACE " + name + " TO " + g + " WITH GRANT OPTION", ";"}));
    EXPECT_TRUE(TablespaceExists(name));
    EXPECT_EQ(Options(name), "random_page_cost=2");
    EXPECT_TRUE(Acl(name).contains(g + "=C*/"));
    EXPECT_FALSE(w->IsNew());
    EXPECT_EQ(w->windowTitle(), TObjectEditor::CaptionFor(Conn, TfrmTBS::TBSPolicy(), QString(), name));
    EXPECT_TRUE(w->pagObject->isTabVisible(w->pagObject->indexOf(w->tabContents)));
}

TEST_F(TablespaceEditorTest, OwnerOnlyAlterAndClearedOptionsReset)
{
    const QString u2 = Role(testdb::uniqueName("o"), "LOGIN");
    const QString tbs = MakeTablespace(testdb::uniqueName("ta"), A.Path());
    exec("ALTER TABLESPACE " + tbs + " SET (seq_page_cost = 3)");
    TRecordingRunner runner;
    TBoxes boxes;
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->grdTbsOption->Cells(1, 2), "3");
    EXPECT_EQ(w->txtDir->text(), A.Path());

    SelectComboItem(w->cmbOwner, u2);
    ASSERT_TRUE(Compile(w));
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran.last(), QStringList({"ALTER TABLESPACE " + tbs, " OWNER TO " + u2, ";"}));
    EXPECT_EQ(scalar("SELECT pg_get_userbyid(spcowner) FROM pg_tablespace WHERE spcname = '" + tbs + "'"), u2);

    // Clearing the only value resets both rows.
    w->grdTbsOption->StoreEditText(1, 2, "");
    ASSERT_TRUE(w->Modified());
    ASSERT_TRUE(Compile(w));
    EXPECT_EQ(runner.Ran.last(), QStringList({"ALTER TABLESPACE " + tbs, " RESET (random_page_cost , seq_page_cost)", ";"}));
    EXPECT_EQ(Options(tbs), "");
    exec("ALTER TABLESPACE " + tbs + " OWNER TO " + testdb::params().user);
}

TEST_F(TablespaceEditorTest, QuotedRoleInTheAccessListAndGrantOptionTakenAway)
{
    const QString r = Role(testdb::uniqueName("R\"q x"));
    const QString tbs = MakeTablespace(testdb::uniqueName("tq"), A.Path());
    exec("GRANT CREATE ON TABLESPACE " + tbs + " TO " + QuoteIdentifier(r, true) + " WITH GRANT OPTION");
    TRecordingRunner runner;
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    const int line = w->chkRole->LineOf(r, 0);
    ASSERT_GE(line, 0);
    EXPECT_TRUE(w->chkRole->CheckedL(line));
    EXPECT_TRUE(w->chkRole->CheckedR(line));
    w->chkRole->SetCheckedR(line, false);
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    const QString q = QuoteIdentifier(r, false);
    EXPECT_EQ(runner.Ran.last(), QStringList({"REVOKE CREATE ON TABLESPACE " + tbs + " FROM " + q, ";",
                                              "GRANT CREATE ON TABLESPACE " + tbs + " TO " + q, ";"}));
    const QString acl = Acl(tbs);
    EXPECT_TRUE(acl.contains(q + "=C/")) << acl.toStdString();
    EXPECT_FALSE(acl.contains(q + "=C*/"));
}

TEST_F(TablespaceEditorTest, ScriptAndSourceCarryEveryOptionAndTheWholeAccessList)
{
    const QString grp = Role(testdb::uniqueName("grp"));
    const QString login = Role(testdb::uniqueName("lg"), "LOGIN");
    const QString tbs = MakeTablespace(testdb::uniqueName("ts"), A.Path());
    exec("ALTER TABLESPACE " + tbs + " SET (seq_page_cost = 1.5, effective_io_concurrency = 7)");
    exec("GRANT CREATE ON TABLESPACE " + tbs + " TO " + login + ", PUBLIC");
    exec("ALTER TABLESPACE " + tbs + " OWNER TO " + grp);
    TScriptSink sink;
    ASSERT_TRUE(Conn->OutputScript(69, QString(), tbs, sink));
    const QStringList script = sink.Lines();
    EXPECT_EQ(script.mid(0, 4), QStringList({"CREATE TABLESPACE " + tbs, "  OWNER " + grp,
                                             "  LOCATION " + QuoteLiteral(A.Path()), ";"}));
    const QString text = script.join('\n');
    EXPECT_TRUE(text.contains("seq_page_cost = 1.5")) << text.toStdString();
    EXPECT_TRUE(text.contains("effective_io_concurrency = 7"));
    EXPECT_TRUE(text.contains("GRANT CREATE ON TABLESPACE " + tbs + " TO " + login));
    EXPECT_TRUE(text.contains("GRANT CREATE ON TABLESPACE " + tbs + " TO PUBLIC"));

    // The script re-creates the same tablespace: drop it, run the script, compare.
    const QString aclBefore = Acl(tbs), optionsBefore = Options(tbs);
    exec("DROP TABLESPACE " + tbs);
    TRecordingRunner runner;
    for (const QString &statement : script.join('\n').split("\n;"))
        if (!statement.trimmed().isEmpty())
            exec(statement);
    EXPECT_EQ(Acl(tbs), aclBefore);
    EXPECT_EQ(Options(tbs), optionsBefore);

    // The owner, a group role, is shown in the window and the source page carries the same.
    TfrmTBS *w = OpenTbs(tbs, omSource);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->cmbOwner->currentText(), grp);
    EXPECT_EQ(w->txtSource->text().split('\n'), script);
    exec("ALTER TABLESPACE " + tbs + " OWNER TO " + testdb::params().user);
}

TEST_F(TablespaceEditorTest, LocationChangeKeepsEverythingAndBadFoldersChangeNothing)
{
    const QString login = Role(testdb::uniqueName("lg"), "LOGIN");
    const QString grp = Role(testdb::uniqueName("g"));
    const QString tbs = MakeTablespace(testdb::uniqueName("tm"), A.Path());
    exec("ALTER TABLESPACE " + tbs + " SET (random_page_cost = 1.25)");
    exec("GRANT CREATE ON TABLESPACE " + tbs + " TO " + login + ", PUBLIC");
    exec("GRANT CREATE ON TABLESPACE " + tbs + " TO " + grp + " WITH GRANT OPTION");
    const QString aclBefore = Acl(tbs);
    TRecordingRunner runner;
    TBoxes boxes;
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);

    // Folders the server refuses: the old tablespace stays as it was, no temporary one is left.
    QTemporaryDir notOwned; // belongs to the test's user, not the server's
    // The last one is the folder in use itself, written with a trailing slash.
    const QStringList bad = {A.Path() + "/missing", "relative/folder", notOwned.path(), A.Path() + "/"};
    for (const QString &folder : bad) {
        SCOPED_TRACE(folder.toStdString());
        runner.Ran.clear();
        w->txtDir->setText(folder);
        EXPECT_FALSE(Compile(w));
        ASSERT_EQ(runner.Ran.size(), 1);
        EXPECT_TRUE(runner.Ran.first().first().startsWith("CREATE TABLESPACE vantor_move_"));
        EXPECT_EQ(Location(tbs), A.Path());
        EXPECT_EQ(Acl(tbs), aclBefore);
        EXPECT_EQ(scalar("SELECT count(*) FROM pg_tablespace WHERE spcname LIKE 'vantor\\_move\\_%'"), "0");
        EXPECT_TRUE(w->Modified());
    }
    // A tablespace that still holds a table cannot be dropped: the new one goes again.
    exec("CREATE TABLE " + schema() + ".kept (a int) TABLESPACE " + tbs);
    w->txtDir->setText(B.Path());
    EXPECT_FALSE(Compile(w));
    EXPECT_EQ(Location(tbs), A.Path());
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_tablespace WHERE spcname LIKE 'vantor\\_move\\_%'"), "0");
    exec("DROP TABLE " + schema() + ".kept");

    // Now it moves, keeping options, the whole access list and the name.
    w->txtDir->setText(B.Path());
    ASSERT_TRUE(Compile(w));
    EXPECT_EQ(Location(tbs), B.Path());
    EXPECT_EQ(Options(tbs), "random_page_cost=1.25");
    EXPECT_EQ(Acl(tbs), aclBefore);
    EXPECT_EQ(w->txtDir->text(), B.Path());
    EXPECT_FALSE(w->Modified());
    EXPECT_TRUE(QDir(A.Path()).isEmpty()) << "the old folder is empty again";
}

TEST_F(TablespaceEditorTest, RefusedInsideTheUsersOpenBlock)
{
    const QString tbs = MakeTablespace(testdb::uniqueName("tb"), A.Path());
    TRecordingRunner runner;
    TBoxes boxes;
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    TfrmTBS *n = OpenTbs(QString());
    ASSERT_NE(n, nullptr);
    Conn->dbsMain()->startTransaction();
    struct Cases {
        const char *what;
        std::function<void()> act;
    };
    const QList<Cases> cases = {
        {"new", [&] { n->txtName->setText(testdb::uniqueName("tn")); n->txtDir->setText(B.Path()); Compile(n); }},
        {"location", [&] { w->txtDir->setText(B.Path()); Compile(w); }},
        {"source page", [&] { w->pagObject->setCurrentWidget(w->tabSource); FlushEvents(); Compile(w); }},
        {"delete", [&] { boxes.Answers = {IDYES}; GuardedCall([&] { w->actDeleteTablespace(); }); }},
    };
    for (const Cases &c : cases) {
        SCOPED_TRACE(c.what);
        boxes.Texts.clear();
        w->SetModified(false);
        c.act();
        ASSERT_FALSE(boxes.Texts.isEmpty());
        EXPECT_TRUE(boxes.Texts.last().startsWith("表領域の作成・削除はトランザクションブロック内では実行できません。"));
        EXPECT_TRUE(runner.Ran.isEmpty());
        EXPECT_TRUE(Conn->dbsMain()->inTransaction()) << "the user's block is untouched";
    }
    Conn->dbsMain()->rollback();
    EXPECT_TRUE(TablespaceExists(tbs));
    EXPECT_EQ(Location(tbs), A.Path());
    // An owner change alone runs inside the block.
    w->pagObject->setCurrentWidget(w->tabDefine);
    FlushEvents();
}

TEST_F(TablespaceEditorTest, StoredObjectsSizesOpenAndMultiPassDrop)
{
    const QString tbs = MakeTablespace(testdb::uniqueName("to"), A.Path());
    const QString s = schema();
    exec("CREATE TABLE " + s + ".d_big (a int) TABLESPACE " + tbs);
    // Over 2 GiB by the catalog: relpages times the block size overflows a 32-bit integer.
    exec("UPDATE pg_class SET relpages = 300000 WHERE oid = '" + s + ".d_big'::regclass");
    exec("CREATE TABLE " + s + ".b_tab (a int, CONSTRAINT a_idx UNIQUE (a) USING INDEX TABLESPACE " + tbs + ") TABLESPACE " + tbs);
    exec("CREATE TABLE " + s + ".c_tab (a int) TABLESPACE " + tbs);
    TBoxes boxes;
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabContents);
    FlushEvents();
    EXPECT_FALSE(w->Modified());
    EXPECT_EQ(Names(w), QStringList({"a_idx", "b_tab", "c_tab", "d_big"}));
    QTreeWidgetItem *big = Item(w, "d_big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->text(1), "TABLE");
    EXPECT_EQ(big->text(2), s);
    EXPECT_EQ(big->text(4), "2,400,000");
    EXPECT_EQ(Item(w, "a_idx")->text(1), "INDEX");
    EXPECT_FALSE(w->lblAllUseSize->text().isEmpty());
    EXPECT_NE(w->lblAllUseSize->text(), "(非表示)");
    EXPECT_TRUE(w->lblSelfUseSize->text().startsWith("2,400,0")) << w->lblSelfUseSize->text().toStdString();

    // Open: the selected objects open and are deselected.
    big->setSelected(true);
    w->actOpenObject->trigger();
    FlushEvents();
    EXPECT_FALSE(big->isSelected());
    EXPECT_NE(Main->FindWindow<QWidget>("TABLE - " + s + ".d_big @ " + Conn->ConnectionParam("Database") + "/"
                                             + Conn->ConnectionParam("Server") + ":" + Conn->ConnectionParam("Port"),
                                         false),
              nullptr);

    // The index backs a constraint: it goes only once its table is gone, in a second pass.
    for (const char *n : {"a_idx", "b_tab", "c_tab"})
        Item(w, n)->setSelected(true);
    TkdOption::Global().DelErr = false;
    boxes.OnBox = [](MessageBoxRequest &r) {
        if (r.text == "オブジェクトを削除しますか？") {
            ASSERT_EQ(r.items.size(), 2);
            r.items[0].Checked = true; // 削除時のエラーを無視する
        }
    };
    boxes.Answers = {IDYES};
    w->actDelObject->trigger();
    FlushEvents();
    EXPECT_TRUE(TkdOption::Global().DelErr) << "the box is written back to the option";
    EXPECT_EQ(Names(w), QStringList({"d_big"}));
    EXPECT_EQ(boxes.Texts.last(), "オブジェクトが削除されました。");
    EXPECT_FALSE(Exists(s + ".b_tab"));
    EXPECT_FALSE(Exists(s + ".c_tab"));
    TkdOption::Global().DelErr = false;
}

TEST_F(TablespaceEditorTest, StoredObjectsSortedByTheListsKeyAndEscKeepsTheRowsSoFar)
{
    const QString tbs = MakeTablespace(testdb::uniqueName("tk"), A.Path());
    const QString s = schema();
    // Created in an order that is not the order of the names, with a Japanese name and an
    // upper-case one; 300 tables with an index each make a fill that Esc can interrupt.
    exec("DO $$ BEGIN FOR i IN 1..300 LOOP EXECUTE format('CREATE TABLE " + s
         + ".%I (id int, PRIMARY KEY (id) USING INDEX TABLESPACE " + tbs + ") TABLESPACE " + tbs
         + "', 'k_' || md5(i::text)); END LOOP; END $$");
    exec("CREATE TABLE " + s + ".\"表\" (a int) TABLESPACE " + tbs);
    exec("CREATE TABLE " + s + ".\"Zeta\" (a int) TABLESPACE " + tbs);
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabContents);
    FlushEvents();
    const QStringList names = Names(w);
    ASSERT_EQ(names.size(), 602);
    QStringList sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return QString::localeAwareCompare(a, b) < 0;
    });
    EXPECT_EQ(names, sorted);
    EXPECT_EQ(Item(w, "表")->text(1), "TABLE");
    EXPECT_EQ(Item(w, "表")->data(0, Qt::UserRole).toInt(), 45);
    EXPECT_FALSE(Item(w, "表")->icon(0).isNull());
    EXPECT_EQ(Item(w, "Zeta")->text(2), s);
    EXPECT_EQ(Item(w, "Zeta")->textAlignment(4), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_NE(w->lblAllUseSize->text(), "");

    // A click on the name's header sorts descending; a reload keeps that order.
    w->lstObject->ColumnClick(0);
    w->ShowContents();
    QStringList descending = sorted;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(Names(w), descending);
    w->lstObject->ColumnClick(0);

    // While the page fills, the waits for the server hand the event loop over sooner, and
    // the connection's usual delay comes back afterwards.
    const QList<int> delays = WaitDelaysOfStatements([w] { w->ShowContents(); });
    ASSERT_FALSE(delays.isEmpty());
    EXPECT_EQ(delays, QList<int>(delays.size(), db::kFillCallWaitDelayMs));
    EXPECT_EQ(Conn->dbsMain()->callWaitDelay(), db::kCallWaitDelayMs);

    // Esc during a fill that shows every row: the rows read so far stay, summed, and the
    // tablespace's total is not asked for.
    TkdOption::Global().Progress = true;
    QTimer::singleShot(80, w->lstObject, [w] {
        QCoreApplication::postEvent(w->lstObject, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    w->ShowContents();
    TkdOption::Global().Progress = false;
    const int shown = w->lstObject->topLevelItemCount();
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 602);
    EXPECT_EQ(w->lblAllUseSize->text(), "");
    qint64 sum = 0;
    for (int i = 0; i < shown; ++i)
        sum += w->lstObject->topLevelItem(i)->text(4).remove(',').toLongLong();
    EXPECT_EQ(w->lblSelfUseSize->text(), KiloBytesText(sum));
    FlushEvents();
}

TEST_F(TablespaceEditorTest, KindsWithoutADropAndFailuresAreReportedAsNotDropped)
{
    // pg_default holds the views and the composite types of the test schema.
    const QString s = schema();
    exec("CREATE TABLE " + s + ".t1 (a int)");
    exec("CREATE VIEW " + s + ".v1 AS SELECT a FROM " + s + ".t1");
    exec("CREATE TABLE " + s + ".t2 (a int)");
    TBoxes boxes;
    TfrmTBS *w = OpenTbs("pg_default");
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabContents);
    FlushEvents();
    auto item = [&](const QString &name) -> QTreeWidgetItem * {
        for (int i = 0; i < w->lstObject->topLevelItemCount(); ++i) {
            QTreeWidgetItem *it = w->lstObject->topLevelItem(i);
            if (it->text(0) == name && it->text(2) == s)
                return it;
        }
        return nullptr;
    };
    ASSERT_NE(item("v1"), nullptr);
    EXPECT_EQ(item("v1")->text(1), "VIEW");
    // t1 fails (the view depends on it), v1 has no DROP here, t2 goes.
    for (const char *n : {"t1", "v1", "t2"})
        item(n)->setSelected(true);
    boxes.OnBox = [](MessageBoxRequest &r) {
        if (!r.items.isEmpty())
            r.items[0].Checked = true;
    };
    boxes.Answers = {IDYES};
    w->actDelObject->trigger();
    FlushEvents();
    EXPECT_EQ(item("t2"), nullptr);
    ASSERT_NE(item("t1"), nullptr);
    ASSERT_NE(item("v1"), nullptr);
    EXPECT_TRUE(item("t1")->isSelected());
    EXPECT_TRUE(item("v1")->isSelected());
    const QString last = boxes.Texts.last();
    EXPECT_NE(last, "オブジェクトが削除されました。");
    EXPECT_TRUE(last.contains("1 個のオブジェクトを削除しました。")) << last.toStdString();
    EXPECT_TRUE(last.contains("削除されずに残ったオブジェクト: 2 個")) << last.toStdString();
    EXPECT_EQ(boxes.Flags.last() & 0xF0, MB_ICONWARNING);

    // One selected object whose DROP fails: the error, with errors ignored or not.
    for (QTreeWidgetItem *i : w->lstObject->selectedItems())
        i->setSelected(false);
    item("t1")->setSelected(true);
    boxes.Answers = {IDYES};
    w->actDelObject->trigger();
    FlushEvents();
    EXPECT_EQ(boxes.Flags.last() & 0xF0, MB_ICONERROR);
    EXPECT_TRUE(Exists(s + ".t1"));
    TkdOption::Global().DelErr = false;
}

TEST_F(TablespaceEditorTest, PlainLoginSeesObjectSizesButNoTotal)
{
    const QString plain = Role(testdb::uniqueName("pl"), "LOGIN PASSWORD 'pw x'");
    const QString tbs = MakeTablespace(testdb::uniqueName("tp"), A.Path());
    exec("CREATE TABLE " + schema() + ".t (a int) TABLESPACE " + tbs);
    const testdb::Params &p = testdb::params();
    TfrmObject *other = TfrmObject::Create({p.host, p.port, p.database, schema(), plain, "pw x"});
    ASSERT_NE(other, nullptr);
    FlushEvents();
    auto *w = qobject_cast<TfrmTBS *>(other->OpenObject(69, QString(), tbs));
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabContents);
    FlushEvents();
    EXPECT_EQ(w->lblAllUseSize->text(), "(非表示)");
    ASSERT_NE(Item(w, "t"), nullptr);
    EXPECT_EQ(Item(w, "t")->text(4), "0");
}

TEST_F(TablespaceEditorTest, FailedDropShowsTheErrorIconAndKeepsTheWindow)
{
    const QString tbs = MakeTablespace(testdb::uniqueName("td"), A.Path());
    exec("CREATE TABLE " + schema() + ".held (a int) TABLESPACE " + tbs);
    TBoxes boxes;
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    QPointer<TfrmTBS> alive(w);
    boxes.Answers = {IDYES};
    w->actDelete->trigger();
    FlushEvents();
    ASSERT_TRUE(alive);
    EXPECT_EQ(boxes.Flags.last() & 0xF0, MB_ICONERROR);
    EXPECT_NE(boxes.Texts.last(), "オブジェクトが削除されました。");
    EXPECT_TRUE(TablespaceExists(tbs));
    exec("DROP TABLE " + schema() + ".held");
    boxes.Answers = {IDYES};
    w->actDelete->trigger();
    FlushEvents();
    EXPECT_EQ(boxes.Texts.last(), "オブジェクトが削除されました。");
    EXPECT_FALSE(TablespaceExists(tbs));
    EXPECT_FALSE(alive);
}

TEST_F(TablespaceEditorTest, ScreenshotOfStoredObjects)
{
    const QString tbs = MakeTablespace(testdb::uniqueName("tshot"), A.Path());
    const QString s = schema();
    exec("CREATE TABLE " + s + ".受注 (a int PRIMARY KEY USING INDEX TABLESPACE " + tbs + ") TABLESPACE " + tbs);
    exec("INSERT INTO " + s + ".受注 SELECT generate_series(1, 20000)");
    exec("ANALYZE " + s + ".受注");
    exec("CREATE TABLE " + s + ".customers (a int) TABLESPACE " + tbs);
    TfrmTBS *w = OpenTbs(tbs);
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabContents);
    FlushEvents();
    QWidget *frame = w->parentWidget() ? w->parentWidget() : w;
    frame->resize(800, 460);
    FlushEvents();
    const QImage shot = w->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    shot.save("/tmp/vantor-tablespace-contents.png");
    w->pagObject->setCurrentWidget(w->tabDefine);
    FlushEvents();
    w->grab().toImage().save("/tmp/vantor-tablespace-define.png");
}

} // namespace
