#include "core/kdlisterror.h"

QString EListError::MessageFor(qsizetype AIndex)
{
    return QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(AIndex);
}

EListError::EListError(qsizetype AIndex)
    : std::out_of_range(MessageFor(AIndex).toStdString()), FMessage(MessageFor(AIndex))
{
}
