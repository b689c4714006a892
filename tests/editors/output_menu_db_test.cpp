// The output menu that the table, view, function and index editors share: each keeps its
// own place on the tool bar, its object-menu form and its hints, and the drop-down holds
// print and file save.
#include "editors/editor_fixture.h"
#include "editors/index_editor.h"
#include "editors/source_editor.h"
#include "editors/table_editor.h"
#include "editors/view_editor.h"
#include "support/testdb.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

namespace {

class OutputMenuTest : public EditorDbTest
{
};

QStringList BarTexts(const TObjectEditor *w)
{
    QStringList texts;
    for (QAction *a : w->tolCmd->actions())
        if (!a->isSeparator() && a->isVisible())
            texts << a->text();
    return texts;
}

QStringList MenuTexts(const QMenu *m)
{
    QStringList texts;
    for (QAction *a : m->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? a->text() + QStringLiteral(" >") : a->text());
    return texts;
}

TEST_F(OutputMenuTest, EachEditorKeepsItsPlaceFormAndHints)
{
    const QString s = schema();
    exec("CREATE TABLE " + s + ".t (a int)");
    exec("CREATE VIEW " + s + ".v AS SELECT a FROM " + s + ".t");
    exec("CREATE INDEX ix ON " + s + ".t (a)");
    exec("CREATE FUNCTION " + s + ".f(a integer) RETURNS integer LANGUAGE sql AS $$ SELECT a $$");
    const quint32 fOid = scalar("SELECT '" + s + ".f(integer)'::regprocedure::oid").toUInt();
    const QString objectHint = "オブジェクトの情報を外部に出力します。";
    const QString programHint = "プログラムの内容を外部に出力します。";
    const QString objectSave = "オブジェクトの情報をファイルに保存します。";
    const QString programSave = "プログラムソースをファイルに保存します。";
    struct Case {
        int code;
        QString name;
        quint32 oid;
        QStringList bar, menu;
        QString outputHint, saveHint;
    };
    const QList<Case> cases = {
        {45, "t", 0, {"作成(&C)", "削除(&D)", "出力(&P)", "戻す(&R)", "終了(&X)"},
         {"作成(&C)", "削除(&D)", "出力(&P) >"}, objectHint, objectSave},
        {47, "v", 0, {"作成(&C)", "生成(&W)", "出力(&P)", "削除(&D)", "戻す(&R)", "終了(&X)"},
         {"作成(&C)", "削除(&D)", "生成(&W)", "-", "印刷(&P)", "ファイル保存(&S)"}, objectHint, objectSave},
        {52, "f", fOid, {"作成(&C)", "実行(&E)", "出力(&P)", "削除(&D)", "戻す(&R)", "終了(&X)"},
         {"作成(&C)", "削除(&D)", "-", "印刷(&P)", "ファイル保存(&S)"}, programHint, programSave},
        {46, "ix", 0, {"作成(&C)", "出力(&P)", "削除(&D)", "戻す(&R)", "終了(&X)"},
         {"作成(&C)", "削除(&D)", "-", "印刷(&P)", "ファイル保存(&S)"}, objectHint, programSave},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        QWidget *opened = Conn->OpenObject(c.code, s, c.name, omDefine, false, 0, c.oid);
        FlushEvents();
        auto *w = qobject_cast<TObjectEditor *>(opened);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(BarTexts(w), c.bar);
        EXPECT_EQ(MenuTexts(w->mnuObject), c.menu);
        ASSERT_NE(w->btnOutput, nullptr);
        EXPECT_EQ(w->btnOutput->objectName(), "btnOutput");
        EXPECT_EQ(w->btnOutput->defaultAction(), w->actOutput);
        EXPECT_EQ(w->btnOutput->popupMode(), QToolButton::MenuButtonPopup);
        EXPECT_EQ(w->actOutput->menu(), w->popOutput);
        EXPECT_EQ(w->popOutput->actions(), QList<QAction *>({w->actPrint, w->actSave}));
        EXPECT_EQ(w->actOutput->toolTip(), c.outputHint);
        EXPECT_EQ(w->actOutput->statusTip(), c.outputHint);
        EXPECT_EQ(w->actPrint->toolTip(), "印刷");
        EXPECT_EQ(w->actPrint->statusTip(), "オブジェクトの情報を印刷します。");
        EXPECT_EQ(w->actSave->toolTip(), "ファイル保存");
        EXPECT_EQ(w->actSave->statusTip(), c.saveHint);
        for (QAction *a : {w->actOutput, w->actPrint, w->actSave})
            EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
        // A picture of the index editor with its output menu dropped down, for a look by hand.
        const QString dir = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR");
        if (c.code == 46 && !dir.isEmpty()) {
            w->window()->resize(760, 460);
            FlushEvents();
            const QPoint at = w->btnOutput->mapTo(w, QPoint(0, w->btnOutput->height()));
            w->popOutput->popup(w->btnOutput->mapToGlobal(QPoint(0, w->btnOutput->height())));
            FlushEvents();
            QPixmap shot = w->grab();
            {
                QPainter p(&shot);
                p.drawPixmap(at, w->popOutput->grab());
            }
            w->popOutput->hide();
            EXPECT_TRUE(shot.save(dir + "/index_output_menu.png"));
        }
        CloseEditor(w);
    }
}

} // namespace
