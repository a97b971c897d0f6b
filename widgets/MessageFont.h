#pragma once

class QFont;

// The font of the drop-downs and the select-date dialog.
namespace widgets {

// The system's message-box font; "MS Sans Serif" 8 when there is none to ask.
void ApplyMessageFont(QFont& font);

} // namespace widgets
