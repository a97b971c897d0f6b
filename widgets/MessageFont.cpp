#include "MessageFont.h"

#include <QApplication>
#include <QFont>

namespace widgets {

void ApplyMessageFont(QFont& font) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        font = QApplication::font("QMessageBox");
        return;
    }
    font = QFont(QStringLiteral("MS Sans Serif"), 8);
}

} // namespace widgets
