#include "frames/date_popup.h"

#include "core/kdsub_options.h"
#include "platform/db/dbdataset.h"
#include "platform/db/dbfield.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QTimeEdit>
#include <QVBoxLayout>

TkdDatePopup::TkdDatePopup(QWidget *AParent) : QFrame(AParent)
{
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    auto *col = new QVBoxLayout(this);
    col->setContentsMargins(2, 2, 2, 2);
    FDisplay = new QLabel(this);
    FDisplay->setObjectName(QStringLiteral("lblDate"));
    col->addWidget(FDisplay);
    FCalendar = new QCalendarWidget(this);
    FCalendar->setObjectName(QStringLiteral("calDate"));
    col->addWidget(FCalendar);
    FTime = new QTimeEdit(this);
    FTime->setObjectName(QStringLiteral("edtTime"));
    FTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    col->addWidget(FTime);
    connect(FCalendar, &QCalendarWidget::selectionChanged, this, &TkdDatePopup::Changed);
    connect(FTime, &QTimeEdit::timeChanged, this, &TkdDatePopup::Changed);
    connect(FCalendar, &QCalendarWidget::activated, this, &TkdDatePopup::Close);
}

QString TkdDatePopup::FormatValue() const
{
    const db::DisplayFormats &f = db::displayFormats();
    QString text = FCalendar->selectedDate().toString(f.date);
    if (FWithTime)
        text += u' ' + FTime->time().toString(f.time);
    return text;
}

QString TkdDatePopup::DisplayText() const
{
    return FPlaceholder ? QStringLiteral("g") : FormatValue();
}

void TkdDatePopup::Open(db::Field *AField, const QRect &ACell)
{
    FField = AField;
    FLoading = true;
    const QString text = AField->text().trimmed();
    // Date and time when the value's text is longer than a date alone (or a timestamp column).
    FWithTime = AField->dataType() == db::FieldType::DateTime
                || text.size() > db::displayFormats().date.size();
    FPlaceholder = text.isEmpty();
    if (FPlaceholder) {
        FCalendar->setSelectedDate(QDate::currentDate());
        FTime->setTime(QTime(0, 0));
    } else {
        const QDateTime dt = AField->dataType() == db::FieldType::DateTime ? AField->asDateTime()
                                                                             : QDateTime(AField->asDate(), QTime(0, 0));
        FCalendar->setSelectedDate(dt.date());
        FTime->setTime(dt.time());
    }
    FTime->setVisible(FWithTime);
    FDisplay->setText(DisplayText());
    FLoading = false;
    adjustSize();
    QRect r(ACell.topLeft() + QPoint(0, 1), sizeHint());
    r.setWidth(std::max(r.width(), ACell.width() + 1));
    if (QWidget *p = parentWidget()) {
        if (r.bottom() > p->height())
            r.moveBottom(std::max(r.height(), p->height()) - 1);
        if (r.right() > p->width())
            r.moveRight(std::max(r.width(), p->width()) - 1);
    }
    setGeometry(r);
    show();
    raise();
    FCalendar->setFocus();
}

void TkdDatePopup::Changed()
{
    if (FLoading || !FField || !FField->dataSet() || !FField->dataSet()->isActive())
        return;
    FPlaceholder = false;
    FField->setText(FormatValue());
    FDisplay->setText(DisplayText());
}

void TkdDatePopup::Close()
{
    hide();
    FField = nullptr;
    if (OnClosed)
        OnClosed();
}

void TkdDatePopup::keyPressEvent(QKeyEvent *AEvent)
{
    if (AEvent->key() == Qt::Key_Escape || AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
        Close();
        return;
    }
    QFrame::keyPressEvent(AEvent);
}
