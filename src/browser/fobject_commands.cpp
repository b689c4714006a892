// The object commands of the connection window: one table of actions shown in the menu
// "オブジェクトリスト(&O)" (merged into the main menu bar while the window is active, and
// popped up as the list's context menu) and in the tree pop-up, the rules that enable and
// show them, the per-object loop they share, and the commands that open, drop, rename and
// rebuild objects. Windows of other layers open through the window-opener table.
#include "browser/fobject.h"

#include "browser/objcommands.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "core/kdforms.h"
#include "core/kdmainservices.h"
#include "core/kdopeners.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "core/kdworkspace.h"
#include "controls/kdcomctrls.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>

namespace {

const QString kCategoryList = QStringLiteral("オブジェクトリスト");
const QString kCategoryTree = QStringLiteral("オブジェクトツリー");

// The short and long texts of a hint "short|long".
void SetHint(QAction *a, const QString &hint)
{
    const int bar = hint.indexOf(u'|');
    a->setToolTip(bar < 0 ? hint : hint.left(bar));
    a->setStatusTip(bar < 0 ? QString() : hint.mid(bar + 1));
}

struct TNewCommand {
    const char *Name;
    const char *Caption;
    const char *Hint;
    int Type;
};
const TNewCommand kNewCommands[] = {
    {"actNewTable", "テーブル(&T)", "テーブル|新しいテーブルを作成します(&T)", 45},
    {"actNewIndex", "インデックス(&I)", "インデックス|新しいインデックスを作成します。", 46},
    {"actNewView", "ビュー(&V)", "ビュー|新しいビューを作成します。", 47},
    {"actNewFunc", "ファンクション(&F)", "ファンクション|新しいストアドファンクションを作成します。", 52},
    {"actNewType", "タイプ(&O)", "タイプ|新しいタイプ(ヘッダー)を作成します。", 55},
    {"actNewTrigger", "トリガー(&G)", "トリガー|新しいトリガーを作成します。", 57},
    {"actNewSeq", "シーケンス(&Q)", "シーケンス|新しいシーケンスを作成します。", 58},
    {"actNewConst", "制約(&N)", "制約|新しい制約を作成します", 66},
    {"actNewRule", "ルール(&R)", "ルール|新しいルールを作成します。", 127},
};

// Tree pop-up entries that open a window of another layer: action, caption, hint, image,
// opener key.
struct TTreeCommand {
    const char *Name;
    const char *Caption;
    const char *Hint;
    int Image;
    const char *Opener;
};
const TTreeCommand kTreeCommands[] = {
    {"actUser", "ユーザー情報(&U)", "ユーザー情報|ユーザー情報を表示します。", 2, "TfrmUserList"},
    {"actStorage", "テーブルスペース情報(&T)", "テーブルスペース情報|テーブルスペース情報を表示します。", 69, "TfrmTablespace"},
    {"actSession", "セッション情報(&S)", "セッション情報|セッション情報を表示します。", 5, "TfrmSession"},
    {"actLock", "ロック情報(&L)", "ロック情報|ロック情報を表示します。", 6, "TfrmLock"},
    {"actDatabase", "サーバ情報(&D)", "サーバ情報|サーバ情報を表示します。", 1, "TfrmServer"},
    {"actPerform", "パフォーマンス情報(&Q)", "パフォーマンス情報|データベースの状態を表示します。", 107, "TfrmPerform"},
};

// Shortcuts copied from the main window's action of the same name; two from the edit commands.
const char *const kSharedShortcuts[] = {
    "actNew", "actOpen", "actOpenDefine", "actOpenSource", "actOpenData", "actOpenDataTop",
    "actExec", "actScript", "actPrint", "actCross", "actMatrix", "actGrant", "actAnalyze",
    "actGrep", "actExport", "actLoad",
};

// "New" creates an object of the node's type and shows that type's image.
void SetNewImage(QAction *actNew, int image)
{
    actNew->setProperty("imageIndex", image);
    if (TkdMainForm *host = TkdMainForm::Instance())
        actNew->setIcon(host->Image(image));
}

// The commands whose key belongs to the list alone (so the find box keeps Delete, F2, Enter).
bool ListOnlyCommand(const QString &name)
{
    return name == u"actDelete" || name == u"actRename" || name == u"actOpen";
}

} // namespace

