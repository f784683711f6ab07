#include "app/settings.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace quorvane::app {

namespace {

const QString kSection = QStringLiteral("Settings");
// What every read yields for a key that is not in the store.
const QString kMissing = QStringLiteral("-1");

// Keeps the store inside section "Settings" for one procedure.
class SectionScope {
public:
    explicit SectionScope(QSettings& store) : m_store(store) { m_store.beginGroup(kSection); }
    ~SectionScope() { m_store.endGroup(); }
    SectionScope(const SectionScope&) = delete;
    SectionScope& operator=(const SectionScope&) = delete;

private:
    QSettings& m_store;
};

QString storedText(const QSettings& store, const QString& key) {
    const QVariant value = store.value(key, kMissing);
    // A hand-edited line with unquoted commas comes back from the INI file as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
}

// The nearest whole number, halves to even, when the text is a number that fits `Whole`.
template <typename Whole> std::optional<Whole> wholeNumber(const QString& text) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(number);
    if (rounded < static_cast<double>(std::numeric_limits<Whole>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Whole>::max())) {
        return std::nullopt;
    }
    return static_cast<Whole>(rounded);
}

// A stored whole number; a value that is not one counts as missing.
template <typename Whole> Whole storedWhole(const QSettings& store, const QString& key) {
    return wholeNumber<Whole>(storedText(store, key)).value_or(Whole{-1});
}

// "True" and "False" in any letter case, or a number that is true unless 0; anything else false.
bool storedBoolean(const QSettings& store, const QString& key) {
    const QString text = storedText(store, key).trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && !std::isnan(number) && number != 0.0;
}

std::int64_t wholeTwips(double twips) {
    return static_cast<std::int64_t>(std::nearbyint(twips));
}

// A stored edge: not before the screen's start, and not so far that the window would reach past
// its end, as far as the window fits.
std::int64_t correctedEdge(double edge, double windowSize, double screenSize) {
    std::int64_t corrected = wholeTwips(edge);
    if (corrected < 0) {
        corrected = 0;
    }
    if (static_cast<double>(corrected) > screenSize - windowSize) {
        corrected = wholeTwips(screenSize - windowSize);
    }
    return corrected;
}

} // namespace

std::unique_ptr<QSettings> openUserSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Quorvane"), QStringLiteral("Quorvane"));
}

void LoadSettings(WindowOptions& window, QSettings& store) {
    const SectionScope section(store);
    const auto top = storedWhole<std::int32_t>(store, QStringLiteral("Top"));
    const auto left = storedWhole<std::int32_t>(store, QStringLiteral("Left"));
    const auto height = storedWhole<std::int32_t>(store, QStringLiteral("Height"));
    const auto width = storedWhole<std::int32_t>(store, QStringLiteral("Width"));
    if (top < 0) {
        return;
    }
    if (height > 0) {
        window.setOuterHeight(height);
    }
    if (width > 0) {
        window.setOuterWidth(width);
    }
    window.setOuterTop(top);
    window.setOuterLeft(left);
    window.setIpText(storedText(store, QStringLiteral("IP")));
    if (store.contains(QStringLiteral("OutFile"))) {
        window.setOutFileText(storedText(store, QStringLiteral("OutFile")));
    }
    // Ticking the box narrows the window (the check box's click rule), after the width above.
    const auto write = storedWhole<std::int16_t>(store, QStringLiteral("Write"));
    window.setWriteCheckValue(write != 0 ? 1 : 0);
    window.setStayOnTop(storedBoolean(store, QStringLiteral("OnTop")));
}

void SaveSettings(WindowOptions& window, QSettings& store) {
    const double height = window.outerHeight();
    const double width = window.outerWidth();
    std::int64_t top = correctedEdge(window.outerTop(), height, window.screenHeight());
    // A window taller than the screen would leave a negative Top, and the next start would then
    // skip every setting, the gateway address included.
    if (top < 0) {
        top = 0;
    }
    const std::int64_t left = correctedEdge(window.outerLeft(), width, window.screenWidth());

    const SectionScope section(store);
    store.setValue(QStringLiteral("Top"), QString::number(top));
    store.setValue(QStringLiteral("Left"), QString::number(left));
    store.setValue(QStringLiteral("Height"), QString::number(wholeTwips(height)));
    store.setValue(QStringLiteral("Width"), QString::number(wholeTwips(width)));
    store.setValue(QStringLiteral("IP"), window.ipText());
    store.setValue(QStringLiteral("OutFile"), window.outFileText());
    store.setValue(QStringLiteral("Write"), QString::number(window.writeCheckValue()));
    store.setValue(QStringLiteral("OnTop"),
                   window.stayOnTop() ? QStringLiteral("True") : QStringLiteral("False"));
    store.sync();
}

// The energy window's geometry as Qt keeps it, written as Base64 text so that it is a plain
// string in the INI file and in the registry alike.
const QString kEnergyWindowGeometry = QStringLiteral("EnergyWindow/Geometry");

bool loadEnergyWindowPlace(QWidget& window, QSettings& store) {
    const QByteArray text = store.value(kEnergyWindowGeometry).toString().toLatin1();
    const auto decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return decoded && !decoded.decoded.isEmpty() && window.restoreGeometry(decoded.decoded);
}

void saveEnergyWindowPlace(const QWidget& window, QSettings& store) {
    store.setValue(kEnergyWindowGeometry, QString::fromLatin1(window.saveGeometry().toBase64()));
    store.sync();
}

} // namespace quorvane::app
