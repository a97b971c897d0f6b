#pragma once

#include "platform/WindowsLocale.h"

#include <QString>
#include <cstddef>
#include <optional>
#include <string>

// How the test form's texts pass between its controls and the stored blocks.

// A stored text (Windows-1252, CR LF breaks) as a memo shows it: the memo breaks lines with LF.
QString MemoTextOf(const std::string& stored);
// The memo's text as stored: every break CR LF again, then cut to `capacity` - 1 bytes so the
// block keeps its terminating zero.
std::string StoredMemoText(const QString& memoText, std::size_t capacity);
// The length a memo's text has once stored: each line break counts two characters (CR LF).
qsizetype StoredLength(const QString& memoText);

// The time of day the time edit shows: hours and minutes in the locale's short time format,
// or "h:nn" (24 hours) when that format does not fit the edit's 5 characters.
QString TimeEditText(double time, const platform::FormatSettings& settings);
// A typed time as a day fraction: hours with the locale's time separator and minutes, optional
// seconds, an optional AM/PM mark (before or after); a blank text is midnight. Nothing for a
// text that is no time.
std::optional<double> ParseTimeText(const QString& text, const platform::FormatSettings& settings);
// The time of day of a stored time field (its date part, if any, dropped); nothing for a value
// that is no finite number.
std::optional<double> StoredTimeOfDay(double time);
// The warning for a time that does not read: "Time: '<text>' is not a valid time".
QString InvalidTimeText(const QString& text);
