// The workbook output of the data frame: the whole result written to an .xlsx book (a new
// one or a copy of a form book), records as rows or as columns, with a heading.
#include "frames/data_frame.h"

#include "controls/kddbmodel.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "frames/xls_sql_dialog.h"
#include "platform/db/dbquery.h"
#include "platform/workbook.h"

#include <QCheckBox>
#include <QFileInfo>

namespace {

bool IsTextLike(db::FieldType t)
{
    return t == db::FieldType::WideString || t == db::FieldType::FixedWideChar || t == db::FieldType::WideMemo
           || t == db::FieldType::Bytes;
}

} // namespace

void TfraData::btnExcelClick()
{
    TkdOption &opt = TkdOption::Global();
    QString folder = opt.ExcelDir;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    const QString base = FTableName.isEmpty() ? QStringLiteral("SQL") : SafeFileName(FTableName);
    const QString proposed = UniqueFileName(folder + base + QStringLiteral(".xlsx"));
    QString file, sheetName, form;
    int c0 = 0, r0 = 0;
    if (opt.ExcelDialog) {
        TSaveFileRequest req;
        req.Parent = this;
        req.FileName = proposed;
        req.Filter = ExcelFileFilterFor(QStringLiteral(".XLSX")) + QStringLiteral("|すべてのファイル(*.*)|*.*");
        req.DefaultSuffix = QStringLiteral("xlsx");
        file = PromptSaveFile(req);
        if (file.isEmpty())
            return;
        file = XlsTargetFileName(file);
    } else {
        TfrmXlsSQL dlg(this);
        dlg.chkRefresh()->setEnabled(FQuery->isActive());
        dlg.txtSaveFile()->setText(proposed);
        if (dlg.exec() != 1)
            return;
        file = XlsTargetFileName(dlg.txtSaveFile()->text());
        sheetName = opt.ExcelSheet;
        form = opt.ExcelForm;
        c0 = opt.ExcelLeft;
        r0 = opt.ExcelTop;
    }
    // Read again when asked, or when nothing is open.
    if (!FQuery->isActive() || opt.ExcelRefresh) {
        if (TkdDataFrameHost *h = Host())
            h->DataReRead();
        if (!FQuery->isActive() && !FSQL.trimmed().isEmpty()) {
            Prepare();
            Open();
        }
    }
    if (!FQuery->isActive()) {
        ShowMessageBox(QStringLiteral("SQL が結果を返しませんでした。"), MB_OK | MB_ICONWARNING);
        return;
    }
    const int mode = opt.ExcelMode == 1 ? 1 : 0;
    const int titleMode = std::clamp(int(opt.ExcelTitle), 0, 2);
    const bool titles = titleMode != tmNone;

    db::DataSet *ds = FQuery;
    TkdWaitCursor wait;
    TkdLoopScope loop;
    // Every record goes out, so the rest is fetched first (Esc keeps what was read).
    bool stopped = !FetchRest(loop);
    const int records = ds->fetchedCount();
    std::vector<int> cols;
    for (int i = 0; i < ds->fieldCount(); ++i)
        if (ds->field(i).visible())
            cols.push_back(i);
    const int fields = ds->fieldCount();
    const int along = records + (titles ? 1 : 0); // lines of records (and heading)
    const bool tooManyColumns = mode == 0 ? c0 + fields > wb::MaxColumns : c0 + along > wb::MaxColumns;
    const bool tooManyRows = mode == 0 ? r0 + along > wb::MaxRows : r0 + fields > wb::MaxRows;
    if (tooManyColumns) {
        ShowMessageBox(QStringLiteral("Excelの最大列数を超えているため、出力できません。"), MB_OK | MB_ICONWARNING);
        return;
    }
    if (tooManyRows) {
        ShowMessageBox(QStringLiteral("Excelの最大行数を超えているため、出力できません。"), MB_OK | MB_ICONWARNING);
        return;
    }
    try {
        wb::Workbook book = (!form.isEmpty() && QFileInfo(form).isFile()) ? wb::Workbook::open(form) : wb::Workbook::blank();
        wb::Sheet *sheet = nullptr;
        if (!form.isEmpty() && QFileInfo(form).isFile()) {
            if (!sheetName.isEmpty()) {
                sheet = book.findSheet(sheetName);
                if (!sheet)
                    sheet = &book.addSheet(sheetName);
            } else {
                sheet = &book.activeSheet();
            }
        } else {
            sheet = &book.activeSheet();
            if (!sheetName.isEmpty() && sheet->name() != sheetName)
                book.renameSheet(*sheet, sheetName);
        }
        sheet->activate();
        for (int i : cols) {
            db::Field &f = ds->field(i);
            const QString title = titles ? HeadingOf(f, titleMode) : QString();
            if (mode == 0) {
                if (titles)
                    sheet->setText(r0 + 1, c0 + i + 1, title);
                sheet->setColumnWidth(c0 + i + 1, std::clamp(f.displayWidth(), 1, 255));
                if (IsTextLike(f.dataType()))
                    sheet->setColumnTextFormat(c0 + i + 1);
            } else {
                if (titles)
                    sheet->setText(r0 + i + 1, c0 + 1, title);
                if (IsTextLike(f.dataType()))
                    sheet->setRowTextFormat(r0 + i + 1);
            }
        }
        if (mode == 1 && titles)
            sheet->setColumnWidth(c0 + 1, 20);
        int cut = 0;
        const int base0 = titles ? 1 : 0;
        for (int r = 0; r < records && !stopped; ++r) {
            if ((r & 1023) == 0 && loop.Step(r, records)) {
                stopped = true;
                break;
            }
            for (int i : cols) {
                if (ds->isNull(r, i))
                    continue;
                QString t = ds->displayText(r, i);
                if (ds->field(i).dataType() == db::FieldType::Bytes)
                    t = t.toUpper();
                const int row = mode == 0 ? r0 + base0 + r + 1 : r0 + i + 1;
                const int col = mode == 0 ? c0 + i + 1 : c0 + base0 + r + 1;
                if (!sheet->setText(row, col, t))
                    ++cut;
            }
        }
        sheet->selectA1();
        book.save(file);
        QString done = QStringLiteral("ファイルに出力しました。");
        if (cut > 0)
            done += QStringLiteral("\r\n%1 文字を超える値 %2 件は切り詰めて出力しました。").arg(wb::MaxTextLength).arg(cut);
        ShowMessageBox(done, MB_OK | MB_ICONINFORMATION);
    } catch (const wb::Error &e) {
        ShowMessageBox(e.message(), MB_OK | MB_ICONERROR);
    }
}
