#include "support/errorlog.h"

#include <string>
#include <utility>

#include "support/filereplace.h"
#include "support/systemtext.h"

namespace quorvane::support {

ErrorLog::ErrorLog(Clock& clock, const LocaleTexts& locale, std::filesystem::path folder)
    : m_clock(clock), m_locale(locale), m_folder(std::move(folder)) {}

void ErrorLog::LogError(const Failure& failure, int line, std::string_view location) {
    std::string entry = " Time: " + m_locale.timeText(m_clock.localNow()) + " Error #  " +
                        std::to_string(failure.number) + ",  " + failure.description + "\r\n";
    entry += " In  " + std::string(location) + " at line - " + std::to_string(line) + "\r\n";
    appendFile(path(), toSystemCodePage(entry));
}

std::filesystem::path ErrorLog::path() const { return m_folder / kFileName; }

} // namespace quorvane::support
