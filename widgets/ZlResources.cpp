#include "ZlResources.h"

#include <QHash>

#include <string>
#include <string_view>
#include <vector>

namespace widgets {
namespace {

// The pictures are grids of characters, one per pixel; '.' is the background. A picture of
// several cells is its cells' grids side by side.
using Grid = std::vector<std::string_view>;

// Monochrome navigation arrows, 8 x 6: '#' black on white.
const Grid kPrev1 = {
    "....#...", "...##...", "..###...", "...##...", "....#...", "........",
};
const Grid kPrev2 = {
    "...#...#", "..##..##", ".###.###", "..##..##", "...#...#", "........",
};
const Grid kNext1 = {
    "...#....", "...##...", "...###..", "...##...", "...#....", "........",
};
const Grid kNext2 = {
    "#...#...", "##..##..", "###.###.", "##..##..", "#...#...", "........",
};

// Calculator key glyphs, 14 x 13 each.
const Grid kCancelGlyph = {
    "..............", "..............", "...RR....RR...", "....RR..RR....", ".....RRRR.....",
    "......RR......", ".....RRRR.....", "....RR..RR....", "...RR....RR...", "..............",
    "..............", "..............", "..............",
};
const Grid kAcceptGlyph = {
    "..............", "..............", "..........g...", ".........gg...", "........ggg...",
    "..g....ggg....", "..gg..ggg.....", "..ggggggg.....", "...ggggg......", "....ggg.......",
    ".....g........", "..............", "..............",
};
const Grid kPlusMinusGlyph = {
    "..............", "..............", "......k.......", "......k.......", "....kkkkk.....",
    "......k.......", "......k.......", "..............", "....kkkkk.....", "..............",
    "..............", "..............", "..............",
};
const Grid kTimesGlyph = {
    "..............", "..............", "..............", "...p.....p....", "....p...p.....",
    ".....p.p......", "......p.......", ".....p.p......", "....p...p.....", "...p.....p....",
    "..............", "..............", "..............",
};
const Grid kMinusGlyph = {
    "..............", "..............", "..............", "..............", "..............",
    "..............", "...ppppppp....", "..............", "..............", "..............",
    "..............", "..............", "..............",
};
const Grid kPlusGlyph = {
    "..............", "..............", "..............", "......p.......", "......p.......",
    "......p.......", "...ppppppp....", "......p.......", "......p.......", "......p.......",
    "..............", "..............", "..............",
};

// Drop button glyphs, 14 x 12: the normal face; the disabled face is made from it.
const Grid kDateGlyph = {
    "..............", ".RRRRRRRRRRRR.", ".RRRRRRRRRRRR.", ".kkkkkkkkkkkk.",
    ".kwwwwwwwwwwk.", ".kwkwkwkwkwwk.", ".kwwwwwwwwwwk.", ".kwkwkwkwkwwk.",
    ".kwwwwwwwwwwk.", ".kwkwkwkwwwwk.", ".kkkkkkkkkkkk.", "..............",
};
const Grid kCalculatorGlyph = {
    "..............", "..kkkkkkkkkk..", "..kGGGGGGGGk..", "..kGGGGGGGGk..",
    "..kkkkkkkkkk..", "..kwwkwwkwwk..", "..kkkkkkkkkk..", "..kwwkwwkwwk..",
    "..kkkkkkkkkk..", "..kwwkwwkRRk..", "..kkkkkkkkkk..", "..............",
};

// One colour of the class library's 16 per letter.
QRgb GridColor(char c) {
    switch (c) {
    case 'k':
        return qRgb(0, 0, 0);
    case 'm':
        return qRgb(128, 0, 0);
    case 'g':
        return qRgb(0, 128, 0);
    case 'n':
        return qRgb(0, 0, 128);
    case 'p':
        return qRgb(128, 0, 128);
    case 't':
        return qRgb(0, 128, 128);
    case 'd':
        return qRgb(128, 128, 128);
    case 's':
        return qRgb(192, 192, 192);
    case 'R':
        return qRgb(255, 0, 0);
    case 'G':
        return qRgb(0, 255, 0);
    case 'Y':
        return qRgb(255, 255, 0);
    case 'B':
        return qRgb(0, 0, 255);
    case 'F':
        return qRgb(255, 0, 255);
    case 'A':
        return qRgb(0, 255, 255);
    case 'w':
        return qRgb(255, 255, 255);
    default:
        return qRgb(128, 128, 0); // '.' and 'o': olive, the background
    }
}

using Rows = std::vector<std::string>;

Rows Join(const std::vector<Grid>& cells) {
    Rows rows;
    for (const Grid& cell : cells) {
        rows.resize(cell.size());
        std::size_t row = 0;
        for (std::string_view line : cell)
            rows[row++] += line;
    }
    return rows;
}

// The disabled face of a picture: its dark pixels grey over a white shadow one right and
// one down, its white pixels the background.
Rows DisabledFace(const Grid& cell) {
    const Rows normal = Join({cell});
    Rows disabled(normal.size(), std::string(normal.empty() ? 0 : normal[0].size(), '.'));
    const auto dark = [](char c) { return c != '.' && c != 'w'; };
    for (std::size_t y = 0; y < normal.size(); ++y)
        for (std::size_t x = 0; x < normal[y].size(); ++x)
            if (dark(normal[y][x]) && y + 1 < normal.size() && x + 1 < normal[y].size())
                disabled[y + 1][x + 1] = 'w';
    for (std::size_t y = 0; y < normal.size(); ++y)
        for (std::size_t x = 0; x < normal[y].size(); ++x)
            if (dark(normal[y][x])) disabled[y][x] = 'd';
    return disabled;
}

Rows SideBySide(const Rows& left, const Rows& right) {
    Rows rows = left;
    for (std::size_t y = 0; y < rows.size() && y < right.size(); ++y)
        rows[y] += right[y];
    return rows;
}

TBitmap ColourBitmap(const Rows& rows) {
    const int height = static_cast<int>(rows.size());
    const int width = height ? static_cast<int>(rows[0].size()) : 0;
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, GridColor(rows[y][x]));
    return TBitmap(image);
}

TBitmap MonochromeBitmap(const Grid& grid) {
    const Rows rows = Join({grid});
    const int height = static_cast<int>(rows.size());
    const int width = static_cast<int>(rows[0].size());
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, rows[y][x] == '#' ? 0 : 1);
    return TBitmap(image);
}

} // namespace

