#include "browser/savedsource.h"

#include "core/kddialogsupport.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"

#include <QFileInfo>

TSavedSourceOptions SavedSourceOptions(bool After)
{
    const TkdOption &o = TkdOption::Global();
    if (After)
        return {o.SaveAfterSrc, o.SaveAfterSrcDir, o.SaveAfterSrcRenum, o.SaveAfterSrcDialog, o.SaveAfterSrcHead};
    return {o.SaveBeforeSrc, o.SaveBeforeSrcDir, o.SaveBeforeSrcRenum, o.SaveBeforeSrcDialog, o.SaveBeforeSrcHead};
}

QString SavedSourceFolder(const QString &Dir, const QString &Schema, const QString &TypeName)
{
    QString dir = Dir;
    dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return dir + SafePathPart(Schema) + QStringLiteral("/") + SafePathPart(TypeName);
}

QString SavedSourceFile(const QString &Folder, const QString &Base, bool Renum)
{
    const QString stem = Folder + QStringLiteral("/") + SafePathPart(Base);
    if (!Renum)
        return stem + QStringLiteral(".SQL");
    for (int n = 0; n < 100; ++n) {
        const QString name = stem + QStringLiteral("_%1.SQL").arg(n, 2, 10, QLatin1Char('0'));
        if (!QFileInfo::exists(name))
            return name;
    }
    return stem + QStringLiteral("_100.SQL");
}

QString SavedSourceHeader(const QDateTime &When, bool After)
{
    const TkdFormatSettings &f = TkdFormatSettings::Global();
    const QString stamp = When.toString(DelphiToQtFormat(f.ShortDateFormat)) + QLatin1Char(' ')
        + When.toString(DelphiToQtFormat(f.LongTimeFormat));
    return QStringLiteral("-- ") + stamp + (After ? QStringLiteral(" 変更後ソース") : QStringLiteral(" 変更前ソース"));
}

QString NameTableOf(const QStringList &NameTable, const QString &Database)
{
    const QString prefix = Database + QLatin1Char('=');
    for (const QString &entry : NameTable)
        if (entry.startsWith(prefix))
            return entry.mid(prefix.size());
    return QString();
}

QString NameTableSQL(const QString &Table)
{
    QStringList parts;
    for (const QString &part : Table.split(QLatin1Char('.')))
        parts << QuoteIdentifier(part);
    return QStringLiteral(" SELECT SCRIPT_NAME FROM   ") + parts.join(QLatin1Char('.'))
        + QStringLiteral(" WHERE  OWNER         = :OWNER AND    OBJECT_NAME   = :OBJECT_NAME"
                         " AND    OBJECT_TYPE   = :OBJECT_TYPE");
}
