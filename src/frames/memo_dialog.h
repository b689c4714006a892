#pragma once
// "文字列の編集": the modal dialog in which one text value is edited over several lines.
#include <QDialog>
#include <functional>

class TkdMemo;
class QPushButton;

class TfrmMemo : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmMemo(QWidget *AParent = nullptr);

    // Shows the dialog with AComment; on OK (result 1) AComment receives the edited text
    // exactly as it stands in the editor (line breaks as they were: an unchanged value comes
    // back unchanged). Cancel or closing returns 2 and leaves AComment alone. The size is
    // kept under "GUI\COMMENT" whatever the result.
    static int ShowWindow(QString &AComment);

    // Set by tests: called with the dialog once it is shown, instead of waiting for the user.
    static std::function<void(TfrmMemo *)> &ShowHook();

    TkdMemo *txtComment() const { return FMemo; }
    QPushButton *btnOk() const { return FOk; }
    QPushButton *btnCancel() const { return FCancel; }

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    TkdMemo *FMemo;
    QPushButton *FOk;
    QPushButton *FCancel;
};
