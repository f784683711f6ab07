#include "reading/shownreading.h"

#include "support/outputfile.h"

namespace quorvane::reading {

const std::string& ShownReading::text(Box box) const {
    return m_entries.at(static_cast<std::size_t>(box)).text;
}

void ShownReading::setText(Box box, std::string_view text) {
    m_entries.at(static_cast<std::size_t>(box)).text = std::string(text);
}

std::uint32_t ShownReading::backColour(Box box) const {
    return m_entries.at(static_cast<std::size_t>(box)).colour;
}

void ShownReading::setBackColour(Box box, std::uint32_t colour) {
    m_entries.at(static_cast<std::size_t>(box)).colour = colour;
}

const std::string& ShownReading::toolTip(Box box) const {
    return m_entries.at(static_cast<std::size_t>(box)).toolTip;
}

void ShownReading::setToolTip(Box box, std::string_view text) {
    m_entries.at(static_cast<std::size_t>(box)).toolTip = std::string(text);
}

std::string composeOutput(const ShownReading& shown, const support::LocaleTexts& locale) {
    return support::composeOutput({shown.text(Box::TimeStamp), shown.text(Box::Production),
                                   shown.text(Box::Consumption), shown.text(Box::Grid),
                                   shown.backColour(Box::Grid) == colours::kLightRed},
                                  locale);
}

} // namespace quorvane::reading
