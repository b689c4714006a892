#pragma once
// "EXCEL出力(SQL結果)": where and how a result is written to a workbook (target file, sheet,
// form book, start cell, direction, heading row, re-read first). The choices are stored in the
// general options on OK; the result frame does the writing.
#include "core/kdsub_service.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QRadioButton;
class QPushButton;
class QButtonGroup;
class TkdStrEdit;
class TkdNumEdit;
class TkdComboBox;

// The target name a browse gives: only .xlsx books are written, so a name without the
// extension ".xlsx" or ".xls" (any case) gets ".xlsx" appended and ".xls" becomes ".xlsx".
QString XlsTargetFileName(const QString &AChosen);
// The 256 start columns "A" .. "IV": XlsColumnNames() of core/kdsub_service.h.

class TfrmXlsSQL : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmXlsSQL(QWidget *AOwner = nullptr);

    // Set by tests: called with the dialog once it is shown, instead of waiting for the user.
    static std::function<void(TfrmXlsSQL *)> &ShowHook();

    TkdStrEdit *txtSaveFile() const { return FSaveFile; }
    TkdStrEdit *txtSheet() const { return FSheet; }
    TkdStrEdit *txtFormFile() const { return FFormFile; }
    TkdComboBox *cmbColumn() const { return FColumn; }
    TkdNumEdit *txtRow() const { return FRow; }
    QButtonGroup *rdoExcel() const { return FMode; }
    QButtonGroup *rdoExcelTitle() const { return FTitle; }
    QCheckBox *chkRefresh() const { return FRefresh; }
    QPushButton *btnOk() const { return FOk; }
    QPushButton *btnCancel() const { return FCancel; }

    void btnSaveFileClick();
    // The checks and, when they pass, the options stored and the dialog closed with 1.
    void btnOkClick();

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    TkdStrEdit *FSaveFile;
    TkdStrEdit *FSheet;
    TkdStrEdit *FFormFile;
    TkdComboBox *FColumn;
    TkdNumEdit *FRow;
    QButtonGroup *FMode;
    QButtonGroup *FTitle;
    QCheckBox *FRefresh;
    QPushButton *FOk;
    QPushButton *FCancel;
};
