#include "app/formdesign.h"

#include "app/formlayout.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <utility>
#include <vector>

namespace quorvane::app {

namespace {

// The design text of the IP box: an address on the owner's LAN, replaced by the settings or
// the command line.
constexpr const char* kDesignAddress = "192.168.1.64";
constexpr const char* kPhaseTip = "Green Export, Red Iimport";

enum class Kind { Label, Text, HiddenText, MultiLineText, Button, CheckBox };
enum class Font { Window, Value, Setting };

// One control of the main window as designed: position and size in twips.
struct Control {
    const char* name;
    Kind kind;
    double left;
    double top;
    double width;
    double height;
    const char* text;
    const char* toolTip;
    int tabIndex;
    Font font;
    // What a screen reader calls the box: its label, or its row and column.
    const char* accessibleName = "";
};

// clang-format off
const Control kControls[] = {
    // The main panel.
    {"Label3", Kind::Label, 120, 120, 855, 255, "Timestamp", "", 7, Font::Window},
    {"TimeStamp", Kind::Text, 1200, 120, 2300, 360, "0", "Instant time stamp", 2,
     Font::Value, "Timestamp"},
    {"Label2", Kind::Label, 120, 480, 975, 255, "Production", "", 6, Font::Window},
    {"Production", Kind::Text, 1200, 480, 950, 285, "0", "Solar Production", 1,
     Font::Value, "Production"},
    {"Label4", Kind::Label, 120, 840, 975, 255, "Consumption", "", 8, Font::Window},
    {"Consumption", Kind::Text, 1200, 840, 950, 285, "0", "Production +/- Grid", 3,
     Font::Value, "Consumption"},
    {"Label1", Kind::Label, 120, 1200, 615, 255, "Grid", "", 5, Font::Window},
    {"Grid", Kind::Text, 1200, 1200, 950, 285, "0", kPhaseTip, 0, Font::Value, "Grid"},
    {"Label5", Kind::Label, 2280, 840, 1815, 255, "Response time     Delay", "", 12, Font::Window},
    {"Turnaround", Kind::Text, 2280, 1200, 975, 285, "0", "Response time from Envoy", 10,
     Font::Value, "Response time"},
    {"Delay", Kind::Text, 3480, 1200, 615, 285, "1000", "Delay between requests", 11,
     Font::Value, "Delay"},
    {"Startbtn", Kind::Button, 3550, 120, 735, 255, "Start", "", 15, Font::Window},
    {"Stopbtn", Kind::Button, 3550, 480, 735, 255, "Stop", "", 16, Font::Window},
    // The phase panel.
    {"Label8", Kind::Label, 1200, 1680, 3855, 255,
     "   Solar                   Grid                 Amps          Volts", "", 19, Font::Window},
    {"Label9", Kind::Label, 120, 1920, 615, 255, "Phase 1", "", 26, Font::Window},
    {"Label10", Kind::Label, 120, 2280, 615, 255, "Phase 2", "", 27, Font::Window},
    {"Label11", Kind::Label, 120, 2640, 615, 255, "Phase 3", "", 28, Font::Window},
    {"S1", Kind::Text, 1200, 1920, 950, 285, "0", "", 21, Font::Value, "Phase 1 Solar"},
    {"S2", Kind::Text, 1200, 2280, 950, 285, "0", "", 23, Font::Value, "Phase 2 Solar"},
    {"S3", Kind::Text, 1200, 2640, 950, 285, "0", "", 25, Font::Value, "Phase 3 Solar"},
    {"G1", Kind::Text, 2280, 1920, 975, 285, "0", kPhaseTip, 20, Font::Value, "Phase 1 Grid"},
    {"G2", Kind::Text, 2280, 2280, 975, 285, "0", kPhaseTip, 22, Font::Value, "Phase 2 Grid"},
    {"G3", Kind::Text, 2280, 2640, 975, 285, "0", kPhaseTip, 24, Font::Value, "Phase 3 Grid"},
    {"A1", Kind::Text, 3360, 1920, 700, 360, "0", kPhaseTip, 33, Font::Value, "Phase 1 Amps"},
    {"A2", Kind::Text, 3360, 2280, 700, 360, "0", kPhaseTip, 32, Font::Value, "Phase 2 Amps"},
    {"A3", Kind::Text, 3360, 2640, 700, 360, "0", kPhaseTip, 31, Font::Value, "Phase 3 Amps"},
    {"V1", Kind::Text, 4200, 1920, 700, 360, "0", kPhaseTip, 36, Font::Value, "Phase 1 Volts"},
    {"V2", Kind::Text, 4200, 2280, 700, 360, "0", kPhaseTip, 37, Font::Value, "Phase 2 Volts"},
    {"V3", Kind::Text, 4200, 2640, 700, 360, "0", kPhaseTip, 38, Font::Value, "Phase 3 Volts"},
    // The settings panel.
    {"Label7", Kind::Label, 5040, 120, 495, 255, "Envoy", "", 18, Font::Window},
    {"IP", Kind::Text, 5640, 120, 1695, 285, kDesignAddress, "", 4, Font::Setting, "Envoy address"},
    {"Label6", Kind::Label, 5280, 555, 1815, 255, "Write?  File to write to", "", 17,
     Font::Window},
    {"CreateOutputchk", Kind::CheckBox, 5280, 840, 255, 255, "Check1", "", 14,
     Font::Window, "Write output file"},
    {"OutFile", Kind::Text, 5640, 840, 3135, 285, "E:\\Meters.txt", "", 13,
     Font::Setting, "File to write to"},
    {"Label12", Kind::Label, 5280, 1200, 975, 255, "Time Zone", "", 30, Font::Window},
    {"Zone", Kind::Text, 6120, 1200, 915, 285, "", "Delay between requests", 29,
     Font::Setting, "Time Zone"},
    {"MyTime", Kind::HiddenText, 7680, 1200, 1095, 285, "0", "", 9, Font::Window},
    {"Label13", Kind::Label, 5160, 1680, 3135, 255, "Token - see doc", "", 35, Font::Window},
    {"TokenString", Kind::MultiLineText, 5040, 1920, 3855, 1090, "", "", 34, Font::Window, "Token"},
};
// clang-format on

QWidget* makeControl(const Control& design, QWidget* parent) {
    const QString text = QString::fromUtf8(design.text);
    QWidget* control = nullptr;
    switch (design.kind) {
    case Kind::Label:
        control = new QLabel(text, parent);
        break;
    case Kind::Text:
    case Kind::HiddenText:
        control = new QLineEdit(text, parent);
        break;
    case Kind::MultiLineText: {
        auto* multiLine = new QPlainTextEdit(text, parent);
        // Tab moves on to the next control; a token holds no tab.
        multiLine->setTabChangesFocus(true);
        control = multiLine;
        break;
    }
    case Kind::Button:
        control = new QPushButton(text, parent);
        keepCaptionWhole(*static_cast<QPushButton*>(control));
        break;
    case Kind::CheckBox:
        control = new QCheckBox(text, parent);
        break;
    }
    control->setObjectName(QString::fromUtf8(design.name));
    placeTwips(*control, design.left, design.top, design.width, design.height);
    control->setToolTip(QString::fromUtf8(design.toolTip));
    control->setAccessibleName(QString::fromUtf8(design.accessibleName));
    if (design.font == Font::Value) {
        control->setFont(designFont(9.75, true));
        // Most of the line edit's inner margin goes to the text, as in the design's boxes: a
        // five-digit delay or turnaround fits whole.
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setTextMargins(-1, 0, -2, 0);
        }
    } else if (design.font == Font::Setting) {
        control->setFont(designFont(8.25, true));
    }
    if (design.kind == Kind::HiddenText) {
        control->setVisible(false);
    }
    return control;
}

} // namespace

void createDesignedControls(QWidget& form) {
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const Control& design : kControls) {
        QWidget* control = makeControl(design, &form);
        if (design.kind != Kind::Label) {
            tabOrder.emplace_back(design.tabIndex, control);
        }
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    }
}

} // namespace quorvane::app
