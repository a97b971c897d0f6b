#pragma once

#include <QString>
#include <ostream>

// GoogleTest prints Qt texts as text, not as bytes. Found by argument-dependent lookup.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
