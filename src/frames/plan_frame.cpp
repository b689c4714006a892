#include "frames/plan_frame.h"

#include "controls/kdcomctrls.h"
#include "core/kddialogsupport.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "frames/frame_support.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "platform/workbook.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>

QStringList PlanLines(const QString &Sql, const QStringList &Rows)
{
    QStringList lines;
    const QString trimmed = Sql.trimmed();
    QString word = trimmed.section(QRegularExpression(QStringLiteral("\\s")), 0, 0).trimmed();
    if (word.toUpper() == u"CREATE")
        word = QStringLiteral("CREATE TABLE AS");
    lines << word + QStringLiteral(" STATEMENT");
    for (const QString &row : Rows) {
        if (row.contains(QStringLiteral("->")) || lines.size() == 1)
            lines << row;
        else
            lines.last() += u' ' + row.trimmed();
    }
    return lines;
}

TTreInf ParsePlanLines(const QStringList &Lines)
{
    static const QRegularExpression bracket(
        QStringLiteral("\\(cost=(\\S+)\\s+rows=(\\S+)\\s+width=([^)\\s]+)\\)"),
        QRegularExpression::CaseInsensitiveOption);
    TTreInf out;
    QList<qsizetype> arrows; // arrow columns of the open ancestors
    for (int i = 0; i < Lines.size(); ++i) {
        const QString &line = Lines.at(i);
        TTreDtlInf rec;
        QString op = line;
        const QRegularExpressionMatch m = bracket.match(line);
        if (m.hasMatch()) {
            rec.strCost = m.captured(1);
            rec.strRows = m.captured(2);
            rec.strWidth = m.captured(3);
            QString before = line.left(m.capturedStart());
            while (!before.isEmpty() && before.back().isSpace())
                before.chop(1);
            op = before + line.mid(m.capturedEnd());
        }
        const qsizetype arrow = op.indexOf(QStringLiteral("->"));
        if (arrow >= 0)
            op = op.mid(arrow + 2);
        rec.strOperation = op.trimmed();
        const qsizetype p = line.indexOf(QStringLiteral("->"));
        if (p < 0) {
            rec.intLv = i == 0 ? 0 : 1;
        } else {
            // A child's arrow stands right of its parent's: the server indents plan nodes by
            // 6 and the nodes of init plans and subplans by 2 more, so the level follows the
            // nesting of arrow columns rather than one fixed grid.
            while (!arrows.isEmpty() && arrows.last() >= p)
                arrows.removeLast();
            rec.intLv = int(arrows.size()) + 2;
            arrows.append(p);
        }
        out << rec;
    }
    return out;
}

QList<int> PlanParents(const TTreInf &Records)
{
    QList<int> parents;
    for (int i = 0; i < Records.size(); ++i) {
        const int lv = Records.at(i).intLv;
        int n = -1;
        if (lv >= 1 && i > 0) {
            // The nearest open node of a lower level: never above the top.
            n = i - 1;
            while (n >= 0 && Records.at(n).intLv >= lv)
                n = parents.at(n);
        }
        parents << n;
    }
    return parents;
}

