#pragma once

#include <QPlainTextEdit>

// The form's memo: Tab moves the focus on, and typing and pasting stop at a length counted as
// the text is stored (a line break is CR LF, two characters). Text set by the program is
// never cut.
class TLimitedMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TLimitedMemo(QWidget* parent = nullptr);

    int MaxLength() const { return maxLength_; }
    // 0 for no limit.
    void SetMaxLength(int maxLength) { maxLength_ = maxLength < 0 ? 0 : maxLength; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // How many stored characters may still be added in place of the selection.
    qsizetype Room() const;

    int maxLength_ = 0;
};
