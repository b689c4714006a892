// The main window's actions, menus and tool bars, their enabling rules, the commands that open
// other windows, and the user-command, report and web-page submenus.
#include "app/fmain.h"
#include "app/fsupport.h"

#include "controls/feoption.h"
#include "controls/kdcomctrls.h"
#include "controls/kdhhelp.h"
#include "controls/kdmacro.h"
#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"
#include "controls/kdstsbar.h"
#include "core/kdopeners.h"
#include "core/kdshortcut.h"
#include "core/kdrepdata.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QDesktopServices>
#include <QUrl>

namespace {
// The web-page addresses of the Help menu; empty hides the item.
const char *const kHomePageTop = "";
const char *const kHomePageTech = "";
const char *const kHomePageFAQ = "";
} // namespace

QList<TMainActionRow> MainActionRows()
{
    return {
        {"actDBCommit", "ファイル", "コミット(&C)", "COMMIT|現在継続中のトランザクション操作を確定します。", 15},
        {"actDBRollback", "ファイル", "ロールバック(&R)", "ROLLBACK|現在継続中のトランザクション操作を取り消します。", 16},
        {"actDBLogon", "ファイル", "データベース接続(&L)", "データベース接続|データベースに接続します。", 13},
        {"actDBLogoff", "ファイル", "データベース切断(&D)", "データベース切断|データベースから切断します。", 14},
        {"actFileExit", "ファイル", "終了(&X)", "終了|アプリケーションを終了します。", -1},

        {"actEditUndo", "編集", "元に戻す(&U)", "元に戻す", 19},
        {"actEditRedo", "編集", "やり直し(&R)", "やり直し", -1},
        {"actEditCut", "編集", "切り取り(&T)", "切り取り", 20},
        {"actEditCopy", "編集", "コピー(&C)", "コピー", 21},
        {"actEditPaste", "編集", "貼り付け(&P)", "貼り付け", 22},
        {"actEditDelete", "編集", "削除(&D)", "削除", -1},
        {"actEditRename", "編集", "名前の変更(&H)", "名前の変更|選択中のオブジェクト名を変更します。", -1},
        {"actEditSelectAll", "編集", "すべて選択(&L)", "すべて選択", -1},
        {"actEditSelectMode", "編集", "矩形選択モード(&B)",
         "矩形選択モード|エディタの文字列選択方式を、通常の方式または矩形選択方式に切り替えます。", -1},
        {"actEditFind", "編集", "検索(&F)", "検索", 23},
        {"actEditFindNext", "編集", "次を検索(&S)", "次を検索", -1},
        {"actEditFindPrev", "編集", "前を検索(&P)", "", -1},
        {"actEditReplace", "編集", "置換(&E)...", "置換", -1},
        {"actEditJump", "編集", "行ジャンプ(&J)...", "行ジャンプ", -1},
        {"actEditFormat", "編集", "SQL整形(&O)", "SQL整形", -1},
        {"actEditComment", "編集", "コメント挿入/削除", "コメント挿入/削除", -1},
        {"actEditUpperCase", "編集", "大文字に変更", "大文字に変更", -1},
        {"actEditLowerCase", "編集", "小文字に変更", "小文字に変更", -1},
        {"actEditIndentF", "編集", "インデント", "インデント", -1},
        {"actEditIndentR", "編集", "逆インデント", "逆インデント", -1},
        {"actEditMacroSave", "編集", "マクロ記録開始", "マクロ記録開始|キーボードマクロの記録を開始します。", -1},
        {"actEditMacroExec", "編集", "マクロ実行", "マクロ実行|キーボードマクロを実行します。", -1},
        {"actEditOpen", "編集", "定義情報", "定義情報|選択中の文字列を元にオブジェクト定義画面を開きます。", 17},

        {"actViewSQL", "表示", "SQL実行(&S)", "SQL実行|SQL実行画面を開きます。", 10},
        {"actViewScript", "表示", "スクリプト実行", "スクリプト実行|スクリプト実行画面を開きます。", 11},
        {"actViewField", "表示", "表・列", "表・列|表・列選択画面を開きます。", 12},
        {"actViewTemplate", "表示", "SQLリファレンス", "SQLリファレンス|SQLリファレンスを開きます。", -1},

        {"actAdminUser", "管理", "ユーザー情報(&U)", "ユーザー情報|ユーザー情報を表示します。", 3},
        {"actAdminStorage", "管理", "テーブルスペース情報(&T)", "テーブルスペース情報|テーブルスペース情報を表示します。", 69},
        {"actAdminSession", "管理", "セッション情報(&S)", "セッション情報|セッション情報を表示します。", 5},
        {"actAdminLock", "管理", "ロック情報(&L)", "ロック情報|ロック情報を表示します。", 6},
        {"actAdminDatabase", "管理", "サーバ情報(&D)", "サーバ情報|サーバの設定情報を表示します。", 1},
        {"actAdminPerform", "管理", "パフォーマンス情報(&Q)", "パフォーマンス情報|データベースの状態を表示します。", 107},
        {"actAdminExport", "管理", "バックアップ(&B)", "バックアップ|バックアップ操作画面を開きます。", 7},
        {"actAdminImport", "管理", "リストア(&E)", "リストア|リストア操作画面を開きます。", 8},
        {"actAdminLoad", "管理", "ロード(&O)", "ロード|SQL*Loader操作画面を開きます。", 9},

        {"actToolCommandSetup", "ツール", "ユーザー定義コマンドの登録(&M)",
         "ユーザー定義コマンドの登録|ユーザー定義コマンドの登録画面を開きます。", -1},
        {"actToolReportSetup", "ツール", "レポート定義の登録(&R)", "レポート定義の登録|レポート定義の登録画面を開きます。", -1},
        {"actViewComp", "ツール", "オブジェクト比較(&C)", "オブジェクト比較|オブジェクト比較画面を開きます。", 119},
        {"actToolIndexAdviser", "ツール", "インデックスアドバイザ(&I)",
         "インデックスアドバイザ|インデックスアドバイザ画面を開きます。", 120},
        {"actViewSQLCatch", "ツール", "SQLキャッチ(&T)", "SQLキャッチ|データベースで実行されているSQL文を監視します。", 105},
        {"actViewSQLCRUD", "ツール", "テーブルアクセス表(&A)", "テーブルアクセス表", 106},
        {"actToolOption", "ツール", "オプション(&P)...", "オプション|アプリケーションの環境設定を行います。", -1},
        {"actToolEditorOption", "ツール", "エディタオプション(&E)...", "エディタオプション|エディタの環境設定を行います。", -1},
        {"actToolScriptOption", "ツール", "スクリプト出力オプション(&S)...",
         "スクリプト出力オプション|スクリプト出力の設定を行います。", -1},

        {"actWindowCascade", "ウィンドウ", "重ねて表示(&C)", "重ねて表示|ウィンドウを重ねて表示します。", 25},
        {"actWindowTileH", "ウィンドウ", "上下に並べて表示(&H)", "上下に並べる|ウィンドウを垂直方向に並べます。", 26},
        {"actWindowTileV", "ウィンドウ", "左右に並べて表示(&V)", "左右に並べる|ウィンドウを水平方向に並べます。", 27},
        {"actWindowMinimizeAll", "ウィンドウ", "全てを最小化(&M)", "最小化|ウィンドウを最小化します。", -1},
        {"actWindowClose", "ウィンドウ", "閉じる(&L)", "閉じる|ウィンドウを閉じます。", -1},

        {"actHelp", "ヘルプ", "Kelvane ヘルプ(&C)", "Kelvane ヘルプ(&C)|ヘルプファイルを開きます。", -1},
        {"actHelpHomePageTop", "ヘルプ", "Kelvane ホームページ(&P)", "Kelvane ホームページ|Kelvane ホームページを開きます。", -1},
        {"actHelpHomePageTech", "ヘルプ", "Kelvane 便利機能紹介(&T)",
         "Kelvane 便利機能紹介|Kelvane 便利機能紹介のホームページを開きます。", -1},
        {"actHelpHomePageFAQ", "ヘルプ", "Kelvane FAQ(&F)", "Kelvane FAQ|Kelvane FAQページを開きます。", -1},
        {"actHelpSupport", "ヘルプ", "サポート情報(&S)...", "サポート情報|サポートに必要な情報を表示します。", -1},

        {"actNew", "オブジェクトリスト", "新規作成(&N)", "新規作成|新しいオブジェクトを作成します。", -1},
        {"actOpen", "オブジェクトリスト", "開く(&O)", "開く|選択中のオブジェクトを開きます。", 17},
        {"actOpenDefine", "オブジェクトリスト", "定義情報を開く", "定義情報を開く|選択中したオブジェクトの定義情報を表示します。", 17},
        {"actOpenSource", "オブジェクトリスト", "ソースを開く", "ソースを開く|選択中したオブジェクトのソースを表示します。", -1},
        {"actOpenData", "オブジェクトリスト", "データを開く", "データを開く|選択したオブジェクトのデータを表示します。", -1},
        {"actOpenDataTop", "オブジェクトリスト", "データを開く(件数指定)",
         "データを開く(件数指定)|選択したオブジェクトのデータを表示します。", -1},
        {"actExec", "オブジェクトリスト", "実行(&E)", "実行|選択中のストアドプログラムを実行します。", 28},
        {"actScript", "オブジェクトリスト", "スクリプト出力(&S)", "スクリプト出力|選択したオブジェクトのスクリプトを出力します。", 18},
        {"actPrint", "オブジェクトリスト", "印刷(&P)", "印刷|選択したオブジェクトの情報を印刷します。", 98},
        {"actCross", "オブジェクトリスト", "クロスリファレンス(&F)",
         "クロスリファレンス|選択したオブジェクトの、他オブジェクトとの関連性を表示します。", 92},
        {"actMatrix", "オブジェクトリスト", "マトリックス表(&M)",
         "マトリックス表|選択したオブジェクトの、他オブジェクトとの関連性を一覧表示します。", -1},
        {"actGrant", "オブジェクトリスト", "権限(&G)", "権限|選択中のオブジェクトに権限を付与します。", 91},
        {"actAnalyze", "オブジェクトリスト", "統計情報(&A)", "統計情報|選択したオブジェクトの統計情報を求めます。", -1},
        {"actDelete", "オブジェクトリスト", "削除(&D)", "削除|選択中のオブジェクトを削除します。", 41},
        {"actGrep", "オブジェクトリスト", "全文検索", "全文検索|", 24},
        {"actExport", "オブジェクトリスト", "バックアップ(&R)", "エクスポート|選択中のオブジェクトをエクスポートします。", 7},
        {"actLoad", "オブジェクトリスト", "ロード(&L)", "ロード|選択したテーブルオブジェクトを対象に SQL*Loader を実行します。", 9},
    };
}

