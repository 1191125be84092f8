#pragma once
// The program's date: a double counting days since 30 December 1899 in local
// time, the fraction being the time of day (0.5 = noon).
#include <string>

namespace quorel {

struct CalendarDate {
    int year = 1899, month = 12, day = 30;
};
struct ClockTime {
    int hour = 0, minute = 0, second = 0, msec = 0;
};

// Calendar date → whole day count. Returns false for an invalid date
// (month 0, 31 April, 29 February of a common year, year outside 1..9999).
bool TryEncodeDate(int year, int month, int day, double& out);
double EncodeDate(int year, int month, int day); // 0 for an invalid date
double EncodeTime(int hour, int minute, int second, int msec = 0);
// Whole part → calendar date (negative days count backwards from 1899-12-30).
CalendarDate DecodeDate(double date);
// Fraction → time of day, rounded to the millisecond.
ClockTime DecodeTime(double date);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// 1 = Sunday .. 7 = Saturday, like the original system's DayOfWeek.
int DayOfWeek(double date);

double Now();   // local date and time
double Today(); // local date, time 00:00

// Julian day number of the calendar day of date (time of day ignored):
// (M − 2 + 12a) × 367 div 12 + ((Y + 4800 − a) × 1461) div 4
//   − ((Y + 4900 − a) div 100 × 3) div 4 + D − 32075, with a = 1 when M < 3.
long DayNumber(double date);

// "dd/mm/yyyy"-style formatting with the patterns the program uses:
// d dd m mm yy yyyy h hh n nn s ss; other characters are copied.
std::string FormatDateTime(std::string_view pattern, double date);

} // namespace quorel
