#include "frames/frame_support.h"

#include "core/kdforms.h"
#include <QToolButton>
#include <QVBoxLayout>

#include "core/kdforms.h"
#include "platform/db/dbquery.h"

#include <QWidget>

TkdForm *FrameHost(const QWidget *frame)
{
    for (const QWidget *w = frame; w; w = w->parentWidget())
        if (auto *f = qobject_cast<const TkdForm *>(w))
            return const_cast<TkdForm *>(f);
    return nullptr;
}

QIcon FrameImage(int index)
{
    TkdMainForm *main = TkdMainForm::Instance();
    return main ? main->Image(index) : QIcon();
}

QList<TFrameRow> ReadFrameRows(TkdConnForm *conn, const QString &sql, const QStringList &values)
{
    QList<TFrameRow> rows;
    db::Query *q = conn->OpenSQL(sql, values);
    try {
        q->fetchAll();
        const int cols = q->fieldCount();
        for (int r = 0; r < q->fetchedCount(); ++r) {
            TFrameRow row;
            row.reserve(cols);
            for (int c = 0; c < cols; ++c)
                row << (q->isNull(r, c) ? QVariant() : QVariant(q->valueString(r, c)));
            rows << row;
        }
    } catch (...) {
        q->close();
        throw;
    }
    q->close();
    return rows;
}

QString OidArrayText(const QList<quint32> &oids)
{
    QStringList parts;
    parts.reserve(oids.size());
    for (quint32 oid : oids)
        parts << QString::number(oid);
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

QToolButton *AddFrameToolButton(QWidget *bar, QVBoxLayout *column, const QString &name, int image,
                                const QString &hint, std::function<void()> work)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(name);
    b->setIcon(FrameImage(image));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setFixedSize(24, 24);
    b->setFocusPolicy(Qt::NoFocus);
    QObject::connect(b, &QToolButton::clicked, bar, [work] { GuardedCall(work); });
    column->addWidget(b);
    return b;
}
