#pragma once
// The run log: runs a DDL line list statement by statement on a connection window's
// connection, logging each statement and its outcome, with an optional stop at the first
// error, a continue button and a summary. A top-level window with application modality:
// while it is open nothing else of the program takes input, the log itself stays usable.
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QPushButton;
class TkdCheckBox;
class TkdConnForm;
class QsciScintilla;

class TfrmDDLExec : public QWidget
{
    Q_OBJECT
public:
    // Opens the window and runs the list at once (the window keeps its own copy). Returns when
    // the list has been run to its end; ends with the silent abort when a statement failed
    // under the error stop, when the connection was lost, or when the user closed the window
    // while the run was going. The window stays open until the user closes it (or it closes
    // itself after a faultless run with the option CloseDDL).
    static void ShowWindow(TkdConnForm *AOwner, const QStringList &ASQL);
    // The same with the error stop ticked and locked: a list that only makes sense as a
    // whole (a table rebuild) never goes on past a failed statement.
    static void ShowWindowStopping(TkdConnForm *AOwner, const QStringList &ASQL);
    // Returns once no run log window is open any more; waits in an event loop, never spins.
    static void WaitProc();
    // The run log windows still open, oldest first.
    static QList<TfrmDDLExec *> Windows();

    // Failed statements since the window opened (continued runs included).
    int ErrorCount() const { return FErrorCount; }
    // Lines not sent yet.
    QStringList RemainingLines() const { return FSQL.mid(FPos); }
    bool Running() const { return FRunning; }
    bool Finished() const { return FEndProc; }
    // The log as shown (pending lines included).
    QString LogText() const;

    QsciScintilla *txtLog = nullptr; // a TkdMemo
    TkdCheckBox *chkErrorStop = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

signals:
    // The window has closed (it is deleted right after).
    void Closed();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    TfrmDDLExec(QWidget *parent, TkdConnForm *owner, const QStringList &sql);
    static void Open(TkdConnForm *AOwner, const QStringList &ASQL, bool ForceStop);
    ~TfrmDDLExec() override;
    // Runs the rest of the list; true when it reached the end, false after an error stop,
    // a lost connection or an abort.
    bool Run();
    void btnOKClick();
    void Finish();
    void Append(const QStringList &lines);
    void FlushLog(bool force);
    int TransactionLevel() const;

    TkdConnForm *FOwner = nullptr;
    QPointer<QWidget> FOwnerWidget;
    QStringList FSQL;
    qsizetype FPos = 0;
    bool FEndProc = false;
    bool FRunning = false;
    bool FAbort = false;
    bool FClosed = false;
    bool FConnectionLost = false;
    int FErrorCount = 0;
    int FTransactionLevel = 0;
    QString FPending;
    QElapsedTimer FLastFlush;
    QElapsedTimer FLastEvents;
};
