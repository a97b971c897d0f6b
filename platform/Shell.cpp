#include "Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

namespace platform {
namespace {

class DesktopShell final : public Shell {
public:
    bool Open(const QUrl& url) override {
        // QDesktopServices needs the GUI application object; without one nothing can be opened.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
        return QDesktopServices::openUrl(url);
    }
};

DesktopShell desktopShell;
Shell* current = &desktopShell;

} // namespace

Shell& CurrentShell() {
    return *current;
}

Shell* SetShell(Shell* shell) {
    Shell* previous = current;
    current = shell ? shell : &desktopShell;
    return previous;
}

QUrl FileUrl(std::string_view path) {
    const QString name = QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    return QUrl::fromLocalFile(QDir::cleanPath(QDir::current().absoluteFilePath(name)));
}

} // namespace platform
