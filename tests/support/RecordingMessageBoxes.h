#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <vector>

// Records every box shown and answers from a queue (Ok / Yes when the queue is empty).
// Installs itself for its lifetime.
class RecordingMessageBoxes final : public platform::MessageBoxes {
public:
    struct Shown {
        QWidget* owner;
        QString caption;
        QString text;
        platform::MessageIcon icon;
        platform::MessageButtons buttons;
    };

    RecordingMessageBoxes() : previous_(platform::SetMessages(this)) {}
    ~RecordingMessageBoxes() override { platform::SetMessages(previous_); }

    void SetNextAnswer(platform::MessageAnswer answer) { answers_.push_back(answer); }

    platform::MessageAnswer Show(QWidget* owner, const QString& caption, const QString& text,
                                 platform::MessageIcon icon, platform::MessageButtons buttons) override {
        shown.push_back({owner, caption, text, icon, buttons});
        if (!answers_.empty()) {
            platform::MessageAnswer answer = answers_.front();
            answers_.pop_front();
            return answer;
        }
        return buttons == platform::MessageButtons::Ok || buttons == platform::MessageButtons::OkCancel
                   ? platform::MessageAnswer::Ok
                   : platform::MessageAnswer::Yes;
    }

    std::vector<Shown> shown;

private:
    platform::MessageBoxes* previous_;
    std::deque<platform::MessageAnswer> answers_;
};
