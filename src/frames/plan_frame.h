#pragma once
// The execution-plan frame: the server's text plan of one statement as a tree with the
// columns operation, cost, rows and width, copied to the clipboard or written to a workbook.
// The EXPLAIN goes as one statement over the extended protocol, so a text holding a second
// statement is refused by the server instead of run.
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QToolButton;
class TkdTreeView;
class TkdTreeNode;
namespace db {
class Connection;
class Query;
}

// One line of the plan.
struct TTreDtlInf {
    int intLv = 0; // 0 for the statement line, 1 for the top node, 2.. for arrow lines
    QString strOperation;
    QString strCost;
    QString strRows;
    QString strWidth;
    bool operator==(const TTreDtlInf &) const = default;
};
using TTreInf = QList<TTreDtlInf>;

// The plan's lines: the statement line (the statement's first word, "CREATE TABLE AS" for
// CREATE, and " STATEMENT"), then one line per plan row holding "->" (and the first row);
// every other row (a detail) is appended to the line before it.
QStringList PlanLines(const QString &Sql, const QStringList &Rows);
// Each line split into operation (the cost bracket and the arrow removed), cost, rows,
// width and level (the arrow's column on the 6-character grid of the first arrow; off-grid
// arrows go to level 1).
TTreInf ParsePlanLines(const QStringList &Lines);
// The parent of each record (-1: a top node). A record deeper than the one before hangs
// below it; a shallower one climbs as many levels, never above the top.
QList<int> PlanParents(const TTreInf &Records);

class TfraExplan : public QWidget
{
    Q_OBJECT
public:
    explicit TfraExplan(QWidget *AOwner = nullptr);

    void SetConnection(db::Connection *AConnection) { FConnection = AConnection; }
    // Called with the plan query once its text is set, before it runs: a host gives the
    // statement's bind variables their values here (it may throw to stop).
    std::function<void(db::Query &)> OnBindParams;
    QString SQL() const { return FSQL; }
    void SetSQL(const QString &AText);

    // Shows the plan when btnPlan is pressed.
    void ShowData();
    // Asks the server for the plan and rebuilds the tree; an error leaves the previous plan
    // and passes to the caller.
    void ShowPlan();
    void btnPlanClick();
    void btnCopyClick();
    void btnExcelClick();

    // The copied text: per node in tree order, two blanks per level and "┗" below the top,
    // then the columns separated by ASeparator; lines end in CR LF.
    QString PlanText(const QString &ASeparator) const;

    TkdTreeView *lstPlan() const { return FTree; }
    QToolButton *btnPlan() const { return FBtnPlan; }
    QToolButton *Button(const QString &AName) const;

private:
    db::Connection *Connection() const;
    void BuildTree(const TTreInf &ARecords);

    db::Connection *FConnection = nullptr;
    QString FSQL;
    TkdTreeView *FTree;
    QWidget *FPlanPanel;
    QToolButton *FBtnPlan;
    QWidget *FToolBar;
};
