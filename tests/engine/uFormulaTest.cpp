#include "uFormula.h"

#include "AdviceSections.h"
#include "BrinovaDEF.h"
#include "EngineErrorSink.h"
#include "ReportCall.h"
#include "ResultTable.h"
#include "SummaryTexts.h"

#include "TempFolder.h"
#include "platform/DateTimeText.h"
#include "support/FileText.h"

#include <QLocale>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// 80-bit reals as the program stores them.
const Bytes kTyped7_6 = {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xF3, 0x01, 0x40};
const Bytes k6_8 = {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0xD9, 0x01, 0x40};
const Bytes k10000 = {0, 0, 0, 0, 0, 0, 0x40, 0x9C, 0x0C, 0x40};
const Bytes k77 = {0, 0, 0, 0, 0, 0, 0, 0x9A, 0x05, 0x40};
const Bytes k10_5 = {0, 0, 0, 0, 0, 0, 0, 0xA8, 0x02, 0x40};
const Bytes k25_5 = {0, 0, 0, 0, 0, 0, 0, 0xCC, 0x03, 0x40};
const Bytes k1_5 = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F};
const Bytes k1e20 = {0, 0, 0x62, 0xAC, 0xC5, 0xEB, 0x78, 0xAD, 0x41, 0x40};

void Put(Bytes& block, std::size_t offset, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(offset));
}
void PutText(Bytes& block, std::size_t offset, std::string_view text) {
    std::memcpy(block.data() + offset, text.data(), text.size());
}

// A swimming pool of 10 000 US gallons, 10.5 by 25.5 by 1.5 feet.
Bytes PoolBlock(std::string_view note = "Back yard") {
    Bytes b(kBodyDataSize, 0);
    b[8] = 0;
    Put(b, 16, k10_5);
    Put(b, 32, k25_5);
    Put(b, 48, k1_5);
    Put(b, 64, k10000);
    b[74] = 1; // Foot
    b[75] = 1; // Gallon
    PutText(b, 76, note);
    return b;
}

// A test of 15 March 2024 at 18:00 with no reading, clear water and clean surfaces.
Bytes QuietTestBlock(std::string_view supplier = "Pool Shop\r\nMain Street",
                     std::string_view note = "after rain") {
    Bytes t(kTestDataSize, 0);
    Put(t, 0, {0, 0, 0, 0, 0xC0, 0x26, 0xE6, 0x40}); // 45366.0
    Put(t, 8, {0, 0, 0, 0, 0, 0, 0xE8, 0x3F});       // 0.75
    t[234] = 1;                                      // clear
    t[241] = 1;                                      // stains clean
    t[246] = 3;                                      // no oxidizer
    PutText(t, 250, supplier);
    PutText(t, 378, note);
    return t;
}

// The page split at CR LF; false when a line does not end in CR LF or holds a lone CR or LF.
bool SplitPage(const std::string& page, std::vector<std::string>& lines) {
    lines.clear();
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = page.find("\r\n", start);
        if (end == std::string::npos) return false;
        std::string line = page.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos) return false;
        lines.push_back(line);
        start = end + 2;
    }
    return true;
}

class RecordingErrorSink final : public EngineErrorSink {
public:
    RecordingErrorSink() : previous_(SetErrorSink(this)) {}
    ~RecordingErrorSink() override { SetErrorSink(previous_); }
    void ShowError(const QString& text) override { shown.push_back(text); }
    std::vector<QString> shown;

private:
    EngineErrorSink* previous_;
};

class FixedClock final : public platform::Clock {
public:
    explicit FixedClock(double now) : now_(now) {}
    double Now() const override { return now_; }

private:
    double now_;
};

class QuibsFormulaTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        path_ = dir_.File("zelreslt.htm");
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    std::int32_t Call(const Bytes* body, const Bytes* test, const char* owner = "Jane Doe\r\n1 Long Road",
                      const char* path = nullptr) {
        const TFormulaArgs args{path ? path : path_.c_str(), owner, body ? body->data() : nullptr,
                                test ? test->data() : nullptr};
        return QuibsFormula(&args);
    }

    // Calls the export and returns the page's lines; fails the test when it is not written.
    std::vector<std::string> PageLines(const Bytes& body, const Bytes& test,
                                       const char* owner = "Jane Doe\r\n1 Long Road") {
        EXPECT_EQ(Call(&body, &test, owner), -1);
        EXPECT_TRUE(errors_.shown.empty()) << errors_.shown.front().toStdString();
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitPage(FileText(path_), lines)) << "every line ends in CR LF";
        return lines;
    }

    std::vector<std::string> FilesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    test::TempFolder dir_;
    std::string path_;
    RecordingErrorSink errors_;
};

