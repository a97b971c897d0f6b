#include "EngineErrorSink.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QThread>
#include <cstdio>

namespace {

class DefaultErrorSink final : public EngineErrorSink {
public:
    void ShowError(const QString& text) override {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (app && QThread::currentThread() == app->thread()) {
            platform::Messages().Show(nullptr, QStringLiteral("Error"), text, platform::MessageIcon::Error,
                                      platform::MessageButtons::Ok);
            return;
        }
        const QByteArray bytes = QStringLiteral("Error: %1\n").arg(text).toLocal8Bit();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
        std::fflush(stderr);
    }
};

DefaultErrorSink defaultSink;
EngineErrorSink* currentSink = &defaultSink;

} // namespace

EngineErrorSink& ErrorSink() {
    return *currentSink;
}

EngineErrorSink* SetErrorSink(EngineErrorSink* sink) {
    EngineErrorSink* previous = currentSink;
    currentSink = sink ? sink : &defaultSink;
    return previous;
}
