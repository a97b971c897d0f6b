#include "ComboEditText.h"

#include "ComboEdit.h"
#include "ZlColors.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyleOptionFrame>

namespace widgets {

int FontTextHeight(const QWidget* control) {
    const int systemHeight = QFontMetrics(QApplication::font()).height();
    const int ownHeight = QFontMetrics(control->font()).height();
    return std::min(systemHeight, ownHeight);
}

QPoint TextMarginsOf(const TCustomComboEdit* edit) {
    // A framed edit has the 3-D border; its text begins one pixel further in.
    const int y = edit->hasFrame() ? 1 : 0;
    return QPoint(edit->textMargins().left() + y, y);
}

void PaintFlatFrame(const TCustomComboEdit* edit, QPainter& canvas) {
    if (edit->Ctl3D() || !edit->hasFrame()) return;
    const QRect outer = edit->rect().adjusted(0, 0, -1, -1);
    canvas.save();
    canvas.setClipping(false);
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(ToQColor(clWindowFrame, edit->palette()));
    canvas.drawRect(outer);
    canvas.setPen(edit->palette().color(QPalette::Base));
    canvas.drawRect(outer.adjusted(1, 1, -1, -1));
    canvas.restore();
}

bool PaintAlignedText(TCustomComboEdit* edit, QPainter& canvas, const QString& text, TAlignment alignment,
                      bool standardPaint) {
    if (edit->layoutDirection() == Qt::RightToLeft) {
        if (alignment == taLeftJustify)
            alignment = taRightJustify;
        else if (alignment == taRightJustify)
            alignment = taLeftJustify;
    }
    if (standardPaint) return false;

    QStyleOptionFrame panel;
    panel.initFrom(edit);
    panel.rect = edit->rect();
    panel.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, edit) : 0;
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    edit->style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &canvas, edit);
    PaintFlatFrame(edit, canvas);

    const QRect client = edit->style()->subElementRect(QStyle::SE_LineEditContents, &panel, edit);
    canvas.setFont(edit->font());
    QColor textColor = edit->palette().color(QPalette::Text);
    if (!edit->isEnabled() && edit->palette().color(QPalette::Base) != ToQColor(clGrayText, edit->palette()))
        textColor = ToQColor(clGrayText, edit->palette());
    canvas.setPen(textColor);

    const QPoint margins = TextMarginsOf(edit);
    int textWidth = QFontMetrics(edit->font()).horizontalAdvance(text);
    int left = margins.x();
    if (!edit->PopupShowing()) {
        const int clientWidth = client.width();
        const int buttonWidth = edit->ButtonWidth();
        if (buttonWidth > 0) ++textWidth;
        switch (alignment) {
        case taLeftJustify:
            break;
        case taRightJustify:
            left = clientWidth - buttonWidth - textWidth - margins.x() - 2;
            break;
        case taCenter:
            left = (clientWidth - buttonWidth - textWidth) / 2;
            break;
        }
    }
    // Vertically the text sits where the line edit puts its own, so it does not jump on focus.
    canvas.setClipRect(client);
    canvas.drawText(QRect(client.left() + left, client.top(), client.width(), client.height()),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    return true;
}

} // namespace widgets