QAction *TfrmMain::Act(const QString &name) const
{
    return FActions.value(name);
}

static void SetHint(QAction *a, const QString &hint)
{
    // The short text is the tool tip; the long text is kept as the action's description.
    // Neither reaches the status bar, whose panels belong to the windows.
    a->setToolTip(hint.isEmpty() ? QString(a->text()).remove(QLatin1Char('&')) : hint.section(QLatin1Char('|'), 0, 0));
    a->setWhatsThis(hint.section(QLatin1Char('|'), 1));
}

void TfrmMain::BuildActions()
{
    QHash<QString, QKeySequence> defaults;
    for (const TShortcutRow &row : ShortcutRows())
        defaults.insert(QLatin1String(row.Action), TextToShortCut(QLatin1String(row.Default)));
    for (const TMainActionRow &row : MainActionRows()) {
        auto *a = new QAction(QString::fromUtf8(row.Caption), this);
        a->setObjectName(QLatin1String(row.Name));
        a->setProperty("category", QString::fromUtf8(row.Category));
        a->setShortcut(defaults.value(QLatin1String(row.Name)));
        a->setShortcutContext(Qt::WindowShortcut);
        SetHint(a, QString::fromUtf8(row.Hint));
        if (row.Image >= 0)
            a->setIcon(Image(row.Image));
        FActions.insert(a->objectName(), a);
    }
    // The shortcut carriers of the connection window's commands do nothing here: their keys
    // must not be taken from the connection window, so the main window never listens to them.
    for (QAction *a : std::as_const(FActions))
        if (a->property("category").toString() == QStringLiteral("オブジェクトリスト"))
            a->setShortcutContext(Qt::WidgetShortcut);

    actDBCommit = Act("actDBCommit");
    actDBRollback = Act("actDBRollback");
    actDBLogon = Act("actDBLogon");
    actDBLogoff = Act("actDBLogoff");
    actFileExit = Act("actFileExit");
    actViewSQL = Act("actViewSQL");
    actViewScript = Act("actViewScript");
    actViewField = Act("actViewField");
    actViewTemplate = Act("actViewTemplate");
    actViewComp = Act("actViewComp");
    actViewSQLCatch = Act("actViewSQLCatch");
    actViewSQLCRUD = Act("actViewSQLCRUD");
    actToolIndexAdviser = Act("actToolIndexAdviser");
    actAdminUser = Act("actAdminUser");
    actAdminStorage = Act("actAdminStorage");
    actAdminSession = Act("actAdminSession");
    actAdminLock = Act("actAdminLock");
    actAdminDatabase = Act("actAdminDatabase");
    actAdminPerform = Act("actAdminPerform");
    actAdminExport = Act("actAdminExport");
    actAdminImport = Act("actAdminImport");
    actAdminLoad = Act("actAdminLoad");
    actToolCommandSetup = Act("actToolCommandSetup");

    auto on = [this](const char *name, std::function<void()> fn) {
        connect(Act(QLatin1String(name)), &QAction::triggered, this, [fn] { GuardedCall(fn); });
    };
    on("actDBCommit", [this] { actDBCommitExecute(); });
    on("actDBRollback", [this] { actDBRollbackExecute(); });
    on("actDBLogon", [this] { actDBLogonExecute(); });
    connect(actDBLogoff, &QAction::triggered, this, [this] { actDBLogoffExecute(); });
    connect(actFileExit, &QAction::triggered, this, &QWidget::close);

    on("actEditUndo", [this] { EditUndo(false); });
    on("actEditRedo", [this] { EditUndo(true); });
    on("actEditCut", [this] { EditCut(); });
    on("actEditCopy", [this] { EditCopy(); });
    on("actEditPaste", [this] { EditPaste(); });
    on("actEditDelete", [this] { EditDelete(); });
    on("actEditRename", [this] { EditRename(); });
    on("actEditSelectAll", [this] { EditSelectAll(); });
    Act("actEditSelectMode")->setCheckable(true);
    on("actEditSelectMode", [this] { EditSelectMode(); });
    on("actEditFind", [this] { EditFind(); });
    on("actEditFindNext", [this] { EditFindNext(false); });
    on("actEditFindPrev", [this] { EditFindPrev(); });
    on("actEditReplace", [this] { EditReplace(); });
    on("actEditJump", [this] { EditJump(); });
    on("actEditFormat", [this] { EditFormat(); });
    on("actEditComment", [this] { EditComment(); });
    on("actEditUpperCase", [this] { EditCase(true); });
    on("actEditLowerCase", [this] { EditCase(false); });
    on("actEditIndentF", [this] { EditIndent(true); });
    on("actEditIndentR", [this] { EditIndent(false); });
    on("actEditMacroSave", [this] { EditMacroSave(); });
    on("actEditMacroExec", [this] { EditMacroExec(); });
    on("actEditOpen", [this] { EditOpen(); });

    on("actViewSQL", [this] {
        if (!CurrentForm())
            return;
        // The focus leaves the editor first, so the new window's editor takes it.
        if (pnlDB)
            pnlDB->setFocus();
        OpenWindow(QStringLiteral("TfrmSQL"), true);
    });
    on("actViewScript", [this] { OpenWindow(QStringLiteral("TfrmExecScript"), true); });
    on("actViewField", [this] {
        TkdConnForm *current = CurrentForm();
        if (!current)
            return;
        QString schema, table;
        QWidget *w = FocusedControl();
        if (auto *memo = qobject_cast<TkdMemo *>(w)) {
            table = QLocale().toUpper(memo->selectedText());
            schema = current->ConnectionParam(QStringLiteral("MetaDefSchema"));
            const int dot = table.indexOf(QLatin1Char('.'));
            if (dot >= 0) {
                schema = table.left(dot);
                table = table.mid(dot + 1);
            }
        } else if (auto *list = qobject_cast<TkdListView *>(w)) {
            QTreeWidgetItem *item = list->currentItem();
            if (item && item->isSelected() && item->columnCount() > 1) {
                schema = item->text(1);
                table = item->text(0);
            }
        }
        OpenWindow(QStringLiteral("TfrmField"), true,
                   {{QStringLiteral("Schema"), schema}, {QStringLiteral("TableName"), table}});
    });
    on("actViewTemplate", [this] {
        auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
        OpenWindow(QStringLiteral("TfrmTemplate"), true,
                   {{QStringLiteral("Text"), memo ? memo->selectedText() : QString()}});
    });
    const std::pair<const char *, const char *> connectionWindows[] = {
        {"actAdminUser", "TfrmUserList"},     {"actAdminStorage", "TfrmStorage"},
        {"actAdminSession", "TfrmSession"},   {"actAdminLock", "TfrmLock"},
        {"actAdminDatabase", "TfrmDB"},       {"actAdminPerform", "TfrmPerform"},
        {"actAdminImport", "TfrmImp"},        {"actViewComp", "TfrmComp"},
        {"actToolIndexAdviser", "TfrmIndexAdviser"}, {"actViewSQLCatch", "TfrmSQLCatch"},
        {"actViewSQLCRUD", "TfrmSQLCRUD"},
    };
    for (const auto &[action, key] : connectionWindows) {
        const QString k = QLatin1String(key);
        on(action, [this, k] { OpenWindow(k, true); });
    }
    on("actAdminExport", [this] {
        TkdConnForm *current = CurrentForm();
        if (current)
            OpenWindow(QStringLiteral("TfrmExp"), true,
                       {{QStringLiteral("Mode"), 1},
                        {QStringLiteral("Schemas"), current->ConnectionParam(QStringLiteral("MetaDefSchema"))},
                        {QStringLiteral("Tables"), QString()}});
    });
    on("actAdminLoad", [this] {
        OpenWindow(QStringLiteral("TfrmLoader"), true,
                   {{QStringLiteral("Schemas"), QString()}, {QStringLiteral("Tables"), QString()}});
    });
    on("actToolCommandSetup", [this] {
        if (kdopeners::IsRegistered(QStringLiteral("TfrmUserCommand"))) {
            OpenWindow(QStringLiteral("TfrmUserCommand"), false);
            SetCommandList();
        } else {
            OpenWindow(QStringLiteral("TfrmUserCommand"), false);
        }
    });
    on("actToolReportSetup", [this] {
        const bool known = kdopeners::IsRegistered(QStringLiteral("TfrmXLSSetup"));
        OpenWindow(QStringLiteral("TfrmXLSSetup"), false);
        if (known)
            SetReportList();
    });
    on("actToolOption", [this] {
        const bool before = TkdOption::Global().UpdateToCommit;
        OpenWindow(QStringLiteral("TfrmOption"), false);
        const bool after = TkdOption::Global().UpdateToCommit;
        if (before != after)
            for (TkdConnForm *conn : Connections())
                conn->ExecuteSQL(after ? QStringLiteral("COMMIT") : QStringLiteral("BEGIN"));
    });
    on("actToolEditorOption", [] { TfrmEditorOption::ShowWindow(&SharedEditorProp()); });
    on("actToolScriptOption", [this] { OpenWindow(QStringLiteral("TfrmScriptOption"), false); });

    on("actWindowCascade", [this] { mdiMain->cascadeSubWindows(); });
    on("actWindowTileH", [this] { TileChildren(Qt::Vertical); });
    on("actWindowTileV", [this] { TileChildren(Qt::Horizontal); });
    on("actWindowMinimizeAll", [this] {
        const QList<QMdiSubWindow *> subs = mdiMain->subWindowList(QMdiArea::CreationOrder);
        for (auto it = subs.crbegin(); it != subs.crend(); ++it)
            (*it)->showMinimized();
    });
    on("actWindowClose", [this] { mnuCloseWindowClick(); });

    on("actHelp", [this] { ShowHelp(0); });
    const std::pair<const char *, const char *> pages[] = {
        {"actHelpHomePageTop", kHomePageTop}, {"actHelpHomePageTech", kHomePageTech}, {"actHelpHomePageFAQ", kHomePageFAQ}};
    for (const auto &[action, url] : pages) {
        const QString address = QString::fromUtf8(url);
        Act(QLatin1String(action))->setData(address);
        on(action, [address] { QDesktopServices::openUrl(QUrl(address)); });
    }
    on("actHelpSupport", [this] { TfrmSupport::ShowWindow(this); });

    // New-object buttons: an empty editor of their type on the current connection.
    const std::tuple<QAction **, const char *, const char *, int> newButtons[] = {
        {&btnNewTable, "btnNewTable", "新規テーブル", 45},       {&btnNewIndex, "btnNewIndex", "新規インデックス", 46},
        {&btnNewView, "btnNewView", "新規ビュー", 47},           {&btnNewFunc, "btnNewFunc", "新規ファンクション", 52},
        {&btnNewType, "btnNewType", "新規タイプ", 55},           {&btnNewTrigger, "btnNewTrigger", "新規トリガー", 57},
        {&btnNewSeq, "btnNewSeq", "新規シーケンス", 58},         {&btnNewConst, "btnNewConst", "新規制約", 66},
        {&btnNewRule, "btnNewRule", "新規ルール", 127}};
    for (const auto &[member, name, text, code] : newButtons) {
        auto *a = new QAction(QString::fromUtf8(text), this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(QString::fromUtf8(text));
        a->setIcon(Image(code));
        a->setData(code);
        *member = a;
        const int type = code;
        connect(a, &QAction::triggered, this, [this, type] {
            GuardedCall([this, type] {
                if (TkdConnForm *current = CurrentForm())
                    current->OpenObject(type, current->ConnectionParam(QStringLiteral("MetaDefSchema")), QString());
            });
        });
    }

    mnuDispList = new QAction(QStringLiteral("一覧(&L)"), this);
    mnuDispList->setObjectName(QStringLiteral("mnuDispList"));
    mnuDispReport = new QAction(QStringLiteral("詳細(&D)"), this);
    mnuDispReport->setObjectName(QStringLiteral("mnuDispReport"));
    mnuDispList->setCheckable(true);
    mnuDispReport->setCheckable(true);
    mnuDispReport->setChecked(true);
    auto *dispGroup = new QActionGroup(this);
    dispGroup->addAction(mnuDispList);
    dispGroup->addAction(mnuDispReport);
    // The list style of every connection window's object list.
    auto applyStyle = [this](bool report) {
        for (TkdConnForm *conn : Connections())
            conn->SetObjectListStyle(report);
    };
    connect(mnuDispList, &QAction::triggered, this, [applyStyle] { applyStyle(false); });
    connect(mnuDispReport, &QAction::triggered, this, [applyStyle] { applyStyle(true); });
    mnuReload = new QAction(QStringLiteral("最新の情報に更新(&R)"), this);
    mnuReload->setObjectName(QStringLiteral("mnuReload"));
    mnuReload->setShortcut(QKeySequence(Qt::Key_F5));
    connect(mnuReload, &QAction::triggered, this, &TfrmMain::mnuReloadClick);
    mnuTaskBar = new QAction(QStringLiteral("タスクバー"), this);
    mnuTaskBar->setObjectName(QStringLiteral("mnuTaskBar"));
    mnuTaskBar->setCheckable(true);
    mnuTaskBar->setChecked(true);
    mnuStsbar = new QAction(QStringLiteral("ステータスバー"), this);
    mnuStsbar->setObjectName(QStringLiteral("mnuStsbar"));
    mnuStsbar->setCheckable(true);
    mnuStsbar->setChecked(true);
    mnuCloseWindow = new QAction(QStringLiteral("閉じる"), this);
    mnuCloseWindow->setObjectName(QStringLiteral("mnuCloseWindow"));
    SetHint(mnuCloseWindow, QStringLiteral("閉じる|選択中のウィンドウを閉じます。"));
    connect(mnuCloseWindow, &QAction::triggered, this, &TfrmMain::mnuCloseWindowClick);
}

void TfrmMain::OpenWindow(const QString &key, bool needsConnection, const QVariantHash &values)
{
    TkdConnForm *current = CurrentForm();
    if (needsConnection && !current)
        return;
    TOpenerArgs args;
    args.Owner = current;
    args.Parent = this;
    args.Values = values;
    kdopeners::Open(key, args);
}

static QToolBar *MakeBar(TfrmMain *main, const char *name, const QString &caption)
{
    auto *bar = new QToolBar(caption, main);
    bar->setObjectName(QLatin1String(name));
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(true);
    bar->setFloatable(true);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return bar;
}

void TfrmMain::BuildBars()
{
    pnlDB = MakeBar(this, "pnlDB", QStringLiteral("データベース"));
    pnlDB->addAction(actDBLogon);
    pnlDB->addAction(actDBLogoff);
    cmbDBName = new QComboBox;
    cmbDBName->setObjectName(QStringLiteral("cmbDBName"));
    cmbDBName->setToolTip(QStringLiteral("現行データベース"));
    cmbDBName->setMinimumWidth(340);
    cmbDBName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // Only a pick by the user runs the enabling rule; selections made in code do not.
    connect(cmbDBName, &QComboBox::activated, this, [this] { GuardedCall([this] { cmbDBNameChange(); }); });
    pnlDB->addWidget(cmbDBName);
    pnlDB->addAction(actDBCommit);
    pnlDB->addAction(actDBRollback);

    pnlEdit = MakeBar(this, "pnlEdit", QStringLiteral("編集"));
    pnlEdit->addAction(Act("actEditUndo"));
    pnlEdit->addSeparator();
    pnlEdit->addAction(Act("actEditCut"));
    pnlEdit->addAction(Act("actEditCopy"));
    pnlEdit->addAction(Act("actEditPaste"));

    pnlTool = MakeBar(this, "pnlTool", QStringLiteral("ツール"));
    for (QAction *a : {actViewSQL, actViewScript, actViewField})
        pnlTool->addAction(a);

    pnlAdmin = MakeBar(this, "pnlAdmin", QStringLiteral("管理"));
    for (QAction *a : {actAdminUser, actAdminStorage, actAdminSession, actAdminLock, actAdminDatabase, actAdminPerform})
        pnlAdmin->addAction(a);

    pnlNewObj = MakeBar(this, "pnlNewObj", QStringLiteral("新規オブジェクト"));
    for (QAction *a : {btnNewTable, btnNewIndex, btnNewView, btnNewFunc, btnNewType, btnNewTrigger, btnNewSeq,
                       btnNewConst, btnNewRule})
        pnlNewObj->addAction(a);

    pnlTool2 = MakeBar(this, "pnlTool2", QStringLiteral("ツール"));
    pnlTool2->addAction(actViewComp);
    pnlTool2->addAction(actToolIndexAdviser);
    pnlTool2->addAction(actViewSQLCatch);
    pnlTool2->addAction(actViewSQLCRUD);

    DockDefaultRows();

    // A right click in the tool-bar area pops up the tool-bar submenu.
    for (QToolBar *bar : {pnlDB, pnlEdit, pnlTool, pnlAdmin, pnlNewObj, pnlTool2}) {
        bar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(bar, &QWidget::customContextMenuRequested, this,
                [this, bar](const QPoint &pos) { mnuToolBar->popup(bar->mapToGlobal(pos)); });
    }
}

void TfrmMain::BuildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuMain"));
    QMenu *file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->addAction(actDBCommit);
    file->addAction(actDBRollback);
    file->addAction(actDBLogon);
    file->addAction(actDBLogoff);
    file->addSeparator();
    file->addAction(actFileExit);

    QMenu *edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    popEditor = new QMenu(this);
    popEditor->setObjectName(QStringLiteral("popEditor"));
    const char *const editMenu[] = {
        "actEditUndo", "actEditRedo", "-", "actEditCut", "actEditCopy", "actEditPaste", "actEditDelete",
        "actEditRename", "actEditSelectAll", "actEditSelectMode", "-", "actEditFind", "actEditFindNext",
        "actEditFindPrev", "actEditReplace", "actEditJump", "-", "actEditFormat", "actEditComment", "-",
        "actEditUpperCase", "actEditLowerCase", "-", "actEditIndentF", "actEditIndentR", "-",
        "actEditMacroSave", "actEditMacroExec", "-", "actEditOpen"};
    for (const char *name : editMenu) {
        if (qstrcmp(name, "-") == 0) {
            edit->addSeparator();
            popEditor->addSeparator();
            continue;
        }
        QAction *a = Act(QLatin1String(name));
        if (qstrcmp(name, "actEditMacroExec") == 0) {
            // The menu item carries Ctrl+M of its own besides the action's stored shortcut.
            mnuMacroRun = new QAction(a->icon(), a->text(), edit);
            mnuMacroRun->setObjectName(QStringLiteral("mnuMacroRun"));
            mnuMacroRun->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
            mnuMacroRun->setShortcutContext(Qt::WindowShortcut);
            connect(mnuMacroRun, &QAction::triggered, a, &QAction::trigger);
            connect(a, &QAction::changed, mnuMacroRun, [a, this] { mnuMacroRun->setEnabled(a->isEnabled()); });
            edit->addAction(mnuMacroRun);
            addAction(mnuMacroRun);
        } else {
            edit->addAction(a);
        }
        if (qstrcmp(name, "actEditRename") == 0)
            continue;
        if (qstrcmp(name, "actEditOpen") == 0) {
            auto *popOpen = new QAction(a->icon(), a->text(), popEditor);
            popOpen->setObjectName(QStringLiteral("mnuPopEditOpen"));
            popOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
            popOpen->setShortcutContext(Qt::WindowShortcut);
            connect(popOpen, &QAction::triggered, a, &QAction::trigger);
            connect(a, &QAction::changed, popOpen, [a, popOpen] { popOpen->setEnabled(a->isEnabled()); });
            popEditor->addAction(popOpen);
            addAction(popOpen);
        } else {
            popEditor->addAction(a);
        }
    }
    popEditor->addAction(actViewField);
    popEditor->addAction(actViewTemplate);
    SetSharedEditorPopup(popEditor);

    mnuView = bar->addMenu(QStringLiteral("表示(&V)"));
    QMenu *view = mnuView;
    view->setObjectName(QStringLiteral("mnuDisplay"));
    view->addAction(actViewSQL);
    view->addAction(actViewScript);
    view->addAction(actViewField);
    view->addAction(actViewTemplate);
    view->addSeparator();
    mnuToolBar = view->addMenu(QStringLiteral("ツールバー"));
    mnuToolBar->setObjectName(QStringLiteral("mnuToolBar"));
    const std::pair<QToolBar *, const char *> barItems[] = {{pnlDB, "標準"},    {pnlEdit, "編集"},  {pnlTool, "表示"},
                                                           {pnlTool2, "ツール"}, {pnlAdmin, "管理"}, {pnlNewObj, "新規作成"}};
    for (const auto &[tb, text] : barItems) {
        QAction *t = tb->toggleViewAction();
        t->setText(QString::fromUtf8(text));
        t->setObjectName(QStringLiteral("mnuBar_") + tb->objectName());
        mnuToolBar->addAction(t);
    }
    mnuToolBar->addSeparator();
    mnuToolBarReset = mnuToolBar->addAction(QStringLiteral("位置の初期化"));
    mnuToolBarReset->setObjectName(QStringLiteral("mnuToolBarReset"));
    connect(mnuToolBarReset, &QAction::triggered, this, [this] {
        if (ShowMessageBox(QStringLiteral("ツールバーの位置を初期化しますか？"), MB_YESNO | MB_ICONQUESTION) == IDYES)
            ResetToolBars();
    });
    view->addAction(mnuWorkSpace);
    view->addAction(mnuTaskBar);
    view->addAction(mnuStsbar);
    view->addSeparator();
    view->addAction(mnuDispList);
    view->addAction(mnuDispReport);
    view->addSeparator();
    view->addAction(mnuReload);
    connect(view, &QMenu::aboutToShow, this, [this] {
        mnuTaskBar->setChecked(!ctlTask->isHidden());
        mnuStsbar->setChecked(!stsMain->isHidden());
    });

    QMenu *admin = bar->addMenu(QStringLiteral("管理(&A)"));
    admin->setObjectName(QStringLiteral("mnuAdmin"));
    for (QAction *a : {actAdminUser, actAdminStorage, actAdminSession, actAdminLock, actAdminDatabase, actAdminPerform})
        admin->addAction(a);
    admin->addSeparator();
    for (QAction *a : {actAdminExport, actAdminImport, actAdminLoad})
        admin->addAction(a);

    QMenu *tool = bar->addMenu(QStringLiteral("ツール(&T)"));
    tool->setObjectName(QStringLiteral("mnuTool"));
    mnuCommandMenu = tool->addMenu(QStringLiteral("ユーザー定義コマンド"));
    mnuCommandMenu->setObjectName(QStringLiteral("mnuCommandMenu"));
    mnuCommandMenu->addSeparator()->setObjectName(QStringLiteral("mnuTB1"));
    mnuCommandMenu->addAction(actToolCommandSetup);
    mnuReportMenu = tool->addMenu(QStringLiteral("レポート出力"));
    mnuReportMenu->setObjectName(QStringLiteral("mnuReportMenu"));
    mnuReportMenu->addSeparator()->setObjectName(QStringLiteral("mnuTB2"));
    mnuReportMenu->addAction(Act("actToolReportSetup"));
    // Report items act on the selected objects of the current connection window.
    connect(mnuReportMenu, &QMenu::aboutToShow, this, [this] {
        TkdConnForm *current = CurrentForm();
        const bool on = current && current->SelectedObjectCount() > 0;
        for (QAction *a : mnuReportMenu->actions())
            if (!a->isSeparator() && a != Act("actToolReportSetup"))
                a->setEnabled(on);
    });
    for (QAction *a : {actViewComp, actToolIndexAdviser, actViewSQLCatch, actViewSQLCRUD})
        tool->addAction(a);
    tool->addSeparator();
    tool->addAction(Act("actToolOption"));
    tool->addAction(Act("actToolEditorOption"));
    tool->addAction(Act("actToolScriptOption"));

    QMenu *window = bar->addMenu(QStringLiteral("ウィンドウ(&W)"));
    window->setObjectName(QStringLiteral("mnuWindow"));
    for (const char *name : {"actWindowCascade", "actWindowTileH", "actWindowTileV", "actWindowMinimizeAll"})
        window->addAction(Act(QLatin1String(name)));
    window->addSeparator();
    window->addAction(Act("actWindowClose"));
    // The list of open child windows follows, rebuilt each time the menu opens.
    connect(window, &QMenu::aboutToShow, this, [this, window] {
        for (QAction *a : window->actions())
            if (a->property("childWindow").isValid())
                delete a;
        const QList<QMdiSubWindow *> subs = mdiMain->subWindowList(QMdiArea::CreationOrder);
        if (subs.isEmpty())
            return;
        QAction *sep = window->addSeparator();
        sep->setProperty("childWindow", true);
        int n = 0;
        for (QMdiSubWindow *sub : subs) {
            QString title = sub->windowTitle();
            title.replace(QLatin1Char('&'), QLatin1String("&&"));
            QAction *a = window->addAction(QStringLiteral("&%1 %2").arg(++n).arg(title));
            a->setProperty("childWindow", true);
            a->setCheckable(true);
            a->setChecked(sub == mdiMain->activeSubWindow());
            QPointer<QMdiSubWindow> target(sub);
            connect(a, &QAction::triggered, this, [this, target] {
                if (target && target->widget())
                    ShowChild(target->widget());
            });
        }
    });

    QMenu *help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(Act("actHelp"));
    help->addSeparator();
    mnuHelpHomePage = help->addMenu(QStringLiteral("ホームページを開く"));
    mnuHelpHomePage->setObjectName(QStringLiteral("mnuHelpHomePage"));
    help->addSeparator();
    help->addAction(Act("actHelpSupport"));

    // Every menu runs the enabling rules before it shows.
    for (QMenu *m : findChildren<QMenu *>())
        connect(m, &QMenu::aboutToShow, this, &TfrmMain::UpdateEditActions);
}

