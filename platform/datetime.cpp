#include "platform/datetime.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/time.h>

namespace quorel {
namespace {

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar.
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + long(doe) - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long yy = long(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yy + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr long kEpochOffset = -25569;

} // namespace

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

bool TryEncodeDate(int year, int month, int day, double& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    out = double(DaysFromCivil(year, unsigned(month), unsigned(day)) - kEpochOffset);
    return true;
}

double EncodeDate(int year, int month, int day) {
    double d = 0;
    return TryEncodeDate(year, month, day, d) ? d : 0.0;
}

double EncodeTime(int hour, int minute, int second, int msec) {
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
}

CalendarDate DecodeDate(double date) {
    CalendarDate c;
    if (!std::isfinite(date) || std::fabs(date) > 3.0e6) return c;
    // A time of day adds to the day for negative dates as well, so the
    // calendar day is the whole part taken toward zero.
    long whole = long(std::trunc(date));
    // Rounding: 0.99999999 of a day is still that day unless it rounds to
    // the next millisecond boundary of midnight.
    double frac = std::fabs(date - double(whole));
    if (std::llround(frac * 86400000.0) >= 86400000LL) whole += date < 0 ? -1 : 1;
    CivilFromDays(whole + kEpochOffset, c.year, c.month, c.day);
    return c;
}

ClockTime DecodeTime(double date) {
    ClockTime t;
    if (!std::isfinite(date) || std::fabs(date) > 3.0e6) return t;
    double frac = std::fabs(date - std::trunc(date));
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000LL) ms = 0;
    t.msec = int(ms % 1000);
    ms /= 1000;
    t.second = int(ms % 60);
    ms /= 60;
    t.minute = int(ms % 60);
    t.hour = int(ms / 60);
    return t;
}

int DayOfWeek(double date) {
    long whole = long(std::floor(date));
    // 1899-12-30 was a Saturday (7).
    long r = ((whole % 7) + 7 + 6) % 7; // 0 = Sunday
    return int(r) + 1;
}

double Now() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    time_t secs = tv.tv_sec;
    struct tm lt;
    localtime_r(&secs, &lt);
    return EncodeDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday) +
           EncodeTime(lt.tm_hour, lt.tm_min, lt.tm_sec, int(tv.tv_usec / 1000));
}

double Today() {
    return std::trunc(Now());
}

long DayNumber(double date) {
    CalendarDate c = DecodeDate(date);
    const long Y = c.year, M = c.month, D = c.day;
    const long a = M < 3 ? 1 : 0;
    return (M - 2 + 12 * a) * 367 / 12 + ((Y + 4800 - a) * 1461) / 4 -
           ((Y + 4900 - a) / 100 * 3) / 4 + D - 32075;
}

std::string FormatDateTime(std::string_view pattern, double date) {
    CalendarDate c = DecodeDate(date);
    ClockTime t = DecodeTime(date);
    std::string out;
    size_t i = 0;
    auto run = [&](char ch) {
        size_t n = 0;
        while (i + n < pattern.size() && (pattern[i + n] | 0x20) == ch)
            ++n;
        return n;
    };
    auto num = [&](int v, int width) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", width, v);
        out += buf;
    };
    while (i < pattern.size()) {
        char ch = char(pattern[i] | 0x20);
        size_t n = 0;
        switch (ch) {
        case 'd':
            n = run('d');
            num(c.day, n >= 2 ? 2 : 1);
            break;
        case 'm':
            n = run('m');
            num(c.month, n >= 2 ? 2 : 1);
            break;
        case 'y':
            n = run('y');
            n >= 3 ? num(c.year, 4) : num(c.year % 100, 2);
            break;
        case 'h':
            n = run('h');
            num(t.hour, n >= 2 ? 2 : 1);
            break;
        case 'n':
            n = run('n');
            num(t.minute, n >= 2 ? 2 : 1);
            break;
        case 's':
            n = run('s');
            num(t.second, n >= 2 ? 2 : 1);
            break;
        default:
            out += pattern[i];
            n = 1;
        }
        i += n;
    }
    return out;
}

} // namespace quorel
