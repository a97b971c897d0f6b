#include "ResultBrowser.h"

#include "PageNesting.h"
#include "platform/Cp1252.h"
#include "platform/PlainFile.h"
#include "platform/Shell.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextCursor>

#include <cstring>

namespace viewer {
namespace {

constexpr std::size_t kMaxPageSize = 16 << 20;

QString ErrorPage(const QString& what, const QString& reason) {
    return QStringLiteral("<html><body><h3>The page cannot be displayed</h3>"
                          "<p>The file <b>%1</b> could not be shown.</p><p>%2</p></body></html>")
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

// The folder that really holds `file`, links resolved, also when the file itself is missing;
// empty when there is no such folder.
QString RealFolderOf(const QString& file) {
    const QFileInfo info(file);
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty()) return QFileInfo(real).absolutePath();
    return QFileInfo(info.absolutePath()).canonicalFilePath();
}

// What every image of a page shows: one transparent pixel.
QImage NoImage() {
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::transparent);
    return pixel;
}

} // namespace

QString ReadResultPage(const QString& fileName) {
    // An advice page takes some ten kilobytes; one far larger would exhaust the memory.
    const platform::PlainFileRead read =
        platform::ReadPlainFile(QFile::encodeName(fileName).toStdString(), kMaxPageSize);
    switch (read.result) {
    case platform::PlainFileRead::Result::Read:
        break;
    case platform::PlainFileRead::Result::NotPlain:
        return ErrorPage(fileName, QStringLiteral("It is not a file."));
    case platform::PlainFileRead::Result::TooLarge:
        return ErrorPage(fileName, QStringLiteral("It is too large to show."));
    case platform::PlainFileRead::Result::Missing:
    case platform::PlainFileRead::Result::Failed:
        return ErrorPage(fileName, QString::fromLocal8Bit(std::strerror(read.error)));
    }
    const QString html = platform::FromCp1252(read.bytes);
    if (PageNesting(html) > kMaxPageNesting)
        return ErrorPage(fileName, QStringLiteral("Its elements are nested too deeply to show."));
    return WithRuleColours(html);
}

ResultBrowser::ResultBrowser(QWidget* parent) : QTextBrowser(parent) {
    // The pages name no font: show them in the browser's usual serif face (its metric twin
    // Liberation Serif stands in for Times New Roman).
    document()->setDefaultFont(QFont(QStringLiteral("Times New Roman"), 12));
    // Links are followed here, so that none leads out of the result page's folder.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &ResultBrowser::FollowLink);
}

void ResultBrowser::Navigate(const QUrl& address) {
    page_ = address.adjusted(QUrl::RemoveFragment);
    pageFolder_ = RealFolderOf(page_.toLocalFile());
    // The same address again would only scroll; a navigation always reads the file.
    if (address == source())
        reload();
    else
        setSource(address, QTextDocument::HtmlResource);
}

void ResultBrowser::GoBack() {
    if (!isBackwardAvailable()) return;
    ForgetClickedLink();
    backward();
}

void ResultBrowser::GoForward() {
    if (!isForwardAvailable()) return;
    ForgetClickedLink();
    forward();
}

void ResultBrowser::ForgetClickedLink() {
    // A clicked link stays selected as the focused link; the history would remember it with the
    // page left and, on coming back, scroll to show the link instead of the place left.
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) return;
    const int horizontal = horizontalScrollBar()->value();
    const int vertical = verticalScrollBar()->value();
    cursor.clearSelection();
    setTextCursor(cursor);
    horizontalScrollBar()->setValue(horizontal);
    verticalScrollBar()->setValue(vertical);
}

bool ResultBrowser::MayShow(const QUrl& address) const {
    if (!address.isLocalFile()) return false;
    if (address.adjusted(QUrl::RemoveFragment) == page_) return true;
    return !pageFolder_.isEmpty() && RealFolderOf(address.toLocalFile()) == pageFolder_;
}

void ResultBrowser::FollowLink(const QUrl& link) {
    const QString scheme = link.scheme().toLower();
    if (scheme == QStringLiteral("http") || scheme == QStringLiteral("https")) {
        platform::OpenOrReport(link);
        return;
    }
    // Anything else becomes a page of the history; one that may not be shown is the error page.
    setSource(link, QTextDocument::HtmlResource);
}

QVariant ResultBrowser::loadResource(int type, const QUrl& name) {
    // The advice page uses no images or style sheets. A refusal must still be a value, and for
    // an image a valid one: given nothing, the document or its layout would read the file
    // itself, a device or a pipe included.
    if (type == QTextDocument::ImageResource) return NoImage();
    if (type != QTextDocument::HtmlResource) return QByteArray();
    if (!MayShow(name))
        return ErrorPage(name.toString(),
                         QStringLiteral("Only pages in the folder of the result page are shown here."));
    return ReadResultPage(name.toLocalFile());
}

} // namespace viewer
