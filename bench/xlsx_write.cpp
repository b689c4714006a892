// Writing workbooks: N rows x 10 columns into a blank book and saved, beside openpyxl's
// write-only mode writing the same values (run as a child process, so each side's peak
// memory is its own); and a form case: open a form, repeat a 20-row block 500 times, write
// 10,000 records, save.
//
//   bench_xlsx_write [rows]          default 100000
//   bench_xlsx_write --ours-only N   only this layer (for the 1,000,000-row run)
#include "platform/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

QStringList rowTexts(int i)
{
    return {
        QString::number(i),
        QString::number(i * 0.25 + 0.01, 'f', 2),
        QStringLiteral("社員テーブル%1").arg(i % 100),
        QStringLiteral("status%1").arg(i % 10),
        QStringLiteral("id-%1").arg(i, 0, 16),
        QStringLiteral("2016/09/%1").arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
        QString::number(qint64(i) * 7),
        QString::number(i / 3.0, 'f', 4),
        QStringLiteral("部署名称の長いテキスト%1").arg(i % 1000),
        QStringLiteral("unique text number %1").arg(i),
    };
}

const char *const PythonWriter = R"(
import sys, time, resource, openpyxl
rows = int(sys.argv[1]); out = sys.argv[2]
t = time.time()
wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet('Sheet1')
for i in range(1, rows + 1):
    ws.append([i, round(i * 0.25 + 0.01, 2), '社員テーブル%d' % (i % 100), 'status%d' % (i % 10),
               'id-%x' % i, '2016/09/%02d' % (i % 28 + 1), i * 7, round(i / 3.0, 4),
               '部署名称の長いテキスト%d' % (i % 1000), 'unique text number %d' % i])
wb.save(out)
print('%.3f %d' % (time.time() - t, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss))
)";

QString toolScript()
{
    QDir dir(QCoreApplication::applicationDirPath());
    for (int i = 0; i < 6; ++i) {
        const QString p = dir.filePath(QStringLiteral("tests/platform/xlsx_tool.py"));
        if (QFileInfo::exists(p))
            return p;
        if (!dir.cdUp())
            break;
    }
    return {};
}

long peakKiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool oursOnly = args.contains(QStringLiteral("--ours-only"));
    const int rows = args.size() > 1 ? args.last().toInt() > 0 ? args.last().toInt() : 100000 : 100000;
    QTemporaryDir dir;
    const long baseKiB = peakKiB();

    // openpyxl first, while this process is still small: a child inherits the peak
    // resident size of the process that started it
    double pyTime = 0, pyMiB = 0;
    if (!oursOnly) {
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(PythonWriter), QString::number(rows), dir.filePath(QStringLiteral("py.xlsx"))});
        py.waitForFinished(-1);
        const QStringList res = QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char(' '));
        if (res.size() == 2) {
            pyTime = res[0].toDouble();
            pyMiB = res[1].toDouble() / 1024.0;
            std::printf("openpyxl write-only: %.3f s, peak RSS %.1f MiB\n", pyTime, pyMiB);
        } else {
            std::printf("openpyxl run failed: %s\n", py.readAllStandardError().constData());
        }
    }
    QElapsedTimer t;
    t.start();
    double fillTime = 0;
    {
        wb::Workbook book = wb::Workbook::blank();
        wb::Sheet &s = book.activeSheet();
        for (int i = 1; i <= rows; ++i)
            s.setRowTexts(i, 1, rowTexts(i));
        fillTime = t.elapsed() / 1000.0;
        book.save(dir.filePath(QStringLiteral("ours.xlsx")));
    }
    const double ours = t.elapsed() / 1000.0;
    const long oursKiB = peakKiB();
    std::printf("workbook layer: %d rows x 10 columns: %.3f s, peak RSS %.1f MiB (%.1f MiB before)\n", rows, ours,
                oursKiB / 1024.0, baseKiB / 1024.0);
    std::printf("  filling %.3f s (texts made by the caller included), saving %.3f s\n", fillTime, ours - fillTime);
    std::printf("  file size %.1f MiB\n", QFileInfo(dir.filePath(QStringLiteral("ours.xlsx"))).size() / 1048576.0);

    if (pyTime > 0)
        std::printf("ratio: time %.2f x, memory %.2f x\n", ours / pyTime, (oursKiB / 1024.0) / pyMiB);
    if (oursOnly)
        return 0;

    // form case
    const QString script = toolScript();
    if (script.isEmpty())
        return 0;
    QProcess::execute(QStringLiteral("/usr/bin/python3"),
                      {script, QStringLiteral("form"), QStringLiteral("body"), dir.filePath(QStringLiteral("form.xlsx"))});
    t.restart();
    {
        wb::Workbook book = wb::Workbook::open(dir.filePath(QStringLiteral("form.xlsx")));
        wb::Sheet &s = book.activeSheet();
        // rows 5..24 form the 20-row block
        for (int k = 1; k < 500; ++k)
            s.copyBlock(5, 1, 24, 255, 5 + k * 20, 1);
        QList<QVariantList> rect;
        for (int i = 0; i < 10000; ++i)
            rect.append({QVariant(i + 1), QStringLiteral("項目%1").arg(i), QStringLiteral("varchar"), QVariant(20)});
        s.setValues(5, 1, rect);
        book.save(dir.filePath(QStringLiteral("form-out.xlsx")));
    }
    std::printf("form case (open, 499 block copies, 10,000 records, save): %.3f s\n", t.elapsed() / 1000.0);
    return 0;
}