bool TfrmMain::ObjectListReport() const
{
    return mnuDispReport->isChecked();
}

void TfrmMain::MergeMenu(QMenu *menu)
{
    if (menu == FMergedMenu && (menu || !FMergedAction))
        return;
    if (FMergedAction) {
        menuBar()->removeAction(FMergedAction);
        FMergedAction = nullptr;
    }
    FMergedMenu = menu;
    if (menu) {
        // After the View menu, before the Administration menu.
        QList<QAction *> top = menuBar()->actions();
        const int at = top.indexOf(mnuView->menuAction());
        QAction *before = at >= 0 && at + 1 < top.size() ? top.at(at + 1) : nullptr;
        FMergedAction = menu->menuAction();
        menuBar()->insertAction(before, FMergedAction);
        connect(menu, &QObject::destroyed, this, [this, menu] {
            if (FMergedMenu == menu || !FMergedMenu) {
                FMergedAction = nullptr;
                FMergedMenu = nullptr;
            }
        });
    }
}

void TfrmMain::UnmergeMenu(QMenu *menu)
{
    if (menu && FMergedMenu == menu)
        MergeMenu(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Enabling rules

QWidget *TfrmMain::FocusedControl() const
{
    QWidget *w = QApplication::focusWidget();
    if (w && (w->window() == this))
        return w;
    // While a dialog of the main window (find, replace) is active, the commands act on the
    // control that last had the focus in the main window.
    return focusWidget();
}

void TfrmMain::UpdateEditActions()
{
    QWidget *w = FocusedControl();
    auto *memo = qobject_cast<TkdMemo *>(w);
    const bool editor = memo != nullptr;
    const bool writable = editor && !memo->isReadOnly();
    const bool lineMode = editor && memo->SelectionMode() == TkdMemo::smLine;
    const bool selected = editor && memo->hasSelectedText();
    const bool notReadOnly = !editor || writable;
    const bool sel = !editor || (selected && writable);
    auto set = [this](const char *name, bool on) { Act(QLatin1String(name))->setEnabled(on); };
    for (const char *name : {"actEditUndo", "actEditRedo", "actEditCut", "actEditDelete"})
        set(name, notReadOnly);
    set("actEditCopy", true);
    set("actEditRename", true);
    set("actEditSelectAll", true);
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    set("actEditPaste", clip && clip->hasText() && notReadOnly);
    for (const char *name : {"actEditSelectMode", "actEditFind", "actEditFindNext", "actEditFindPrev", "actEditJump"})
        set(name, editor);
    Act("actEditSelectMode")->setChecked(editor && !lineMode);
    set("actEditReplace", writable);
    set("actEditFormat", writable && lineMode && !memo->text().trimmed().isEmpty());
    set("actEditComment", writable && (lineMode || selected));
    for (const char *name : {"actEditUpperCase", "actEditLowerCase", "actEditIndentF", "actEditIndentR", "actEditOpen"})
        set(name, sel);
    TkdMacroList *macros = SharedMacroList();
    const bool recording = macros && macros->Status() == TkdMacroStatus::msRecording;
    QAction *save = Act("actEditMacroSave");
    save->setEnabled(writable);
    const bool showEnd = writable && recording;
    save->setText(showEnd ? QStringLiteral("マクロ記録終了") : QStringLiteral("マクロ記録開始"));
    SetHint(save, showEnd ? QStringLiteral("マクロ記録終了|キーボードマクロの記録を終了します。")
                          : QStringLiteral("マクロ記録開始|キーボードマクロの記録を開始します。"));
    set("actEditMacroExec", writable && macros && macros->Status() == TkdMacroStatus::msWaiting);
}

void TfrmMain::ConnectUpdates()
{
    auto watch = [this](QWidget *now) {
        if (FWatchedSelection)
            disconnect(FWatchedSelection, nullptr, this, nullptr);
        FWatchedSelection = nullptr;
        if (auto *memo = qobject_cast<TkdMemo *>(now)) {
            FWatchedSelection = memo;
            connect(memo, &QsciScintilla::selectionChanged, this, &TfrmMain::UpdateEditActions);
            connect(memo, &QsciScintilla::textChanged, this, &TfrmMain::UpdateEditActions);
        }
    };
    connect(qApp, &QApplication::focusChanged, this, [this, watch](QWidget *, QWidget *now) {
        if (FDestroying)
            return;
        if (now && now->window() == this)
            watch(now);
        UpdateEditActions();
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TfrmMain::UpdateEditActions);
    connect(mdiMain, &QMdiArea::subWindowActivated, this, &TfrmMain::UpdateEditActions);
}

// ---------------------------------------------------------------------------------------------
// User-command, report and web-page submenus

QList<TCommandEntry> OrderCommandEntries(QList<TCommandEntry> entries)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const TCommandEntry &a, const TCommandEntry &b) { return collator.compare(a.Name, b.Name) < 0; });
    // The exchange sort by number: equal numbers need not keep their name order.
    for (int i = 0; i + 1 < entries.size(); ++i)
        for (int j = i + 1; j < entries.size(); ++j)
            if (entries[j].Seq < entries[i].Seq)
                std::swap(entries[i], entries[j]);
    return entries;
}

