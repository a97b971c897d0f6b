#include "Shell.h"

#include "MessageBox.h"

#include <QApplication>
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

void OpenOrReport(const QUrl& url, const QString& whatHelps) {
    if (CurrentShell().Open(url)) return;
    const QString text = whatHelps.isEmpty() ? NotOpenedText(url) : NotOpenedText(url) + u'\n' + whatHelps;
    Messages().Show(QApplication::activeWindow(), QStringLiteral("Error"), text, MessageIcon::Error,
                    MessageButtons::Ok);
}

QString NotOpenedText(const QUrl& url) {
    if (url.scheme() == QStringLiteral("mailto"))
        return QStringLiteral("No mail program could be started for a message to \"%1\".").arg(url.path());
    const QString page =
        url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toDisplayString();
    return QStringLiteral("The page \"%1\" could not be opened: no program to show it was found.").arg(page);
}

QUrl FileUrl(std::string_view path) {
    const QString name = QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    return QUrl::fromLocalFile(QDir::cleanPath(QDir::current().absoluteFilePath(name)));
}

} // namespace platform
