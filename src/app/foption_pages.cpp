// The eight pages of the options dialog.
#include "app/foption.h"

#include "controls/kdcomctrls.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_service.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace {

template <class T>
T *Named(T *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

TkdCheckBox *Check(QWidget *parent, const char *name, const char *caption)
{
    return Named(new TkdCheckBox(QString::fromUtf8(caption), parent), name);
}

TkdNumEdit *Number(QWidget *parent, const char *name, int digits)
{
    auto *e = Named(new TkdNumEdit(parent), name);
    e->setMaxLength(digits);
    e->setAlignment(Qt::AlignRight);
    e->setMaximumWidth(12 + 10 * qMax(3, digits));
    return e;
}

// A radio group: a titled box with one button per item, laid out in `columns` columns; the
// button ids are the item indexes.
QButtonGroup *Radio(QWidget *parent, QLayout *into, const char *name, const QString &title,
                    const QStringList &items, int columns, QGroupBox **boxOut = nullptr)
{
    auto *box = Named(new QGroupBox(title, parent), name);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    auto *group = new QButtonGroup(box);
    group->setObjectName(QLatin1String(name));
    const int rows = (int(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto *b = new TkdRadioButton(items.at(i), box);
        b->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
        group->addButton(b, i);
        // Items fill the first column first.
        grid->addWidget(b, i % rows, i / rows);
    }
    into->addWidget(box);
    if (boxOut)
        *boxOut = box;
    return group;
}

QToolButton *FolderButton(QWidget *parent, const char *name)
{
    auto *b = Named(new QToolButton(parent), name);
    b->setText(QStringLiteral("..."));
    b->setToolTip(QStringLiteral("参照"));
    return b;
}

QHBoxLayout *Row(QLayout *into)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    if (auto *box = qobject_cast<QBoxLayout *>(into))
        box->addLayout(row);
    return row;
}

QPlainTextEdit *Sample(QWidget *parent, const char *name)
{
    auto *memo = Named(new QPlainTextEdit(parent), name);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setFixedHeight(56);
    return memo;
}

QListWidget *FontList(QWidget *parent, const char *name)
{
    auto *list = Named(new TkdListBox(parent), name);
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

} // namespace

void TfrmOption::BuildObjectListPage()
{
    tabObjectList = Named(new QWidget, "tabObjectList");
    pagOption->addTab(tabObjectList, QStringLiteral("オブジェクトリスト"));
    auto *box = new QVBoxLayout(tabObjectList);
    chkData = Check(tabObjectList, "chkData", "オブジェクト固有の詳細情報を表示する");
    chkRowSelect = Check(tabObjectList, "chkRowSelect", "オブジェクト選択時、行全体を反転する");
    chkDelErr = Check(tabObjectList, "chkDelErr", "オブジェクト一括削除時のエラーを無視する");
    chkFind = Check(tabObjectList, "chkFind", "絞り込み検索機能を表示する");
    chkFindAuto = Check(tabObjectList, "chkFindAuto", "総称検索を行う ( LIKE '%検索値%' )");
    for (QWidget *w : {chkData, chkRowSelect, chkDelErr, chkFind})
        box->addWidget(w);
    auto *indent = Row(box);
    indent->addSpacing(20);
    indent->addWidget(chkFindAuto);
    connect(chkFind, &QCheckBox::toggled, this, [this] { chkFindClick(); });

    auto *grpType = Named(new QGroupBox(QStringLiteral("表示するオブジェクトタイプ"), tabObjectList), "grpType");
    auto *typeBox = new QHBoxLayout(grpType);
    auto *bar = Named(new QToolBar(grpType), "tlbType");
    bar->setIconSize(QSize(16, 16));
    const std::pair<QToolButton **, std::pair<const char *, const char *>> buttons[] = {
        {&btnTable, {"btnTable", "テーブル"}},   {&btnIndex, {"btnIndex", "インデックス"}},
        {&btnView, {"btnView", "ビュー"}},       {&btnFunc, {"btnFunc", "ファンクション"}},
        {&btnType, {"btnType", "タイプ"}},       {&btnTrigger, {"btnTrigger", "トリガー"}},
        {&btnSeq, {"btnSeq", "シーケンス"}},     {&btnConst, {"btnConst", "制約"}},
        {&btnRule, {"btnRule", "ルール"}},
    };
    for (const auto &[field, names] : buttons) {
        auto *b = Named(new QToolButton(bar), names.first);
        b->setCheckable(true);
        b->setToolTip(QString::fromUtf8(names.second));
        b->setText(QString::fromUtf8(names.second));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->addWidget(b);
        *field = b;
    }
    typeBox->addWidget(bar);
    typeBox->addStretch(1);
    box->addWidget(grpType);

    chkProgress = Check(tabObjectList, "chkProgress", "一覧表示中の途中経過を表示する");
    chkUserFirst = Check(tabObjectList, "chkUserFirst", "接続スキーマを一番最初に表示する");
    box->addWidget(chkProgress);
    box->addWidget(chkUserFirst);
    rdoSort = Radio(tabObjectList, box, "rdoSort", QStringLiteral("ツリー順序"),
                    {QStringLiteral("スキーマ → オブジェクトタイプ 順"), QStringLiteral("オブジェクトタイプ → スキーマ 順")}, 2);
    box->addStretch(1);
}

void TfrmOption::BuildDefinePage()
{
    tabDefine = Named(new QWidget, "tabDefine");
    pagOption->addTab(tabDefine, QStringLiteral("定義情報"));
    auto *box = new QVBoxLayout(tabDefine);
    box->addWidget(new QLabel(QStringLiteral("各種オブジェクト定義画面の、共通設定を入力します。"), tabDefine));
    auto *modeRow = Row(box);
    modeRow->addWidget(new QLabel(QStringLiteral("初期表示タブ"), tabDefine));
    cmbOpenMode = Named(new TkdComboBox(tabDefine), "cmbOpenMode");
    cmbOpenMode->addItems({QStringLiteral("定義情報"), QStringLiteral("ソース情報"), QStringLiteral("データ")});
    modeRow->addWidget(cmbOpenMode);
    modeRow->addStretch(1);
    chkShowDDL = Check(tabDefine, "chkShowDDL", "定義変更時に実行される DDL 文を表示する");
    chkShowStorageSource = Check(tabDefine, "chkShowStorageSource", "SQL文に領域情報を含める");
    chkShowColumnSource = Check(tabDefine, "chkShowColumnSource", "SQL文に項目名を含める(VIEW)");
    chkCloseDDL = Check(tabDefine, "chkCloseDDL",
                        "定義変更時にエラーが発生しなかった場合、自動で DDL 実行画面を閉じる");
    for (QWidget *w : {chkShowDDL, chkShowStorageSource, chkShowColumnSource, chkCloseDDL})
        box->addWidget(w);

    // The two source groups: a check box and, under it, the group it enables.
    const auto sourceGroup = [this, box](bool before) {
        TkdCheckBox *&main = before ? chkBeforeSource : chkAfterSource;
        main = before ? Check(tabDefine, "chkBeforeSource", "変更前のソースを保存する")
                      : Check(tabDefine, "chkAfterSource", "変更後のソースを保存する");
        box->addWidget(main);
        QGroupBox *&grp = before ? grpBeforeSource : grpAfterSource;
        grp = Named(new QGroupBox(tabDefine), before ? "grpBeforeSource" : "grpAfterSource");
        auto *g = new QVBoxLayout(grp);
        g->setContentsMargins(20, 2, 6, 2);
        auto *checks = new QHBoxLayout;
        TkdCheckBox *&dialog = before ? chkBeforeSrcDialog : chkAfterSrcDialog;
        TkdCheckBox *&renum = before ? chkBeforeSrcRenum : chkAfterSrcRenum;
        TkdCheckBox *&head = before ? chkBeforeSrcHead : chkAfterSrcHead;
        dialog = Check(grp, before ? "chkBeforeSrcDialog" : "chkAfterSrcDialog", "ダイアログ表示");
        renum = Check(grp, before ? "chkBeforeSrcRenum" : "chkAfterSrcRenum", "自動採番");
        head = Check(grp, before ? "chkBeforeSrcHead" : "chkAfterSrcHead", "修正履歴");
        checks->addWidget(dialog);
        checks->addWidget(renum);
        checks->addWidget(head);
        checks->addStretch(1);
        g->addLayout(checks);
        auto *dirRow = new QHBoxLayout;
        QLabel *&label = before ? lblBeforeSource : lblAfterSource;
        label = Named(new QLabel(QStringLiteral("出力先"), grp), before ? "lblBeforeSource" : "lblAfterSource");
        TkdStrEdit *&edit = before ? txtBeforeSource : txtAfterSource;
        edit = Named(new TkdStrEdit(grp), before ? "txtBeforeSource" : "txtAfterSource");
        QToolButton *&button = before ? btnBeforeSource : btnAfterSource;
        button = FolderButton(grp, before ? "btnBeforeSource" : "btnAfterSource");
        dirRow->addWidget(label);
        dirRow->addWidget(edit, 1);
        dirRow->addWidget(button);
        g->addLayout(dirRow);
        box->addWidget(grp);
        connect(main, &QCheckBox::toggled, this, [this, before] {
            if (before)
                chkBeforeSourceClick();
            else
                chkAfterSourceClick();
        });
        connect(button, &QToolButton::clicked, this, [this, edit] {
            GuardedCall([this, edit] { PickFolder(edit, QStringLiteral("出力先を選択して下さい。")); });
        });
    };
    sourceGroup(true);
    sourceGroup(false);
    chkBackupData = Check(tabDefine, "chkBackupData", "テーブル再作成時に、データ退避テーブルを作成する");
    chkDefaultAutoQuote = Check(tabDefine, "chkDefaultAutoQuote",
                                "省略時値に文字列を指定した際、シングルクォーテーョンを自動付加する(TABLE)");
    box->addWidget(chkBackupData);
    box->addWidget(chkDefaultAutoQuote);
    box->addStretch(1);
}

void TfrmOption::BuildSQLPage()
{
    tabSQL = Named(new QWidget, "tabSQL");
    pagOption->addTab(tabSQL, QStringLiteral("SQL実行"));
    auto *box = new QVBoxLayout(tabSQL);
    auto *grpBuilder = Named(new QGroupBox(QStringLiteral("SQLビルダ"), tabSQL), "grpBuilder");
    auto *builder = new QHBoxLayout(grpBuilder);
    const auto fontGroup = [this, grpBuilder, builder](const QString &title, const char *listName, const char *sizeName,
                                                       const char *sampleName, QListWidget *&list, TkdNumEdit *&size,
                                                       QPlainTextEdit *&sample) {
        auto *grp = new QGroupBox(title, grpBuilder);
        auto *g = new QVBoxLayout(grp);
        list = FontList(grp, listName);
        g->addWidget(list, 1);
        auto *sizeRow = new QHBoxLayout;
        sizeRow->addWidget(new QLabel(QStringLiteral("サイズ(pt)"), grp));
        size = Number(grp, sizeName, 3);
        sizeRow->addWidget(size);
        sizeRow->addStretch(1);
        g->addLayout(sizeRow);
        g->addWidget(new QLabel(QStringLiteral("サンプル"), grp));
        sample = Sample(grp, sampleName);
        g->addWidget(sample);
        builder->addWidget(grp);
        QPlainTextEdit *memo = sample;
        connect(list, &QListWidget::itemClicked, this, [memo](QListWidgetItem *item) {
            QFont font = memo->font();
            font.setFamily(item->text());
            memo->setFont(font);
        });
        size->installEventFilter(this);
    };
    fontGroup(QStringLiteral(" ダイアグラム部 "), "lstDiagramFontName", "txtDiagramFontSize", "txtDiagramFontSample",
              lstDiagramFontName, txtDiagramFontSize, txtDiagramFontSample);
    fontGroup(QStringLiteral(" グリッド部 "), "lstGridFontName", "txtGridFontSize", "txtGridFontSample",
              lstGridFontName, txtGridFontSize, txtGridFontSample);
    box->addWidget(grpBuilder, 1);

    auto *grpExec = Named(new QGroupBox(QStringLiteral("SQL実行"), tabSQL), "grpExec");
    auto *exec = new QVBoxLayout(grpExec);
    chkUsePartial = Check(grpExec, "chkUsePartial", "文字選択された範囲のSQLのみを実行する");
    exec->addWidget(chkUsePartial);
    auto *bufRow = new QHBoxLayout;
    bufRow->addWidget(new QLabel(QStringLiteral("SQL履歴数"), grpExec));
    txtSQLBuf = Number(grpExec, "txtSQLBuf", 3);
    bufRow->addWidget(txtSQLBuf);
    bufRow->addStretch(1);
    exec->addLayout(bufRow);
    box->addWidget(grpExec);
}

void TfrmOption::BuildQueryPage()
{
    tabQuery = Named(new QWidget, "tabQuery");
    pagOption->addTab(tabQuery, QStringLiteral("データ"));
    auto *box = new QVBoxLayout(tabQuery);
    auto *topRow = Row(box);
    topRow->addWidget(new QLabel(QStringLiteral("件数を指定して開く場合の既定レコード件数"), tabQuery));
    txtDefTopRecord = Number(tabQuery, "txtDefTopRecord", 9);
    topRow->addWidget(txtDefTopRecord);
    topRow->addStretch(1);

    auto *grpData = Named(new QGroupBox(QStringLiteral(" 結果表示 "), tabQuery), "grpData");
    auto *data = new QGridLayout(grpData);
    lstDataFontName = FontList(grpData, "lstDataFontName");
    data->addWidget(lstDataFontName, 0, 0, 4, 1);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(QStringLiteral("サイズ(pt)"), grpData));
    txtDataFontSize = Number(grpData, "txtDataFontSize", 3);
    sizeRow->addWidget(txtDataFontSize);
    sizeRow->addStretch(1);
    data->addLayout(sizeRow, 0, 1);
    data->addWidget(new QLabel(QStringLiteral("サンプル"), grpData), 1, 1);
    txtDataFontSample = Sample(grpData, "txtDataFontSample");
    data->addWidget(txtDataFontSample, 2, 1);
    connect(lstDataFontName, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        QFont font = txtDataFontSample->font();
        font.setFamily(item->text());
        txtDataFontSample->setFont(font);
    });
    auto *settings = new QVBoxLayout;
    rdoDataShowMode = Radio(grpData, settings, "rdoDataShowMode", QStringLiteral("横方向出力時の表示方法"),
                            {QStringLiteral("標準"), QStringLiteral("左寄せ"), QStringLiteral("右寄せ")}, 3);
    auto *widthH = new QHBoxLayout;
    widthH->addWidget(new QLabel(QStringLiteral("横方向出力時の列幅(字数)"), grpData));
    txtDataColWidthH = Number(grpData, "txtDataColWidthH", 3);
    widthH->addWidget(txtDataColWidthH);
    widthH->addStretch(1);
    settings->addLayout(widthH);
    auto *widthV = new QHBoxLayout;
    widthV->addWidget(new QLabel(QStringLiteral("縦方向出力時の最大列幅(字数)"), grpData));
    txtDataColWidthV = Number(grpData, "txtDataColWidthV", 3);
    widthV->addWidget(txtDataColWidthV);
    widthV->addStretch(1);
    settings->addLayout(widthV);
    data->addLayout(settings, 3, 1);
    data->setColumnStretch(0, 2);
    data->setColumnStretch(1, 3);
    box->addWidget(grpData, 1);

    auto *grpTable = Named(new QGroupBox(QStringLiteral(" テーブル・ビューのデータ表示 "), tabQuery), "grpTable");
    auto *table = new QVBoxLayout(grpTable);
    chkShowWhereGrid = Check(grpTable, "chkShowWhereGrid", "抽出条件・ソート順設定画面を予め開いておく");
    chkWhereAutoQuote = Check(grpTable, "chkWhereAutoQuote",
                              "抽出条件に文字列を指定した際、シングルクォーテーョンを自動付加する");
    table->addWidget(chkShowWhereGrid);
    table->addWidget(chkWhereAutoQuote);
    box->addWidget(grpTable);
    chkUpdateMode = Check(tabQuery, "chkUpdateMode", "初期状態をデータ編集可能にする");
    box->addWidget(chkUpdateMode);

    auto *grpFormat = Named(new QGroupBox(QStringLiteral("日付型の表示書式"), tabQuery), "grpFormat");
    auto *format = new QHBoxLayout(grpFormat);
    format->addWidget(new QLabel(QStringLiteral("日付"), grpFormat));
    cmbDateFormat = Named(new TkdComboBox(grpFormat), "cmbDateFormat");
    cmbDateFormat->setEditable(true);
    cmbDateFormat->addItems({QStringLiteral("yy/MM/dd"), QStringLiteral("yyyy/MM/dd"), QStringLiteral("MM/dd/yy"),
                             QStringLiteral("MM/dd/yyyy"), QStringLiteral("dd/MM/yy"), QStringLiteral("dd/MM/yyyy")});
    format->addWidget(cmbDateFormat, 1);
    format->addSpacing(12);
    format->addWidget(new QLabel(QStringLiteral("時刻"), grpFormat));
    cmbTimeFormat = Named(new TkdComboBox(grpFormat), "cmbTimeFormat");
    cmbTimeFormat->setEditable(true);
    cmbTimeFormat->addItems({QStringLiteral("HH:mm:ss")});
    format->addWidget(cmbTimeFormat, 1);
    box->addWidget(grpFormat);
    chkAddStripe = Check(tabQuery, "chkAddStripe", "グリッドを一行ごとに色分けする");
    box->addWidget(chkAddStripe);

    // Leaving the data size box, and the number boxes bound to the same handler, refills an
    // empty data size box or gives its sample the typed size.
    txtDataFontSize->installEventFilter(this);
    FDataSizeExits << txtDataFontSize;
}

