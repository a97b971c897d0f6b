#pragma once

#include <initializer_list>

class QAbstractButton;
class QKeyEvent;
class QObject;

// Enter, of the main keys or of the keypad.
bool IsEnterKey(const QKeyEvent& key);

// The entry forms have no default button (Enter moves on in their fields), so a focused button
// takes Enter as a press itself, as it takes Space. For a form's key preview: true when
// `watched` is one of `buttons` and Enter pressed it.
bool PressedByEnter(QObject* watched, const QKeyEvent& key, std::initializer_list<QAbstractButton*> buttons);
