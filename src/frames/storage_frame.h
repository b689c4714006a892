#pragma once
// The page "領域情報" of the table, index and constraint editors: the tablespace; for a table
// also the storage type (standard, temporary, inheriting), the data retention of a new
// temporary table, the autovacuum settings of the table and of its TOAST table and the
// parent tables. The frame keeps a snapshot of every control and writes the storage clauses
// of CREATE statements and the ALTER TABLE statements of its settings.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStackedWidget;
class QToolButton;
class TkdCheckBox;
class TkdComboBox;
class TkdForm;
class TkdNumEdit;
class TkdRadioButton;
class TkdStringGrid;

enum TStorageType { ptNormal, ptPartition, ptTemp };

// One autovacuum storage parameter: its label, key (reloptions name) and statement word.
struct TVacuumOption
{
    const char *Label;
    const char *Key;
    const char *Word;
};
// The ten options in their fixed order (row 0 is the enabled flag).
extern const TVacuumOption VacuumOptions[10];

// The options of one reloptions list (items "key=value"): value per option row, empty when
// the option is not set or its value is not a plain unsigned number (the enabled flag:
// "true" or "false" as the server reads the value).
QStringList ParseVacuumOptions(const QStringList &reloptions);

// A parent table name as typed: a name or schema.name, each part bare or in double quotes.
// Returns false for anything else. Bare parts are folded to lower case as the server does.
bool ParseTableName(const QString &text, QString &schema, QString &name);
// The name written through QuoteIdentifier ("schema"."name" or "name"); throws the message
// "親テーブル名が正しくありません。" for a text ParseTableName refuses.
QString QuotedTableName(const QString &text);

class TfraStorage : public QWidget
{
    Q_OBJECT
public:
    explicit TfraStorage(QWidget *AOwner = nullptr);

    void Init(const QString &Schema, const QString &ObjectName);
    void ShowDefine();
    void Save();
    bool IsCreate() const;
    void GetSourceCreate(QStringList &Source);
    void GetSourceAlterV(QStringList &Source) const;
    void GetSourceAlterP(QStringList &Source);
    void GetSourceAlterN(QStringList &Source) const { Q_UNUSED(Source); }
    void Check() {}
    void ShowLocalPartInit() {}
    // Re-reads the reloptions into the controls of the current target.
    void GetVacuumData();

    TStorageType StorageType() const;
    bool IsInit() const { return FIsInit; }
    int ObjType() const { return FObjType; }
    // True after ShowDefine found a partitioned table (no autovacuum settings of its own).
    bool IsPartitioned() const { return FPartitioned; }
    // The enabled check box and the field of option `row` (1..9) of target 0 (table) or 1 (TOAST).
    TkdCheckBox *EnabledBox(int target) const { return FEnabled[target]; }
    TkdNumEdit *Field(int target, int row) const { return FFields[target][row - 1]; }

    // Handlers, public so that hosts and tests reach them as the user does.
    void cmbStorageTypeChange();
    void chkAutoVacuumClick();
    void rdoVacuumTargetClick();
    void btnPartInsClick();
    void btnPartDelClick();
    void cmbTBSDropDown();

    QWidget *pnlStorageType;
    TkdComboBox *cmbStorageType;
    QStackedWidget *pagStorage;
    QWidget *tabDefault, *tabTemporary, *tabPartition;
    TkdComboBox *cmbTBS;
    TkdCheckBox *chkAutoVacuum;
    QGroupBox *grpAutoVacuum;
    QGroupBox *rdoVacuumTarget;
    QRadioButton *rdoTargetTable, *rdoTargetToast;
    TkdCheckBox *chkEnabled, *chkToastEnabled;
    QLabel *lblAnalyzeThreshold, *lblAnalyzeFactor;
    QGroupBox *grpOnCommit;
    TkdRadioButton *rdoTransaction, *rdoSession;
    QToolButton *btnPartIns, *btnPartDel, *btnField;
    TkdStringGrid *grdPartition;

private:
    TkdForm *Host() const;
    void SetModified();
    bool IsTable() const { return FObjType == 45; }
    bool HostIsNew() const;
    bool InTempSchema() const { return FSchema.contains(QLatin1String("pg_temp")); }
    int Target() const;
    // Current parents of the edited table: (quoted schema.name, position).
    QList<QPair<QString, int>> ReadParents() const;
    void FillPickList(int col, int row, QStringList &items);

    QString FSchema, FObjectName, TableName;
    int FObjType = -1;
    bool FIsInit = false;
    bool FPartitioned = false;
    bool FLoading = false;
    TkdCheckBox *FEnabled[2];
    TkdNumEdit *FFields[2][9];
    bool FTBSFilled = false;
    bool FPickFilled = false;
    QStringList FPickList;
};