// The frame of the page for the pool and the quiet test; the pieces built by the result table,
// the summaries and the advice sections are taken from those units for the same blocks.
std::vector<std::string> ExpectedPage(const Bytes& bodyBytes, const Bytes& testBytes) {
    ReportCall call;
    call.body = TBodyData::Decode(bodyBytes.data());
    call.test = TTestData::Decode(testBytes.data());
    std::vector<std::string> page = {
        "<html><body><table align=\"center\" width=\"600\" border=\"0\" cellpadding=\"0\" "
        "cellspacing=\"0\"><tr><td>",
        "<div align=\"left\" style=\"font-size: 24pt\">",
        "<b>Your Brinova Vesk record</b>",
        "</div>",
        "<div align=\"right\" style=\"font-size: 11pt\">",
        "Friday, March 15, 2024 6:00 PM</div>",
        "<hr size=2 color=\"#EEEEEE\">",
        "<table width=\"100%\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\">",
        "<tr><td align=\"left\" valign=\"top\">",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "Water Body</div>",
        "<div align=\"left\" style=\"font-size: 14pt\">",
        "<b>Swimming Pool</b></div></td>",
        "<td align=\"right\" valign=\"top\">",
        "<div align=\"right\" style=\"font-size: 12pt\">",
        "<b>volume: 10 000 Gallon</b></div>",
        "<div align=\"right\" style=\"font-size: 11pt\">",
        "[37 854 litre]</div>",
        "</td></tr></table>",
        "<div align=\"right\" style=\"font-size: 11pt\">",
        "Width: <b>10</b> Foot, ", // halves to even
        "Length: <b>26</b> Foot, ",
        "Average depth: <b>2</b> Foot",
        "</div>",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "Back yard<br>",
        "</div>",
        "<hr size=2 color=\"#EEEEEE\">",
        "<table width=\"100%\" border=\"0\" cellpadding=\"4\" cellspacing=\"0\">",
        "<tr><td align=\"left\" width=\"280\" valign=\"top\">",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "<b>Supplier</b>",
        "</div>",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "Pool Shop<br>Main Street<br>",
        "</div>",
        "</td><td align=\"left\" valign=\"top\">",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "<b>Owner</b>",
        "</div>",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "Jane Doe<br>1 Long Road<br>",
        "</div>",
        "</td></tr>",
        "</table>",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "<br>after rain",
        "</div>",
        "<p><div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\">",
        "Water condition",
        "</div>",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "<b>" + WaterConditionText(call) + "</b>",
        "</div></p>",
        "<p><div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\">",
        "Staining",
        "</div>",
        "<div align=\"left\" style=\"font-size: 11pt\">",
        "<b>" + StainingText(call) + "</b>",
        "</div></p>",
        "<div align=\"justify\" style=\"font-size: 11pt\">",
        SaturationIndexText(call),
        "</div>",
    };
    BuildResultTable(call);
    page.insert(page.end(), call.lines.begin(), call.lines.end());
    call.lines.clear();
    page.push_back("<div align=\"justify\" style=\"font-size: 12pt; color: red\">");
    page.push_back(ShockNoteText(call));
    page.push_back("</div>");
    AddAdviceSections(call);
    page.insert(page.end(), call.lines.begin(), call.lines.end());
    page.push_back("<hr size=2 color=\"#EEEEEE\">");
    page.push_back("<div align=\"right\" style=\"font-size: 9pt\">");
    page.push_back("Advice computed from this test's readings; always follow the directions on the product "
                   "label.</div>");
    page.push_back("</td></tr></table></body></html>");
    return page;
}

} // namespace

TEST_F(QuibsFormulaTest, WritesTheFrameForAKnownBodyAndTest) {
    const Bytes body = PoolBlock();
    const Bytes test = QuietTestBlock();
    const std::vector<std::string> lines = PageLines(body, test);
    const std::vector<std::string> expected = ExpectedPage(body, test);
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    // The quiet test's summaries.
    EXPECT_EQ(lines[52], "<b>Clear/Good</b>");
    EXPECT_EQ(lines[58], "<b>Clean/Good</b>");
}

