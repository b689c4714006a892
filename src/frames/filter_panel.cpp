#include "frames/filter_panel.h"

#include "controls/kdgrid.h"
#include "controls/kdstdctl.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Identifiers in the filter SQL are always quoted: a column named like a keyword, with a
// quote or a dot must still be read as that column.
QString QX(const QString &s)
{
    return QuoteIdentifier(s, true);
}

bool Blank(const QString &s)
{
    return TrimBlanks(s).isEmpty();
}

} // namespace

bool IsFilterCharacterType(const QString &Type, const TFilterStyle &Style)
{
    static const QStringList plain = {"character", "char", "character varying", "varchar"};
    static const QStringList national = {"national character", "national character varying"};
    const QString t = TrimBlanks(Type).toLower();
    if (plain.contains(t))
        return true;
    if (!Style.NationalTypes)
        return false;
    for (const QString &p : plain)
        if (t == p + QStringLiteral("[]"))
            return true;
    for (const QString &n : national)
        if (t == n || t == n + QStringLiteral("[]"))
            return true;
    return false;
}

QList<TFilterRow> CarryOverFilterRows(const QList<TFilterRow> &Previous, const QList<TFilterColumn> &Columns,
                                      bool AutoQuote, const TFilterStyle &Style)
{
    QList<TFilterRow> rows;
    for (const TFilterColumn &c : Columns) {
        TFilterRow r;
        r.Column = c.Name;
        for (const TFilterRow &p : Previous)
            if (p.Column.compare(c.Name, Qt::CaseInsensitive) == 0) {
                r.Cells = p.Cells;
                break;
            }
        while (r.Cells.size() < fcCount)
            r.Cells << QString();
        for (QString &cell : r.Cells)
            if (Blank(cell))
                cell.clear();
        if (AutoQuote && IsFilterCharacterType(c.Type, Style)) {
            for (int i = fcEqual; i <= fcLike; ++i) {
                QString &v = r.Cells[i];
                if (v.isEmpty() || v.startsWith(QLatin1Char('\'')))
                    continue;
                if (i == fcLike && Style.PatternWrap && !v.contains(QLatin1Char('%')) && !v.contains(QLatin1Char('_')))
                    v = QuoteLiteral(QStringLiteral("%") + v + QStringLiteral("%"));
                else
                    v = QuoteLiteral(v);
            }
        }
        rows << r;
    }
    return rows;
}

QString BuildFilterSelect(const QString &Schema, const QString &Name, const QStringList &Columns,
                          QList<TFilterRow> &Rows, const QString &Where)
{
    QStringList shown;
    for (const QString &c : Columns)
        shown << QX(c);
    QString sql = QStringLiteral("SELECT ") + shown.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + QX(Schema)
                  + QLatin1Char('.') + QX(Name);
    bool conditions = false;
    for (const TFilterRow &r : Rows) {
        auto cell = [&](int i) { return Blank(r.Cells.value(i)) ? QString() : TrimBlanks(r.Cells.value(i)); };
        bool any = false;
        for (int i = fcEqual; i <= fcLike; ++i)
            any = any || !cell(i).isEmpty();
        if (!any)
            continue;
        if (!conditions)
            sql += QStringLiteral(" WHERE ");
        conditions = true;
        const QString C = QX(r.Column);
        if (!cell(fcEqual).isEmpty())
            sql += C + QStringLiteral(" = ") + cell(fcEqual) + QStringLiteral(" AND ");
        if (!cell(fcNotEqual).isEmpty())
            sql += C + QStringLiteral(" <> ") + cell(fcNotEqual) + QStringLiteral(" AND ");
        if (!cell(fcLike).isEmpty())
            sql += C + QStringLiteral(" LIKE ") + cell(fcLike) + QStringLiteral(" AND ");
        if (!cell(fcLower).isEmpty() && !cell(fcUpper).isEmpty())
            sql += C + QStringLiteral(" BETWEEN ") + cell(fcLower) + QStringLiteral(" AND ") + cell(fcUpper)
                   + QStringLiteral(" AND ");
        else if (!cell(fcLower).isEmpty())
            sql += C + QStringLiteral(" >= ") + cell(fcLower) + QStringLiteral(" AND ");
        else if (!cell(fcUpper).isEmpty())
            sql += C + QStringLiteral(" <= ") + cell(fcUpper) + QStringLiteral(" AND ");
    }
    // The last " AND " goes, one blank stays.
    while (sql.endsWith(QLatin1Char(' ')))
        sql.chop(1);
    if (sql.endsWith(QLatin1String("AND"), Qt::CaseInsensitive))
        sql.chop(3);
    if (!Blank(Where))
        sql += (conditions ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ")) + Where;

    // Sort: digits give the position (none: 0), DESC the direction; equal positions keep
    // the grid order.
    struct Key {
        qint64 Position;
        int Row;
        bool Desc;
    };
    QList<Key> keys;
    for (int i = 0; i < Rows.size(); ++i) {
        const QString text = TrimBlanks(Rows[i].Cells.value(fcSort));
        Rows[i].Cells[fcSort].clear();
        if (text.isEmpty())
            continue;
        const bool d = text.toUpper().contains(QLatin1String("DESC"));
        QString digits;
        for (QChar ch : text)
            if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'))
                digits += ch;
        if (digits.isEmpty() && !d)
            continue;
        keys << Key{digits.isEmpty() ? 0 : digits.right(15).toLongLong(), i, d};
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.Position < b.Position; });
    if (!keys.isEmpty()) {
        QStringList order;
        int rank = 0;
        for (const Key &k : keys) {
            const QString dir = k.Desc ? QStringLiteral(" DESC") : QString();
            order << QX(Rows[k.Row].Column) + dir;
            Rows[k.Row].Cells[fcSort] = QString::number(++rank) + dir;
        }
        sql += QStringLiteral(" ORDER BY ") + order.join(QLatin1Char(','));
    }
    return sql;
}