void TfrmOption::BuildFormatPage()
{
    TabFormat = Named(new QWidget, "TabFormat");
    pagOption->addTab(TabFormat, QStringLiteral("整形出力"));
    auto *box = new QHBoxLayout(TabFormat);
    auto *left = new QVBoxLayout;
    auto *indentRow = new QHBoxLayout;
    indentRow->addWidget(new QLabel(QStringLiteral("インデント"), TabFormat));
    txtIndent = Number(TabFormat, "txtIndent", 2);
    indentRow->addWidget(txtIndent);
    indentRow->addStretch(1);
    left->addLayout(indentRow);
    const QStringList upperLower{QStringLiteral("大文字"), QStringLiteral("小文字"), QStringLiteral("変更しない")};
    const QStringList headTail{QStringLiteral("行頭"), QStringLiteral("行末")};
    rdoItemReturn = Radio(TabFormat, left, "rdoItemReturn", QStringLiteral("項目の改行"),
                          {QStringLiteral("1行ずつ"), QStringLiteral("なし")}, 2);
    rdoReserveTran = Radio(TabFormat, left, "rdoReserveTran", QStringLiteral("予約語の変換"), upperLower, 3);
    rdoItemTran = Radio(TabFormat, left, "rdoItemTran", QStringLiteral("項目の変換"), upperLower, 3);
    rdoCommaPos = Radio(TabFormat, left, "rdoCommaPos", QStringLiteral("カンマの位置"), headTail, 2, &grpCommaPos);
    rdoAndPos = Radio(TabFormat, left, "rdoAndPos", QStringLiteral("AND(OR)の位置"), headTail, 2, &grpAndPos);
    rdoReservePos = Radio(TabFormat, left, "rdoReservePos", QStringLiteral("予約語の位置"),
                          {QStringLiteral("右揃え"), QStringLiteral("左揃え")}, 2);
    left->addStretch(1);
    box->addLayout(left);
    txtFormat = Named(new TkdMemo(TabFormat), "txtFormat");
    box->addWidget(txtFormat, 1);
    for (QButtonGroup *g : {rdoItemReturn, rdoReserveTran, rdoItemTran, rdoCommaPos, rdoAndPos, rdoReservePos})
        connect(g, &QButtonGroup::idClicked, this, [this] { GuardedCall([this] { FormatChange(); }); });
    connect(txtIndent, &QLineEdit::textChanged, this, [this] { GuardedCall([this] { txtIndentChange(); }); });
}