TEST_F(QuibsFormulaTest, VolumeLines) {
    struct Case {
        const Bytes& volume;
        std::uint8_t unit;
        const char* volumeLine;
        const char* litreLine;
    };
    const Bytes zero(10, 0);
    const std::vector<Case> cases = {
        {zero, 1, "<b>volume: 0 Gallon</b></div>", "[4 litre]</div>"},
        {zero, 0, "<b>volume: 0 Liter</b></div>", "[1 litre]</div>"},
        {k10000, 2, "<b>volume: 10 000 Imperial Gallon</b></div>", "[45 461 litre]</div>"},
        {k10000, 0, "<b>volume: 10 000 Liter</b></div>", "[10 000 litre]</div>"},
    };
    for (const Case& c : cases) {
        Bytes body = PoolBlock();
        Put(body, 64, c.volume);
        body[75] = c.unit;
        const std::vector<std::string> lines = PageLines(body, QuietTestBlock());
        ASSERT_GE(lines.size(), 18u);
        EXPECT_EQ(lines[15], c.volumeLine);
        EXPECT_EQ(lines[17], c.litreLine);
    }
}

TEST_F(QuibsFormulaTest, NamesOutsideTheTablesAreEmpty) {
    Bytes body = PoolBlock();
    body[8] = 9;
    body[74] = 2;
    body[75] = 3;
    const std::vector<std::string> lines = PageLines(body, QuietTestBlock());
    EXPECT_EQ(lines[12], "<b></b></div></td>");
    EXPECT_EQ(lines[15], "<b>volume: 10 000 </b></div>");
    EXPECT_EQ(lines[17], "[10 000 litre]</div>"); // an unknown unit counts as litres
    EXPECT_EQ(lines[20], "Width: <b>10</b> , ");
}

TEST(LinesToHtml, SplitsLikeAStringList) {
    struct Case {
        std::string text;
        const char* html;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"one", "one<br>"},
        {"one\r\ntwo", "one<br>two<br>"},
        {"one\r\ntwo\r\n", "one<br>two<br>"}, // a final break adds no line
        {"one\ntwo\n", "one<br>two<br>"},
        {"one\rtwo", "one<br>two<br>"},
        {"one\n\ntwo", "one<br><br>two<br>"},
        {"\r\n", "<br>"},
        {"\n\r", "<br><br>"},
        {std::string("one\0two", 7), "one<br>"}, // the text ends at its first zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinesToHtml(c.text), c.html) << c.text;
}

