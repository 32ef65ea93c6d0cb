// Tests of the calendar numbers and the five date-time strings at a fixed, injected time,
// and that each string belongs to one moment even while the clock moves on.
#include <ctime>
#include <string>

#include "helpers_fixture.h"

namespace {
long long CalendarNow = 0;
int CalendarStep = 0;   // seconds the clock moves on after each read
long long SteppingCalendar() {
    const long long now = CalendarNow;
    CalendarNow += CalendarStep;
    return now;
}

// The moment of a local date and time, whatever the time zone of the machine.
long long LocalMoment(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&t));
}
}  // namespace

class Calendar : public CoreHelpers {
protected:
    void At(long long moment, int step = 0) {
        CalendarNow = moment;
        CalendarStep = step;
        CalendarClock = SteppingCalendar;
    }
};

TEST_F(Calendar, NumbersAndStringsForAFixedTime) {
    At(LocalMoment(2019, 3, 7, 9, 5, 3));
    EXPECT_EQ(core->Date_Day(), 7);
    EXPECT_EQ(core->Date_Month(), 3);
    EXPECT_EQ(core->Date_Year(), 2019);
    EXPECT_EQ(core->Time_Hour(), 9);
    EXPECT_EQ(core->Time_Minute(), 5);
    EXPECT_EQ(core->Time_Second(), 3);
    EXPECT_EQ(core->Date_str(), "07/03/2019");
    EXPECT_EQ(core->Time_str(), "09:05:03");
    EXPECT_EQ(core->DateTime_str(), "07/03/2019 09:05:03");
    EXPECT_EQ(core->DateTime_file(), "07-03-2019_09-05-03");
    EXPECT_EQ(core->DateTime_fileb(), "2019-03-07_09-05-03");
}

TEST_F(Calendar, TwoDigitFieldsAndFourDigitYears) {
    At(LocalMoment(2024, 12, 31, 23, 59, 58));
    EXPECT_EQ(core->DateTime_str(), "31/12/2024 23:59:58");
    At(LocalMoment(2001, 1, 1, 0, 0, 0));
    EXPECT_EQ(core->DateTime_fileb(), "2001-01-01_00-00-00");
}

TEST_F(Calendar, EachStringBelongsToOneMomentWhileTheClockMovesOn) {
    // The clock steps one second per read, starting a second before midnight: a string
    // read part by part would carry the next day's date with the old day's time.
    struct Case { std::string (VornCore::*text)(); const char* want; };
    const Case cases[] = {{&VornCore::DateTime_fileb, "2019-12-31_23-59-59"},
                          {&VornCore::DateTime_str, "31/12/2019 23:59:59"},
                          {&VornCore::DateTime_file, "31-12-2019_23-59-59"},
                          {&VornCore::Time_str, "23:59:59"},
                          {&VornCore::Date_str, "31/12/2019"}};
    for (const auto& c : cases) {
        At(LocalMoment(2019, 12, 31, 23, 59, 59), 1);
        EXPECT_EQ(((*core).*c.text)(), c.want);
    }
}
