#pragma once
// The list index error of the program: an index outside a list, raised by the parse list of
// the SQL analysis and by the indexed properties of the grids, check lists and printers (a
// caller's programming error), always with the same message.
#include <QString>
#include <QtGlobal>

#include <stdexcept>

class EListError : public std::out_of_range
{
public:
    explicit EListError(qsizetype AIndex);
    // "リストのインデックスが範囲を超えています (n)"
    static QString MessageFor(qsizetype AIndex);
    QString message() const { return FMessage; }

private:
    QString FMessage;
};
