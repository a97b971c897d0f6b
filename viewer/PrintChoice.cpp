#include "PrintChoice.h"

#include <QPrintDialog>
#include <QPrinter>

namespace viewer {
namespace {

class DialogChoice final : public PrintChoice {
public:
    bool Choose(QWidget* owner, QPrinter& printer) override {
        QPrintDialog dialog(&printer, owner);
        dialog.setObjectName("PrintDialog");
        return dialog.exec() == QDialog::Accepted;
    }
};

} // namespace

PrintChoice& PrintDialogChoice() {
    static DialogChoice choice;
    return choice;
}

} // namespace viewer
