#include "uFormula.h"

#include "AdviceSections.h"
#include "BrinovaDEF.h"
#include "EngineErrorSink.h"
#include "ReportCall.h"
#include "ResultTable.h"
#include "SummaryTexts.h"

#include "platform/Cp1252.h"
#include "platform/DateTimeText.h"
#include "platform/ReplaceFile.h"
#include "platform/WindowsLocale.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Trimmed of surrounding blanks and control characters, as the class library's Trim does.
bool IsBlankText(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

std::string WholeText(long double x) {
    return std::to_string(RoundChecked(x));
}

// The page's lines 1 to 72, in order. The owner text and the supplier have their blank lines
// collapsed already; every user text is escaped here.
void AddPageLines(ReportCall& call, const std::string& owner, const std::string& supplier) {
    const TBodyData& body = call.body;
    const std::string lengthUnit = LengthUnitName(body.lengthUnit);

    call.Add("<html><body><table align=\"center\" width=\"600\" border=\"0\" cellpadding=\"0\" "
             "cellspacing=\"0\"><tr><td>");
    call.Add("<div align=\"left\" style=\"font-size: 24pt\">");
    call.Add("<b>Your Brinova Vesk record</b>");
    call.Add("</div>");
    call.Add("<div align=\"right\" style=\"font-size: 11pt\">");
    call.Add(ReportDateText(call.test) + "</div>");
    call.Add("<hr size=2 color=\"#EEEEEE\">");
    call.Add("<table width=\"100%\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\">");
    call.Add("<tr><td align=\"left\" valign=\"top\">");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add("Water Body</div>");
    call.Add("<div align=\"left\" style=\"font-size: 14pt\">");
    call.Add("<b>" + BodyTypeName(body.kind) + "</b></div></td>");
    call.Add("<td align=\"right\" valign=\"top\">");
    call.Add("<div align=\"right\" style=\"font-size: 12pt\">");
    call.Add("<b>volume: " + VolumeText(body) + "</b></div>");
    call.Add("<div align=\"right\" style=\"font-size: 11pt\">");
    call.Add("[" + WholeNumberText(VolumeLitresOf(call)) + " litre]</div>");
    call.Add("</td></tr></table>");
    call.Add("<div align=\"right\" style=\"font-size: 11pt\">");
    call.Add("Width: <b>" + WholeText(body.width) + "</b> " + lengthUnit + ", ");
    call.Add("Length: <b>" + WholeText(body.length) + "</b> " + lengthUnit + ", ");
    call.Add("Average depth: <b>" + WholeText(body.depth) + "</b> " + lengthUnit);
    call.Add("</div>");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    if (!IsBlankText(body.note)) call.Add(EscapeHtml(body.note) + "<br>");
    call.Add("</div>");
    call.Add("<hr size=2 color=\"#EEEEEE\">");
    call.Add("<table width=\"100%\" border=\"0\" cellpadding=\"4\" cellspacing=\"0\">");
    call.Add("<tr><td align=\"left\" width=\"280\" valign=\"top\">");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add("<b>Supplier</b>");
    call.Add("</div>");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add(LinesToHtml(EscapeHtml(supplier)));
    call.Add("</div>");
    call.Add("</td><td align=\"left\" valign=\"top\">");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add("<b>Owner</b>");
    call.Add("</div>");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add(LinesToHtml(EscapeHtml(owner)));
    call.Add("</div>");
    call.Add("</td></tr>");
    call.Add("</table>");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add("<br>" + EscapeHtml(call.test.testNote));
    call.Add("</div>");
    call.Add("<p><div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\">");
    call.Add("Water condition");
    call.Add("</div>");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add("<b>" + WaterConditionText(call) + "</b>");
    call.Add("</div></p>");
    call.Add("<p><div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\">");
    call.Add("Staining");
    call.Add("</div>");
    call.Add("<div align=\"left\" style=\"font-size: 11pt\">");
    call.Add("<b>" + StainingText(call) + "</b>");
    call.Add("</div></p>");
    call.Add("<div align=\"justify\" style=\"font-size: 11pt\">");
    call.Add(SaturationIndexText(call));
    call.Add("</div>");
    BuildResultTable(call);
    call.Add("<div align=\"justify\" style=\"font-size: 12pt; color: red\">");
    call.Add(ShockNoteText(call));
    call.Add("</div>");
    AddAdviceSections(call);
    call.Add("<hr size=2 color=\"#EEEEEE\">");
    call.Add("<div align=\"right\" style=\"font-size: 9pt\">");
    call.Add("Advice computed from this test's readings; always follow the directions on the product "
             "label.</div>");
    call.Add("</td></tr></table></body></html>");
}

QString PathText(const char* path) {
    return QFile::decodeName(QByteArray(path));
}

QString OsMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString CreateError(const char* path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(PathText(path), reason);
}

// Writes the page beside the result path and renames it over the path, so a failed write
// never leaves a half-written page and a failure at flush or close is seen. An existing path
// must be a regular file: a symbolic link, a device or a folder is not replaced.
std::optional<QString> SavePage(const char* path, const std::vector<std::string>& lines) {
    struct stat existing {};
    if (::lstat(path, &existing) == 0) {
        if (S_ISLNK(existing.st_mode))
            return CreateError(path, QStringLiteral("The path is a symbolic link."));
        if (!S_ISREG(existing.st_mode))
            return CreateError(path, QStringLiteral("The path is not a regular file."));
    } else if (errno != ENOENT) {
        return CreateError(path, OsMessage(errno));
    }

    std::string content;
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }

    const platform::ReplaceOutcome saved = platform::ReplaceFile(path, content);
    if (saved.failed == platform::ReplaceOutcome::Step::Create)
        return CreateError(path, OsMessage(saved.error));
    if (!saved)
        return QStringLiteral("Cannot write file \"%1\". %2").arg(PathText(path), OsMessage(saved.error));
    return std::nullopt;
}