TfraExplan::TfraExplan(QWidget *AOwner) : QWidget(AOwner)
{
    setObjectName(QStringLiteral("fraExplan"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    FToolBar = new QWidget(this);
    FToolBar->setObjectName(QStringLiteral("tolLeft"));
    FToolBar->setFixedWidth(24);
    auto *col = new QVBoxLayout(FToolBar);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto add = [&](const QString &name, int image, const QString &hint, std::function<void()> work) {
        return AddFrameToolButton(FToolBar, col, name, image, hint, std::move(work));
    };
    FBtnPlan = add(QStringLiteral("btnPlan"), 89, QStringLiteral("実行計画を表示する"), [this] { btnPlanClick(); });
    FBtnPlan->setCheckable(true);
    FBtnPlan->setChecked(true);
    add(QStringLiteral("btnExcel"), 44, QStringLiteral("結果をExcelファイルに出力する"), [this] { btnExcelClick(); });
    add(QStringLiteral("btnCopy"), 21, QStringLiteral("結果をクリップボードにコピーする"), [this] { btnCopyClick(); });
    col->addStretch();
    row->addWidget(FToolBar);
    FPlanPanel = new QWidget(this);
    FPlanPanel->setObjectName(QStringLiteral("pnlPlan"));
    auto *pl = new QVBoxLayout(FPlanPanel);
    pl->setContentsMargins(0, 3, 0, 0);
    FTree = new TkdTreeView(FPlanPanel);
    FTree->setObjectName(QStringLiteral("lstPlan"));
    FTree->setColumnCount(4);
    FTree->setHeaderLabels({QStringLiteral("操作"), QStringLiteral("COST"), QStringLiteral("BYTE"), QStringLiteral("WIDTH")});
    for (int i = 1; i < 4; ++i)
        FTree->headerItem()->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
    FTree->header()->setStretchLastSection(false);
    FTree->header()->resizeSection(0, 180);
    for (int i = 1; i < 4; ++i)
        FTree->header()->resizeSection(i, 80);
    FTree->setIndentation(19);
    FTree->setFrameShape(QFrame::NoFrame);
    FTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTree->setUniformRowHeights(true);
    pl->addWidget(FTree);
    row->addWidget(FPlanPanel, 1);
}

QToolButton *TfraExplan::Button(const QString &AName) const
{
    return FToolBar->findChild<QToolButton *>(AName);
}

db::Connection *TfraExplan::Connection() const
{
    if (FConnection)
        return FConnection;
    if (TkdForm *form = FrameHost(this))
        if (TkdConnForm *conn = form->OwnerForm())
            return conn->dbsMain();
    return nullptr;
}

void TfraExplan::SetSQL(const QString &AText)
{
    FSQL = AText;
}

void TfraExplan::ShowData()
{
    if (FBtnPlan->isChecked())
        ShowPlan();
}

void TfraExplan::ShowPlan()
{
    db::Connection *conn = Connection();
    if (!conn)
        return;
    TkdWaitCursor wait;
    db::Query q(conn);
    q.setParamCreation(FSQL.trimmed().left(6).toUpper() != u"CREATE");
    q.setSingleStatement(true);
    q.setSql(QStringLiteral(" EXPLAIN (FORMAT TEXT) ") + FSQL);
    if (OnBindParams)
        OnBindParams(q);
    q.open(); // errors reach the host before the tree is touched
    QStringList rows;
    if (q.isActive()) {
        while (!q.eof()) {
            rows << q.field(0).asString();
            q.next();
        }
        q.close();
    }
    BuildTree(ParsePlanLines(PlanLines(FSQL, rows)));
}

void TfraExplan::BuildTree(const TTreInf &ARecords)
{
    FTree->setUpdatesEnabled(false);
    FTree->clear();
    const QList<int> parents = PlanParents(ARecords);
    QList<TkdTreeNode *> nodes;
    nodes.reserve(ARecords.size());
    for (int i = 0; i < ARecords.size(); ++i) {
        const TTreDtlInf &r = ARecords.at(i);
        TkdTreeNode *parent = parents.at(i) >= 0 ? nodes.at(parents.at(i)) : nullptr;
        TkdTreeNode *node = FTree->AddNode(parent, r.strOperation);
        node->SetSubItems({r.strCost, r.strRows, r.strWidth});
        if (r.strOperation.contains(QStringLiteral("ACCESS FULL")))
            node->setForeground(0, QColor(255, 0, 0));
        nodes << node;
    }
    if (FTree->topLevelItemCount() > 0)
        FTree->expandRecursively(FTree->model()->index(0, 0));
    FTree->setUpdatesEnabled(true);
}

void TfraExplan::btnPlanClick()
{
    const bool on = FBtnPlan->isChecked();
    FPlanPanel->setVisible(on);
    Button(QStringLiteral("btnExcel"))->setEnabled(on);
    Button(QStringLiteral("btnCopy"))->setEnabled(on);
}

namespace {
// Walks the tree in order (collapsed nodes included) with each node's depth.
void WalkTree(QTreeWidgetItem *AItem, int ADepth, const std::function<void(TkdTreeNode *, int)> &AVisit)
{
    for (int i = 0; i < AItem->childCount(); ++i) {
        auto *n = static_cast<TkdTreeNode *>(AItem->child(i));
        AVisit(n, ADepth);
        WalkTree(n, ADepth + 1, AVisit);
    }
}

QString Flat(QString s)
{
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    s.replace(u'\t', u' ');
    s.replace(u'\r', u' ');
    s.replace(u'\n', u' ');
    return s;
}

QString Indented(TkdTreeNode *ANode, int ADepth)
{
    return QString(2 * ADepth, u' ') + (ADepth > 0 ? QStringLiteral("┗") : QString()) + Flat(ANode->text(0));
}
} // namespace

QString TfraExplan::PlanText(const QString &ASeparator) const
{
    QString out;
    WalkTree(FTree->invisibleRootItem(), 0, [&](TkdTreeNode *n, int depth) {
        out += Indented(n, depth);
        for (const QString &s : n->SubItems())
            out += ASeparator + Flat(s);
        out += QStringLiteral("\r\n");
    });
    return out;
}

void TfraExplan::btnCopyClick()
{
    TkdOption &opt = TkdOption::Global();
    bool comma = opt.PasteColumn == 1;
    if (opt.PasteDialog) {
        QList<MsgCheckItem> items{{QStringLiteral("カンマ区切りにする(非チェック時はタブ区切り)"), comma}};
        if (ShowCheckMessageBox(QStringLiteral("結果をクリップボードにコピーしますか？"), MB_YESNO | MB_ICONQUESTION, items) != IDYES)
            return;
        comma = items.at(0).Checked;
    }
    opt.PasteColumn = comma ? 1 : 0;
    QApplication::clipboard()->setText(PlanText(comma ? QStringLiteral(",") : QStringLiteral("\t")));
    ShowMessageBox(QStringLiteral("クリップボードに出力しました。"), MB_OK | MB_ICONINFORMATION);
}

void TfraExplan::btnExcelClick()
{
    TkdOption &opt = TkdOption::Global();
    QString folder = opt.ExcelDir;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    TSaveFileRequest req;
    req.Parent = this;
    req.FileName = UniqueFileName(folder + QStringLiteral("EXECUTEPLAN.xlsx"));
    req.Filter = ExcelFileFilterFor(QStringLiteral(".XLSX")) + QStringLiteral("|すべてのファイル(*.*)|*.*");
    req.DefaultSuffix = QStringLiteral("xlsx");
    QString file = PromptSaveFile(req);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) != 0)
        file += QFileInfo(file).suffix().compare(QStringLiteral("xls"), Qt::CaseInsensitive) == 0 ? QStringLiteral("x")
                                                                                                : QStringLiteral(".xlsx");
    TkdWaitCursor wait;
    try {
        wb::Workbook book = wb::Workbook::blank();
        wb::Sheet &sheet = book.activeSheet();
        sheet.setColumnWidth(1, 50);
        sheet.setColumnWidth(2, 50);
        for (int i = 0; i < 4; ++i)
            sheet.setText(1, i + 1, Flat(FTree->headerItem()->text(i)));
        int row = 2;
        WalkTree(FTree->invisibleRootItem(), 0, [&](TkdTreeNode *n, int depth) {
            QStringList values{Indented(n, depth)};
            for (const QString &s : n->SubItems())
                values << Flat(s);
            sheet.setRowTexts(row++, 1, values);
        });
        sheet.selectA1();
        book.save(file);
    } catch (const wb::Error &e) {
        ShowMessageBox(e.message(), MB_OK | MB_ICONERROR);
        return;
    }
    ShowMessageBox(QStringLiteral("ファイルに出力しました。"), MB_OK | MB_ICONINFORMATION);
    opt.ExcelDir = QFileInfo(file).absolutePath() + u'/';
}
