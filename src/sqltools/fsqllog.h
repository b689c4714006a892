#pragma once
// The SQL history list: one row per history entry (file time and first lines), a preview of
// the chosen entry, and commands to choose, delete, move and search entries.
#include <QDialog>
#include <functional>

class QListWidget;
class QLineEdit;
class QToolBar;
class QToolButton;
class TkdMemo;

class TfrmSQLLog : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSQLLog(QWidget *AOwner);
    // Shows the dialog modally; the index position of the chosen entry, or -1.
    static int ShowWindow(QWidget *AOwner);
    // Hook for tests: called with the dialog once it is built, instead of running it modally
    // (the hook drives it and closes it).
    static void SetTestDriver(std::function<void(TfrmSQLLog *)> driver);

    void btnSelectClick();
    void btnExitClick();
    void btnDelClick();
    void btnUpClick();
    void btnDownClick();
    void btnFindClick();
    void ShowPreview(int row);
    // The row's search mark (1 = found by the last search).
    int Mark(int row) const;

    QListWidget *lstSQL = nullptr;
    TkdMemo *txtSQL = nullptr;
    QLineEdit *txtFind = nullptr;
    QToolBar *tolCmd = nullptr;
    bool FIsSelect = false;

protected:
    void closeEvent(QCloseEvent *e) override;
    void done(int r) override;

private:
    void Fill();
    int Result() const;
    int FResult = -1;
};
