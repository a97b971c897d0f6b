#include "MainWindowRules.h"

#include "engine/BrinovaDEF.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>

TFormBounds PulledBackPosition(const TFormBounds& bounds, const TScreenArea& screen) {
    TFormBounds result = bounds;
    if (result.top > screen.top + screen.height - 100 || result.top < screen.top)
        result.top = screen.top + 10;
    if (result.left > screen.left + screen.width - 100 || result.left < screen.left)
        result.left = screen.left + 100;
    return result;
}

TFormBounds SizeHeldToArea(const TFormBounds& bounds, const TScreenArea& area) {
    TFormBounds result = bounds;
    result.width = std::min(result.width, area.width);
    result.height = std::min(result.height, area.height);
    return result;
}

int NoteColumnWidth(int listWidth, int dateColumnWidth, int timeColumnWidth, int scrollBarWidth) {
    return listWidth - dateColumnWidth - scrollBarWidth - timeColumnWidth - 2;
}

QString NoSelectedTestCaption() {
    return QStringLiteral("Selected test:");
}

QString SelectedTestCaption(const QString& date, const std::optional<QString>& time,
                            const std::optional<QString>& note) {
    QString caption = NoSelectedTestCaption() + QStringLiteral("    ") + date;
    if (time) caption += u' ' + *time;
    if (note) caption += QStringLiteral(", ") + *note;
    return caption;
}

std::string NoDataFileText() {
    return "No data file is open.\n\nNo records can be shown or stored until Brinova Vesk+ is started "
           "with its data file again; the message before said why. The records in the data folder were "
           "left as they are.";
}

std::string BodyItemCaption(int runningNumber, std::uint8_t kind) {
    return std::to_string(runningNumber) + ". " + BodyTypeName(kind);
}

int BodyPictureIndex(std::uint8_t kind) {
    return kind < BodyTypeNames.size() ? kind : static_cast<int>(BodyTypeNames.size()) - 1;
}

std::string MeasureText(long double value, char decimalSeparator) {
    // A stored value that is no number (a damaged record) is shown as nothing at all.
    if (!std::isfinite(value)) return std::string();
    // Fifteen significant digits: a value too large for them in fixed notation goes scientific.
    if (std::fabs(value) >= 1e15L) return platform::FormatGeneral(value, 15, decimalSeparator);
    return platform::FormatFixed(value, 2, decimalSeparator);
}

TCommandStates CommandStatesFor(std::int32_t selectedBody, std::int32_t selectedTest) {
    TCommandStates states;
    states.bodyCommands = selectedBody > 0;
    states.testCommands = selectedTest > 0;
    states.keepsSelectedTestCaption = states.bodyCommands;
    return states;
}
