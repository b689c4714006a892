#pragma once
// A sequence as the sequence editor shows it, read from the catalogs and written back as
// CREATE, ALTER and DROP text. Plain values and functions, used by the window and by the
// script entry of the editor table alike.
#include <QHash>
#include <QString>
#include <QStringList>

class TkdConnForm;
struct TScriptBatchItem;

struct TSequenceDef {
    QString LastValue = QStringLiteral("1"); // last_value; the START of a new sequence
    QString MinValue = QStringLiteral("1");
    QString MaxValue = QStringLiteral("9223372036854775807");
    QString Increment = QStringLiteral("1");
    QString Cache = QStringLiteral("1");     // empty: no CACHE clause
    bool Cycle = false;
    bool NoMin = true;
    bool NoMax = true;
    bool OwnedNone = true;
    QString Table, Column;                   // OWNED BY, read only when OwnedNone is false
    QString TypeName = QStringLiteral("bigint"); // smallint, integer or bigint
    bool operator==(const TSequenceDef &) const = default;
};

// The limits of a sequence's data type (bigint for any other name).
qint64 SequenceTypeMin(const QString &TypeName);
qint64 SequenceTypeMax(const QString &TypeName);

// NO MAXVALUE / NO MINVALUE read from the stored values: the increment's sign decides which
// end is the default; the limits are those of the sequence's type.
void InferSequenceDefaults(TSequenceDef &Def);

// Reads a sequence; false when it does not exist. Server errors are thrown. In a script loop
// that announced the sequence (core/kdscriptbatch.h) the facts come from the block read below.
bool LoadSequenceDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TSequenceDef &Def);
// Many sequences in one statement, with the facts LoadSequenceDef gives: those among Items
// (schema and name) that exist, by TScriptBatch::Key.
QHash<QString, TSequenceDef> LoadSequenceDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items);

// The qualified name as a string literal for nextval, currval and setval.
QString SequenceNameLiteral(const QString &Schema, const QString &Name);

// CREATE SEQUENCE text. Prefix: the schema prefix of the CREATE line ("" or "schema.").
QStringList SequenceCreateLines(const TSequenceDef &Def, const QString &Prefix, const QString &Schema,
                                const QString &Name);
// ALTER SEQUENCE text for the differences between the loaded and the edited values; a
// changed last value becomes a setval statement. Empty when nothing changed.
QStringList SequenceAlterLines(const TSequenceDef &Saved, const TSequenceDef &Now, const QString &Schema,
                               const QString &Name);
QStringList SequenceDropLines(const QString &Schema, const QString &Name);
QString SequenceDropStatement(const QString &Schema, const QString &Name);