void TfrmOption::BuildKeyPage()
{
    tabKey = Named(new QWidget, "tabKey");
    pagOption->addTab(tabKey, QStringLiteral("キー操作"));
    auto *box = new QVBoxLayout(tabKey);
    auto *label = new QLabel(
        QStringLiteral("項目を選択し、割り当てたいショートカットキーを入力して下さい。(削除したい場合はSPACEキー)"), tabKey);
    label->setWordWrap(true);
    box->addWidget(label);
    auto *panel = Named(new QFrame(tabKey), "pnlShortCut");
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    auto *p = new QVBoxLayout(panel);
    p->setContentsMargins(1, 1, 1, 1);
    lstShortCut = Named(new TkdTreeView(panel), "lstShortCut");
    lstShortCut->setColumnCount(2);
    lstShortCut->setHeaderLabels({QStringLiteral("機能"), QStringLiteral("ショートカット")});
    lstShortCut->header()->setObjectName(QStringLiteral("hedShortCut"));
    lstShortCut->header()->setStretchLastSection(false);
    lstShortCut->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstShortCut->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    lstShortCut->header()->resizeSection(1, 150);
    lstShortCut->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstShortCut->setSelectionMode(QAbstractItemView::SingleSelection);
    lstShortCut->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstShortCut->setAllColumnsShowFocus(true);
    // The selected entry shows white on the menu highlight, also without the focus.
    QPalette pal = lstShortCut->palette();
    const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(g, QPalette::Highlight, highlight);
        pal.setColor(g, QPalette::HighlightedText, Qt::white);
    }
    lstShortCut->setPalette(pal);
    // F1 can be assigned here: the help key is not taken while the list has the focus.
    lstShortCut->setProperty("TakesHelpKey", true);
    lstShortCut->installEventFilter(this);
    p->addWidget(lstShortCut);
    box->addWidget(panel, 1);
}

