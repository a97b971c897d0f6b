#include "app/ButtonKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>

#include <algorithm>

bool IsEnterKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

bool PressedByEnter(QObject* watched, const QKeyEvent& key, std::initializer_list<QAbstractButton*> buttons) {
    if (!IsEnterKey(key)) return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || std::find(buttons.begin(), buttons.end(), button) == buttons.end()) return false;
    button->click();
    return true;
}
