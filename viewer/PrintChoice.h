#pragma once

class QPrinter;
class QWidget;

namespace viewer {

// Asks the user where and how to print. The real one is the system print dialog;
// tests answer it themselves, so they need no printer.
class PrintChoice {
public:
    virtual ~PrintChoice() = default;
    // Lets the user set up `printer` over `owner`; true when the user confirmed.
    virtual bool Choose(QWidget* owner, QPrinter& printer) = 0;
};

// The system print dialog.
PrintChoice& PrintDialogChoice();

} // namespace viewer
