#pragma once

#include <QChar>
#include <QString>

// The class library's edit masks ("!99/99/9999;1; ": mask characters, whether literals are kept,
// the blank character) in QLineEdit's input mask notation.
namespace widgets {

// "/" and ":" become the given separators; an empty mask gives the empty input mask. The
// leading "!" (drop leading blanks) has no counterpart and is left out.
QString InputMaskOf(const QString& editMask, QChar dateSeparator, QChar timeSeparator);

} // namespace widgets
