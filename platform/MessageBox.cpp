#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace platform {
namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer Show(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon,
                       MessageButtons buttons) override {
        // Each box is also written to the error output, so a program run without a screen (or
        // by a script) still tells what it asked.
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        std::fflush(stderr);
        QMessageBox box(ToQt(icon), caption, text, ToQt(buttons), owner);
        switch (box.exec()) {
        case QMessageBox::Yes: return MessageAnswer::Yes;
        case QMessageBox::No: return MessageAnswer::No;
        case QMessageBox::Cancel: return MessageAnswer::Cancel;
        default: break;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

QtMessageBoxes qtBoxes;
MessageBoxes* current = &qtBoxes;

} // namespace

MessageBoxes& Messages() { return *current; }

MessageBoxes* SetMessages(MessageBoxes* boxes) {
    MessageBoxes* previous = current;
    current = boxes ? boxes : &qtBoxes;
    return previous;
}

} // namespace platform
