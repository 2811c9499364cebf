#pragma once

#include <QDate>
#include <QWidget>

class QComboBox;
class QSpinBox;
class QToolButton;

namespace dvr::skin {

// Pure month arithmetic of the date calendar.
struct CalendarRules {
    static QDate minimumDate() { return {1900, 12, 1}; }
    static QDate maximumDate() { return {2200, 1, 31}; }
    static constexpr int kMinimumYear = 1900;
    static constexpr int kMaximumYear = 2200;
    // The date moved into the allowed span (to the nearer limit).
    static QDate clamp(const QDate& date);
    // One month back (-1) or forward (+1): 30 days from the 15th of the month
    // shown, kept inside the limits; the first day of the resulting month.
    static QDate stepMonth(const QDate& shown, int direction);
    // First day of the month shown after the year field moved to year (the
    // month kept, then the date limits applied).
    static QDate withYear(const QDate& shown, int year);
    // First cell of the six-week grid of the month of shown (a Sunday).
    static QDate gridStart(const QDate& shown);
    // Weekday header text of column 0..6 (Sunday first).
    static QString weekdayHeader(int column);
};

// The playback window's month calendar: month drop-down (4098), four-digit
// year field with up-down (4100), month up-down (4096), "today" button
// (4097) and a day grid with a Sunday-first header. Days are chosen with the
// left button; each day cell has a tooltip.
class DateCalendar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMonthUpDownId = 4096;
    static constexpr int kTodayId = 4097;
    static constexpr int kMonthListId = 4098;
    static constexpr int kYearUpDownId = 4100;

    explicit DateCalendar(QWidget* parent = nullptr);

    // Selects date (clamped into the limits) and shows its month.
    void setDate(const QDate& date);
    QDate date() const { return m_selected; }
    // First day of the month shown.
    QDate shownMonth() const { return m_shown; }
    // Shows the month of date without changing the selection.
    void showMonth(const QDate& date);
    // Date of the day cell under point (widget coordinates), or null.
    QDate dateAt(const QPoint& point) const;
    QRect cellRect(int row, int column) const;
    // Tooltip text of a day cell.
    static QString dayToolTip(const QDate& date);
    // Replaces today (for tests); by default today is the system's local date, read each time it is
    // needed, so a window left open past midnight marks and jumps to the new day.
    void setTodayForTesting(const QDate& today) { m_todayOverride = today; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // The user chose a day (on release of the left button).
    void dateChosen(const QDate& date);
    // The month shown changed (month list, year field, up-downs, today).
    void monthShown(const QDate& firstOfMonth);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncControls();
    QRect gridArea() const;
    void pickAt(const QPoint& point);

    QComboBox* m_monthList = nullptr;
    QSpinBox* m_yearField = nullptr;
    QToolButton* m_monthDown = nullptr;
    QToolButton* m_monthUp = nullptr;
    QToolButton* m_todayButton = nullptr;
    QDate m_shown;
    QDate m_selected;
    QDate today() const { return m_todayOverride.isValid() ? m_todayOverride : QDate::currentDate(); }

    QDate m_todayOverride;
    bool m_picking = false;
    bool m_syncing = false;
};

}  // namespace dvr::skin
