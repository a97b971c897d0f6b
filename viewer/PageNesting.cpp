#include "PageNesting.h"

#include <QString>

#include <algorithm>
#include <vector>

namespace viewer {
namespace {

bool IsLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsOneOf(const QString& name, std::initializer_list<const char16_t*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char16_t* n) { return name == QStringView(n); });
}

bool IsVoid(const QString& name) {
    return IsOneOf(name, {u"area", u"base", u"br", u"col", u"embed", u"hr", u"img", u"input", u"link",
                          u"meta", u"param", u"source", u"track", u"wbr"});
}

bool HoldsRawText(const QString& name) {
    return IsOneOf(name, {u"script", u"style", u"textarea", u"title"});
}

class Scanner {
public:
    explicit Scanner(QStringView html) : html_(html) {}

    // Past the next `what` (case-insensitive), or at the end.
    void SkipPast(QStringView what) {
        const qsizetype at = html_.indexOf(what, pos_, Qt::CaseInsensitive);
        pos_ = at < 0 ? html_.size() : at + what.size();
    }

    bool StartsWith(QStringView what) const { return html_.mid(pos_).startsWith(what, Qt::CaseInsensitive); }

    QString Name() {
        const qsizetype start = pos_;
        while (pos_ < html_.size() && (IsLetter(html_[pos_]) || html_[pos_].isDigit()))
            ++pos_;
        return html_.mid(start, pos_ - start).toString().toLower();
    }

    // Past the tag's closing '>', quoted attribute values skipped whole; true when it was "/>".
    bool SkipTagRest() {
        QChar quote;
        QChar last;
        for (; pos_ < html_.size(); ++pos_) {
            const QChar c = html_[pos_];
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>') {
                ++pos_;
                return last == u'/';
            } else if (!c.isSpace()) {
                last = c;
            }
        }
        return false;
    }

    bool AtEnd() const { return pos_ >= html_.size(); }
    QChar At(qsizetype ahead = 0) const {
        return pos_ + ahead < html_.size() ? html_[pos_ + ahead] : QChar();
    }
    void Advance(qsizetype by) { pos_ += by; }
    void NextTag() {
        const qsizetype at = html_.indexOf(u'<', pos_);
        pos_ = at < 0 ? html_.size() : at;
    }

private:
    QStringView html_;
    qsizetype pos_ = 0;
};

class OpenElements {
public:
    void Open(const QString& name) {
        CloseImplied(name);
        open_.push_back(name);
    }

    void Close(const QString& name) {
        const auto it = std::find(open_.rbegin(), open_.rend(), name);
        if (it != open_.rend()) open_.erase(std::prev(it.base()), open_.end());
    }

    int Depth() const { return static_cast<int>(open_.size()); }

private:
    bool TopIs(std::initializer_list<const char16_t*> names) const {
        return !open_.empty() && IsOneOf(open_.back(), names);
    }

    void CloseImplied(const QString& name) {
        if (name == u"p" || name == u"li" || name == u"option") {
            if (!open_.empty() && open_.back() == name) open_.pop_back();
        } else if (name == u"dt" || name == u"dd") {
            if (TopIs({u"dt", u"dd"})) open_.pop_back();
        } else if (name == u"td" || name == u"th") {
            if (TopIs({u"td", u"th"})) open_.pop_back();
        } else if (name == u"tr") {
            if (TopIs({u"td", u"th"})) open_.pop_back();
            if (TopIs({u"tr"})) open_.pop_back();
        } else if (name == u"thead" || name == u"tbody" || name == u"tfoot") {
            if (TopIs({u"td", u"th"})) open_.pop_back();
            if (TopIs({u"tr"})) open_.pop_back();
            if (TopIs({u"thead", u"tbody", u"tfoot"})) open_.pop_back();
        }
    }

    std::vector<QString> open_;
};

} // namespace

int PageNesting(QStringView html, int stopAfter) {
    Scanner scan(html);
    OpenElements open;
    int deepest = 0;
    for (scan.NextTag(); !scan.AtEnd(); scan.NextTag()) {
        if (scan.StartsWith(u"<!--")) {
            scan.SkipPast(u"-->");
        } else if (scan.At(1) == u'!' || scan.At(1) == u'?') {
            scan.SkipPast(u">");
        } else if (scan.At(1) == u'/' && IsLetter(scan.At(2))) {
            scan.Advance(2);
            const QString name = scan.Name();
            scan.SkipTagRest();
            open.Close(name);
        } else if (IsLetter(scan.At(1))) {
            scan.Advance(1);
            const QString name = scan.Name();
            const bool selfClosed = scan.SkipTagRest();
            if (selfClosed || IsVoid(name)) {
                deepest = std::max(deepest, open.Depth() + 1);
            } else if (HoldsRawText(name)) {
                deepest = std::max(deepest, open.Depth() + 1);
                scan.SkipPast(QStringLiteral("</") + name);
                scan.SkipTagRest();
            } else {
                open.Open(name);
                deepest = std::max(deepest, open.Depth());
            }
            if (deepest > stopAfter) return stopAfter + 1;
        } else {
            scan.Advance(1); // a '<' in the text
        }
    }
    return deepest;
}

} // namespace viewer
