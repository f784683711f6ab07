#pragma once

#include "app/formlayout.h"
#include "app/polltimer.h"
#include "app/windowoptions.h"
#include "gateway/httpget.h"
#include "gateway/replymessagebox.h"
#include "reading/boxes.h"
#include "reading/notices.h"
#include "reading/readingcycle.h"
#include "reading/shownreading.h"
#include "support/clock.h"
#include "support/errorlog.h"
#include "support/localetexts.h"

#include <QDateTime>
#include <QKeySequence>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QSettings;

namespace quorvane::app {

class frmCustomInput;
class frmTimeoutMsg;

// What the main window works with that lives outside it.
struct WindowServices {
    gateway::HttpGet& http;
    // Shows a gateway reply that contains "error".
    gateway::ReplyMessageBox& replyBox;
    support::Clock& clock;
    const support::LocaleTexts& locale;
    support::ZoneSource& zones;
    // The per-user settings store (section "Settings").
    QSettings& settings;
    // The program as it was started (argv[0]); its base name selects the consumption variant.
    std::string programPath;
    // The arguments after the program's name joined by blanks, options taken off (UTF-8).
    std::string arguments;
    // Ends a request that is under way and closes its message box, so that closing the window
    // need not wait for either.
    std::function<void()> endRequest;
    // Whether the request that has just failed failed only because the owner has yet to answer
    // the question about the gateway's new certificate: the question says why, so its failure
    // notice is left out. Asked once per failure; empty means never.
    std::function<bool()> failureAwaitsOwner = {};
    // Takes each reading once the window has drawn it (the energy history); may be empty.
    std::function<void(const reading::ShownReading&)> readingShown = {};
};

// The main window: the display boxes, the settings and phase panels, polling, start-up and
// shutdown, the notices and the token flow (quorvanefrm.cpp, formdesign.cpp, formboxes.cpp,
// formtoken.cpp).
class Quorvanefrm final : public QWidget,
                          public reading::CycleInputs,
                          public reading::Notices,
                          public WindowOptions {
    Q_OBJECT

public:
    // The window as designed, hidden; nothing runs until Form_Load.
    explicit Quorvanefrm(WindowServices services);
    ~Quorvanefrm() override;

    // The whole start-up: menu, show, token, settings, caption, variant, time zone, command line,
    // greeting, polling. Returns early when the program is to end (see ended()).
    void Form_Load();
    // Saves the settings and unloads the token dialog; run when the window closes normally.
    void Form_Unload();

    // The program was ended during start-up (token dialog cancelled, or closed before the
    // settings were restored): nothing later ran and nothing was saved.
    bool ended() const { return m_ended; }
    // The window has been closed (Form_Unload has run, or the program ended early).
    bool closing() const { return m_closing; }

    void Startbtn_Click();
    void Stopbtn_Click();
    void Timer1_Timer();
    // A text that is not a whole number from 0 to 65535 is refused: the box shows the current
    // interval again.
    void Delay_LostFocus();
    void Grid_DblClick();
    void IP_DblClick();
    void CreateOutputchk_Click();

    void LoadToken();
    void AskToken();
    void SaveToken();
    void TokenString_LostFocus();

    // The polling timer.
    const PollTimer& timer() const { return Timer1; }
    // The token dialog, once it has been loaded.
    frmCustomInput* tokenDialog() const { return m_tokenDialog.get(); }
    // The notice now shown, if any.
    frmTimeoutMsg* notice() const { return m_notice.get(); }
    const std::string& bearerToken() const { return BearerToken; }
    const reading::ReadingCycle& cycle() const { return *m_cycle; }

    // The boxes by control name: text (UTF-8), back colour (blue-green-red, or
    // reading::colours::kWindowBackground) and tooltip.
    std::string text(reading::Box box) const;
    void setText(reading::Box box, std::string_view text);
    std::uint32_t backColour(reading::Box box) const;
    void setBackColour(reading::Box box, std::uint32_t colour);
    std::string toolTip(reading::Box box) const;
    void setToolTip(reading::Box box, std::string_view text);
    // The CreateOutputchk value; 0 once the window has closed, so that a cycle still unwinding
    // writes no output file.
    int writeCheckValue() const;

    // Draws what the reading cycle shows into the boxes a reading fills.
    void drawReading(const reading::ShownReading& shown);
    // What the boxes a reading fills show now, as a value: the cycle's starting point.
    reading::ShownReading shownBoxes() const;

    // reading::CycleInputs
    std::string address() const override;
    std::string token() const override;
    std::string outputFile() const override;
    bool writing() const override;

    // reading::Notices
    void TestTimeoutMsgBox(const std::string& message, std::int32_t timeout) override;

    // The key that asks for the energy history anywhere in the window (Ctrl+E).
    static QKeySequence energyShortcut();

    // WindowOptions
    QWidget* widget() override { return this; }
    double outerTop() const override;
    double outerLeft() const override;
    double outerWidth() const override;
    double outerHeight() const override;
    void setOuterTop(double twips) override;
    void setOuterLeft(double twips) override;
    void setOuterWidth(double twips) override;
    void setOuterHeight(double twips) override;
    double screenWidth() const override;
    double screenHeight() const override;
    QString ipText() const override;
    void setIpText(const QString& text) override;
    QString outFileText() const override;
    void setOutFileText(const QString& text) override;
    void setWriteCheckValue(int value) override;
    bool stayOnTop() const override;
    void setStayOnTop(bool on) override;

signals:
    // The owner asked for the energy history: a double-click on Production or Consumption, or
    // energyShortcut().
    void energyWindowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    QWidget* box(reading::Box which) const;
    void endProgram();
    // Names the token's expiry in the TokenString tooltip (none for a token that is no JWT).
    void refreshTokenToolTip();
    // The same, once the tooltip would read differently (a day fewer left, or expired).
    void refreshTokenToolTipWhenDue();

    WindowServices m_services;
    support::ErrorLog m_errorLog;
    std::unique_ptr<reading::ReadingCycle> m_cycle;
    std::array<QWidget*, reading::kBoxCount> m_boxes{};
    QLabel* m_label8 = nullptr;
    QCheckBox* m_createOutputchk = nullptr;
    PollTimer Timer1;
    std::unique_ptr<frmCustomInput> m_tokenDialog;
    std::unique_ptr<frmTimeoutMsg> m_notice;
    std::string BearerToken;
    OuterTwips m_outer;
    // The window is kept above other windows.
    bool StayOnTop = false;
    bool m_settingsLoaded = false;
    bool m_closing = false;
    bool m_ended = false;
    // From when on the TokenString tooltip reads differently (one day left fewer, or expired);
    // invalid while only a change of the text can change it.
    QDateTime m_tokenToolTipChangeAt;
};

} // namespace quorvane::app