QAction *TfrmObject::Action(const QString &name) const
{
    return findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
}

QAction *TfrmObject::NewCommand(const QString &name, const QString &caption, const QString &hint, int image,
                                const std::function<void()> &run)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(name);
    a->setProperty("category", kCategoryList);
    a->setProperty("imageIndex", image);
    if (!hint.isEmpty())
        SetHint(a, hint);
    if (image >= 0)
        if (TkdMainForm *host = TkdMainForm::Instance())
            a->setIcon(host->Image(image));
    if (ListOnlyCommand(name)) {
        a->setShortcutContext(Qt::WidgetShortcut);
        lstObject->addAction(a);
    } else {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
    connect(a, &QAction::triggered, this, [run] { GuardedCall(run); });
    return a;
}

void TfrmObject::CreateCommands()
{
    auto opener = [this](const QString &key) {
        return [this, key] {
            TOpenerArgs args;
            args.Owner = this;
            args.Parent = this;
            kdopeners::Open(key, args);
        };
    };
    // The selected objects as opener values: types, schemas, names.
    auto selectionOpener = [this](const QString &key) {
        return [this, key] {
            TOpenerArgs args;
            args.Owner = this;
            args.Parent = this;
            QVariantList types, schemas, names;
            const TObjectListModel *m = lstObject->Model();
            for (int row : lstObject->SelectedRows()) {
                types << m->Row(row).ImageIndex;
                schemas << m->SubItem(row, kSubSchema);
                names << m->Row(row).Caption;
            }
            args.Values.insert(QStringLiteral("Types"), types);
            args.Values.insert(QStringLiteral("Schemas"), schemas);
            args.Values.insert(QStringLiteral("Names"), names);
            kdopeners::Open(key, args);
        };
    };

    for (const TNewCommand &c : kNewCommands) {
        const int type = c.Type;
        NewCommand(QString::fromUtf8(c.Name), QString::fromUtf8(c.Caption), QString::fromUtf8(c.Hint), type,
                   [this, type] { actNewExecute(type); });
    }
    QAction *actNew = NewCommand(QStringLiteral("actNew"), QStringLiteral("新規作成(&N)"),
                                 QStringLiteral("新規作成|新しいオブジェクトを作成します。"), -1, {});
    disconnect(actNew, &QAction::triggered, this, nullptr);
    connect(actNew, &QAction::triggered, this, [this, actNew] {
        GuardedCall([this, actNew] { actNewExecute(actNew->property("imageIndex").toInt()); });
    });
    NewCommand(QStringLiteral("actCopy"), QStringLiteral("コピー(&C)"), QStringLiteral("コピー|選択中のオブジェクトをコピーします。"), 21,
               [this] { actCopyExecute(); });
    NewCommand(QStringLiteral("actPaste"), QStringLiteral("貼り付け(&V)"), QStringLiteral("貼り付け|オブジェクトのコピーを作成します。"), 22,
               [this] { actPasteExecute(); });
    NewCommand(QStringLiteral("actDelete"), QStringLiteral("削除(&D)"), QStringLiteral("削除|選択中のオブジェクトを削除します。"), 41,
               [this] { actDeleteExecute(); });
    NewCommand(QStringLiteral("actRename"), QStringLiteral("名前の変更(&H)"), QStringLiteral("名前の変更|選択中のオブジェクト名を変更します。"), -1,
               [this] { actRenameExecute(); });
    NewCommand(QStringLiteral("actOpenDefine"), QStringLiteral("定義情報を開く"),
               QStringLiteral("定義情報を開く|選択中したオブジェクトの定義情報を表示します。"), 17, [this] { OpenSelected(omDefine, 0); });
    NewCommand(QStringLiteral("actOpenData"), QStringLiteral("データを開く"),
               QStringLiteral("データを開く|選択したオブジェクトのデータを表示します。"), -1, [this] { OpenSelected(omData, 0); });
    NewCommand(QStringLiteral("actOpenDataTop"), QStringLiteral("データを開く(件数指定)"),
               QStringLiteral("データを開く（件数指定）|選択したオブジェクトのデータを上限を指定して表示します。"), -1,
               [this] { actOpenDataTopExecute(); });
    NewCommand(QStringLiteral("actOpenSource"), QStringLiteral("ソースを開く"),
               QStringLiteral("ソースを開く|選択中したオブジェクトのソースを表示します。"), -1, [this] { OpenSelected(omSource, 0); });
    NewCommand(QStringLiteral("actIndexFragment"), QStringLiteral("インデックスの再構築"), QString(), -1,
               [this] { actIndexFragmentExecute(); });
    NewCommand(QStringLiteral("actScript"), QStringLiteral("スクリプト出力(&S)"),
               QStringLiteral("スクリプト出力|選択したオブジェクトのスクリプトを出力します。"), 18, [this] { actScriptExecute(); });
    NewCommand(QStringLiteral("actPrint"), QStringLiteral("印刷(&P)"), QStringLiteral("印刷|選択したオブジェクトの情報を印刷します。"), 98,
               [this] { actPrintExecute(); });
    NewCommand(QStringLiteral("actExport"), QStringLiteral("バックアップ(&R)"), QStringLiteral("バックアップ|選択中のオブジェクトをバックアップします。"), 7,
               selectionOpener(QStringLiteral("TfrmExport")));
    NewCommand(QStringLiteral("actLoad"), QStringLiteral("ロード(&L)"),
               QStringLiteral("ロード|選択したテーブルオブジェクトを対象に SQL*Loader を実行します。"), 9, selectionOpener(QStringLiteral("TfrmLoad")));
    NewCommand(QStringLiteral("actGrant"), QStringLiteral("権限(&G)"), QStringLiteral("権限|選択中のオブジェクトに権限を付与します。"), 91,
               selectionOpener(QStringLiteral("TfrmGrant")));
    NewCommand(QStringLiteral("actCross"), QStringLiteral("相関 - クロスリファレンス(&F)"),
               QStringLiteral("クロスリファレンス|選択したオブジェクトの、他オブジェクトとの関連性を表示します。"), 92,
               [this] { OpenSelected(omCross, 0); });
    NewCommand(QStringLiteral("actMatrix"), QStringLiteral("マトリックス表(&M)"),
               QStringLiteral("マトリックス表|選択したオブジェクトの、他オブジェクトとの関連性を一覧表示します。"), -1,
               selectionOpener(QStringLiteral("TfrmMatrix")));
    NewCommand(QStringLiteral("actAnalyze"), QStringLiteral("統計情報(&A)"), QStringLiteral("統計情報|選択したオブジェクトの統計情報を求めます。"), -1,
               selectionOpener(QStringLiteral("TfrmAnalyze")));
    NewCommand(QStringLiteral("actComment"), QStringLiteral("コメントチェック(&O)"),
               QStringLiteral("コメントチェック|選択中のソースに含まれるコメントを抽出します。"), 88, selectionOpener(QStringLiteral("TfrmComment")));
    NewCommand(QStringLiteral("actExec"), QStringLiteral("実行(&E)"), QStringLiteral("実行|選択中のストアドプログラムを実行します。"), 28,
               selectionOpener(QStringLiteral("TfrmExecProc")));
    NewCommand(QStringLiteral("actGrep"), QStringLiteral("全文検索"), QStringLiteral("全文検索|"), 24, [this] { actGrepExecute(); });
    NewCommand(QStringLiteral("actAddWorkSpace"), QStringLiteral("ワークスペースに追加(&W)"),
               QStringLiteral("ワークスペースに追加|選択中のオブジェクトをワークスペースに追加する事により、すばやくオブジェクトを参照できます。"), -1,
               [this] { actAddWorkSpaceExecute(); });
    NewCommand(QStringLiteral("actOpen"), QStringLiteral("開く(&O)"), QStringLiteral("開く|選択中のオブジェクトを開きます。"), 17,
               [this] { OpenSelected(TkdOption::Global().OpenMode, 0); });

    // The tree pop-up's own commands act on the node under the pop-up.
    QAction *logon = NewCommand(QStringLiteral("actLogon"), QStringLiteral("接続(&C)"),
                                QStringLiteral("接続|選択したユーザーで新たにデータベースに接続します。"), 13, {});
    disconnect(logon, &QAction::triggered, this, nullptr);
    connect(logon, &QAction::triggered, this, [this] {
        GuardedCall([this] {
            TOpenerArgs args;
            args.Owner = this;
            args.Parent = this;
            args.Values.insert(QStringLiteral("Schema"), FTreePane->Selection().Text);
            kdopeners::Open(QStringLiteral("TfrmLogon"), args);
        });
    });
    for (const TTreeCommand &c : kTreeCommands)
        NewCommand(QString::fromUtf8(c.Name), QString::fromUtf8(c.Caption), QString::fromUtf8(c.Hint), c.Image,
                   opener(QString::fromUtf8(c.Opener)));
    QAction *dbExport = NewCommand(QStringLiteral("actDBExport"), QStringLiteral("バックアップ(&P)"),
                                   QStringLiteral("バックアップ|選択中のデータベースをバックアップします。"), 7, {});
    disconnect(dbExport, &QAction::triggered, this, nullptr);
    connect(dbExport, &QAction::triggered, this, [this] {
        GuardedCall([this] {
            TOpenerArgs args;
            args.Owner = this;
            args.Parent = this;
            const TTreeSelection node = FTreePane->Selection();
            if (node.Image == 4 || node.Image == 126)
                args.Values.insert(QStringLiteral("Schema"), node.Text);
            kdopeners::Open(QStringLiteral("TfrmExport"), args);
        });
    });
    for (const char *name : {"actLogon", "actUser", "actStorage", "actSession", "actLock", "actDatabase", "actPerform",
                             "actDBExport"})
        Action(QString::fromUtf8(name))->setProperty("category", kCategoryTree);

    BuildObjectMenus();
    SetShortCut();

    // Rename in place through the list's model.
    TObjectListModel *model = lstObject->Model();
    model->CanEditCaption = [this](int row) { return lstObjectEditing(row); };
    model->CaptionEdited = [this](int row, QString &text) { return lstObjectEdited(row, text); };

    lstObject->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstObject, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        mnuObjectClick();
        mnuObject->popup(lstObject->viewport()->mapToGlobal(pos));
    });
    connect(lstObject, &QAbstractItemView::doubleClicked, this, [this] { Action(QStringLiteral("actOpen"))->trigger(); });
    connect(lstObject, &QAbstractItemView::pressed, this, [this] { mnuObjectClick(); });
    connect(lstObject->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { mnuObjectClick(); });
    trvObject->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(trvObject, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (QTreeWidgetItem *item = trvObject->itemAt(pos))
            trvObject->setCurrentItem(item);
        popTreePopup();
        popTree->popup(trvObject->viewport()->mapToGlobal(pos));
    });
    connect(FTreePane, &TObjectTreePane::TreeChange, this, [this] { mnuObjectClick(); });
    connect(FListPane, &TObjectListPane::GrepRequested, this, [this] { Action(QStringLiteral("actGrep"))->trigger(); });
    lstObject->installEventFilter(this);
    mnuObjectClick();
}