TBitmap LoadBitmapResource(const QString& name) {
    const QString key = name.toUpper();
    if (key == QLatin1String("PREV1")) return MonochromeBitmap(kPrev1);
    if (key == QLatin1String("PREV2")) return MonochromeBitmap(kPrev2);
    if (key == QLatin1String("NEXT1")) return MonochromeBitmap(kNext1);
    if (key == QLatin1String("NEXT2")) return MonochromeBitmap(kNext2);
    if (key == QLatin1String("CALCBTNS"))
        return ColourBitmap(
            Join({kCancelGlyph, kAcceptGlyph, kPlusMinusGlyph, kTimesGlyph, kMinusGlyph, kPlusGlyph}));
    if (key == QLatin1String("DEDITBMP"))
        return ColourBitmap(SideBySide(Join({kDateGlyph}), DisabledFace(kDateGlyph)));
    if (key == QLatin1String("CEDITBMP"))
        return ColourBitmap(SideBySide(Join({kCalculatorGlyph}), DisabledFace(kCalculatorGlyph)));
    return TBitmap();
}

QString LoadResourceString(int id) {
    switch (id) {
    case SPrevMonth:
        return QStringLiteral("Previous Month|");
    case SPrevYear:
        return QStringLiteral("Previous Year|");
    case SNextMonth:
        return QStringLiteral("Next Month|");
    case SNextYear:
        return QStringLiteral("Next Year|");
    case SDateDlgTitle:
        return QStringLiteral("Select a Date");
    case SInvalidDate:
        return QStringLiteral("''%s'' is not a valid date");
    default:
        return QString();
    }
}

} // namespace widgets
