#include "TempFolder.h"

#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need one application object for the whole run, on the offscreen platform.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The result pages of window tests (and Qt's own runtime files) go to a private folder of the
    // run, never to the user's runtime folder or to a fixed name under /tmp.
    const test::TempFolder runtime;
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}
