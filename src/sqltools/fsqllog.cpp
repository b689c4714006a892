#include "sqltools/fsqllog.h"
#include "controls/kdmemo.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "sqltools/sqlhistory.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const QString kKey = QStringLiteral("\\Software\\Tarnwell\\ZUMAQ\\GUI\\SQLLOG");
std::function<void(TfrmSQLLog *)> &Driver()
{
    static std::function<void(TfrmSQLLog *)> d;
    return d;
}
} // namespace

void TfrmSQLLog::SetTestDriver(std::function<void(TfrmSQLLog *)> driver)
{
    Driver() = std::move(driver);
}

TfrmSQLLog::TfrmSQLLog(QWidget *AOwner) : QDialog(AOwner)
{
    setObjectName(QStringLiteral("frmSQLLog"));
    setWindowTitle(QStringLiteral("SQL 一覧"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    if (AOwner)
        setWindowIcon(AOwner->windowIcon());
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    tolCmd = new QToolBar(this);
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto add = [this](QToolBar *bar, const QString &text, const QString &hint, int image, auto slot) {
        QAction *a = bar->addAction(text);
        a->setToolTip(hint);
        if (TkdMainForm *m = TkdMainForm::Instance())
            a->setIcon(m->Image(image));
        connect(a, &QAction::triggered, this, [this, slot] { GuardedCall([this, slot] { (this->*slot)(); }); });
        return a;
    };
    add(tolCmd, QStringLiteral("選択(&S)"), QStringLiteral("選択"), 15, &TfrmSQLLog::btnSelectClick);
    add(tolCmd, QStringLiteral("終了(&X)"), QStringLiteral("終了"), 42, &TfrmSQLLog::btnExitClick);
    tolCmd->addSeparator();
    add(tolCmd, QStringLiteral("上"), QStringLiteral("上に移動"), 35, &TfrmSQLLog::btnUpClick);
    add(tolCmd, QStringLiteral("下"), QStringLiteral("下に移動"), 36, &TfrmSQLLog::btnDownClick);
    add(tolCmd, QStringLiteral("削除"), QStringLiteral("削除"), 41, &TfrmSQLLog::btnDelClick);
    tolCmd->addSeparator();
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    tolCmd->addWidget(txtFind);
    add(tolCmd, QStringLiteral("検索"), QStringLiteral("検索"), 23, &TfrmSQLLog::btnFindClick);
    connect(txtFind, &QLineEdit::returnPressed, this, [this] { GuardedCall([this] { btnFindClick(); }); });
    root->addWidget(tolCmd);

    auto *spl = new QSplitter(Qt::Vertical, this);
    lstSQL = new QListWidget(spl);
    lstSQL->setObjectName(QStringLiteral("lstSQL"));
    lstSQL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    txtSQL = new TkdMemo(spl);
    txtSQL->setObjectName(QStringLiteral("txtSQL"));
    txtSQL->setReadOnly(true);
    root->addWidget(spl, 1);
    connect(lstSQL, &QListWidget::currentRowChanged, this, [this](int r) { ShowPreview(r); });
    connect(lstSQL, &QListWidget::itemDoubleClicked, this, [this] { btnSelectClick(); });
    lstSQL->installEventFilter(this);
    Fill();
    resize(640, 480);
}

void TfrmSQLLog::Fill()
{
    lstSQL->clear();
    TSQLHistory h = TSQLHistory::Global();
    for (int i = 0; i < h.Count(); ++i) {
        QString row;
        if (std::optional<QString> t = h.Read(i)) {
            QString text = *t;
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            QStringList lines = text.split(u'\n');
            if (!lines.isEmpty() && lines.last().isEmpty())
                lines.removeLast(); // the line end after the last line
            row = QLocale::system().toString(QFileInfo(h.FilePath(i)).lastModified(), QLocale::ShortFormat)
                  + QStringLiteral("    ") + lines.mid(0, 5).join(u' ');
        }
        auto *item = new QListWidgetItem(row, lstSQL);
        item->setData(Qt::UserRole, 0);
    }
}

int TfrmSQLLog::Mark(int row) const
{
    QListWidgetItem *item = lstSQL->item(row);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void TfrmSQLLog::ShowPreview(int row)
{
    txtSQL->clear();
    if (row >= 0)
        if (std::optional<QString> t = TSQLHistory::Global().Read(row))
            txtSQL->setText(*t);
    txtSQL->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    txtSQL->setCursorPosition(0, 0);
}

void TfrmSQLLog::btnSelectClick()
{
    FIsSelect = true;
    if (lstSQL->currentRow() >= 0)
        accept();
}

void TfrmSQLLog::btnExitClick()
{
    lstSQL->setCurrentRow(-1);
    reject();
}

void TfrmSQLLog::btnDelClick()
{
    QList<int> rows;
    for (QListWidgetItem *it : lstSQL->selectedItems())
        rows << lstSQL->row(it);
    std::sort(rows.begin(), rows.end());
    QStringList &index = SQLHistoryList();
    for (int i = int(rows.size()) - 1; i >= 0; --i) {
        delete lstSQL->takeItem(rows.at(i));
        if (rows.at(i) < index.size())
            index.removeAt(rows.at(i));
    }
}

static void Swap(QListWidget *list, int a, int b)
{
    QStringList &index = SQLHistoryList();
    if (a < index.size() && b < index.size())
        index.swapItemsAt(a, b);
    QListWidgetItem *lo = list->takeItem(qMax(a, b));
    list->insertItem(qMin(a, b), lo);
    list->clearSelection();
    list->setCurrentRow(b);
}

void TfrmSQLLog::btnUpClick()
{
    const QList<QListWidgetItem *> sel = lstSQL->selectedItems();
    if (sel.size() > 1) {
        ShowMessageBox(QStringLiteral("同時に複数行を移動する事は出来ません。１行だけ選択して下さい。"), MB_OK | MB_ICONWARNING);
        return;
    }
    if (sel.size() == 1) {
        const int r = lstSQL->row(sel.first());
        if (r > 0)
            Swap(lstSQL, r, r - 1);
    }
}

void TfrmSQLLog::btnDownClick()
{
    const QList<QListWidgetItem *> sel = lstSQL->selectedItems();
    if (sel.size() > 1) {
        ShowMessageBox(QStringLiteral("同時に複数行を移動する事は出来ません。１行だけ選択して下さい。"), MB_OK | MB_ICONWARNING);
        return;
    }
    if (sel.size() == 1) {
        const int r = lstSQL->row(sel.first());
        if (r < lstSQL->count() - 1)
            Swap(lstSQL, r, r + 1);
    }
}

void TfrmSQLLog::btnFindClick()
{
    const QString find = txtFind->text().trimmed();
    if (find.isEmpty())
        return;
    TkdWaitCursor wait;
    TSQLHistory h = TSQLHistory::Global();
    for (int i = 0; i < lstSQL->count(); ++i) {
        std::optional<QString> t = h.Read(i);
        if (!t)
            continue;
        const bool found = t->contains(find, Qt::CaseInsensitive);
        lstSQL->item(i)->setData(Qt::UserRole, found ? 1 : 0);
        lstSQL->item(i)->setForeground(found ? QBrush(Qt::blue) : QBrush());
    }
}

void TfrmSQLLog::done(int r)
{
    FResult = (r == QDialog::Accepted && FIsSelect) ? lstSQL->currentRow() : -1;
    FIsSelect = false;
    QDialog::done(r);
}

void TfrmSQLLog::closeEvent(QCloseEvent *e)
{
    QDialog::closeEvent(e);
}

int TfrmSQLLog::Result() const
{
    return FResult;
}

int TfrmSQLLog::ShowWindow(QWidget *AOwner)
{
    TfrmSQLLog dlg(AOwner);
    if (AOwner) {
        const QPoint origin = AOwner->mapToGlobal(QPoint(0, 0));
        dlg.move(origin.x() + QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), origin.y());
    }
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (reg.OpenKey(kKey, true)) {
        if (reg.ValueExists(QStringLiteral("Width")) && reg.ValueExists(QStringLiteral("Height")))
            dlg.resize(reg.ReadInteger(QStringLiteral("Width")), reg.ReadInteger(QStringLiteral("Height")));
        reg.CloseKey();
    }
    if (Driver())
        Driver()(&dlg);
    else
        dlg.exec();
    if (reg.OpenKey(kKey, true)) {
        reg.WriteInteger(QStringLiteral("Width"), dlg.width());
        reg.WriteInteger(QStringLiteral("Height"), dlg.height());
        reg.CloseKey();
    }
    return dlg.Result();
}
