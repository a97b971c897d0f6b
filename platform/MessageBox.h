#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through this seam, so tests answer them
// without a screen. The real one is QMessageBox; tests install a recorder.
namespace platform {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer Show(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon,
                               MessageButtons buttons) = 0;
};

// The boxes in use: the Qt one unless a test installed another. Not owned.
MessageBoxes& Messages();
// Installs `boxes` (nullptr restores the Qt one); returns the previous one.
MessageBoxes* SetMessages(MessageBoxes* boxes);

} // namespace platform
