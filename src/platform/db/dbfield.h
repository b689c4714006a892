#pragma once
// One column of an open data set, read and written at the data set's current record.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QDate>
#include <QDateTime>

namespace db {

class DataSet;

// Kinds of fields. Each server type maps to one kind in one table (dbfield.cpp):
// int2/int4 Integer; int8 LargeInt; float4/float8 Float; numeric Decimal (kept as the
// server's text); bool Boolean; varchar/name/char WideString; bpchar FixedWideChar;
// text/json/jsonb/xml WideMemo; bytea Bytes (shown as hex); oid/xid LongWord; date Date;
// timestamp/timestamptz DateTime; any other type WideString.
enum class FieldType {
    Integer, LargeInt, Float, Decimal, Boolean, WideString, FixedWideChar, WideMemo,
    Bytes, LongWord, Date, DateTime,
};
FieldType fieldTypeOf(unsigned typeOid);

// Formats of the display text of dates and times (the program's format settings).
struct DisplayFormats {
    QString date = QStringLiteral("yyyy/MM/dd");
    QString time = QStringLiteral("HH:mm:ss");
};
const DisplayFormats &displayFormats();
void setDisplayFormats(const DisplayFormats &formats);

// Where a grid puts a field's text in its cell.
enum class Alignment { Left, Right, Center };

class Field {
public:
    Field(DataSet *owner, int index) : FOwner(owner), FIndex(index) {}

    int index() const { return FIndex; }
    DataSet *dataSet() const { return FOwner; }
    const QString &name() const { return FName; }
    QString displayName() const { return FDisplayName.isEmpty() ? FName : FDisplayName; }
    void setDisplayName(const QString &text) { FDisplayName = text; }
    FieldType dataType() const { return FType; }
    unsigned typeOid() const { return FTypeOid; }
    int typeModifier() const { return FTypeMod; }
    // Declared length of varchar(n)/char(n), precision of numeric(p,s); 0 when none.
    int size() const { return FSize; }
    // Width in characters a grid gives the column by default.
    int displayWidth() const { return FDisplayWidth; }
    void setDisplayWidth(int chars) { FDisplayWidth = chars; }
    bool visible() const { return FVisible; }
    void setVisible(bool on) { FVisible = on; }
    bool readOnly() const { return FReadOnly; }
    void setReadOnly(bool on) { FReadOnly = on; }
    // Numbers are right-aligned, other kinds left-aligned, until set otherwise.
    Alignment alignment() const { return FAlignment; }
    void setAlignment(Alignment value) { FAlignment = value; }
    unsigned tableOid() const { return FTableOid; }   // base table of the column, 0 when none
    int tableColumn() const { return FTableColumn; }  // its attribute number, 0 when none

    // ---- value at the current record (the edit buffer while editing) -------------------
    bool isNull() const;
    // The server's text of the value, in the client encoding, without a copy; empty for NULL.
    QByteArrayView raw() const;
    QString asString() const; // the server's text, decoded; empty for NULL
    int asInteger() const;    // 0 for NULL; throws Error when the text is not an integer
    qint64 asLargeInt() const;
    double asFloat() const;
    bool asBoolean() const;
    QByteArray asBytes() const; // bytea decoded to its bytes; other types: the raw text
    QDate asDate() const;
    QDateTime asDateTime() const;
    // The display text: dates and date-times in the display formats, booleans as
    // "True"/"False", bytea as hex digits, any other value as the server's text.
    QString text() const;

    // ---- writing (puts the data set into edit mode when it browses) ------------------
    // Sets the value from a display text: the inverse of text(); an empty text makes the
    // value NULL except for string kinds.
    void setText(const QString &text);
    void setAsString(const QString &value);
    void setAsInteger(qint64 value);
    void setAsFloat(double value);
    void setAsBoolean(bool value);
    void setAsDate(const QDate &value);
    void setAsDateTime(const QDateTime &value);
    void setAsBytes(const QByteArray &value);
    void clear(); // NULL

private:
    friend class DataSet;
    DataSet *FOwner;
    int FIndex;
    QString FName;
    QString FDisplayName;
    FieldType FType = FieldType::WideString;
    unsigned FTypeOid = 0;
    int FTypeMod = -1;
    int FSize = 0;
    int FDisplayWidth = 0;
    bool FVisible = true;
    bool FReadOnly = false;
    Alignment FAlignment = Alignment::Left;
    unsigned FTableOid = 0;
    int FTableColumn = 0;
};

} // namespace db
