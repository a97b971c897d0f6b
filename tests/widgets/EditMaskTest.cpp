#include "widgets/EditMask.h"

#include <gtest/gtest.h>
#include <vector>

using namespace widgets;

TEST(EditMask, ClassLibraryMasksInQtNotation) {
    struct Case {
        const char* mask;
        QChar dateSeparator;
        const char* inputMask;
    };
    const std::vector<Case> cases = {
        {"!99/99/9999;1; ", u'/', "00/00/0000; "},
        {"!99/99/9999;1; ", u'.', "00.00.0000; "},
        {"!9999/99/99;1;_", u'-', "0000-00-00;_"},
        {"!99/99/99;1; ", u'/', "00/00/00; "},
        {"00:00;0;*", u'/', "99:99;*"},
        {"LlAaCc#", u'/', "AaNnXx#;_"},
        {">L<l<>c", u'/', ">A<a!x;_"},
        {"\\9\\;x_y", u'/', "\\9\\;\\x y;_"},
        {"!99/99", u'9', "00\\900;_"},
        {"", u'/', ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InputMaskOf(QString::fromLatin1(c.mask), c.dateSeparator, u':'),
                  QString::fromLatin1(c.inputMask))
            << c.mask;
}
