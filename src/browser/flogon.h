#pragma once
// The logon dialog: user, password, server, port, database and schema, the stored
// connections of the settings key "DATABASE", and the creation of the connection window.
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class TkdNumEdit;
class TkdRegistry;

// The six fields of a logon; also one stored connection (with the name of its key).
struct TLogonFields
{
    QString UserID, Password, Host, Port, Database, Schema;
    QString Key; // stored connections only: "DB000", "DB001", ...
};

// A stored connection matches the fields when user, database and schema are equal exactly
// and host and port are equal ignoring the case of ASCII letters.
bool MatchesLogon(const TLogonFields &row, const TLogonFields &fields);

// Reads the stored connections in the order of the value "Sort" (names it does not mention
// follow in key order; names of missing keys are dropped; a name given twice counts at its
// later place). An empty list when the key "DATABASE" is missing.
QList<TLogonFields> LoadConnectionList(TkdRegistry &reg);

// Writes the last-used values and the order of `rows`; when `saveEntry`, stores the fields:
// a matching row only gets its password, otherwise a new key "DB" + the first free number of
// at least three digits holds all six. With `savePassword` off the password is not stored
// (an existing one is removed).
void SaveConnectionList(TkdRegistry &reg, const QList<TLogonFields> &rows, const TLogonFields &fields,
                        bool saveEntry, bool savePassword);

// The checks of OK, in order; an empty text when the fields may be used. `field` receives the
// index of the field to focus (0 user, 1 database, 2 host, 3 port).
QString CheckLogonFields(const TLogonFields &fields, int *field = nullptr);

// Makes every connection the program opens on the user-interface thread wait inside the event
// loop: windows repaint and timers run, other input is held back, Esc or the キャンセル button
// of the progress box (shown when the attempt takes a moment) abandons the attempt. Idempotent.
void InstallConnectWaiter();

class TfrmLogon : public QDialog
{
    Q_OBJECT
public:
    // Opens the dialog (or, with autoPass, connects at once) and creates the connection window;
    // true when one was created. A failed connection shows its error and offers the dialog again.
    static bool ShowWindow(const QString &host, const QString &port, const QString &dbName, const QString &schema,
                           const QString &userID, const QString &password, bool autoPass);

    explicit TfrmLogon(QWidget *parent = nullptr);

    TLogonFields Fields() const;
    void SetFields(const TLogonFields &fields);
    // Reloads the stored connections and fills the password of a matching row.
    void LoadConnections();
    void SaveConnections();
    const QList<TLogonFields> &Rows() const { return FRows; }

    QTreeWidget *lstUserID = nullptr;
    QLineEdit *txtUserID = nullptr;
    QLineEdit *txtPassword = nullptr;
    QLineEdit *txtHost = nullptr;
    TkdNumEdit *txtPort = nullptr;
    QLineEdit *txtDatabase = nullptr;
    QLineEdit *txtSchema = nullptr;
    QCheckBox *chkSave = nullptr;
    QCheckBox *chkSavePassword = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QAction *actUp = nullptr;
    QAction *actDown = nullptr;
    QAction *actDel = nullptr;

    void actOkExecute();
    void actUpExecute();
    void actDownExecute();
    void actDelExecute();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void FillList();
    void RowSelected();
    void UpdateActions();
    void MoveRow(int delta);

    QList<TLogonFields> FRows;
};
