// Column picker dialog.
#include "browser/ffldlist.h"

#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString LayoutKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\FIELDLIST");
}

// Moves the selected (or all) items of `from` to the end of `to`, top to bottom.
void Move(QListWidget *from, QListWidget *to, bool all)
{
    QList<int> rows;
    for (int i = 0; i < from->count(); ++i)
        if (all || from->item(i)->isSelected())
            rows << i;
    for (int r : rows)
        to->addItem(from->item(r)->text());
    for (int i = int(rows.size()) - 1; i >= 0; --i)
        delete from->takeItem(rows.at(i));
}

} // namespace

QString TfrmFieldList::FieldSQL()
{
    return QStringLiteral(
        "SELECT A.attname FROM pg_class C LEFT JOIN pg_namespace N ON C.relnamespace = N.oid LEFT JOIN "
        "pg_attribute A ON C.oid = A.attrelid WHERE A.attisdropped = 'false' AND C.relkind IN ('r', 'v', 't', 'f', 'p') "
        "AND N.nspname = :SCHEMA AND C.relname = :TBLNAME AND A.attnum > 0 ORDER BY A.attnum");
}

TfrmFieldList::TfrmFieldList(QWidget *AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("frmFieldList"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    resize(353, 380);
    auto *box = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("表示する項目"), this), 1);
    lblAll = new QLabel(QStringLiteral("選択可能な項目"), this);
    top->addWidget(lblAll, 1);
    box->addLayout(top);
    auto *mid = new QHBoxLayout;
    lstSelect = new QListWidget(this);
    lstSelect->setObjectName(QStringLiteral("lstSelect"));
    lstSelect->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstAll = new QListWidget(this);
    lstAll->setObjectName(QStringLiteral("lstAll"));
    lstAll->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *bar = new QVBoxLayout;
    auto button = [this, bar](const char *hint, int image) {
        auto *b = new QToolButton(this);
        b->setToolTip(QString::fromUtf8(hint));
        if (TkdMainForm *host = TkdMainForm::Instance())
            b->setIcon(host->Image(image));
        bar->addWidget(b);
        return b;
    };
    bar->addStretch(1);
    btnInsAll = button("全て追加", 31);
    btnIns = button("追加", 32);
    btnDel = button("削除", 33);
    btnDelAll = button("全て削除", 34);
    btnInsAll->setText(QStringLiteral("<<"));
    btnIns->setText(QStringLiteral("<"));
    btnDel->setText(QStringLiteral(">"));
    btnDelAll->setText(QStringLiteral(">>"));
    bar->addStretch(1);
    mid->addWidget(lstSelect, 1);
    mid->addLayout(bar);
    mid->addWidget(lstAll, 1);
    box->addLayout(mid, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    btnSelect = new QPushButton(QStringLiteral("選択(&S)"), this);
    btnExit = new QPushButton(QStringLiteral("閉じる(&X)"), this);
    btnSelect->setFlat(true);
    btnExit->setFlat(true);
    bottom->addWidget(btnSelect);
    bottom->addWidget(btnExit);
    box->addLayout(bottom);

    connect(btnIns, &QToolButton::clicked, this, &TfrmFieldList::btnInsClick);
    connect(btnDel, &QToolButton::clicked, this, &TfrmFieldList::btnDelClick);
    connect(btnInsAll, &QToolButton::clicked, this, &TfrmFieldList::btnInsAllClick);
    connect(btnDelAll, &QToolButton::clicked, this, &TfrmFieldList::btnDelAllClick);
    connect(lstAll, &QListWidget::itemDoubleClicked, this, &TfrmFieldList::btnInsClick);
    connect(lstSelect, &QListWidget::itemDoubleClicked, this, &TfrmFieldList::btnDelClick);
    connect(btnSelect, &QPushButton::clicked, this, [this] { done(1); });
    connect(btnExit, &QPushButton::clicked, this, [this] { done(2); });
    lstAll->installEventFilter(this);
    lstSelect->installEventFilter(this);
}

bool TfrmFieldList::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (watched == lstAll && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            btnInsClick();
            return true;
        }
        if (watched == lstSelect && key == Qt::Key_Delete) {
            btnDelClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TfrmFieldList::btnInsClick() { Move(lstAll, lstSelect, false); }
void TfrmFieldList::btnDelClick() { Move(lstSelect, lstAll, false); }
void TfrmFieldList::btnInsAllClick() { Move(lstAll, lstSelect, true); }
void TfrmFieldList::btnDelAllClick() { Move(lstSelect, lstAll, true); }

void TfrmFieldList::Fill(const QStringList &Columns, const QStringList &FieldList)
{
    lstSelect->clear();
    lstAll->clear();
    for (const QString &c : Columns) {
        if (FieldList.contains(c) || FieldList.contains(QuoteIdentifier(c)))
            lstSelect->addItem(c);
        else
            lstAll->addItem(c);
    }
    // Every column chosen is shown as no choice.
    if (lstAll->count() == 0)
        btnDelAllClick();
}

void TfrmFieldList::ShowWindow(TkdConnForm *AOwner, const QString &Schema, const QString &TableName,
                               QStringList &FieldList)
{
    TfrmFieldList form(QApplication::activeWindow());
    TRecParam rec = AOwner->RecParam();
    rec.strSchema = Schema;
    rec.strObjNm = TableName;
    form.setWindowTitle(QStringLiteral("項目一覧 - ") + FormatRecParam(rec, 3));
    if (TkdMainForm *host = TkdMainForm::Instance())
        form.setWindowIcon(host->Image(12));
    TkdRegistry reg(HKEY_CURRENT_USER);
    struct Save {
        TfrmFieldList &f;
        TkdRegistry &reg;
        ~Save()
        {
            if (reg.OpenKey(LayoutKey(), true)) {
                const int state = f.isMaximized() ? 2 : 0;
                reg.WriteInteger(QStringLiteral("WindowState"), state);
                if (state == 0) {
                    reg.WriteInteger(QStringLiteral("Width"), f.width());
                    reg.WriteInteger(QStringLiteral("Height"), f.height());
                }
                reg.CloseKey();
            }
        }
    } save{form, reg};
    QStringList columns;
    {
        db::Query *q = AOwner->OpenSQL(FieldSQL(), {Schema, TableName});
        q->fetchAll();
        for (int r = 0; r < q->fetchedCount(); ++r)
            columns << q->valueString(r, 0);
        q->close();
    }
    form.Fill(columns, FieldList);
    if (reg.OpenKey(LayoutKey(), true)) {
        if (reg.GetInteger(QStringLiteral("WindowState"), 0) == 2)
            form.setWindowState(Qt::WindowMaximized);
        else
            form.resize(reg.GetInteger(QStringLiteral("Width"), form.width()),
                        reg.GetInteger(QStringLiteral("Height"), form.height()));
        reg.CloseKey();
    }
    if (form.exec() == 1 && form.lstSelect->count() > 0) {
        FieldList.clear();
        for (int i = 0; i < form.lstSelect->count(); ++i)
            FieldList << form.lstSelect->item(i)->text();
    }
}
