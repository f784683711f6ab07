#include "support/outputfile.h"

#include "support/filereplace.h"
#include "support/numerictext.h"
#include "support/systemtext.h"

#include <string_view>

namespace quorvane::support {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
} // namespace

std::string composeOutput(const OutputTexts& texts, const LocaleTexts& locale) {
    std::string content;
    for (const std::string* line : {&texts.timeStamp, &texts.production, &texts.consumption}) {
        content += *line;
        content += kLineEnd;
    }
    content += texts.importing
                   ? texts.grid
                   : exportNumber(-valueOfDisplayText(texts.grid), locale.decimalSeparator());
    content += kLineEnd;
    return content;
}

void Save(const std::string& path, const std::string& content) {
    replaceFile(pathFromText(path), toSystemCodePage(content));
}

} // namespace quorvane::support
