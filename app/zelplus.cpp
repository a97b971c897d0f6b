#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "app/SignalQuit.h"
#include "app/fZELP.h"

#include <QApplication>

// The program: its units start in order, the main window runs the message loop, and the units
// end in reverse order. A signal ends the loop like closing the window does.
int main(int argc, char** argv) {
    TSignalQuit::CatchSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brinova Vesk+"));
    TSignalQuit signalQuit;

    if (const int status = StartBrinovaAPI(); status != 0) return status;
    if (!StartBrinovaDB()) return 1;
    int status = 0;
    {
        TZELP mainWindow;
        if (!signalQuit.Requested()) {
            mainWindow.show();
            // A signal that came during start-up (while a box was open) ends the program here.
            if (!signalQuit.Requested()) status = QApplication::exec();
        }
        // The window's close closes the data file and keeps its position (once, however the
        // loop ended).
        mainWindow.close();
    }
    StopBrinovaDB();
    return status;
}
