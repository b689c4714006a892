// Table chooser dialog.
#include "browser/ftablelist.h"

#include "browser/fobject.h"
#include "core/kdforms.h"
#include "core/kdmessage.h"
#include "core/kdreg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString LayoutKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\TABLELIST");
}
} // namespace

QString TfrmTableList::TableSQL(bool Tables, bool Views)
{
    QStringList kinds;
    // Partitioned tables ('p') count as tables, as in the object list.
    if (Tables)
        kinds << QStringLiteral("'r'") << QStringLiteral("'t'") << QStringLiteral("'f'") << QStringLiteral("'p'");
    if (Views)
        kinds << QStringLiteral("'v'");
    return QStringLiteral(" SELECT  Cls.relname,         CASE           WHEN Cls.relkind = 'r' THEN 'TABLE'"
                          "           WHEN Cls.relkind = 't' THEN 'TABLE'           WHEN Cls.relkind = 'f' THEN 'TABLE'"
                          "           WHEN Cls.relkind = 'p' THEN 'TABLE'           WHEN Cls.relkind = 'v' THEN 'VIEW'"
                          "         END               AS ObjType FROM    pg_class          AS Cls"
                          " LEFT JOIN pg_namespace    AS Nms   ON  Cls.relnamespace    =   Nms.oid"
                          " WHERE   Cls.relkind       IN  (")
           + kinds.join(QStringLiteral(", "))
           + QStringLiteral(") AND     Nms.nspname       =   :OWNER ORDER BY      Cls.relname");
}

TfrmTableList::TfrmTableList(TfrmObject *AOwner, QWidget *AParent) : QDialog(AParent), FOwner(AOwner)
{
    setObjectName(QStringLiteral("frmTableList"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint | Qt::WindowMinMaxButtonsHint);
    resize(278, 340);
    TkdMainForm *host = TkdMainForm::Instance();
    auto image = [host](int i) { return host ? host->Image(i) : QIcon(); };
    auto *box = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    auto tool = [&](const QString &text, const QString &hint, int img, bool check) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(hint);
        b->setIcon(image(img));
        b->setCheckable(check);
        if (!text.isEmpty())
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        bar->addWidget(b);
        return b;
    };
    btnOk = tool(QStringLiteral("選択(&O)"), QStringLiteral("選択"), 28, false);
    btnExit = tool(QStringLiteral("終了(&X)"), QString(), 42, false);
    btnTable = tool(QString(), QStringLiteral("テーブル表示"), 45, true);
    btnView = tool(QString(), QStringLiteral("ビュー表示"), 47, true);
    btnTable->setChecked(true);
    btnView->setChecked(true);
    bar->addStretch(1);
    box->addLayout(bar);
    auto *row1 = new QHBoxLayout;
    row1->addWidget(new QLabel(QStringLiteral("スキーマ"), this));
    cmbSchema = new QComboBox(this);
    cmbSchema->setObjectName(QStringLiteral("cmbSchema"));
    row1->addWidget(cmbSchema, 1);
    box->addLayout(row1);
    auto *row2 = new QHBoxLayout;
    row2->addWidget(new QLabel(QStringLiteral("検　索"), this));
    txtFindTable = new QLineEdit(this);
    txtFindTable->setObjectName(QStringLiteral("txtFindTable"));
    row2->addWidget(txtFindTable, 1);
    box->addLayout(row2);
    lstTable = new QListWidget(this);
    lstTable->setObjectName(QStringLiteral("lstTable"));
    lstTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    box->addWidget(lstTable, 1);

    connect(btnOk, &QToolButton::clicked, this, [this] { done(1); });
    connect(btnExit, &QToolButton::clicked, this, [this] { done(2); });
    connect(lstTable, &QListWidget::itemDoubleClicked, this, [this] { done(1); });
    connect(btnTable, &QToolButton::clicked, this, [this] { chkButtonClick(btnTable); });
    connect(btnView, &QToolButton::clicked, this, [this] { chkButtonClick(btnView); });
    connect(cmbSchema, &QComboBox::activated, this, [this] { chkButtonClick(nullptr); });
    txtFindTable->installEventFilter(this);
}

