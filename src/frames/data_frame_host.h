#pragma once
// What the data and plan frames ask of the window that holds them. The table and view
// editors, the SQL window and the other hosts implement it beside TkdForm; the frame finds
// it on its nearest TkdForm ancestor.
#include <QString>
#include <optional>

enum class TDataHostKind { Table, View, Other };

class TkdDataFrameHost
{
public:
    virtual ~TkdDataFrameHost() = default;
    // Table and view editors get the row limit, the client encoding and the column check;
    // only the table editor keeps column widths.
    virtual TDataHostKind DataHostKind() const { return TDataHostKind::Other; }
    // The number in the host's row-limit box; none when the box is empty.
    virtual std::optional<int> DataRowLimit() const { return std::nullopt; }
    // The comment of the column named FieldName in the host's column grid; empty when none.
    virtual QString DataColumnComment(const QString &FieldName) const
    {
        Q_UNUSED(FieldName);
        return QString();
    }
    // Runs the statement again and reopens the frame (the SQL window's execute, an editor's
    // reload). The default does nothing; the frame then reopens its own query.
    virtual void DataReRead() {}
};
