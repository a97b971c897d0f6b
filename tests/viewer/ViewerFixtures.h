#pragma once

#include "TempFolder.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QTextBrowser;
class QWidget;

// A folder of hand-made result pages, written as the engine writes them: Windows-1252 bytes.
class PageFolder {
public:
    // Writes `bytes` as the file `name` in the folder (sub-folders made) and returns its path.
    QString Write(const QString& name, const std::string& bytes);
    QString Path() const { return QString::fromStdString(dir_.Path()); }

private:
    test::TempFolder dir_;
};

// A page with a link to the anchor "t1" further down, and the two bytes the engine writes
// most: 0x96 (en dash) and 0xB0 (degree sign).
std::string LinkedPage(const std::string& marker);

// Runs `call` (which opens a modal viewer) and, once the viewer is up, hands it to `inspect`;
// the viewer is closed afterwards if `inspect` left it open, so a failing test never hangs.
std::uintptr_t WhileModal(const std::function<std::uintptr_t()>& call,
                          const std::function<void(QWidget&)>& inspect);

// Clicks the middle of the first occurrence of `text` in the browser's page.
void ClickText(QTextBrowser& browser, const QString& text);
