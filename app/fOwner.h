#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class QKeyEvent;
class QLineEdit;
class QWidget;
namespace Ui {
class TfmOwner;
}

// The Parameters form: the owner's address block printed on every result page, whether the
// main window keeps its position, and which viewer shows the results. Only OK writes them.
class TfmOwner : public QDialog {
    Q_OBJECT
public:
    explicit TfmOwner(QWidget* owner = nullptr);
    ~TfmOwner() override;

    void done(int result) override;

public slots:
    void BitBtn1Click();
    void BitBtn3Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    // True when the key was handled here and goes no further.
    bool FormKeyDown(QKeyEvent& key);
    bool EnterNext(QKeyEvent& key);
    void LoadParameters();
    void SaveParameters();
    QList<QLineEdit*> OwnerEdits() const;

    std::unique_ptr<Ui::TfmOwner> ui;
    // The owner lines while the form is open.
    std::unique_ptr<QStringList> ownerLines_;
};

// The form as the "Set parameters" command shows it: modal over `owner` (the active window
// when none), freed when it closes.
void ShowParameters(QWidget* owner = nullptr);

// The lines of a stored owner text: broken at CR LF, a lone CR or a lone LF; a break at the
// very end starts no further line.
QStringList OwnerLines(const QString& text);
// The six owner lines as stored: each followed by CR LF, missing lines empty, lines past the
// sixth dropped, and a break inside a line turned into a blank so it cannot add a line.
QString OwnerText(const QStringList& lines);