void TfrmObject::BuildObjectMenus()
{
    mnuObject = new QMenu(QStringLiteral("オブジェクトリスト(&O)"), this);
    mnuObject->setObjectName(QStringLiteral("mnuObject"));
    connect(mnuObject, &QMenu::aboutToShow, this, [this] { mnuObjectClick(); });
    mnuNew1 = new QMenu(QStringLiteral("新規作成(&N)"), mnuObject);
    mnuNew1->setObjectName(QStringLiteral("mnuNew1"));
    mnuNew1->setToolTip(QStringLiteral("新規作成"));
    mnuNew1->setStatusTip(QStringLiteral("新しいオブジェクトを作成します。"));
    for (const TNewCommand &c : kNewCommands)
        mnuNew1->addAction(Action(QString::fromUtf8(c.Name)));
    mnuReport = new QMenu(QStringLiteral("レポート出力(&X)"), mnuObject);
    mnuReport->setObjectName(QStringLiteral("mnuReport"));
    mnuCommand = new QMenu(QStringLiteral("ユーザー定義コマンド(&U)"), mnuObject);
    mnuCommand->setObjectName(QStringLiteral("mnuCommand"));

    auto add = [this](const char *name) { mnuObject->addAction(Action(QString::fromUtf8(name))); };
    mnuObject->addMenu(mnuNew1);
    for (const char *n : {"actNew", "actCopy", "actPaste", "actDelete", "actRename"})
        add(n);
    mnuObject->addSeparator();
    for (const char *n : {"actOpenDefine", "actOpenData", "actOpenDataTop", "actOpenSource", "actIndexFragment"})
        add(n);
    mnuObject->addSeparator();
    add("actScript");
    mnuObject->addMenu(mnuReport);
    for (const char *n : {"actPrint", "actExport", "actLoad"})
        add(n);
    mnuObject->addSeparator();
    if (TkdMainServices *main = MainServices())
        if (QAction *field = main->FindAction(QStringLiteral("actViewField")))
            mnuObject->addAction(field);
    for (const char *n : {"actGrant", "actCross", "actMatrix", "actAnalyze", "actComment"})
        add(n);
    mnuObject->addMenu(mnuCommand);
    mnuObject->addSeparator();
    for (const char *n : {"actExec", "actGrep", "actAddWorkSpace"})
        add(n);

    popTree = new QMenu(this);
    popTree->setObjectName(QStringLiteral("popTree"));
    popTree->addAction(Action(QStringLiteral("actLogon")));
    popTree->addAction(Action(QStringLiteral("actNew")));
    QAction *sep = popTree->addSeparator();
    sep->setObjectName(QStringLiteral("mnuTB1"));
    for (const char *n : {"actUser", "actStorage", "actSession", "actLock", "actDatabase", "actPerform", "actDBExport"})
        popTree->addAction(Action(QString::fromUtf8(n)));
    // The main window's user commands (none when there is no main window).
    QMenu *commands = nullptr;
    if (TkdMainForm *host = TkdMainForm::Instance())
        if (QWidget *w = host->Widget())
            commands = w->findChild<QMenu *>(QStringLiteral("mnuCommandMenu"));
    SetCommandList(commands);
}

