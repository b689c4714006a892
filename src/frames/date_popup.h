#pragma once
// The date editor of the data grids: a calendar and a time box laid over the cell, opened at
// once. Every change writes the field's text; until the first change an empty value shows
// the placeholder "g" instead of a date.
#include <QFrame>
#include <functional>

class QCalendarWidget;
class QTimeEdit;
class QLabel;
namespace db {
class Field;
}

class TkdDatePopup : public QFrame
{
    Q_OBJECT
public:
    explicit TkdDatePopup(QWidget *AParent);

    // Opens over ACell (in the parent's coordinates) on the field's value, or on today at
    // 00:00:00 with the placeholder when the value is empty.
    void Open(db::Field *AField, const QRect &ACell);
    void Close();

    QCalendarWidget *Calendar() const { return FCalendar; }
    QTimeEdit *TimeEdit() const { return FTime; }
    // The text shown above the calendar: "g" until the first change of an empty value.
    QString DisplayText() const;
    bool Placeholder() const { return FPlaceholder; }
    std::function<void()> OnClosed;

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;

private:
    void Changed();
    QString FormatValue() const;

    QCalendarWidget *FCalendar;
    QTimeEdit *FTime;
    QLabel *FDisplay;
    db::Field *FField = nullptr;
    bool FWithTime = false;
    bool FPlaceholder = false;
    bool FLoading = false;
};