TEST(CollapseBlankLines, ShrinksRunsOfCrLf) {
    struct Case {
        const char* text;
        const char* collapsed;
    };
    const std::vector<Case> cases = {
        {"a\r\nb", "a\r\nb"},
        {"a\r\n\r\nb", "a\r\nb"},
        {"a\r\n\r\n\r\n\r\nb\r\n\r\nc", "a\r\nb\r\nc"},
        {"\r\n\r\n\r\na", "\r\na"}, // leading blank lines keep one CR LF
        {"a\n\n\nb", "a\n\n\nb"},   // LF-only breaks are not collapsed
        {"a\r\r\n\r\n\nb", "a\r\r\n\nb"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CollapseBlankLines(c.text), c.collapsed) << c.text;
}

TEST_F(QuibsFormulaTest, OwnerAndSupplierTexts) {
    struct Case {
        const char* owner;
        const char* ownerLine;
    };
    const std::vector<Case> cases = {
        {"Jane Doe\r\n\r\n\r\n1 Long Road\r\n", "Jane Doe<br>1 Long Road<br>"},
        {"Jane Doe\n\n1 Long Road", "Jane Doe<br><br>1 Long Road<br>"},
        {"\r\n\r\nJane", "<br>Jane<br>"},
        {"", ""},
        {nullptr, ""}, // no owner text reads as empty
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines = PageLines(PoolBlock(), QuietTestBlock(), c.owner);
        ASSERT_GE(lines.size(), 42u);
        EXPECT_EQ(lines[41], c.ownerLine) << (c.owner ? c.owner : "(null)");
    }
    const std::vector<std::string> lines = PageLines(PoolBlock(), QuietTestBlock("Shop\r\n\r\n\r\nRoad", ""));
    EXPECT_EQ(lines[34], "Shop<br>Road<br>");
}

TEST_F(QuibsFormulaTest, NotesAndTheirConditions) {
    // A body note of blanks and control characters adds no line; an empty test note still adds "<br>".
    std::vector<std::string> lines = PageLines(PoolBlock(" \t "), QuietTestBlock("", ""));
    EXPECT_EQ(lines[24], "<div align=\"left\" style=\"font-size: 11pt\">");
    EXPECT_EQ(lines[25], "</div>");
    EXPECT_EQ(lines[33], ""); // the lines after the missing one move up
    EXPECT_EQ(lines[45], "<br>");
    // A note with surrounding blanks is written untrimmed; a 63-character test note whole.
    const std::string longNote(63, 'n');
    lines = PageLines(PoolBlock("  deep end "), QuietTestBlock("", longNote));
    EXPECT_EQ(lines[25], "  deep end <br>");
    EXPECT_EQ(lines[46], "<br>" + longNote);
}

TEST_F(QuibsFormulaTest, EscapesUserTexts) {
    const char* markup = "<b>Tom & \"Jerry\"</b> caf\xE9";
    const char* escaped = "&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt; caf\xE9";
    const std::vector<std::string> lines =
        PageLines(PoolBlock(markup), QuietTestBlock(markup, "<i>x</i>"), markup);
    EXPECT_EQ(lines[25], std::string(escaped) + "<br>");
    EXPECT_EQ(lines[34], std::string(escaped) + "<br>");
    EXPECT_EQ(lines[41], std::string(escaped) + "<br>");
    EXPECT_EQ(lines[46], "<br>&lt;i&gt;x&lt;/i&gt;");
}

TEST_F(QuibsFormulaTest, TestDateZeroShowsNow) {
    struct Case {
        double now;
        const char* line;
    };
    const std::vector<Case> cases = {
        {45366.5, "3/15/2024 12:00:00 PM</div>"}, {45366.0, "3/15/2024</div>"}, // no time at exactly midnight
    };
    for (const Case& c : cases) {
        FixedClock clock(c.now);
        const platform::Clock* previous = platform::SetClock(&clock);
        Bytes test = QuietTestBlock();
        std::fill(test.begin(), test.begin() + 16, 0); // date and time 0
        const std::vector<std::string> lines = PageLines(PoolBlock(), test);
        platform::SetClock(previous);
        EXPECT_EQ(lines[5], c.line);
    }
}

TEST_F(QuibsFormulaTest, PageIsWindows1252WithCrLfLines) {
    Bytes test = QuietTestBlock();
    Put(test, 32, k6_8); // pH 6.8: the pH advice, with its en dash
    Put(test, 224, k77); // 77 degrees Fahrenheit
    const std::vector<std::string> lines = PageLines(PoolBlock(), test, "Ren\xE9");
    const std::string page = FileText(path_);
    EXPECT_NE(page.find("\xB0"), std::string::npos) << "degree sign";
    EXPECT_NE(page.find("\x96"), std::string::npos) << "en dash";
    EXPECT_NE(page.find("Ren\xE9<br>"), std::string::npos);
    // No UTF-8 sequence: every byte from 0xC2 to 0xF4 would start one before a continuation byte.
    for (std::size_t i = 0; i + 1 < page.size(); ++i) {
        const auto lead = static_cast<unsigned char>(page[i]);
        const auto next = static_cast<unsigned char>(page[i + 1]);
        EXPECT_FALSE(lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF) << "UTF-8 at byte " << i;
    }
    ASSERT_GE(page.size(), 2u);
    EXPECT_EQ(page.substr(page.size() - 2), "\r\n");
}

TEST_F(QuibsFormulaTest, CommaDecimalSeparatorOfTheUsersLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Bytes test = QuietTestBlock();
    Put(test, 32, kTyped7_6);
    const std::vector<std::string> lines = PageLines(PoolBlock(), test);
    const std::string page = FileText(path_);
    EXPECT_NE(page.find("7,60"), std::string::npos);
    EXPECT_EQ(page.find("7.60"), std::string::npos);
    EXPECT_EQ(lines[5], "Freitag, 15. M\xE4rz 2024 18:00</div>");
    // The next call in the point's locale uses the point again.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    PageLines(PoolBlock(), test);
    EXPECT_NE(FileText(path_).find("7.60"), std::string::npos);
}

TEST_F(QuibsFormulaTest, MissingBlocksWriteAndReportNothing) {
    const Bytes body = PoolBlock();
    const Bytes test = QuietTestBlock();
    EXPECT_EQ(QuibsFormula(nullptr), 0);
    EXPECT_EQ(Call(nullptr, &test), 0);
    EXPECT_EQ(Call(&body, nullptr), 0);
    EXPECT_EQ(Call(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(errors_.shown.empty());
    EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(QuibsFormulaTest, FailuresAreReportedAndLeaveNoPage) {
    const Bytes body = PoolBlock();
    const Bytes test = QuietTestBlock();
    const std::string missingFolder = dir_.File("no such folder/zelreslt.htm");
    const std::string folder = dir_.File("a folder");
    std::filesystem::create_directory(folder);
    struct Case {
        const char* name;
        const char* path;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"no path", nullptr, "No file name"},
        {"empty path", "", "No file name"},
        {"missing folder", missingFolder.c_str(), "Cannot create file"},
        {"a folder", folder.c_str(), "Cannot create file"},
        {"a device", "/dev/full", "Cannot create file"},
    };
    for (const Case& c : cases) {
        errors_.shown.clear();
        const TFormulaArgs args{c.path, "", body.data(), test.data()};
        EXPECT_EQ(QuibsFormula(&args), 0) << c.name;
        ASSERT_EQ(errors_.shown.size(), 1u) << c.name;
        EXPECT_TRUE(errors_.shown[0].contains(c.message)) << c.name << ": " << errors_.shown[0].toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"a folder"});
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(QuibsFormulaTest, NeverWritesThroughASymbolicLink) {
    const std::string target = dir_.File("elsewhere.txt");
    std::ofstream(target) << "keep me";
    std::filesystem::create_symlink(target, path_);
    const Bytes body = PoolBlock();
    const Bytes test = QuietTestBlock();
    EXPECT_EQ(Call(&body, &test), 0);
    ASSERT_EQ(errors_.shown.size(), 1u);
    EXPECT_TRUE(errors_.shown[0].contains("symbolic link"));
    EXPECT_EQ(FileText(target), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
}

TEST_F(QuibsFormulaTest, FailedWriteKeepsTheOldPage) {
    const Bytes body = PoolBlock();
    const Bytes test = QuietTestBlock();
    ASSERT_EQ(Call(&body, &test), -1);
    const std::string oldPage = FileText(path_);

    // The file-size limit makes the write itself fail, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 512;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::int32_t result = Call(&body, &test, "Someone else");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, 0);
    ASSERT_EQ(errors_.shown.size(), 1u);
    EXPECT_TRUE(errors_.shown[0].startsWith("Cannot write file")) << errors_.shown[0].toStdString();
    EXPECT_EQ(FileText(path_), oldPage);
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"zelreslt.htm"}) << "no temporary file left";
}

TEST_F(QuibsFormulaTest, ReplacesAnExistingPage) {
    std::ofstream(path_) << "old";
    const std::vector<std::string> lines = PageLines(PoolBlock(), QuietTestBlock());
    EXPECT_GT(lines.size(), 60u);
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"zelreslt.htm"});
}