void TfrmOption::BuildOutputPage()
{
    tabOutput = Named(new QWidget, "tabOutput");
    pagOption->addTab(tabOutput, QStringLiteral("外部出力"));
    auto *box = new QVBoxLayout(tabOutput);
    const auto folderRow = [this](QWidget *parent, QBoxLayout *into, const QString &caption, const char *editName,
                                  const char *buttonName, TkdStrEdit *&edit, QToolButton *&button, bool folder) {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(caption, parent));
        edit = Named(new TkdStrEdit(parent), editName);
        button = FolderButton(parent, buttonName);
        row->addWidget(edit, 1);
        row->addWidget(button);
        into->addLayout(row);
        TkdStrEdit *target = edit;
        connect(button, &QToolButton::clicked, this, [this, target, folder] {
            GuardedCall([this, target, folder] {
                if (folder)
                    PickFolder(target, QStringLiteral("出力先を選択して下さい。"));
                else
                    PickFormFile(target);
            });
        });
    };

    auto *grpExcel = Named(new QGroupBox(QStringLiteral(" EXCEL出力 "), tabOutput), "grpExcel");
    auto *excel = new QVBoxLayout(grpExcel);
    folderRow(grpExcel, excel, QStringLiteral("デフォルトの出力先"), "txtExcelDir", "btnExcelDir", txtExcelDir,
              btnExcelDir, true);
    auto *excelRow = new QHBoxLayout;
    rdoExcel = Radio(grpExcel, excelRow, "rdoExcel", QStringLiteral(" 出力方向 "),
                     {QStringLiteral("縦方向"), QStringLiteral("横方向")}, 2);
    rdoExcelTitle = Radio(grpExcel, excelRow, "rdoExcelTitle", QStringLiteral(" 列タイトル出力 "),
                          {QStringLiteral("項目名を使用"), QStringLiteral("コメントを使用"), QStringLiteral("出力しない")}, 3);
    excel->addLayout(excelRow);
    auto *checks = new QHBoxLayout;
    chkExcelDialog = Check(grpExcel, "chkExcelDialog", "標準ダイアログを使用する");
    chkExcelRefresh = Check(grpExcel, "chkExcelRefresh", "最新のデータを読み直してから出力する");
    checks->addWidget(chkExcelDialog);
    checks->addWidget(chkExcelRefresh);
    checks->addStretch(1);
    excel->addLayout(checks);
    auto *grpForm = Named(new QGroupBox(QStringLiteral(" フォームファイル名 "), grpExcel), "grpForm");
    auto *form = new QVBoxLayout(grpForm);
    folderRow(grpForm, form, QStringLiteral("ＳＱＬ結果"), "txtFormSQL", "btnFormSQL", txtFormSQL, btnFormSQL, false);
    auto *posRow = new QHBoxLayout;
    posRow->addSpacing(20);
    posRow->addWidget(new QLabel(QStringLiteral("開始行"), grpForm));
    txtSQLTop = Number(grpForm, "txtSQLTop", 5);
    posRow->addWidget(txtSQLTop);
    posRow->addSpacing(12);
    posRow->addWidget(new QLabel(QStringLiteral("桁"), grpForm));
    cmbSQLLeft = Named(new TkdComboBox(grpForm), "cmbSQLLeft");
    cmbSQLLeft->addItems(XlsColumnNames());
    posRow->addWidget(cmbSQLLeft);
    posRow->addStretch(1);
    form->addLayout(posRow);
    folderRow(grpForm, form, QStringLiteral("マトリックス表"), "txtFormMatrix", "btnFormMatrix", txtFormMatrix,
              btnFormMatrix, false);
    auto *matrixRow = new QHBoxLayout;
    matrixRow->addSpacing(20);
    matrixRow->addWidget(new QLabel(QStringLiteral("頁行数"), grpForm));
    txtMatrixRow = Number(grpForm, "txtMatrixRow", 5);
    matrixRow->addWidget(txtMatrixRow);
    matrixRow->addSpacing(12);
    matrixRow->addWidget(new QLabel(QStringLiteral("桁数"), grpForm));
    txtMatrixCol = Number(grpForm, "txtMatrixCol", 3);
    matrixRow->addWidget(txtMatrixCol);
    matrixRow->addStretch(1);
    form->addLayout(matrixRow);
    excel->addWidget(grpForm);
    box->addWidget(grpExcel);

    auto *grpPaste = Named(new QGroupBox(QStringLiteral(" クリップボード出力 "), tabOutput), "grpPaste");
    auto *paste = new QHBoxLayout(grpPaste);
    rdoPasteColumn = Radio(grpPaste, paste, "rdoPasteColumn", QStringLiteral("項目区切り文字"),
                           {QStringLiteral("タブ"), QStringLiteral("カンマ")}, 2);
    rdoPasteTitle = Radio(grpPaste, paste, "rdoPasteTitle", QStringLiteral(" 列タイトル出力 "),
                          {QStringLiteral("項目名を使用"), QStringLiteral("コメントを使用"), QStringLiteral("出力しない")}, 3);
    chkPasteDialog = Check(grpPaste, "chkPasteDialog", "出力時に確認ダイアログを表示する");
    paste->addWidget(chkPasteDialog);
    box->addWidget(grpPaste);

    auto *grpFile = Named(new QGroupBox(QStringLiteral(" ファイル入出力 "), tabOutput), "grpFile");
    auto *file = new QVBoxLayout(grpFile);
    folderRow(grpFile, file, QStringLiteral("デフォルトの出力先"), "txtFileDir", "btnFileDir", txtFileDir, btnFileDir,
              true);
    auto *encRow = new QHBoxLayout;
    encRow->addWidget(new QLabel(QStringLiteral("テキストファイルの形式"), grpFile));
    cmbEncoding = Named(new TkdComboBox(grpFile), "cmbEncoding");
    cmbEncoding->addItems({QStringLiteral("SHIFT-JIS"), QStringLiteral("UTF-7"), QStringLiteral("UTF-8"),
                           QStringLiteral("UTF-16 (LE)"), QStringLiteral("UTF-16 (BE)")});
    encRow->addWidget(cmbEncoding);
    encRow->addStretch(1);
    file->addLayout(encRow);
    box->addWidget(grpFile);
    box->addStretch(1);
}

