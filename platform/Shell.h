#pragma once

#include <QString>
#include <QUrl>

#include <string_view>

// The shell's "open": a web address, a mail address or a file handed to the program registered
// for it (browser, mail program, help viewer). The real one is QDesktopServices; tests install
// a recorder, so nothing is started.
namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // False when no program could be started for it.
    virtual bool Open(const QUrl& url) = 0;
};

// The shell in use: the desktop's unless a test installed another. Not owned.
Shell& CurrentShell();
// Installs `shell` (nullptr restores the desktop's); returns the previous one.
Shell* SetShell(Shell* shell);

// Hands `url` to the shell in use. When no program could be started for it, a box captioned
// "Error" says so and names the page, where the desktop itself would say nothing; a caller that
// knows another way to the page gives it as `whatHelps`, said after that.
void OpenOrReport(const QUrl& url, const QString& whatHelps = QString());
// That box's text.
QString NotOpenedText(const QUrl& url);

// The address of a local file named in the file system's bytes; a relative name is taken from
// the current folder, as the shell would.
QUrl FileUrl(std::string_view path);

} // namespace platform