// The page's folder is the user's runtime folder, which every program of the user shares: a
// page removes the temporary a killed write of the page left, and no file of another program.
TEST_F(QuibsFormulaTest, APageRemovesItsOwnLeftoverTemporaryAndNothingElse) {
    const std::vector<std::string> others = {".zel-backup", ".zel-2024q1",         ".zel-notes1",
                                             ".zel-Q7r2Kx", "zelreslt.htm.Q7r2Kx", "other.htm.tmp-Q7r2Kx"};
    const std::string leftover = "zelreslt.htm.tmp-Q7r2Kx";
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    for (const std::string& name : others) {
        std::ofstream(dir_.File(name)) << "kept";
        ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File(name).c_str(), times, 0), 0);
    }
    std::ofstream(dir_.File(leftover)) << "<html>";
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File(leftover).c_str(), times, 0), 0);
    PageLines(PoolBlock(), QuietTestBlock());
    std::vector<std::string> names = FilesInDir();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = others;
    expected.push_back("zelreslt.htm");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST_F(QuibsFormulaTest, WritesEveryNameTheFileSystemTakes) {
    const Bytes body = PoolBlock();
    const Bytes test = QuietTestBlock();
    for (std::size_t length = 248; length <= 255; ++length) {
        const std::string path = dir_.File(std::string(length, 'r'));
        EXPECT_EQ(Call(&body, &test, "Jane", path.c_str()), -1) << length;
        EXPECT_TRUE(errors_.shown.empty()) << length << ": " << errors_.shown.front().toStdString();
        EXPECT_NE(FileText(path).find("Your Brinova Vesk record"), std::string::npos) << length;
        std::filesystem::remove(path);
        errors_.shown.clear();
    }
    EXPECT_TRUE(FilesInDir().empty()) << "no temporary file left";
}