void TfrmTableList::chkButtonClick(QToolButton *clicked)
{
    if (clicked && !btnTable->isChecked() && !btnView->isChecked())
        clicked->setChecked(true);
    GuardedCall([this] { FillList(); });
}

bool TfrmTableList::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == txtFindTable && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            GuardedCall([this] { FillList(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

bool TfrmTableList::event(QEvent *e)
{
    if (int(e->type()) == WM_RELOAD) {
        GuardedCall([this] { FillList(); });
        return true;
    }
    return QDialog::event(e);
}

void TfrmTableList::FillList()
{
    TkdWaitCursor wait;
    lstTable->clear();
    const QString filter = txtFindTable->text();
    db::Query *q = FOwner->OpenSQL(TableSQL(btnTable->isChecked(), btnView->isChecked()), {cmbSchema->currentText()});
    q->fetchAll();
    TkdMainForm *host = TkdMainForm::Instance();
    for (int r = 0; r < q->fetchedCount(); ++r) {
        const QString name = q->valueString(r, 0);
        if (!filter.trimmed().isEmpty() && !name.toLower().contains(filter.toLower()))
            continue;
        const int type = ObjectTypeOfName(q->valueString(r, 1));
        auto *item = new QListWidgetItem(name, lstTable);
        item->setData(Qt::UserRole, type);
        if (host)
            item->setIcon(host->Image(type));
    }
    q->close();
}

QList<TTableChoice> TfrmTableList::Chosen() const
{
    QList<TTableChoice> list;
    for (int i = 0; i < lstTable->count(); ++i)
        if (lstTable->item(i)->isSelected())
            list << TTableChoice{cmbSchema->currentText(), lstTable->item(i)->text()};
    return list;
}

void TfrmTableList::ShowWindow(TfrmObject *AOwner, QList<TTableChoice> &TableList)
{
    TfrmTableList form(AOwner, QApplication::activeWindow());
    form.setWindowTitle(QStringLiteral("表の選択 - ") + FormatRecParam(AOwner->RecParam(), 0));
    if (TkdMainForm *host = TkdMainForm::Instance())
        form.setWindowIcon(host->Image(12));
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (reg.OpenKey(LayoutKey(), true)) {
        if (reg.GetInteger(QStringLiteral("WindowState"), 0) == 2) {
            form.setWindowState(Qt::WindowMaximized);
        } else {
            const QPoint at = QCursor::pos();
            form.move(at.x() - 24, at.y() - 24);
            form.resize(reg.GetInteger(QStringLiteral("Width"), form.width()),
                        reg.GetInteger(QStringLiteral("Height"), form.height()));
            form.btnTable->setChecked(reg.GetInteger(QStringLiteral("ShowTable"), 1) != 0);
            form.btnView->setChecked(reg.GetInteger(QStringLiteral("ShowView"), 1) != 0);
        }
        reg.CloseKey();
    }
    QStringList schemas;
    AOwner->GetSchemaInfo(schemas, false);
    schemas.sort();
    form.cmbSchema->addItems(schemas);
    form.cmbSchema->setCurrentIndex(int(schemas.indexOf(AOwner->ConnectionParam(QStringLiteral("MetaDefSchema")))));
    struct Save {
        TfrmTableList &f;
        TkdRegistry &reg;
        ~Save()
        {
            if (reg.OpenKey(LayoutKey(), true)) {
                const int state = f.isMaximized() ? 2 : 0;
                reg.WriteInteger(QStringLiteral("WindowState"), state);
                if (state == 0) {
                    reg.WriteInteger(QStringLiteral("Width"), f.width());
                    reg.WriteInteger(QStringLiteral("Height"), f.height());
                    reg.WriteInteger(QStringLiteral("ShowTable"), f.btnTable->isChecked() ? 1 : 0);
                    reg.WriteInteger(QStringLiteral("ShowView"), f.btnView->isChecked() ? 1 : 0);
                }
                reg.CloseKey();
            }
        }
    } save{form, reg};
    form.FillList();
    if (form.exec() == 1)
        TableList << form.Chosen();
}
