// Dates as the English platform reads and prints them.
#include <algorithm>
#include <cmath>
#include <ctime>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "platform/coerce.h"
#include "platform/text.h"

namespace {

// ---------------------------------------------------------------------------
// Dates: days since 12/30/1899; for negative values the fraction still counts
// forward from midnight of the (earlier) day.

constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Civil {
    int64_t year, month, day;
};

Civil CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

constexpr int64_t kDayZero = DaysFromCivil(1899, 12, 30);
constexpr double kFirstDate = -657434.0;  // 1/1/100
constexpr double kLastDate = 2958465.0;   // 12/31/9999
constexpr int64_t kSecondsPerDay = 86400;

DATE ComposeDate(int64_t day, int64_t seconds) {
    const double time = static_cast<double>(seconds) / kSecondsPerDay;
    return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

// Date text as the English platform reads it: numbers, month names and AM/PM markers.
// Numbers joined by ':' or '.' are a time (hours, minutes, seconds), and so is one number
// with a marker; the time stands before or after the date. The other numbers and the month
// name make the date, read month/day/year first, then year/month/day, then day/month/year;
// a date without a year falls in the current year.

struct DateToken {
    enum class Kind { kNumber, kMonth, kMarker };
    Kind kind;
    int64_t value;  // the number; the month 1 to 12; 1 for PM, 0 for AM
    int digits;     // of a number
    char joint;     // what joins it to the token before: ' ', '/', '-', ',', ':' or '.'
};

constexpr std::string_view kMonthNames[] = {"january",   "february", "march",    "april",
                                            "may",       "june",     "july",     "august",
                                            "september", "october",  "november", "december"};

// The month a full or three-letter English name stands for, or the marker AM/A or PM/P.
bool ReadDateWord(std::string_view word, DateToken* token) {
    for (size_t i = 0; i < std::size(kMonthNames); ++i) {
        if (EqualsIgnoringCase(word, kMonthNames[i]) ||
            EqualsIgnoringCase(word, kMonthNames[i].substr(0, 3))) {
            *token = {DateToken::Kind::kMonth, static_cast<int64_t>(i) + 1, 0, ' '};
            return true;
        }
    }
    const bool pm = EqualsIgnoringCase(word, "pm") || EqualsIgnoringCase(word, "p");
    if (!pm && !EqualsIgnoringCase(word, "am") && !EqualsIgnoringCase(word, "a")) return false;
    *token = {DateToken::Kind::kMarker, pm ? 1 : 0, 0, ' '};
    return true;
}

// Splits trimmed text into tokens; false for any other character, for a separator at
// either end or doubled, and for a comma anywhere but after a month name.
bool TokenizeDate(std::string_view s, std::vector<DateToken>* tokens) {
    char joint = 0;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        if (std::string_view("/-,:.").find(c) != std::string_view::npos) {
            if (joint != 0 || tokens->empty()) return false;
            if (c == ',' && tokens->back().kind != DateToken::Kind::kMonth) return false;
            joint = c;
            ++i;
            continue;
        }
        const size_t start = i;
        DateToken token{DateToken::Kind::kNumber, 0, 0, ' '};
        if (IsDigit(c)) {
            for (; i < s.size() && IsDigit(s[i]); ++i) {
                if (++token.digits > 4) return false;
                token.value = token.value * 10 + (s[i] - '0');
            }
        } else if (IsLetter(c)) {
            while (i < s.size() && IsLetter(s[i]))
                ++i;
            if (!ReadDateWord(s.substr(start, i - start), &token)) return false;
        } else {
            return false;
        }
        token.joint = joint != 0 ? joint : ' ';
        joint = 0;
        tokens->push_back(token);
    }
    return joint == 0;
}

// Hours, minutes and seconds (one to three numbers of up to two digits), with the marker
// when there is one; a marker applies to hours up to 12 only.
bool ReadTime(std::span<const DateToken> parts, const DateToken* marker, int64_t* seconds) {
    if (parts.size() > 3 || (parts.size() == 1 && marker == nullptr)) return false;
    int64_t hms[3] = {0, 0, 0};
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].digits > 2) return false;
        hms[i] = parts[i].value;
    }
    int64_t hour = hms[0];
    if (hour > 23 || hms[1] > 59 || hms[2] > 59) return false;
    if (marker && hour <= 12) hour = hour % 12 + (marker->value != 0 ? 12 : 0);
    *seconds = hour * 3600 + hms[1] * 60 + hms[2];
    return true;
}

// The serial day of a valid date; false outside 1/1/100 to 12/31/9999.
bool DayOf(int64_t year, int64_t month, int64_t dayOfMonth, int64_t* day) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || dayOfMonth < 1) return false;
    const int64_t first = DaysFromCivil(year, month, 1);
    const int64_t next =
        month == 12 ? DaysFromCivil(year + 1, 1, 1) : DaysFromCivil(year, month + 1, 1);
    if (dayOfMonth > next - first) return false;
    *day = first + dayOfMonth - 1 - kDayZero;
    return true;
}

// One- and two-digit years mean 2000-2029 and 1930-1999.
int64_t YearOf(const DateToken& number) {
    if (number.digits > 2) return number.value;
    return number.value + (number.value < 30 ? 2000 : 1900);
}

