// Statements of the object-list commands (see objcommands.h).
#include "browser/objcommands.h"

#include "core/kdsub_service.h"
#include "core/kdsub_start.h"
#include "core/kdsub_text.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>

namespace {

QString Q(const QString &S)
{
    return QuoteIdentifier(S);
}

QString Qualified(const QString &Schema, const QString &Name)
{
    return Q(Schema) + u'.' + Q(Name);
}

QString Sub(const QStringList &Items, int Index)
{
    return Index >= 0 && Index < Items.size() ? Items.at(Index) : QString();
}

} // namespace

TListObject ListObjectOf(const QString &Caption, int ImageIndex, const QStringList &SubItems)
{
    TListObject o;
    o.Type = ImageIndex;
    o.Name = Caption;
    o.Schema = Sub(SubItems, kSubSchema);
    o.Table = Sub(SubItems, kSubTable);
    o.Arguments = Sub(SubItems, kSubArguments);
    o.Oid = Sub(SubItems, kSubOid);
    return o;
}

bool OffersCascade(int Type)
{
    return Type == 45 || Type == 55;
}

QString DropStatement(const TListObject &O, bool Cascade)
{
    const QString cascade = Cascade ? QStringLiteral(" CASCADE") : QString();
    switch (O.Type) {
    case 45:
        return QStringLiteral("DROP TABLE ") + Qualified(O.Schema, O.Name) + cascade;
    case 46:
        return QStringLiteral("DROP INDEX ") + Qualified(O.Schema, O.Name);
    case 47:
        return QStringLiteral("DROP VIEW ") + Qualified(O.Schema, O.Name);
    case 52:
        return QStringLiteral("DROP FUNCTION ") + Qualified(O.Schema, O.Name) + u'(' + O.Arguments + u')' + cascade;
    case 55:
        return QStringLiteral("DROP TYPE ") + Qualified(O.Schema, O.Name) + cascade;
    case 57:
        return QStringLiteral("DROP TRIGGER ") + Q(O.Name) + QStringLiteral(" ON ") + Qualified(O.Schema, O.Table);
    case 58:
        return QStringLiteral("DROP SEQUENCE ") + Qualified(O.Schema, O.Name);
    case 66:
        return QStringLiteral("ALTER TABLE ") + Qualified(O.Schema, O.Table) + QStringLiteral(" DROP CONSTRAINT ") + Q(O.Name);
    case 127:
        return QStringLiteral("DROP RULE ") + Q(O.Name) + QStringLiteral(" ON ") + Qualified(O.Schema, O.Table);
    default:
        return QString();
    }
}

QString RenameStatement(const TListObject &O, const QString &NewName, const QString &ConstraintTable)
{
    const QString to = QStringLiteral(" RENAME TO ") + Q(NewName);
    switch (O.Type) {
    case 45:
        return QStringLiteral("ALTER TABLE ") + Qualified(O.Schema, O.Name) + to;
    case 46:
        return QStringLiteral("ALTER INDEX  ") + Qualified(O.Schema, O.Name) + to;
    case 47:
        return QStringLiteral("ALTER VIEW ") + Qualified(O.Schema, O.Name) + to;
    case 52:
        return QStringLiteral("ALTER FUNCTION ") + Qualified(O.Schema, O.Name) + QStringLiteral(" (") + O.Arguments
               + QStringLiteral(") ") + to;
    case 55:
        return QStringLiteral("ALTER TYPE ") + Qualified(O.Schema, O.Name) + to;
    case 57:
        return QStringLiteral("ALTER TRIGGER ") + Q(O.Name) + QStringLiteral(" ON ") + Qualified(O.Schema, O.Table) + to;
    case 58:
        return QStringLiteral("ALTER SEQUENCE ") + Qualified(O.Schema, O.Name) + to;
    case 66:
        return QStringLiteral("ALTER TABLE ") + Qualified(O.Schema, ConstraintTable) + QStringLiteral(" RENAME CONSTRAINT ")
               + Q(O.Name) + QStringLiteral(" TO ") + Q(NewName);
    default:
        return QString();
    }
}

bool MayRenameObject(const TListObject &O, const QString &LoginSchema, int DBVer)
{
    switch (O.Type) {
    case 45: case 46: case 47: case 52: case 55: case 57: case 58:
        break;
    case 66:
        if (DBVer < 90200)
            return false;
        break;
    default:
        return false;
    }
    return O.Schema == LoginSchema;
}

QStringList ReindexLines(const QString &Schema, const QString &Name)
{
    return {QStringLiteral("REINDEX INDEX ") + Qualified(Schema, Name), QStringLiteral(";")};
}

QString ExpandUserMacros(const QString &Sql, const QString &Caption, const QStringList &SubItems)
{
    QString s = Sql;
    auto put = [&s](const QString &macro, const QString &value) {
        s.replace(macro, value, Qt::CaseInsensitive);
    };
    put(QStringLiteral("&NAME"), Caption);
    put(QStringLiteral("&OWNER"), Sub(SubItems, 0));
    put(QStringLiteral("&TYPE"), Sub(SubItems, 1));
    put(QStringLiteral("&0"), Caption);
    for (int n = int(SubItems.size()) - 1; n >= 1; --n)
        put(u'&' + QString::number(n), SubItems.at(n - 1));
    return s;
}

QString UserCommandPath(const QString &Name)
{
    return AppDataFolder() + QStringLiteral("USERCMD/") + Name + QStringLiteral(".cmd");
}

TUserCommand GetCommandValue(const QString &Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        throw TkdFileError(QStringLiteral("ファイルを開けません。\r\n") + QDir::toNativeSeparators(Path) + QStringLiteral("\r\n")
                           + file.errorString());
    QDomDocument doc;
    const bool parsed = doc.setContent(&file);
    const QString notSupported = QStringLiteral("このバージョンのファイルには対応していません。");
    if (!parsed)
        throw TkdFileError(notSupported);
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("KDDOC"))
        throw TkdFileError(notSupported);
    bool ok = false;
    double version = root.attribute(QStringLiteral("KDDOC-VERSION")).trimmed().toDouble(&ok);
    if (!ok)
        version = 99.9;
    if (version > 2)
        throw TkdFileError(notSupported);
    TUserCommand c;
    const QDomElement e = root.firstChildElement(QStringLiteral("USERCMD"));
    if (e.isNull())
        return c;
    auto flag = [&e](const char *name) {
        const QString v = e.attribute(QString::fromUtf8(name)).trimmed();
        return v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1")
               || v == QLatin1String("-1");
    };
    c.Dialog = flag("DIALOG");
    c.SQLWindow = flag("SQLWINDOW");
    c.Error = flag("ERROR");
    c.SQL = e.attribute(QStringLiteral("SQL"));
    return c;
}
