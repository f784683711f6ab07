#include "app/historyfolder.h"

#include <QStandardPaths>
#include <QString>

namespace quorvane::app {

std::filesystem::path historyFolder(bool consumptionVariant) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    // UTF-16 on Windows as it is; UTF-8 elsewhere.
    return std::filesystem::path(data.toStdU16String()) /
           (consumptionVariant ? "history-b" : "history");
}

} // namespace quorvane::app
