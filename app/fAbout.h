#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <string_view>

class QKeyEvent;
namespace Ui {
class TAbout;
}

// The About box: the product, the program's version, what it does, and links to the
// product's home page and contact mailbox.
class TAbout : public QDialog {
    Q_OBJECT
public:
    explicit TAbout(QWidget* owner = nullptr);
    ~TAbout() override;

    void SetVersionText(const QString& text);

public slots:
    // The link the sender's Tag names: 1 the home page, 2 a mail to the contact mailbox.
    void InetClick(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TAbout> ui;
};

// The About command: the box with `versionText`, modal over `owner` (the active window when
// none), freed when it closes.
void ShowAbout(const QString& versionText, QWidget* owner = nullptr);

// The mailbox of a "mailto:" address, without the scheme and without any "?" part.
std::string MailboxOf(std::string_view mailtoAddress);
