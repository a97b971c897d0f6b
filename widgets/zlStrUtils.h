#pragma once

#include <QString>

namespace widgets {

// Small text helpers of the numeric edit, the calculator and the date edit. Blanks are the
// space character only.

// Every character of `text` is one of `set`; true for an empty text.
bool AllCharsIn(const QString& text, const QString& set);
// Every occurrence of `search`, left to right; replaced text is not searched again. An empty
// `search` leaves the text as it is.
QString ReplaceAll(const QString& text, const QString& search, const QString& replacement);
QString RemoveChar(const QString& text, QChar ch);
QString TrimLeadingBlanks(const QString& text);
QString TrimTrailingBlanks(const QString& text);
QString TrimBlanks(const QString& text);
// `count` copies of `ch`; empty for a count of 0 or less.
QString RepeatChar(QChar ch, int count);

} // namespace widgets
