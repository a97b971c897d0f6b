#include "ResultBrowser.h"

#include "platform/Cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QRegularExpression>

namespace viewer {
namespace {

constexpr qint64 kMaxPageSize = 16 << 20;

QString ErrorPage(const QString& what, const QString& reason) {
    return QStringLiteral("<html><body><h3>The page cannot be displayed</h3>"
                          "<p>The file <b>%1</b> could not be read.</p><p>%2</p></body></html>")
        .arg(what.toHtmlEscaped(), reason.toHtmlEscaped());
}

// The page asks for light rules (<hr color=...>); the text engine ignores that attribute and
// takes a rule's colour from its background, so the colour is given again as a style.
QString WithRuleColours(QString html) {
    static const QRegularExpression rule(
        QStringLiteral(
            R"re(<hr\b((?:(?!style)[^>])*?)\bcolor\s*=\s*("([^"]*)"|'([^']*)'|([^\s/>]+))((?:(?!style)[^>])*)>)re"),
        QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype done = 0;
    for (auto it = rule.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString colour = match.captured(3) + match.captured(4) + match.captured(5);
        QString tag = match.captured(0);
        tag.insert(tag.endsWith(QStringLiteral("/>")) ? tag.size() - 2 : tag.size() - 1,
                   QStringLiteral(" style=\"background-color: %1\"").arg(colour.toHtmlEscaped()));
        result += QStringView(html).mid(done, match.capturedStart() - done);
        result += tag;
        done = match.capturedEnd();
    }
    result += QStringView(html).mid(done);
    return result;
}

} // namespace

QString ReadResultPage(const QString& fileName) {
    // A pipe or device would block or never end; only a plain file is a page.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) return ErrorPage(fileName, QStringLiteral("It is not a file."));
    // An advice page takes some ten kilobytes; one far larger would exhaust the memory.
    if (info.size() > kMaxPageSize) return ErrorPage(fileName, QStringLiteral("It is too large to show."));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return ErrorPage(fileName, file.errorString());
    const QByteArray bytes = file.read(kMaxPageSize + 1);
    if (file.error() != QFileDevice::NoError) return ErrorPage(fileName, file.errorString());
    if (bytes.size() > kMaxPageSize) return ErrorPage(fileName, QStringLiteral("It is too large to show."));
    return WithRuleColours(
        platform::FromCp1252(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

ResultBrowser::ResultBrowser(QWidget* parent) : QTextBrowser(parent) {
    // The pages name no font: show them in the browser's usual serif face (its metric twin
    // Liberation Serif stands in for Times New Roman).
    document()->setDefaultFont(QFont(QStringLiteral("Times New Roman"), 12));
}

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
