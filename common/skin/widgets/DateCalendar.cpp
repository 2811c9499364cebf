#include "common/skin/widgets/DateCalendar.h"

#include <QComboBox>
#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QSpinBox>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>

namespace dvr::skin {

namespace {
constexpr int kBarHeightPx = 24;
constexpr int kHeaderHeightPx = 18;
constexpr int kRows = 6;
constexpr int kColumns = 7;

const QColor kSundayColour(255, 64, 64);
const QColor kSaturdayColour(64, 64, 255);
const QColor kWeekdayColour(192, 192, 192);
const QColor kCellText(220, 224, 230);
const QColor kOtherMonthText(110, 116, 126);
const QColor kSelectedFill(6, 181, 255);
const QColor kTodayFrame(255, 196, 64);

// Year field written with four digits.
class YearSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override {
        return QStringLiteral("%1").arg(value, 4, 10, QLatin1Char('0'));
    }
};
}  // namespace

QDate CalendarRules::clamp(const QDate& date) {
    if (!date.isValid())
        return minimumDate();
    return std::clamp(date, minimumDate(), maximumDate());
}

QDate CalendarRules::stepMonth(const QDate& shown, int direction) {
    const QDate middle(shown.year(), shown.month(), 15);
    const QDate moved = clamp(middle.addDays(direction < 0 ? -30 : 30));
    return QDate(moved.year(), moved.month(), 1);
}

QDate CalendarRules::withYear(const QDate& shown, int year) {
    year = std::clamp(year, kMinimumYear, kMaximumYear);
    const QDate moved = clamp(QDate(year, shown.month(), 1));
    return QDate(moved.year(), moved.month(), 1);
}

QDate CalendarRules::gridStart(const QDate& shown) {
    const QDate first(shown.year(), shown.month(), 1);
    // dayOfWeek: Monday 1 .. Sunday 7; Sunday opens the row.
    return first.addDays(-(first.dayOfWeek() % 7));
}

QString CalendarRules::weekdayHeader(int column) {
    static const char* const kNames[kColumns] = {"Sun", "Mon", "Tue", "Wed", "Thr", "Fri", "Sat"};
    if (column < 0 || column >= kColumns)
        return {};
    return QString::fromLatin1(kNames[column]);
}

DateCalendar::DateCalendar(QWidget* parent) : QWidget(parent) {
    // Dark controls that sit on the skin's panels.
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(0x1e, 0x22, 0x29));
    dark.setColor(QPalette::WindowText, kCellText);
    dark.setColor(QPalette::Base, QColor(0x0b, 0x0d, 0x10));
    dark.setColor(QPalette::AlternateBase, QColor(0x1e, 0x22, 0x29));
    dark.setColor(QPalette::Text, kCellText);
    dark.setColor(QPalette::Button, QColor(0x2e, 0x34, 0x3e));
    dark.setColor(QPalette::ButtonText, kCellText);
    dark.setColor(QPalette::Highlight, kSelectedFill);
    dark.setColor(QPalette::HighlightedText, Qt::black);
    dark.setColor(QPalette::Light, QColor(0x4c, 0x55, 0x63));
    dark.setColor(QPalette::Mid, QColor(0x2e, 0x34, 0x3e));
    dark.setColor(QPalette::Dark, QColor(0x12, 0x15, 0x1a));
    dark.setColor(QPalette::Disabled, QPalette::Text, kOtherMonthText);
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, kOtherMonthText);
    setPalette(dark);
    m_monthDown = new QToolButton(this);
    m_monthDown->setObjectName(QStringLiteral("monthDown"));
    m_monthDown->setArrowType(Qt::LeftArrow);
    m_monthDown->setProperty("controlId", kMonthUpDownId);
    m_monthUp = new QToolButton(this);
    m_monthUp->setObjectName(QStringLiteral("monthUp"));
    m_monthUp->setArrowType(Qt::RightArrow);
    m_monthUp->setProperty("controlId", kMonthUpDownId);

    m_monthList = new QComboBox(this);
    m_monthList->setObjectName(QStringLiteral("monthList"));
    m_monthList->setProperty("controlId", kMonthListId);
    const QLocale locale;
    for (int month = 1; month <= 12; ++month)
        m_monthList->addItem(locale.standaloneMonthName(month, QLocale::LongFormat));

    m_yearField = new YearSpinBox(this);
    m_yearField->setObjectName(QStringLiteral("yearField"));
    m_yearField->setProperty("controlId", kYearUpDownId);
    m_yearField->setRange(CalendarRules::kMinimumYear, CalendarRules::kMaximumYear);
    m_yearField->setButtonSymbols(QAbstractSpinBox::UpDownArrows);

    m_todayButton = new QToolButton(this);
    m_todayButton->setObjectName(QStringLiteral("today"));
    m_todayButton->setProperty("controlId", kTodayId);
    m_todayButton->setText(QStringLiteral("\u25CF"));
    m_todayButton->setToolTip(QStringLiteral("Today"));

    connect(m_monthDown, &QToolButton::clicked, this,
            [this] { showMonth(CalendarRules::stepMonth(m_shown, -1)); });
    connect(m_monthUp, &QToolButton::clicked, this,
            [this] { showMonth(CalendarRules::stepMonth(m_shown, +1)); });
    connect(m_todayButton, &QToolButton::clicked, this, [this] { showMonth(today()); });
    connect(m_monthList, &QComboBox::activated, this,
            [this](int index) { showMonth(QDate(m_shown.year(), index + 1, 1)); });
    connect(m_yearField, &QSpinBox::valueChanged, this, [this](int year) {
        if (!m_syncing)
            showMonth(CalendarRules::withYear(m_shown, year));
    });

    setMouseTracking(false);
    setDate(today());
}