static QDomElement KdDocChild(const QString &path, const QString &child, double missingVersion)
{
    QFile file(path);
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return {};
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("KDDOC"))
        return {};
    bool ok = false;
    double version = root.attribute(QStringLiteral("KDDOC-VERSION")).toDouble(&ok);
    if (!ok)
        version = missingVersion;
    if (version > 2)
        return {};
    return root.firstChildElement(child);
}

void ReadCommandFile(const QString &path, int *seq, int *shortcut)
{
    *seq = 0;
    *shortcut = 0;
    const QDomElement e = KdDocChild(path, QStringLiteral("USERCMD"), 0);
    if (e.isNull())
        return;
    *seq = e.attribute(QStringLiteral("SEQ")).toInt();
    *shortcut = e.attribute(QStringLiteral("SHORTCUT")).toInt();
}

int ReadReportTag(const QString &path)
{
    const QDomElement e = KdDocChild(path, QStringLiteral("XLSDEF"), 2);
    if (e.isNull())
        return 0;
    if (RepDataIndex(e.attribute(QStringLiteral("TYPE")), 1) == 0)
        return 0;
    return e.attribute(QStringLiteral("OUTPUTTYPE")).toInt() + 1;
}

static QStringList FileBaseNames(const QString &folder, const QString &pattern)
{
    QStringList names;
    const QFileInfoList files = QDir(folder).entryInfoList({pattern}, QDir::Files, QDir::NoSort);
    for (const QFileInfo &fi : files)
        names << fi.completeBaseName();
    return names;
}

