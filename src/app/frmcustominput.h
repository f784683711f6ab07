#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quorvane::app {

// The token dialog: a multi-line box for the pasted token, Ok and Cancel. The buttons only hide
// it; it stays loaded until the main window unloads it.
class frmCustomInput final : public QDialog {
    Q_OBJECT

public:
    // Made without an owner window, at its design size and texts, hidden.
    frmCustomInput();

    // Shows the dialog with an empty box, modally, and returns the text accepted with Ok;
    // nothing after Cancel, the close box, or Ok on an empty box.
    std::optional<QString> ask();

    void cmdOK_Click();
    void cmdCancel_Click();

    // The close box counts as Cancel.
    void reject() override;

protected:
    // Esc does nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The text accepted with Ok; empty after Cancel or when the window was closed.
    QString InputResult;

    QLabel* Label1 = nullptr;
    QPlainTextEdit* txtInput = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

} // namespace quorvane::app
