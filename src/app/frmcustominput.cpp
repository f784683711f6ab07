#include "app/frmcustominput.h"

#include "app/formlayout.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quorvane::app {

namespace {

QPushButton* makeButton(const QString& name, const QString& caption, double left, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    placeTwips(*button, left, 2400, 855, 495);
    button->setFont(designFont(9.75, true));
    keepCaptionWhole(*button);
    // Enter belongs to the multi-line box; neither button is the default.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

frmCustomInput::frmCustomInput() : QDialog(nullptr) {
    setObjectName("frmCustomInput");
    setWindowTitle("Token input");
    // The window's font, which the text box uses.
    setFont(designFont(8.25, false));
    setClientTwips(*this, 4560, 3015);

    Label1 = new QLabel("Paste in your token", this);
    Label1->setObjectName("Label1");
    placeTwips(*Label1, 360, 240, 3855, 255);
    Label1->setFont(designFont(9.75, false));

    txtInput = new QPlainTextEdit(this);
    txtInput->setObjectName("txtInput");
    // Tab moves on to Ok and Cancel; Enter starts a new line.
    txtInput->setTabChangesFocus(true);
    placeTwips(*txtInput, 360, 600, 3855, 1575);

    cmdOK = makeButton("cmdOK", "Ok", 360, this);
    cmdCancel = makeButton("cmdCancel", "Cancel", 3120, this);
    setTabOrder(txtInput, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, &frmCustomInput::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCustomInput::cmdCancel_Click);
}

std::optional<QString> frmCustomInput::ask() {
    txtInput->clear();
    InputResult.clear();
    exec();
    if (InputResult.isEmpty()) {
        return std::nullopt;
    }
    return InputResult;
}

void frmCustomInput::cmdOK_Click() {
    InputResult = txtInput->toPlainText();
    hide();
}

void frmCustomInput::cmdCancel_Click() {
    InputResult.clear();
    hide();
}

void frmCustomInput::reject() {
    cmdCancel_Click();
}

void frmCustomInput::keyPressEvent(QKeyEvent* event) {
    // No button is bound to Esc: it neither cancels nor closes the dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quorvane::app