void TfrmObject::SetShortCut()
{
    TkdMainServices *main = MainServices();
    // The main window's action of the same name decides, then the named one; an empty key
    // there (a command without a default key) leaves the list's own key.
    auto copy = [this, main](const QString &own, const QString &theirs, const QKeySequence &fallback) {
        QAction *mine = Action(own);
        QKeySequence key = fallback;
        for (const QString &name : {own, theirs}) {
            QAction *source = main ? main->FindAction(name) : nullptr;
            if (source && !source->shortcut().isEmpty()) {
                key = source->shortcut();
                break;
            }
        }
        mine->setShortcut(key);
    };
    for (const char *n : kSharedShortcuts)
        copy(QString::fromUtf8(n), QString::fromUtf8(n), QKeySequence());
    // The list's own keys: Delete drops, F2 renames, Enter opens.
    copy(QStringLiteral("actDelete"), QStringLiteral("actEditDelete"), QKeySequence(Qt::Key_Delete));
    copy(QStringLiteral("actRename"), QStringLiteral("actEditRename"), QKeySequence(Qt::Key_F2));
    if (Action(QStringLiteral("actOpen"))->shortcut().isEmpty())
        Action(QStringLiteral("actOpen"))->setShortcut(QKeySequence(Qt::Key_Return));
}