// A damaged record may hold NaN or an infinity; no such value is printed or computed with.
std::optional<QString> NonFiniteFieldError(const ReportCall& call) {
    const auto error = [](const char* block, const char* field) {
        return QStringLiteral("The stored %1 holds no valid number in the field \"%2\".")
            .arg(QLatin1String(block), QLatin1String(field));
    };
    if (const char* field = NonFiniteField(call.body)) return error("body of water", field);
    if (const char* field = NonFiniteField(call.test)) return error("water test", field);
    return std::nullopt;
}

} // namespace

std::string LinesToHtml(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = std::min(text.find_first_of("\r\n", i), text.size());
        out.append(text.substr(i, end - i));
        out += "<br>";
        if (end == text.size()) break;
        i = end + 1; // past the CR or the LF
        if (text[end] == '\r' && i < text.size() && text[i] == '\n') ++i;
    }
    return out;
}

std::string CollapseBlankLines(std::string_view text) {
    // Deleting the first CR LF of the first CR LF CR LF never makes a new one before it, so one
    // pass that drops each such pair gives the same text as repeating the search.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 4, "\r\n\r\n") == 0) {
            i += 2;
            continue;
        }
        out += text[i++];
    }
    return out;
}

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string ReportDateText(const TTestData& test) {
    const platform::FormatSettings settings = platform::WindowsFormatSettings();
    if (test.date != 0)
        return platform::ToCp1252(
            platform::FormatDateTime(QStringLiteral("dddddd t"), test.date + test.time, settings));
    // "c": the short date, then the long time unless it is exactly midnight.
    return platform::ToCp1252(
        platform::FormatDateTime(QStringLiteral("c"), platform::CurrentClock().Now(), settings));
}

bool BuildReport(const TFormulaArgs* args) {
    if (!args || !args->body || !args->test) return false;
    std::optional<QString> error;
    try {
        ReportCall call;
        call.body = TBodyData::Decode(static_cast<const unsigned char*>(args->body));
        call.test = TTestData::Decode(static_cast<const unsigned char*>(args->test));
        call.decimalSeparator = platform::DecimalSeparatorByte();
        if (const std::optional<QString> damaged = NonFiniteFieldError(call)) {
            error = damaged;
        } else if (!args->resultPath || !*args->resultPath) {
            error = QStringLiteral("No file name was given for the result page.");
        } else {
            const std::string owner = CollapseBlankLines(args->ownerText ? args->ownerText : "");
            const std::string supplier = CollapseBlankLines(call.test.supplier);
            AddPageLines(call, owner, supplier);
            error = SavePage(args->resultPath, call.lines);
        }
    } catch (const EngineError& e) {
        error = platform::FromCp1252(e.what());
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown error while the result page was built.");
    }
    if (!error) return true;
    ErrorSink().ShowError(*error);
    return false;
}

extern "C" std::int32_t QuibsFormula(const TFormulaArgs* args) noexcept {
    try {
        return BuildReport(args) ? -1 : 0;
    } catch (...) {
        return 0; // the sink itself failed; nothing may cross the export
    }
}
