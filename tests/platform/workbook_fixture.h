#pragma once
// Helpers of the workbook tests: a scratch folder, the independent reader (openpyxl through
// Debian's own interpreter), forms made by it, and saving with the structure check.
#include "platform/workbook.h"
#include "support/qstring_printer.h"
#include "support/xlsxcheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QJsonValue &v, std::ostream *os)
{
    *os << QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).toStdString();
}

namespace wbtest {

// The reader script beside this file, found from the test program's folder upwards.
inline QString toolScript()
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

// Runs the tool; a missing interpreter, module or script fails the test, never skips it.
inline QByteArray runTool(const QStringList &args)
{
    const QString script = toolScript();
    EXPECT_FALSE(script.isEmpty()) << "tests/platform/xlsx_tool.py not found";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + args);
    EXPECT_TRUE(p.waitForFinished(120000)) << "reader did not finish";
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << "reader failed (is python3-openpyxl installed?): " << err.toStdString();
    return p.readAllStandardOutput();
}

inline QJsonObject dump(const QString &file)
{
    const QByteArray out = runTool({QStringLiteral("dump"), file});
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(out, &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << out.left(300).toStdString();
    return doc.object();
}

inline QString makeForm(const QString &kind, const QString &file)
{
    runTool({QStringLiteral("form"), kind, file});
    return file;
}

inline QJsonObject sheetOf(const QJsonObject &book, int index)
{
    return book.value(QStringLiteral("sheets")).toArray().at(index).toObject();
}

inline QJsonObject cellOf(const QJsonObject &sheet, const QString &ref)
{
    return sheet.value(QStringLiteral("cells")).toObject().value(ref).toObject();
}

// Saves and checks the structure of what was written.
inline void saveChecked(wb::Workbook &book, const QString &file)
{
    book.save(file);
    const QStringList problems = xlsxcheck::problems(file);
    EXPECT_TRUE(problems.isEmpty()) << file.toStdString() << ": " << problems.join(QStringLiteral("; ")).toStdString();
}

class WorkbookTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    // WB_KEEP=<folder> keeps the files a test writes there, for a look at them.
    QString path(const QString &name) const
    {
        const QString keep = qEnvironmentVariable("WB_KEEP");
        return keep.isEmpty() ? dir.filePath(name) : keep + QLatin1Char('/') + name;
    }
};

} // namespace wbtest
