// The main window's reload (F5) reaching a real connection window and its child windows on
// the sandbox server: what code assist keeps of the connection's catalog is read again, so
// changes made by other sessions show.
#include "browser/objcommands_fixture.h"
#include "controls/codeassist_fixture.h"
#include "controls/kdcodeassist.h"
#include "controls/kdhooks.h"
#include "controls/kdmemo.h"
#include "core/kdforms.h"
#include "platform/db/dbconnection.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

using objcmds::Flush;

class ReloadAssistTest : public objcmds::ObjectCommandsTest
{
protected:
    void SetUp() override
    {
        objcmds::ObjectCommandsTest::SetUp();
        InstallControlHooks();
        TkdOption::Global().CodeAssist = true;
        exec(QStringLiteral("CREATE TABLE %1.emp (id int PRIMARY KEY)").arg(schema()));
    }
    void TearDown() override
    {
        objcmds::ObjectCommandsTest::TearDown();
        RemoveControlHooks();
    }
    // The column names the editor's popup offers for "emp."; the popup is closed again.
    static QStringList Columns(PlainForm *f)
    {
        f->memo->CloseCodeAssist();
        f->memo->setText(QStringLiteral("select emp."));
        f->memo->setCursorPosition(0, 11);
        f->memo->setFocus();
        QTest::keyClick(f->memo, Qt::Key_F6);
        TkdCodeAssist *p = f->memo->CodeAssist;
        const QStringList names = p ? p->CaptionList : QStringList{QStringLiteral("<none>")};
        f->memo->CloseCodeAssist();
        return names;
    }
};

} // namespace

TEST_F(ReloadAssistTest, ReloadReadsAgainWhatCodeAssistKept)
{
    TfrmObject *conn = Open();
    ASSERT_NE(conn, nullptr);
    auto *editor = new PlainForm(conn);
    Main->AddChildWindow(editor);
    Flush();
    ASSERT_EQ(editor->OwnerForm(), conn);
    QStringList want{"*", "id"};
    ASSERT_EQ(Columns(editor), want);
    // F5 with the connection window active, then with its editor active.
    for (QWidget *active : {static_cast<QWidget *>(conn), static_cast<QWidget *>(editor)}) {
        const QString column = QStringLiteral("c%1").arg(want.size());
        exec(QStringLiteral("ALTER TABLE %1.emp ADD COLUMN %2 int").arg(schema(), column));
        // Another session's change is not seen, and the popup asks the server nothing...
        const qint64 sent = conn->dbsMain()->statementCount();
        EXPECT_EQ(Columns(editor), want) << active->metaObject()->className();
        EXPECT_EQ(conn->dbsMain()->statementCount(), sent) << active->metaObject()->className();
        // ...until the user reloads.
        Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(active->parentWidget()));
        Flush();
        ASSERT_EQ(Main->mdiMain->activeSubWindow()->widget(), active);
        Main->mnuReload->trigger();
        Flush();
        want << column;
        EXPECT_EQ(Columns(editor), want) << active->metaObject()->className();
    }
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QLatin1Char('\n')).toStdString();
}