void TfrmObject::SetCommandList(QMenu *source)
{
    mnuCommand->clear();
    if (source) {
        // The main window's generated items, up to its separator before the setup entry.
        for (QAction *item : source->actions()) {
            if (item->objectName() == u"mnuTB1" || item->isSeparator())
                break;
            // The caption as the main window shows it ("&" doubled, so it is shown and never
            // taken as an accelerator); the command's own name travels as a property.
            QAction *a = mnuCommand->addAction(item->text());
            const QString name = item->property("commandName").toString();
            a->setProperty("commandName", name.isEmpty() ? item->text() : name);
            a->setShortcut(item->shortcut());
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            connect(a, &QAction::triggered, this, [this, a] {
                GuardedCall([this, a] { RunUserCommand(a->property("commandName").toString()); });
            });
        }
    }
    mnuCommand->setEnabled(!mnuCommand->isEmpty());
}

void TfrmObject::UserCommandClick(QAction *item)
{
    // From the main window's menu: its caller drops every exception (a command file that
    // cannot be read does nothing there).
    if (item && item->isVisible())
        RunUserCommand(item->property("commandName").toString());
}

// ---------------------------------------------------------------------------------------------
// State rules

void TfrmObject::mnuObjectClick()
{
    if (!mnuObject)
        return;
    const TTreeSelection node = FTreePane->Selection();
    const int sort = TkdOption::Global().TreeSort;
    QAction *actNew = Action(QStringLiteral("actNew"));
    const bool typeNode = node.Level >= 0 && ((sort == 0 && node.Level == 2) || (sort == 1 && node.Level >= 1));
    mnuNew1->menuAction()->setVisible(!typeNode);
    actNew->setVisible(typeNode);
    if (typeNode)
        SetNewImage(actNew, node.Image);

    const QList<int> rows = lstObject->SelectedRows();
    const bool sel = !rows.isEmpty();
    for (const char *n : {"actCopy", "actDelete", "actRename", "actOpenDefine", "actOpenData", "actOpenDataTop",
                          "actOpenSource", "actScript", "actPrint", "actExport", "actLoad", "actGrant", "actCross",
                          "actMatrix", "actAnalyze", "actExec", "actAddWorkSpace", "actOpen"})
        Action(QString::fromUtf8(n))->setEnabled(sel);
    Action(QStringLiteral("actPaste"))->setEnabled(HasCopiedObjects());
    Action(QStringLiteral("actIndexFragment"))->setEnabled(sel && node.Image == 46);
    Action(QStringLiteral("actComment"))->setEnabled(sel && lstObject->Model()->Row(rows.first()).ImageIndex == 52);
    Action(QStringLiteral("actGrep"))->setEnabled(true);
    mnuReport->setEnabled(sel && !mnuReport->isEmpty());
    mnuCommand->setEnabled(!mnuCommand->isEmpty());
}