void TfrmOption::BuildOtherPage()
{
    tabOther = Named(new QWidget, "tabOther");
    pagOption->addTab(tabOther, QStringLiteral("詳細設定"));
    auto *box = new QVBoxLayout(tabOther);
    auto *grp = Named(new QGroupBox(QStringLiteral(" その他設定 "), tabOther), "grpOther");
    auto *g = new QVBoxLayout(grp);
    auto *crossRow = new QHBoxLayout;
    crossRow->addWidget(new QLabel(QStringLiteral("クロスリファレンス 最大階層"), grp));
    txtCrossLevel = Number(grp, "txtCrossLevel", 3);
    crossRow->addWidget(txtCrossLevel);
    crossRow->addStretch(1);
    g->addLayout(crossRow);
    auto *tempRow = new QHBoxLayout;
    tempRow->addWidget(new QLabel(QStringLiteral("作業ファイル作成先"), grp));
    txtTempDir = Named(new TkdStrEdit(grp), "txtTempDir");
    btnTempDir = FolderButton(grp, "btnTempDir");
    tempRow->addWidget(txtTempDir, 1);
    tempRow->addWidget(btnTempDir);
    g->addLayout(tempRow);
    connect(btnTempDir, &QToolButton::clicked, this, [this] {
        GuardedCall([this] { PickFolder(txtTempDir, QStringLiteral("作業ファイル作成先を選択して下さい。")); });
    });
    auto *genRow = new QHBoxLayout;
    genRow->addWidget(new QLabel(QStringLiteral("データ生成ツール コミット件数"), grp));
    txtDataGenCommit = Number(grp, "txtDataGenCommit", 7);
    genRow->addWidget(txtDataGenCommit);
    genRow->addWidget(new QLabel(QStringLiteral("件ごと"), grp));
    genRow->addStretch(1);
    g->addLayout(genRow);
    chkUseUpperName = Check(grp, "chkUseUpperName", "英大文字のオブジェクト名を使用可能にする");
    chkCodeAssist = Check(grp, "chkCodeAssist", "各種エディット時にコード補完を行う");
    chkUpdateToCommit = Check(grp, "chkUpdateToCommit", "編集時に自動的に COMMIT する");
    g->addWidget(chkUseUpperName);
    g->addWidget(chkCodeAssist);
    g->addWidget(chkUpdateToCommit);
    box->addWidget(grp);
    box->addStretch(1);

    // These boxes share the data size box's exit handler.
    for (QWidget *w : std::initializer_list<QWidget *>{txtSQLBuf, txtDataColWidthH, txtDataColWidthV,
                                                       txtCrossLevel, txtDataGenCommit}) {
        w->installEventFilter(this);
        FDataSizeExits << w;
    }
}