QSize DateCalendar::sizeHint() const {
    return {232, 188};
}

void DateCalendar::setDate(const QDate& date) {
    m_selected = CalendarRules::clamp(date);
    showMonth(m_selected);
}

void DateCalendar::showMonth(const QDate& date) {
    const QDate clamped = CalendarRules::clamp(date);
    const QDate first(clamped.year(), clamped.month(), 1);
    const bool changed = first != m_shown;
    m_shown = first;
    syncControls();
    update();
    if (changed)
        Q_EMIT monthShown(m_shown);
}

void DateCalendar::syncControls() {
    m_syncing = true;
    m_monthList->setCurrentIndex(m_shown.month() - 1);
    m_yearField->setValue(m_shown.year());
    m_syncing = false;
    m_monthDown->setEnabled(m_shown > CalendarRules::minimumDate());
    m_monthUp->setEnabled(
        QDate(m_shown.year(), m_shown.month(), 1) <
        QDate(CalendarRules::maximumDate().year(), CalendarRules::maximumDate().month(), 1));
}

void DateCalendar::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int h = kBarHeightPx - 2;
    const int arrow = 20;
    const int today = 20;
    const int year = 62;
    m_monthDown->setGeometry(0, 1, arrow, h);
    m_monthUp->setGeometry(w - arrow, 1, arrow, h);
    m_todayButton->setGeometry(w - arrow - today - 2, 1, today, h);
    m_yearField->setGeometry(w - arrow - today - year - 4, 1, year, h);
    m_monthList->setGeometry(arrow + 2, 1, std::max(40, w - 2 * arrow - today - year - 8), h);
}

QRect DateCalendar::gridArea() const {
    const int top = kBarHeightPx + kHeaderHeightPx;
    return QRect(0, top, width(), std::max(0, height() - top));
}

QRect DateCalendar::cellRect(int row, int column) const {
    const QRect area = gridArea();
    const int cellW = area.width() / kColumns;
    const int cellH = area.height() / kRows;
    const int offsetX = (area.width() - cellW * kColumns) / 2;
    return QRect(area.left() + offsetX + column * cellW, area.top() + row * cellH, cellW, cellH);
}

QDate DateCalendar::dateAt(const QPoint& point) const {
    const QDate start = CalendarRules::gridStart(m_shown);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            if (cellRect(row, column).contains(point))
                return start.addDays(row * kColumns + column);
        }
    }
    return {};
}

QString DateCalendar::dayToolTip(const QDate& date) {
    return QLocale(QLocale::English, QLocale::UnitedStates)
        .toString(date, QStringLiteral("dddd, MMMM d, yyyy"));
}

void DateCalendar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(font());

    // Weekday header on a transparent background.
    for (int column = 0; column < kColumns; ++column) {
        const QRect cell = cellRect(0, column);
        const QRect header(cell.left(), kBarHeightPx, cell.width(), kHeaderHeightPx);
        painter.setPen(column == 0 ? kSundayColour : column == 6 ? kSaturdayColour : kWeekdayColour);
        painter.drawText(header, Qt::AlignCenter, CalendarRules::weekdayHeader(column));
    }
    painter.setPen(QColor(70, 76, 86));
    painter.drawLine(0, kBarHeightPx + kHeaderHeightPx - 1, width(), kBarHeightPx + kHeaderHeightPx - 1);

    const QDate start = CalendarRules::gridStart(m_shown);
    const QDate todayNow = today();
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const QDate day = start.addDays(row * kColumns + column);
            const QRect cell = cellRect(row, column).adjusted(1, 1, -1, -1);
            const bool inMonth = day.month() == m_shown.month();
            const bool allowed = day >= CalendarRules::minimumDate() && day <= CalendarRules::maximumDate();
            if (day == m_selected) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(isEnabled() ? kSelectedFill : QColor(90, 96, 106));
                painter.drawRoundedRect(cell, 3, 3);
            }
            if (day == todayNow) {
                painter.setPen(QPen(kTodayFrame, 1));
                painter.setBrush(Qt::NoBrush);
                painter.drawRoundedRect(cell, 3, 3);
            }
            QColor text = inMonth ? kCellText : kOtherMonthText;
            if (inMonth && column == 0)
                text = kSundayColour;
            if (day == m_selected)
                text = Qt::black;
            if (!allowed || !isEnabled())
                text = text.darker(180);
            painter.setPen(text);
            painter.drawText(cell, Qt::AlignCenter, QString::number(day.day()));
        }
    }
}

void DateCalendar::pickAt(const QPoint& point) {
    const QDate day = dateAt(point);
    if (!day.isValid())
        return;
    const QDate clamped = CalendarRules::clamp(day);
    if (clamped != m_selected) {
        m_selected = clamped;
        update();
    }
}

void DateCalendar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !gridArea().contains(event->position().toPoint()))
        return;
    m_picking = true;
    pickAt(event->position().toPoint());
}

void DateCalendar::mouseMoveEvent(QMouseEvent* event) {
    if (m_picking)
        pickAt(event->position().toPoint());
}

void DateCalendar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_picking)
        return;
    m_picking = false;
    pickAt(event->position().toPoint());
    if (m_selected.month() != m_shown.month() || m_selected.year() != m_shown.year())
        showMonth(m_selected);
    Q_EMIT dateChosen(m_selected);
}

bool DateCalendar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                const QRect cell = cellRect(row, column);
                if (cell.contains(help->pos())) {
                    const QDate day = CalendarRules::gridStart(m_shown).addDays(row * kColumns + column);
                    QToolTip::showText(help->globalPos(), dayToolTip(day), this, cell);
                    return true;
                }
            }
        }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

}  // namespace dvr::skin