int64_t CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// The date of two or three numbers, or of a month name with one or two numbers. Days and
// months have at most two digits.
bool ReadDate(const std::vector<DateToken>& parts, int64_t* day) {
    const auto month = std::find_if(parts.begin(), parts.end(), [](const DateToken& t) {
        return t.kind == DateToken::Kind::kMonth;
    });
    std::vector<DateToken> numbers;
    std::copy_if(parts.begin(), parts.end(), std::back_inserter(numbers),
                 [](const DateToken& t) { return t.kind == DateToken::Kind::kNumber; });
    if (numbers.size() + (month != parts.end()) != parts.size()) return false;  // two months
    const auto small = [](const DateToken& t) { return t.digits <= 2 ? t.value : -1; };
    const auto date = [day](int64_t y, int64_t m, int64_t d) { return DayOf(y, m, d, day); };
    const int64_t thisYear = CurrentYear();
    if (month != parts.end()) {
        const int64_t m = month->value;
        if (numbers.size() == 1) {
            return date(thisYear, m, small(numbers[0])) ||
                   date(YearOf(numbers[0]), m, 1);  // "Jan 35" is January 1935
        }
        return numbers.size() == 2 && (date(YearOf(numbers[1]), m, small(numbers[0])) ||
                                       date(YearOf(numbers[0]), m, small(numbers[1])));
    }
    if (numbers.size() == 2) {
        const DateToken& a = numbers[0];
        const DateToken& b = numbers[1];
        return date(thisYear, small(a), small(b)) || date(thisYear, small(b), small(a)) ||
               date(YearOf(a), small(b), 1) || date(YearOf(b), small(a), 1);
    }
    if (numbers.size() != 3) return false;
    const DateToken& a = numbers[0];
    const DateToken& b = numbers[1];
    const DateToken& c = numbers[2];
    return date(YearOf(c), small(a), small(b)) || date(YearOf(a), small(b), small(c)) ||
           date(YearOf(c), small(b), small(a));
}

bool ParseDate(std::string_view text, DATE* out) {
    std::vector<DateToken> tokens;
    if (!TokenizeDate(Trim(text), &tokens) || tokens.empty()) return false;
    std::vector<DateToken> dateParts;
    int64_t seconds = 0;
    bool hasTime = false;
    bool dotsOnly = true;  // whether the time's numbers are joined by '.' alone
    for (size_t i = 0; i < tokens.size();) {
        const DateToken& token = tokens[i];
        if (token.kind == DateToken::Kind::kMarker) return false;  // no time before it
        size_t end = i + 1;
        while (token.kind == DateToken::Kind::kNumber && end < tokens.size() &&
               tokens[end].kind == DateToken::Kind::kNumber &&
               (tokens[end].joint == ':' || tokens[end].joint == '.')) {
            dotsOnly = dotsOnly && tokens[end].joint == '.';
            ++end;
        }
        const DateToken* marker =
            end < tokens.size() && tokens[end].kind == DateToken::Kind::kMarker ? &tokens[end]
                                                                                : nullptr;
        if (token.kind != DateToken::Kind::kNumber || (end == i + 1 && !marker)) {
            if (token.joint == ':' || token.joint == '.') return false;
            dateParts.push_back(token);
            ++i;
            continue;
        }
        const size_t next = end + (marker ? 1 : 0);
        // One time, at the start or the end.
        if (hasTime || (i != 0 && next != tokens.size())) return false;
        hasTime = true;
        dotsOnly = dotsOnly && !marker;
        if (!ReadTime(std::span(tokens).subspan(i, end - i), marker, &seconds)) return false;
        i = next;
    }
    // "0.0" is the number zero, not midnight.
    if (dateParts.empty() && dotsOnly && seconds == 0) return false;
    int64_t day = 0;
    if (!dateParts.empty() && !ReadDate(dateParts, &day)) return false;
    *out = ComposeDate(day, seconds);
    return true;
}

std::string FormatDate(DATE value) {
    const double whole = std::trunc(value);
    int64_t day = static_cast<int64_t>(whole);
    int64_t seconds = std::llround(std::fabs(value - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        // Rounding reached midnight, which is the next day; past the last valid day the
        // text would not read back, so that day keeps its last second.
        if (day + 1 > kLastDate) {
            seconds = kSecondsPerDay - 1;
        } else {
            seconds -= kSecondsPerDay;
            ++day;
        }
    }
    std::string text;
    if (day != 0) {
        const Civil civil = CivilFromDays(day + kDayZero);
        text = std::to_string(civil.month) + "/" + std::to_string(civil.day) + "/" +
               std::to_string(civil.year);
    }
    if (day == 0 || seconds != 0) {
        const int64_t hour = seconds / 3600;
        const int64_t minute = seconds / 60 % 60;
        const int64_t second = seconds % 60;
        auto two = [](int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
        if (!text.empty()) text += " ";
        text += std::to_string(hour % 12 == 0 ? 12 : hour % 12) + ":" + two(minute) + ":" +
                two(second) + (hour < 12 ? " AM" : " PM");
    }
    return text;
}

}  // namespace

bool IsDateInRange(DATE value) {
    return value > kFirstDate - 1 && value < kLastDate + 1;
}

HRESULT VarDateFromStr(std::string_view text, DATE* out) {
    return ParseDate(text, out) ? S_OK : DISP_E_TYPEMISMATCH;
}

HRESULT VarBstrFromDate(DATE value, std::string* out) {
    if (!IsDateInRange(value)) return E_INVALIDARG;
    *out = FormatDate(value);
    return S_OK;
}