static void ClearGenerated(QMenu *menu, const QString &separatorName)
{
    for (QAction *a : menu->actions()) {
        if (a->objectName() == separatorName)
            break;
        menu->removeAction(a);
        delete a;
    }
}

void TfrmMain::SetCommandList()
{
    ClearGenerated(mnuCommandMenu, QStringLiteral("mnuTB1"));
    const QString folder = AppDataFolder() + QStringLiteral("USERCMD/");
    QList<TCommandEntry> entries;
    for (const QString &name : FileBaseNames(folder, QStringLiteral("*.cmd"))) {
        int seq = 0, shortcut = 0;
        ReadCommandFile(folder + name + QStringLiteral(".cmd"), &seq, &shortcut);
        entries.append({name, seq});
    }
    entries = OrderCommandEntries(entries);
    QAction *first = mnuCommandMenu->actions().value(0);
    for (const TCommandEntry &e : entries) {
        QString caption = e.Name;
        auto *a = new QAction(caption.replace(QLatin1Char('&'), QLatin1String("&&")), mnuCommandMenu);
        a->setProperty("commandName", e.Name);
        int seq = 0, shortcut = 0;
        ReadCommandFile(folder + e.Name + QStringLiteral(".cmd"), &seq, &shortcut);
        a->setShortcut(ShortcutCodeToKeySequence(shortcut));
        a->setData(seq);
        connect(a, &QAction::triggered, this, [this, a] {
            try {
                if (TkdConnForm *current = CurrentForm())
                    current->UserCommandClick(a);
            } catch (...) {
                // A failing user command reports through its own window.
            }
        });
        mnuCommandMenu->insertAction(first, a);
    }
    for (TkdConnForm *conn : Connections())
        conn->SetCommandList(mnuCommandMenu);
}

