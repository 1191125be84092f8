#include "platform/datetime.h"

#include <gtest/gtest.h>

using namespace quorel;

TEST(Date, KnownDayCounts) {
    struct Row {
        int y, m, d;
        double days;
    } rows[] = {
        {1899, 12, 30, 0},   {1899, 12, 31, 1},   {1900, 1, 1, 2},
        {1900, 3, 1, 61},    {2000, 1, 1, 36526}, {2000, 2, 29, 36585},
        {1996, 3, 1, 35125}, {1, 1, 1, -693593},  {2026, 12, 7, 46363},
    };
    for (const Row& r : rows) {
        EXPECT_DOUBLE_EQ(EncodeDate(r.y, r.m, r.d), r.days) << r.y << "-" << r.m << "-" << r.d;
        CalendarDate c = DecodeDate(r.days);
        EXPECT_EQ(c.year, r.y);
        EXPECT_EQ(c.month, r.m);
        EXPECT_EQ(c.day, r.d);
    }
}

TEST(Date, InvalidDatesAreRefused) {
    double d = 0;
    EXPECT_FALSE(TryEncodeDate(1999, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(2000, 4, 31, d));
    EXPECT_FALSE(TryEncodeDate(2000, 13, 1, d));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d)); // 1900 is not a leap year
}

TEST(Date, TimeOfDayIsTheFraction) {
    double dt = EncodeDate(2001, 5, 17) + EncodeTime(18, 30, 15);
    ClockTime t = DecodeTime(dt);
    EXPECT_EQ(t.hour, 18);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.second, 15);
    EXPECT_EQ(DecodeDate(dt).day, 17);
    // Almost midnight rounds up to the next day, not to 24:00.
    double late = EncodeDate(2001, 5, 17) + 0.9999999999;
    EXPECT_EQ(DecodeDate(late).day, 18);
    EXPECT_EQ(DecodeTime(late).hour, 0);
}

TEST(Date, DayNumberIsJulianAndIgnoresTime) {
    // 2000-01-01 is Julian day 2451545.
    EXPECT_EQ(DayNumber(EncodeDate(2000, 1, 1)), 2451545);
    EXPECT_EQ(DayNumber(EncodeDate(2000, 1, 1) + 0.99), 2451545);
    EXPECT_EQ(DayNumber(EncodeDate(2000, 3, 1)) - DayNumber(EncodeDate(2000, 2, 28)), 2);
    EXPECT_EQ(DayNumber(EncodeDate(1899, 12, 30)), 2415019);
}

TEST(Date, DayOfWeekAndFormatting) {
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 7)), 2); // a Monday
    EXPECT_EQ(DayOfWeek(0), 7);                       // 1899-12-30, a Saturday
    double dt = EncodeDate(2003, 4, 5) + EncodeTime(7, 8, 9);
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss", dt), "05/04/2003 07:08:09");
    EXPECT_EQ(FormatDateTime("d/m/yy", dt), "5/4/03");
}

TEST(Date, NowIsToday) {
    double now = Now();
    EXPECT_GE(now, Today());
    EXPECT_LT(now - Today(), 1.0);
    EXPECT_GT(Today(), EncodeDate(2020, 1, 1));
}