void PushFilterHistory(QStringList &Items, const QString &Text)
{
    for (int i = Items.size() - 1; i >= 0; --i)
        if (Items[i].compare(Text, Qt::CaseInsensitive) == 0)
            Items.removeAt(i);
    Items.prepend(Text);
    while (Items.size() > 20)
        Items.removeLast();
}

// ---------------------------------------------------------------------------------------------

TfraFilterPanel::TfraFilterPanel(const TFilterStyle &Style, QWidget *Parent) : QWidget(Parent), FStyle(Style)
{
    setObjectName(QStringLiteral("pnlWhere"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);

    // The condition bar: the tool buttons, the free condition and the row limit.
    pnlWhere3 = new QWidget(this);
    pnlWhere3->setObjectName(QStringLiteral("pnlWhere3"));
    auto *bar = new QHBoxLayout(pnlWhere3);
    bar->setContentsMargins(0, 0, 0, 0);
    tolField = new QToolBar(pnlWhere3);
    tolField->setObjectName(QStringLiteral("tolField"));
    tolField->setIconSize(QSize(16, 16));
    TkdMainForm *host = TkdMainForm::Instance();
    auto add = [&](const QString &name, const QString &hint, int image) {
        QAction *a = tolField->addAction(hint);
        a->setObjectName(name);
        a->setToolTip(hint);
        if (host)
            a->setIcon(host->Image(image));
        return a;
    };
    btnExec = add(QStringLiteral("btnExec"), QStringLiteral("データを表示"), 28);
    if (FStyle.ExecAsCaption) {
        btnExec->setToolTip(QString());
        tolField->widgetForAction(btnExec)->setProperty("toolButtonStyle", int(Qt::ToolButtonTextBesideIcon));
    }
    btnField = add(QStringLiteral("btnField"), QStringLiteral("表示項目の指定"), 12);
    btnWhere = add(QStringLiteral("btnWhere"), QStringLiteral("抽出条件・ソート順設定"), 96);
    btnWhere->setCheckable(true);
    btnGrdWhereClear = add(QStringLiteral("btnGrdWhereClear"), QStringLiteral("抽出条件・ソート順設定クリア"), 117);
    btnExecSQL = add(QStringLiteral("btnExecSQL"), QStringLiteral("指定した条件のSELECT文をクリップボードに出力"), 10);
    bar->addWidget(tolField);
    bar->addWidget(new QLabel(QStringLiteral(" 条件"), pnlWhere3));
    cmbWhere = new TkdComboBox(pnlWhere3);
    cmbWhere->setObjectName(QStringLiteral("cmbWhere"));
    cmbWhere->setEditable(true);
    cmbWhere->setMaxVisibleItems(20);
    cmbWhere->setInsertPolicy(QComboBox::NoInsert);
    bar->addWidget(cmbWhere, 1);
    lblRecord = new QLabel(QStringLiteral("表示件数"), pnlWhere3);
    lblRecord->setObjectName(QStringLiteral("lblRecord"));
    bar->addWidget(lblRecord);
    txtRecord = new TkdNumEdit(pnlWhere3);
    txtRecord->setObjectName(QStringLiteral("txtRecord"));
    txtRecord->setMaxLength(9);
    txtRecord->setMaximumWidth(90);
    bar->addWidget(txtRecord);
    outer->addWidget(pnlWhere3);

    grdWhere = new TkdStringGrid(this);
    grdWhere->setObjectName(QStringLiteral("grdWhere"));
    grdWhere->SetColCount(7);
    grdWhere->SetRowCount(2);
    grdWhere->SetHeader({QStringLiteral("項目名"), QStringLiteral("＝(一致)"), QStringLiteral("＜＞(不一致)"),
                         QStringLiteral("≦(下限値)"), QStringLiteral("≧(上限値)"), QStringLiteral("LIKE(部分一致)"),
                         QStringLiteral("ソート順序")});
    const int widths[] = {200, 120, 120, 120, 120, 120, 80};
    for (int i = 0; i < 7; ++i)
        grdWhere->setColumnWidth(i, widths[i]);
    grdWhere->verticalHeader()->setDefaultSectionSize(18);
    outer->addWidget(grdWhere, 1);

    connect(btnExec, &QAction::triggered, this, [this] { emit ExecRequested(); });
    connect(btnField, &QAction::triggered, this, [this] { GuardedCall([this] { btnFieldClick(); }); });
    connect(btnWhere, &QAction::triggered, this, [this] { btnWhereClick(); });
    connect(btnGrdWhereClear, &QAction::triggered, this, [this] { GuardedCall([this] { btnGrdWhereClearClick(); }); });
    connect(btnExecSQL, &QAction::triggered, this, [this] { GuardedCall([this] { btnExecSQLClick(); }); });
    // The column names are not edited: a text stored there is put back.
    connect(grdWhere, &TkdStringGrid::OnSetEditText, this, [this](TkdStringGrid *, int ACol, int ARow, const QString &) {
        if (ACol == 0 && ARow >= 1 && ARow - 1 < FColumns.size() && grdWhere->Cells(0, ARow) != FColumns[ARow - 1].Name)
            grdWhere->SetCells(0, ARow, FColumns[ARow - 1].Name);
    });
    // The column names read as labels, not as input: painted on the button face in the
    // window-text colour, 2 pixels in from the left and the top.
    connect(grdWhere, &TkdStringGrid::OnDrawCell, this,
            [this](TkdStringGrid *, int ACol, int ARow, const QRect &ARect, QPainter *APainter, QStyle::State) {
                if (ACol != 0 || ARow < 1)
                    return;
                const QPalette &pal = grdWhere->palette();
                APainter->fillRect(ARect, pal.color(QPalette::Button));
                APainter->setPen(pal.color(QPalette::WindowText));
                APainter->setFont(grdWhere->font());
                APainter->drawText(ARect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                                   grdWhere->Cells(0, ARow));
            });
    connect(grdWhere, &TkdStringGrid::OnSelectCell, this, [this](TkdStringGrid *, int ACol, int ARow) {
        if (ACol == 0 && ARow >= 1)
            grdWhere->SetCurrentCell(1, ARow);
    });
    cmbWhere->installEventFilter(this);
    if (cmbWhere->lineEdit())
        cmbWhere->lineEdit()->installEventFilter(this);
    txtRecord->installEventFilter(this);

    btnWhere->setChecked(TkdOption::Global().ShowWhereGrid);
    btnWhereClick();
}

bool TfraFilterPanel::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(Event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            emit ExecRequested();
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TfraFilterPanel::btnWhereClick()
{
    const bool shown = btnWhere->isChecked();
    grdWhere->setVisible(shown);
    btnGrdWhereClear->setVisible(shown);
    btnExecSQL->setVisible(shown);
    if (shown) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        resize(width(), FStyle.PanelHeight);
    } else {
        const int h = qMax(24, pnlWhere3->sizeHint().height());
        setMinimumHeight(h);
        setMaximumHeight(h);
    }
}

void TfraFilterPanel::SetObject(TkdConnForm *Owner, const QString &Schema, const QString &Name)
{
    FOwner = Owner;
    const bool same = Schema == FSchema && Name == FName;
    FSchema = Schema;
    FName = Name;
    if (same)
        return;
    QStringList items;
    GuardedCall([&] { LoadWhereHistory(Schema, Name, items); });
    cmbWhere->clear();
    cmbWhere->addItems(items);
    cmbWhere->setEditText(QString());
}

QList<TFilterRow> TfraFilterPanel::Rows() const
{
    QList<TFilterRow> rows;
    for (int r = 1; r < grdWhere->RowCount(); ++r) {
        TFilterRow row;
        row.Column = grdWhere->Cells(0, r);
        if (row.Column.isEmpty())
            continue;
        for (int c = 0; c < fcCount; ++c)
            row.Cells[c] = grdWhere->Cells(c + 1, r);
        rows << row;
    }
    return rows;
}

void TfraFilterPanel::SetRows(const QList<TFilterRow> &Rows)
{
    grdWhere->SetRowCount(qMax(2, int(Rows.size()) + 1));
    for (int c = 0; c < 7; ++c)
        grdWhere->SetCells(c, 1, QString());
    for (int r = 0; r < Rows.size(); ++r) {
        grdWhere->SetCells(0, r + 1, Rows[r].Column);
        for (int c = 0; c < fcCount; ++c)
            grdWhere->SetCells(c + 1, r + 1, Rows[r].Cells.value(c));
    }
}

void TfraFilterPanel::SetColumns(const QList<TFilterColumn> &Columns)
{
    grdWhere->InputComplite();
    const QList<TFilterRow> previous = Rows();
    FColumns = Columns;
    SetRows(CarryOverFilterRows(previous, Columns, TkdOption::Global().WhereAutoQuote, FStyle));
    grdWhere->SetCurrentCell(1, 1);
    // The shown columns lose the ones that are gone; none left: every column.
    QStringList kept;
    for (const QString &f : FShowFld)
        for (const TFilterColumn &c : Columns)
            if (c.Name == f)
                kept << f;
    if (kept.isEmpty())
        for (const TFilterColumn &c : Columns)
            kept << c.Name;
    FShowFld = kept;
}

std::optional<int> TfraFilterPanel::RowLimit() const
{
    bool ok = false;
    const int n = TrimBlanks(txtRecord->text()).toInt(&ok);
    if (!ok || n <= 0)
        return std::nullopt;
    return n;
}

void TfraFilterPanel::SetRowLimit(int Rows)
{
    txtRecord->setText(Rows > 0 ? QString::number(Rows) : QString());
}

QString TfraFilterPanel::GetSelectSQL()
{
    if (!Blank(txtRecord->text())) {
        bool ok = false;
        const qint64 n = TrimBlanks(txtRecord->text()).toLongLong(&ok);
        if (!ok || n <= 0) {
            ShowMessageBox(QStringLiteral("表示件数には1以上の整数を入力して下さい。"), MB_ICONWARNING | MB_OK);
            txtRecord->setFocus();
            throw EAbort();
        }
    }
    grdWhere->InputComplite();
    QList<TFilterRow> rows = Rows();
    const QString where = cmbWhere->currentText();
    const QString sql = BuildFilterSelect(FSchema, FName, FShowFld, rows, Blank(where) ? QString() : where);
    for (int r = 0; r < rows.size(); ++r)
        grdWhere->SetCells(fcSort + 1, r + 1, rows[r].Cells[fcSort]);
    if (!Blank(where)) {
        QStringList items;
        for (int i = 0; i < cmbWhere->count(); ++i)
            items << cmbWhere->itemText(i);
        PushFilterHistory(items, where);
        cmbWhere->clear();
        cmbWhere->addItems(items);
        cmbWhere->setCurrentIndex(0);
        SaveWhereHistory(FSchema, FName, items);
    }
    return sql;
}

void TfraFilterPanel::btnGrdWhereClearClick()
{
    if (ShowMessageBox(QStringLiteral("抽出条件・ソート順をクリアしますか？"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    for (int r = 1; r < grdWhere->RowCount(); ++r)
        for (int c = 1; c < 7; ++c)
            grdWhere->SetCells(c, r, QString());
}

void TfraFilterPanel::btnExecSQLClick()
{
    const QString sql = GetSelectSQL();
    QApplication::clipboard()->setText(sql);
    ShowMessageBox(QStringLiteral("指定した条件のSELECT文を、\r\nクリップボードに出力しました。"), MB_ICONINFORMATION | MB_OK);
}

void TfraFilterPanel::btnFieldClick()
{
    if (!OnChooseColumns)
        return;
    OnChooseColumns(FShowFld);
    emit ExecRequested();
}
