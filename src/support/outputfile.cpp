#include "support/outputfile.h"

#include <string_view>

#include "support/filereplace.h"
#include "support/numerictext.h"
#include "support/systemtext.h"

namespace quorvane::support {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Line 4: the Grid text itself on the import colour, else its value negated.
std::string gridLine(const DisplayBoxes& boxes, const LocaleTexts& locale) {
    const std::string text = boxes.text(Box::Grid);
    if (boxes.backColour(Box::Grid) == colours::kLightRed) {
        return text;
    }
    return exportNumber(-valueOfDisplayText(text), locale.decimalSeparator());
}

} // namespace

std::string composeOutput(const DisplayBoxes& boxes, const LocaleTexts& locale) {
    std::string content;
    for (Box box : {Box::TimeStamp, Box::Production, Box::Consumption}) {
        content += boxes.text(box);
        content += kLineEnd;
    }
    content += gridLine(boxes, locale);
    content += kLineEnd;
    return content;
}

void Save(const DisplayBoxes& boxes, const LocaleTexts& locale) {
    if (boxes.writeCheckValue() == 0) {
        return;
    }
    // Composed before the file is touched, so a failing piece leaves the previous file whole.
    const std::string content = composeOutput(boxes, locale);
    replaceFile(pathFromText(boxes.text(Box::OutFile)), toSystemCodePage(content));
}

} // namespace quorvane::support
