#include "widgets/CalcEngine.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace widgets;

namespace {

// An engine whose beeps, result keys and clipboard the test sees.
struct Calculator {
    explicit Calculator(NumberSeparators separators = {u'.', u',', "$"}) : engine(separators) {
        engine.hooks.beep = [this] { ++beeps; };
        engine.hooks.resultKey = [this] { ++results; };
        engine.hooks.errorRaised = [this] { ++errors; };
        engine.hooks.readClipboard = [this] { return clipboard; };
        engine.hooks.writeClipboard = [this](const QString& s) { clipboard = s; };
    }

    // Tokens: "MP", "MS", "MR", "MC" and "OK" are the memory and accept keys, "V:<text>" pastes
    // the text; any other token feeds its characters one by one.
    void Press(const std::vector<std::string>& tokens) {
        for (const std::string& t : tokens) {
            if (t == "MP")
                engine.MemoryPlus();
            else if (t == "MS")
                engine.MemoryStore();
            else if (t == "MR")
                engine.MemoryRecall();
            else if (t == "MC")
                engine.MemoryClear();
            else if (t == "OK")
                engine.Accept();
            else if (t.rfind("V:", 0) == 0) {
                clipboard = QString::fromLatin1(t.substr(2));
                engine.FeedCalculatorKey(QChar(22));
            } else
                for (char c : t)
                    engine.FeedCalculatorKey(QLatin1Char(c));
        }
    }

    TCalcEngine engine;
    int beeps = 0;
    int results = 0;
    int errors = 0;
    std::optional<QString> clipboard;
};

struct Case {
    const char* name;
    std::vector<std::string> keys;
    const char* display;
    int beeps = 0;
};

void RunCases(const std::vector<Case>& cases, NumberSeparators separators = {u'.', u',', "$"}) {
    for (const Case& c : cases) {
        Calculator calc(separators);
        calc.Press(c.keys);
        EXPECT_EQ(calc.engine.DisplayText(), c.display) << c.name;
        EXPECT_EQ(calc.beeps, c.beeps) << c.name;
    }
}

} // namespace

TEST(CalcEngine, ChainsAndPercent) {
    RunCases({
        {"left to right", {"2+3*4="}, "20"},
        {"percent of a sum", {"200+10%"}, "220"},
        {"percent off", {"200-10%"}, "180"},
        {"percent times", {"200*10%"}, "20"},
        {"percent divided", {"200/10%"}, "2000"},
        {"percent alone", {"10%"}, "10"},
        {"percent after equals", {"5+5=3%"}, "3"},
        {"two operators replace", {"2+*3="}, "6"},
        {"equals never repeats", {"2+3=="}, "5"},
        {"digit after equals starts anew", {"2+3=4"}, "4"},
        {"operator after equals continues", {"2+3=+1="}, "6"},
        {"enter is equals", {"7-9\r"}, "-2"},
        {"square root", {"16Q"}, "4"},
        {"reciprocal to 15 digits", {"9R"}, "0.111111111111111"},
        {"reciprocal of zero", {"0R"}, "Error", 1},
        {"root of a negative", {"4_Q"}, "Error", 1},
        {"sign on a result", {"2+3=_"}, "-5"},
        {"lower-case keys", {"16q"}, "4"},
    });
}

TEST(CalcEngine, TypingLimitsAndEditing) {
    RunCases({
        {"sixteenth digit refused", {"1234567890123456"}, "123456789012345", 1},
        {"minus sign does not count", {"5_123456789012345"}, "-512345678901234", 1},
        {"separator counts", {"1234567.890123456"}, "1234567.8901234", 2},
        {"second separator ignored", {"1.2.3"}, "1.23"},
        {"comma types the separator", {"1,5"}, "1.5"},
        {"point on a fresh display", {"."}, "0."},
        {"leading zero replaced", {"007"}, "7"},
        {"backspace", {"123\b"}, "12"},
        {"backspace on minus five", {"5_\b"}, "0"},
        {"backspace after a result", {"2+3=\b"}, "0"},
        {"backspace then typing", {"2+3=\b7"}, "7"},
        {"clear", {"12+3C"}, "0"},
        {"escape clears", {"12\x1b"}, "0"},
        {"accept normalises", {"12.", "OK"}, "12"},
        {"minus zero shows zero", {"0_"}, "0"},
        {"minus zero point", {"0.0_"}, "0"},
    });
    Calculator calc;
    calc.engine.SetDisplayPrecision(1);
    calc.Press({"123"});
    EXPECT_EQ(calc.engine.DisplayText(), "12");
    EXPECT_EQ(calc.beeps, 1);
}

TEST(CalcEngine, ErrorStateHoldsUntilClear) {
    Calculator calc;
    calc.Press({"5/0="});
    EXPECT_EQ(calc.engine.DisplayText(), "Error");
    EXPECT_EQ(calc.engine.EntryState(), ceError);
    EXPECT_EQ(calc.beeps, 1);
    EXPECT_EQ(calc.errors, 1);
    EXPECT_EQ(calc.results, 1); // "=" is reported right after the division by zero
    calc.Press({"12+3=_Q.\b\x1b", "MS", "MR", "MP"});
    EXPECT_EQ(calc.engine.DisplayText(), "Error");
    EXPECT_EQ(calc.results, 1);
    EXPECT_EQ(calc.engine.DisplayNumber(), 0);
    calc.Press({"OK"}); // the accept key only beeps
    EXPECT_EQ(calc.beeps, 2);
    calc.Press({"c"});
    EXPECT_EQ(calc.engine.DisplayText(), "0");
    EXPECT_EQ(calc.engine.EntryState(), ceFresh);
    EXPECT_EQ(calc.engine.PendingOperator(), u'=');
}