void TfrmObject::popTreePopup()
{
    const TTreeSelection node = FTreePane->Selection();
    const bool has = node.Level >= 0;
    const int sort = TkdOption::Global().TreeSort;
    QAction *actNew = Action(QStringLiteral("actNew"));
    const bool showNew = has && (sort == 0 || sort == 1) && node.Level >= 1;
    actNew->setVisible(showNew);
    if (showNew)
        SetNewImage(actNew, node.Image);
    const bool schema = has && (node.Image == 4 || node.Image == 126);
    Action(QStringLiteral("actLogon"))->setVisible(schema);
    for (QAction *a : popTree->actions())
        if (a->objectName() == u"mnuTB1")
            a->setVisible(schema);
    const bool root = has && node.Image == 1;
    for (const TTreeCommand &c : kTreeCommands)
        Action(QString::fromUtf8(c.Name))->setVisible(root);
    Action(QStringLiteral("actDBExport"))->setVisible(root || schema);
}

// ---------------------------------------------------------------------------------------------
// The per-object loop

namespace {
int NextSelectedRow(TObjectListView *list, int after)
{
    for (int row : list->SelectedRows())
        if (row > after)
            return row;
    return -1;
}

void DeselectRow(TObjectListView *list, int row)
{
    const QModelIndex i = list->model()->index(row, 0);
    list->selectionModel()->select(i, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}
} // namespace

bool TfrmObject::TLoopStep::Escape(TkdLoopScope &loop, int count, int total)
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    const qint64 now = clock.elapsed();
    if (FLast >= 0 && now - FLast < 50)
        return false;
    FLast = now;
    return loop.Step(count, total);
}

