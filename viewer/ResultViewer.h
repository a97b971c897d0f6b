#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QDialog;
class QWidget;

namespace viewer {

// Makes the viewer window for a result file over `parent` (may be null).
using ViewerMaker = std::function<QDialog*(const QString& resultFileName, QWidget* parent)>;

// The viewer of the library: a TfmZelReslt with the system print dialog.
QDialog* MakeResultViewer(const QString& resultFileName, QWidget* parent);

// Shows the page `fileName` (file-system bytes; null counts as empty) modally over the
// application window whose handle is `parent` and returns when the viewer has closed, with
// the viewer's handle. When no viewer can be made the user is told and 0 comes back.
// Never throws.
std::uintptr_t ShowResultModal(std::uintptr_t parent, const char* fileName,
                               const ViewerMaker& make = MakeResultViewer);

} // namespace viewer
