#include "editors/column_chooser.h"

#include "controls/kdstdctl.h"
#include "core/kdforms.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kTagRole = Qt::UserRole + 1;

QToolButton *ToolButton(QWidget *parent, const char *name, const QString &text, int image)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(text);
    if (TkdMainForm *host = TkdMainForm::Instance())
        b->setIcon(host->Image(image));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setMinimumWidth(90);
    return b;
}

} // namespace

TColumnChooser::TColumnChooser(QWidget *Parent, bool AllButtons)
    : QWidget(Parent)
{
    setObjectName(QStringLiteral("pnlIndex"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    lblIdxCol = new QLabel(QStringLiteral("インデックスの列"), this);
    lblIdxCol->setObjectName(QStringLiteral("lblIdxCol"));
    lblTabCol = new QLabel(QStringLiteral("テーブルの列"), this);
    lblTabCol->setObjectName(QStringLiteral("lblTabCol"));
    lstIdxCol = new TkdListBox(this);
    lstIdxCol->setObjectName(QStringLiteral("lstIdxCol"));
    lstIdxCol->SetMultiSelect(true);
    lstTabCol = new TkdListBox(this);
    lstTabCol->setObjectName(QStringLiteral("lstTabCol"));
    lstTabCol->SetMultiSelect(true);

    auto *buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("tolInsDel"));
    auto *col = new QVBoxLayout(buttons);
    col->addStretch(1);
    btnInsAll = ToolButton(buttons, "btnInsAll", QStringLiteral("全て追加"), 31);
    btnIns = ToolButton(buttons, "btnIns", QStringLiteral("追加"), 32);
    btnDel = ToolButton(buttons, "btnDel", QStringLiteral("削除"), 33);
    btnDelAll = ToolButton(buttons, "btnDelAll", QStringLiteral("全て削除"), 34);
    for (QToolButton *b : {btnInsAll, btnIns, btnDel, btnDelAll})
        col->addWidget(b);
    btnInsAll->setVisible(AllButtons);
    btnDelAll->setVisible(AllButtons);
    col->addStretch(1);

    grid->addWidget(lblIdxCol, 0, 0);
    grid->addWidget(lblTabCol, 0, 2);
    grid->addWidget(lstIdxCol, 1, 0);
    grid->addWidget(buttons, 1, 1);
    grid->addWidget(lstTabCol, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    connect(btnInsAll, &QToolButton::clicked, this, &TColumnChooser::btnInsAllClick);
    connect(btnIns, &QToolButton::clicked, this, &TColumnChooser::btnInsClick);
    connect(btnDel, &QToolButton::clicked, this, &TColumnChooser::btnDelClick);
    connect(btnDelAll, &QToolButton::clicked, this, &TColumnChooser::btnDelAllClick);
    connect(lstTabCol, &QListWidget::itemDoubleClicked, this, [this] { btnInsClick(); });
    connect(lstIdxCol, &QListWidget::itemDoubleClicked, this, [this] { btnDelClick(); });
    lstTabCol->installEventFilter(this);
    lstIdxCol->installEventFilter(this);
}

bool TColumnChooser::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent *>(Event)->key();
        if (Watched == lstTabCol && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            btnInsClick();
            return true;
        }
        if (Watched == lstIdxCol && key == Qt::Key_Delete) {
            btnDelClick();
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TColumnChooser::SetTableColumns(const QStringList &Names)
{
    lstTabCol->clear();
    lstTabCol->addItems(Names);
}

QStringList TColumnChooser::TableColumns() const
{
    QStringList names;
    for (int i = 0; i < lstTabCol->count(); ++i)
        names << lstTabCol->item(i)->text();
    return names;
}

void TColumnChooser::SetItems(const QList<TItem> &Items)
{
    lstIdxCol->clear();
    for (const TItem &it : Items) {
        auto *item = new QListWidgetItem(it.Display.isEmpty() ? it.Name : it.Display, lstIdxCol);
        item->setData(Qt::UserRole, it.Name);
        item->setData(kTagRole, it.Tag);
    }
}

QList<TColumnChooser::TItem> TColumnChooser::Items() const
{
    QList<TItem> items;
    for (int i = 0; i < lstIdxCol->count(); ++i) {
        const QListWidgetItem *item = lstIdxCol->item(i);
        const QString name = item->data(Qt::UserRole).toString();
        items << TItem{name, item->text() == name ? QString() : item->text(), item->data(kTagRole).toInt()};
    }
    return items;
}

QStringList TColumnChooser::Names() const
{
    QStringList names;
    for (const TItem &it : Items())
        names << it.Name;
    return names;
}

QString TColumnChooser::ItemsText() const
{
    QStringList texts;
    for (int i = 0; i < lstIdxCol->count(); ++i)
        texts << lstIdxCol->item(i)->text();
    return texts.join(QLatin1Char('\n'));
}

void TColumnChooser::ClearAll()
{
    lstIdxCol->clear();
    lstTabCol->clear();
}

void TColumnChooser::Append(const QStringList &Names)
{
    const QStringList have = this->Names();
    bool added = false;
    for (const QString &n : Names) {
        if (have.contains(n)) // exact, case-sensitive
            continue;
        auto *item = new QListWidgetItem(n, lstIdxCol);
        item->setData(Qt::UserRole, n);
        item->setData(kTagRole, -1);
        added = true;
    }
    if (added)
        Q_EMIT changed();
}

void TColumnChooser::btnInsAllClick()
{
    Append(TableColumns());
}

void TColumnChooser::btnInsClick()
{
    QStringList names;
    for (int i = 0; i < lstTabCol->count(); ++i)
        if (lstTabCol->item(i)->isSelected())
            names << lstTabCol->item(i)->text();
    Append(names);
}

void TColumnChooser::btnDelClick()
{
    bool removed = false;
    for (int i = lstIdxCol->count() - 1; i >= 0; --i)
        if (lstIdxCol->item(i)->isSelected()) {
            delete lstIdxCol->takeItem(i);
            removed = true;
        }
    if (removed)
        Q_EMIT changed();
}

void TColumnChooser::btnDelAllClick()
{
    if (lstIdxCol->count() == 0)
        return;
    lstIdxCol->clear();
    Q_EMIT changed();
}
