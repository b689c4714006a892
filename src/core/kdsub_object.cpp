// Object-type vocabulary and connection identity.
#include "core/kdsub_object.h"
#include <QStringList>
#include <iterator>

namespace {

struct KindName { int code; const char *name; };

// Code 3 is a second user code: it converts to its name, the name converts to 2.
constexpr KindName KindNames[] = {
    {2, "USER"}, {3, "USER"}, {45, "TABLE"}, {46, "INDEX"}, {47, "VIEW"},
    {48, "JAVA SOURCE"}, {49, "JAVA CLASS"}, {50, "JAVA RESOURCE"}, {51, "PROCEDURE"},
    {52, "FUNCTION"}, {53, "PACKAGE"}, {54, "PACKAGE BODY"}, {55, "TYPE"}, {56, "TYPE BODY"},
    {57, "TRIGGER"}, {58, "SEQUENCE"}, {59, "CLUSTER"}, {60, "SYNONYM"},
    {61, "MATERIALIZED VIEW"}, {62, "MATERIALIZED VIEW LOG"}, {63, "REFRESH GROUP"},
    {64, "DATABASE LINK"}, {65, "LIBRARY"}, {66, "CONSTRAINT"}, {67, "PROFILE"}, {68, "ROLE"},
    {69, "TABLESPACE"}, {70, "ROLLBACK SEGMENT"}, {72, "DIRECTORY"}, {73, "TABLE PARTITION"},
    {74, "INDEX PARTITION"}, {127, "RULE"},
};

} // namespace

int ObjectTypeOfName(const QString &Name)
{
    const QString upper = Name.toUpper();
    for (const KindName &k : KindNames)
        if (upper == QLatin1String(k.name))
            return k.code;
    return -1;
}

QString NameOfObjectType(int Code)
{
    for (const KindName &k : KindNames)
        if (k.code == Code)
            return QString::fromLatin1(k.name);
    return QString();
}

TRecParam MakeRecParam(const QString &Server, const QString &DB, const QString &Schema,
                       const QString &Port, const QString &UserNm, const QString &Password,
                       const QString &ObjNm, const QString &ParamNm, const QString &TblNm)
{
    return TRecParam{Server, DB, Schema, Port, UserNm, Password, ObjNm, ParamNm, TblNm};
}

// Modes: 0 user + tail (the connection identity); 1 user + tail + ":" + schema;
// 2 schema + tail; 3 schema.object + tail; 4 schema.object(arguments) + tail, or mode 3
// without arguments; 5 schema.table.object + tail; 6 object + tail. The tail is
// " @ " + database + "/" + server + ":" + port.
QString FormatRecParam(const TRecParam &Rec, int Mode, bool Cut)
{
    const QString tail = QStringLiteral(" @ ") + Rec.strDB + u'/' + Rec.strServer + u':' + Rec.strPort;
    QString text;
    switch (Mode) {
    case 0: text = Rec.strUserNm + tail; break;
    case 1: text = Rec.strUserNm + tail + u':' + Rec.strSchema; break;
    case 2: text = Rec.strSchema + tail; break;
    case 3: text = Rec.strSchema + u'.' + Rec.strObjNm + tail; break;
    case 4:
        text = Rec.strParamNm.isEmpty()
                   ? Rec.strSchema + u'.' + Rec.strObjNm + tail
                   : Rec.strSchema + u'.' + Rec.strObjNm + u'(' + Rec.strParamNm + u')' + tail;
        break;
    case 5: text = Rec.strSchema + u'.' + Rec.strTblNm + u'.' + Rec.strObjNm + tail; break;
    case 6: text = Rec.strObjNm + tail; break;
    default: return QString();
    }
    if (Cut && text.size() > 12)
        return text.left(10) + QChar(0x2026);
    return text;
}

bool SameConnection(const TRecParam &A, const TRecParam &B)
{
    return A.strServer == B.strServer && A.strPort == B.strPort && A.strDB == B.strDB
           && A.strUserNm == B.strUserNm;
}

int IndexOfConnectionIdentity(const QStringList &Identities, const QString &Identity)
{
    return int(Identities.indexOf(Identity));
}