int TfrmObject::ObjectLoop(bool scroll, const std::function<bool(int row)> &act)
{
    QList<int> rows = lstObject->SelectedRows();
    if (rows.isEmpty())
        return 0;
    TkdWaitCursor wait;
    TkdLoopScope loop;
    const QSignalBlocker quiet(lstObject->selectionModel());
    struct Refresh {
        TfrmObject *f;
        ~Refresh()
        {
            f->lstObject->viewport()->update();
            f->mnuObjectClick();
        }
    } refresh{this};
    const int total = int(rows.size());
    int count = 0;
    int row = rows.first();
    TLoopStep step;
    while (row >= 0) {
        if (step.Escape(loop, count + 1, total))
            break;
        ++count;
        if (scroll)
            lstObject->scrollTo(lstObject->model()->index(row, 0));
        const bool done = act(row);
        if (done)
            DeselectRow(lstObject, row);
        row = NextSelectedRow(lstObject, row);
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// New and open

void TfrmObject::actNewExecute(int objectType)
{
    OpenObject(objectType, ConnectionParam(QStringLiteral("MetaDefSchema")), QString(), omDefine, false, 0, 0, QString());
}

void TfrmObject::OpenSelected(TOpenMode mode, int topRecord)
{
    const TObjectListModel *m = lstObject->Model();
    ObjectLoop(false, [&](int row) {
        const TListObject o = ListObjectOf(m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems);
        const quint32 oid = o.Type == 52 ? o.Oid.toUInt() : 0;
        const bool hasTable = o.Type == 57 || o.Type == 66 || o.Type == 127;
        OpenObject(o.Type, o.Schema, o.Name, mode, false, topRecord, oid, hasTable ? o.Table : QString());
        return true;
    });
}

void TfrmObject::actOpenDataTopExecute()
{
    if (lstObject->SelectedRows().isEmpty())
        return;
    TkdOption &opt = TkdOption::Global();
    QString value = QString::number(opt.DefTopRecord);
    QList<MsgCheckItem> boxes{MsgCheckItem{QStringLiteral("既定値にする"), false}};
    if (!InputQueryWithChecks(Action(QStringLiteral("actOpenDataTop"))->text(), QStringLiteral("レコード件数"), value, boxes, true))
        return;
    if (value.trimmed().isEmpty())
        value = QStringLiteral("0");
    bool ok = false;
    const int rows = value.trimmed().toInt(&ok);
    const int top = ok && rows > 0 ? rows : 0;
    if (boxes.first().Checked && top > 0)
        opt.DefTopRecord = top;
    OpenSelected(omData, top);
}

// ---------------------------------------------------------------------------------------------
// Work space

QWidget *TfrmObject::ObjectListWidget() const
{
    return lstObject;
}

QList<TkdConnForm::TObjectItem> TfrmObject::SelectedObjectItems() const
{
    const TObjectListModel *m = lstObject->Model();
    QStringList captions;
    for (const TObjListColumn &c : m->Columns())
        captions << c.Caption;
    const int args = WorkSpaceArgsSubItem(captions);
    QList<TObjectItem> items;
    for (int row : lstObject->SelectedRows())
        items.append({m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems, args});
    return items;
}

void TfrmObject::actAddWorkSpaceExecute()
{
    const QList<TObjectItem> selected = SelectedObjectItems();
    if (selected.isEmpty())
        return;
    LoadWorkSpace();
    QList<TkdWorkSpaceItem> items;
    for (const TObjectItem &item : selected)
        items.append({item.ImageIndex, item.Caption, item.SubItems, item.ArgsSubItem});
    if (AppendWorkSpaceItems(Identity(), items) == 0)
        return;
    SaveWorkSpace();
    if (TkdMainForm *host = TkdMainForm::Instance())
        host->ShowWorkSpace(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Keys of the list

bool TfrmObject::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == lstObject && e->type() == QEvent::KeyPress
        && !lstObject->Editing()) {
        auto *k = static_cast<QKeyEvent *>(e);
        if ((k->key() == Qt::Key_Enter || k->key() == Qt::Key_Return) && k->modifiers() == Qt::KeypadModifier) {
            Action(QStringLiteral("actOpen"))->trigger();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}
