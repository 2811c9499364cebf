#include "common/skin/widgets/DateCalendar.h"
#include "tests/common/skin/widgets/QtTestApp.h"

#include <QComboBox>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

using dvr::skin::CalendarRules;
using dvr::skin::DateCalendar;

namespace {
class CalendarTest : public ::testing::Test {};
}  // namespace

TEST(CalendarRules, WeekdayHeaderAsSpelled) {
    const char* expected[] = {"Sun", "Mon", "Tue", "Wed", "Thr", "Fri", "Sat"};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(CalendarRules::weekdayHeader(c), QString::fromLatin1(expected[c]));
}

TEST(CalendarRules, DatesClampToTheNearerLimit) {
    const std::pair<QDate, QDate> cases[] = {
        {QDate(1900, 11, 30), QDate(1900, 12, 1)},
        {QDate(1850, 6, 1), QDate(1900, 12, 1)},
        {QDate(2200, 2, 1), QDate(2200, 1, 31)},
        {QDate(2026, 12, 7), QDate(2026, 12, 7)},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CalendarRules::clamp(in), out) << in.toString(Qt::ISODate).toStdString();
}

TEST(CalendarRules, MonthStepsGoThirtyDaysFromTheFifteenth) {
    const std::tuple<QDate, int, QDate> cases[] = {
        {QDate(2026, 1, 1), 1, QDate(2026, 2, 1)},    {QDate(2026, 1, 1), -1, QDate(2025, 12, 1)},
        {QDate(2026, 3, 1), -1, QDate(2026, 2, 1)},   {QDate(2026, 2, 1), 1, QDate(2026, 3, 1)},
        {QDate(1900, 12, 1), -1, QDate(1900, 12, 1)}, {QDate(2200, 1, 1), 1, QDate(2200, 1, 1)},
    };
    for (const auto& [shown, direction, expected] : cases)
        EXPECT_EQ(CalendarRules::stepMonth(shown, direction), expected);
    EXPECT_EQ(CalendarRules::withYear(QDate(2026, 5, 1), 1900), QDate(1900, 12, 1));
    EXPECT_EQ(CalendarRules::withYear(QDate(2026, 5, 1), 2300), QDate(2200, 1, 1));
}

TEST_F(CalendarTest, ClickingADayChoosesIt) {
    DateCalendar c;
    c.resize(c.sizeHint());
    c.setDate(QDate(2026, 12, 7));
    std::vector<QDate> chosen;
    QObject::connect(&c, &DateCalendar::dateChosen, &c, [&](const QDate& d) { chosen.push_back(d); });
    // Dec 2026 starts on a Tuesday: the 1st is row 0, column 2; the 24th row 3, column 4.
    const QPoint at = c.cellRect(3, 4).center();
    EXPECT_EQ(c.dateAt(at), QDate(2026, 12, 24));
    press(c, at);
    release(c, at);
    EXPECT_EQ(chosen, std::vector<QDate>{QDate(2026, 12, 24)});
    EXPECT_EQ(c.date(), QDate(2026, 12, 24));
    EXPECT_EQ(DateCalendar::dayToolTip(QDate(2026, 12, 24)), QStringLiteral("Thursday, December 24, 2026"));
}

TEST_F(CalendarTest, ControlsFollowTheMonthShown) {
    DateCalendar c;
    c.resize(c.sizeHint());
    c.setTodayForTesting(QDate(2026, 12, 7));
    c.setDate(QDate(2026, 1, 15));
    auto* months = c.findChild<QComboBox*>(QStringLiteral("monthList"));
    auto* year = c.findChild<QSpinBox*>(QStringLiteral("yearField"));
    auto* down = c.findChild<QToolButton*>(QStringLiteral("monthDown"));
    auto* today = c.findChild<QToolButton*>(QStringLiteral("today"));
    ASSERT_TRUE(months && year && down && today);
    EXPECT_EQ(months->count(), 12);
    EXPECT_EQ(months->currentIndex(), 0);
    EXPECT_EQ(year->text(), QStringLiteral("2026"));
    down->click();
    EXPECT_EQ(c.shownMonth(), QDate(2025, 12, 1));
    EXPECT_EQ(months->currentIndex(), 11);
    EXPECT_EQ(year->value(), 2025);
    year->setValue(1900);
    EXPECT_EQ(c.shownMonth(), QDate(1900, 12, 1)) << "December is the first month allowed in 1900";
    EXPECT_FALSE(down->isEnabled());
    today->click();
    EXPECT_EQ(c.shownMonth(), QDate(2026, 12, 1));
    EXPECT_EQ(c.date(), QDate(2026, 1, 15)) << "showing a month does not change the chosen date";
}