TEST(CalcEngine, NoBeepWhenSwitchedOff) {
    Calculator calc;
    calc.engine.SetBeepOnError(false);
    calc.Press({"1234567890123456", "5/0="});
    EXPECT_EQ(calc.engine.DisplayText(), "Error");
    EXPECT_EQ(calc.beeps, 0);
}

TEST(CalcEngine, Memory) {
    Calculator calc;
    int marks = 0;
    calc.engine.hooks.memoryChanged = [&] { ++marks; };
    calc.Press({"7", "MS", "C", "MR", "+1="});
    EXPECT_EQ(calc.engine.DisplayText(), "8");
    EXPECT_EQ(calc.engine.MemoryValue(), 7);
    calc.Press({"MP"}); // 7 + 8
    EXPECT_EQ(calc.engine.MemoryValue(), 15);
    calc.Press({"MR", "2"}); // the recalled number is typed on
    EXPECT_EQ(calc.engine.DisplayText(), "152");
    calc.Press({"/0=", "MC"}); // the memory clears also in the error state
    EXPECT_EQ(calc.engine.MemoryValue(), 0);
    EXPECT_EQ(marks, 3);
    // ClearCalculator keeps memory and held operand.
    Calculator kept;
    kept.Press({"4", "MS", "9+", "C"});
    EXPECT_EQ(kept.engine.MemoryValue(), 4);
    EXPECT_EQ(kept.engine.HeldOperand(), 9);
}

TEST(CalcEngine, CopyAndPaste) {
    RunCases({
        {"currency before", {"V:$12.5"}, "12.5"},
        {"currency after", {"V:12.5 $"}, "12.5"},
        {"blanks", {"V:  7 "}, "7"},
        {"not a number", {"V:abc"}, "0"},
        {"thousands separator", {"V:1,234.5"}, "0"},
        {"infinity text", {"V:inf"}, "0"},
        {"hex text", {"V:0x10"}, "0"},
        {"beyond a double", {"V:1e400"}, "0"},
        {"exponent", {"V:1.5E3"}, "1500"},
        {"sixteen digits shown to fifteen", {"V:1234567890123456"}, "1.23456789012346E15"},
        // The entry state stays fresh: "=" has no typed number to work on.
        {"paste keeps the entry state", {"2+", "V:3", "="}, "3"},
    });
    Calculator calc;
    calc.Press({"42.5\x03"});
    EXPECT_EQ(calc.clipboard, QStringLiteral("42.5"));
    calc.clipboard.reset(); // no text on the clipboard: nothing changes
    calc.engine.FeedCalculatorKey(QChar(22));
    EXPECT_EQ(calc.engine.DisplayText(), "42.5");
}

// Exponent forms and overflows never leave a text that is no number.
TEST(CalcEngine, ExponentFormsAndOverflow) {
    RunCases({
        {"sign gives an exponent form", {"0.000001_"}, "-1E-6"},
        {"no decimals on an exponent form", {"0.000001_."}, "-1E-6"},
        {"no digits on an exponent form", {"0.000001_5"}, "-1E-6"},
        {"backspace on an exponent form", {"0.000001_\b"}, "0"},
        {"recalled exponent form", {"V:1E20", "MS", "C", "MR", "\b"}, "0"},
        {"overflow", {"V:1E300", "*1000000000="}, "Error", 1},
        {"reciprocal of a tiny number", {"V:1E-310", "R"}, "Error", 1},
        {"overflowing memory", {"V:1E308", "MS", "MP", "MR"}, "Error", 1},
    });
    Calculator calc;
    calc.Press({"V:1E300", "*1000000000="});
    calc.Press({"+1="}); // still in the error state
    EXPECT_EQ(calc.engine.DisplayText(), "Error");
}

TEST(CalcEngine, CommaLocale) {
    RunCases(
        {
            {"point types the comma", {"1.5"}, "1,5"},
            {"comma", {"2,5*2="}, "5"},
            {"reciprocal", {"9R"}, "0,111111111111111"},
            {"paste in the locale's format", {"V:0,25"}, "0,25"},
            {"paste with a point", {"V:0.25"}, "0"},
        },
        {u',', u'.', QStringLiteral("€")});
}

TEST(CalcEngine, StartWithAValueFromOutside) {
    Calculator calc;
    calc.Press({"5+"});
    calc.engine.StartWith(12.5);
    EXPECT_EQ(calc.engine.DisplayText(), "12.5");
    EXPECT_EQ(calc.engine.PendingOperator(), u'=');
    calc.Press({"*2="});
    EXPECT_EQ(calc.engine.DisplayText(), "25");
    calc.engine.StartWith(10);
    calc.Press({"3"}); // the first digit replaces the shown value
    EXPECT_EQ(calc.engine.DisplayText(), "3");
}

TEST(CalcEngine, KeyFilterSeesKeysFirst) {
    Calculator calc;
    calc.engine.hooks.keyFilter = [](QChar& key) {
        if (key == u'+') key = u'-';
        if (key == u'9') key = QChar(0);
    };
    calc.Press({"5+929="});
    EXPECT_EQ(calc.engine.DisplayText(), "3");
}