TEST_F(QuibsFormulaTest, OutOfRangeValuesAreReportedNotRounded) {
    Bytes body = PoolBlock();
    Put(body, 16, k1e20); // a width no 32-bit integer holds
    const Bytes test = QuietTestBlock();
    EXPECT_EQ(Call(&body, &test), 0);
    ASSERT_EQ(errors_.shown.size(), 1u);
    EXPECT_EQ(errors_.shown[0], "Invalid floating point operation");
    EXPECT_TRUE(FilesInDir().empty());

    errors_.shown.clear();
    body = PoolBlock();
    Put(body, 64, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}); // an infinite volume
    EXPECT_EQ(Call(&body, &test), 0);
    EXPECT_EQ(errors_.shown.size(), 1u);
}

// A damaged record may hold NaN or an infinity in any real; the call is refused with a box naming
// the field, whatever the field, and no page is written.
TEST_F(QuibsFormulaTest, NonFiniteRealsAreRefusedNamingTheField) {
    const std::vector<std::pair<const char*, Bytes>> extended = {
        {"NaN", {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}},
        {"infinity", {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
        {"minus infinity", {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}},
        {"unnormal", {0, 0, 0, 0, 0, 0, 0, 0x40, 0x00, 0x40}},
    };
    const std::vector<std::pair<const char*, Bytes>> doubles = {
        {"NaN", {0, 0, 0, 0, 0, 0, 0xF8, 0x7F}},
        {"infinity", {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}},
        {"minus infinity", {0, 0, 0, 0, 0, 0, 0xF0, 0xFF}},
    };
    struct Field {
        bool inBody;
        std::size_t offset;
        const char* label;
    };
    std::vector<Field> fields = {
        {true, 16, "Width"}, {true, 32, "Length"}, {true, 48, "Average Depth"}, {true, 64, "Volume"}};
    const char* readings[] = {"Total Alkalinity",
                              "pH",
                              "Total Hardness",
                              "Copper",
                              "Iron",
                              "TDS",
                              "ORP",
                              "Total chlorine",
                              "Free Chlorine",
                              "Chloramines",
                              "Bromine",
                              "Cyanuric Acid",
                              "Acid Demand",
                              "Temperature"};
    for (std::size_t i = 0; i < std::size(readings); ++i)
        fields.push_back({false, 16 + 16 * i, readings[i]});

    const auto expectRefused = [&](const Bytes& body, const Bytes& test, const std::string& expected,
                                   const std::string& name) {
        errors_.shown.clear();
        EXPECT_EQ(Call(&body, &test), 0) << name;
        ASSERT_EQ(errors_.shown.size(), 1u) << name;
        EXPECT_EQ(errors_.shown[0].toStdString(), expected) << name;
        EXPECT_TRUE(FilesInDir().empty()) << name;
    };
    for (const Field& field : fields) {
        for (const auto& [kind, bytes] : extended) {
            Bytes body = PoolBlock();
            Bytes test = QuietTestBlock();
            Put(field.inBody ? body : test, field.offset, bytes);
            expectRefused(body, test,
                          std::string("The stored ") + (field.inBody ? "body of water" : "water test") +
                              " holds no valid number in the field \"" + field.label + "\".",
                          std::string(field.label) + " " + kind);
        }
    }
    for (const auto& [offset, label] : {std::pair<std::size_t, const char*>{0, "Date"}, {8, "Time"}}) {
        for (const auto& [kind, bytes] : doubles) {
            Bytes test = QuietTestBlock();
            Put(test, offset, bytes);
            expectRefused(PoolBlock(), test,
                          std::string("The stored water test holds no valid number in the field \"") + label +
                              "\".",
                          std::string(label) + " " + kind);
        }
    }
}

TEST(EngineErrorSink, WithoutAnApplicationWritesToStderr) {
    testing::internal::CaptureStderr();
    ErrorSink().ShowError(QStringLiteral("Cannot create file \"x\"."));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Cannot create file \"x\".\n");
}
