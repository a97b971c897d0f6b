#pragma once

#include <QString>

// Where the engine reports a failure: one "Error" message for the whole call. A library must
// not open a window in a process that has no QApplication, so the default sink writes to
// stderr there. Tests install their own sink.
class EngineErrorSink {
public:
    virtual ~EngineErrorSink() = default;
    virtual void ShowError(const QString& text) = 0;
};

// The sink in use. Not owned.
EngineErrorSink& ErrorSink();
// Installs `sink` (nullptr restores the default); returns the previous one.
EngineErrorSink* SetErrorSink(EngineErrorSink* sink);