void TfrmMain::SetReportList()
{
    ClearGenerated(mnuReportMenu, QStringLiteral("mnuTB2"));
    const QString folder = AppDataFolder() + QStringLiteral("xlsdef/");
    QStringList names = FileBaseNames(folder, QStringLiteral("*.def"));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    QAction *first = mnuReportMenu->actions().value(0);
    for (const QString &name : names) {
        QString caption = name;
        auto *a = new QAction(caption.replace(QLatin1Char('&'), QLatin1String("&&")), mnuReportMenu);
        a->setProperty("commandName", name);
        a->setData(ReadReportTag(folder + name + QStringLiteral(".def")));
        connect(a, &QAction::triggered, this, [this, a] {
            try {
                if (TkdConnForm *current = CurrentForm())
                    current->ReportClick(a);
            } catch (...) {
                // A failing report reports through its own window.
            }
        });
        mnuReportMenu->insertAction(first, a);
    }
    for (TkdConnForm *conn : Connections())
        conn->SetReportList(mnuReportMenu);
}

void TfrmMain::SetHomePage()
{
    mnuHelpHomePage->clear();
    for (const char *name : {"actHelpHomePageTop", "actHelpHomePageTech", "actHelpHomePageFAQ"}) {
        QAction *a = Act(QLatin1String(name));
        a->setVisible(!a->data().toString().isEmpty());
        if (a->isVisible())
            mnuHelpHomePage->addAction(a);
    }
    mnuHelpHomePage->menuAction()->setVisible(!mnuHelpHomePage->isEmpty());
}
