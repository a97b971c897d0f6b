#include "ResultBrowser.h"

#include "platform/Cp1252.h"

#include <QFile>

namespace viewer {
namespace {

QString ErrorPage(const QString& what, const QString& reason) {
    return QStringLiteral("<html><body><h3>The page cannot be displayed</h3>"
                          "<p>The file <b>%1</b> could not be read.</p><p>%2</p></body></html>")
        .arg(what.toHtmlEscaped(), reason.toHtmlEscaped());
}

} // namespace

QString ReadResultPage(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return ErrorPage(fileName, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return ErrorPage(fileName, file.errorString());
    return platform::FromCp1252(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

ResultBrowser::ResultBrowser(QWidget* parent) : QTextBrowser(parent) {}

void ResultBrowser::Navigate(const QUrl& address) {
    // The same address again would only scroll; a navigation always reads the file.
    if (address == source())
        reload();
    else
        setSource(address, QTextDocument::HtmlResource);
}

void ResultBrowser::GoBack() {
    if (isBackwardAvailable()) backward();
}

void ResultBrowser::GoForward() {
    if (isForwardAvailable()) forward();
}

QVariant ResultBrowser::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::HtmlResource) return QTextBrowser::loadResource(type, name);
    if (!name.isLocalFile())
        return ErrorPage(name.toString(), QStringLiteral("Only pages on this computer can be shown here."));
    return ReadResultPage(name.toLocalFile());
}

} // namespace viewer
