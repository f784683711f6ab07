#include "app/certificatedialog.h"

#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <iostream>

namespace quorvane::app {

namespace {

using Details = client::CertificatePins::Details;

// A validity date in the user's short date format, in local time.
QString dateText(const QDateTime& moment) {
    if (!moment.isValid()) {
        return QStringLiteral("(unknown)");
    }
    return QLocale().toString(moment.toLocalTime().date(), QLocale::ShortFormat);
}

QString subjectAndValidity(const Details& details) {
    const QString subject = details.subject.isEmpty() ? QStringLiteral("(none)") : details.subject;
    return "Subject: " + subject + "\nValid from " + dateText(details.validFrom) + " to " +
           dateText(details.validTo);
}

} // namespace

CertificateDialog::~CertificateDialog() {
    shutDown();
}

QString CertificateDialog::text(const QString& gateway, const Details& presented,
                                const QString& trustedFingerprint,
                                const std::optional<Details>& trusted) {
    const QString trustedDetails = trusted
                                       ? subjectAndValidity(*trusted)
                                       : QStringLiteral("(its subject and validity were not kept)");
    return "The gateway " + gateway +
           " presents a different certificate than the one trusted so far. Nothing has been "
           "sent to it.\n\n"
           "This happens when the gateway renews its certificate (about once a year), after a "
           "reset or a firmware update, or when another device answers at that address.\n\n"
           "Presented certificate\nSHA-256: " +
           presented.fingerprint + "\n" + subjectAndValidity(presented) +
           "\n\nTrusted so far\nSHA-256: " + trustedFingerprint + "\n" + trustedDetails;
}

bool CertificateDialog::trustNew(const QString& gateway, const Details& presented,
                                 const QString& trustedFingerprint,
                                 const std::optional<Details>& trusted) {
    if (m_shutDown) {
        return false;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("New gateway certificate"),
                    text(gateway, presented, trustedFingerprint, trusted));
    box.setObjectName("CertificateDialog");
    // Subjects come from the gateway: shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* trust =
        box.addButton(QStringLiteral("&Trust the new certificate"), QMessageBox::AcceptRole);
    trust->setObjectName("cmdTrust");
    // Enter means "Keep refusing" even while this button has the focus; Space presses it.
    trust->setAutoDefault(false);
    QPushButton* keep = box.addButton(QStringLiteral("&Keep refusing"), QMessageBox::RejectRole);
    keep->setObjectName("cmdKeepRefusing");
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    // Said on standard error too, for a program that runs unattended with its output logged.
    std::cerr << "Quorvane: the gateway " << gateway.toStdString()
              << " presents a new certificate, SHA-256 " << presented.fingerprint.toStdString()
              << "; asking whether to trust it" << std::endl;
    const QPointer<QMessageBox> outer = m_box;
    m_box = &box;
    box.exec();
    m_box = outer;
    const bool trustIt = !m_shutDown && box.clickedButton() == trust;
    std::cerr << "Quorvane: " << (trustIt ? "trusted" : "kept refusing")
              << " the new certificate of " << gateway.toStdString() << std::endl;
    return trustIt;
}

void CertificateDialog::shutDown() {
    m_shutDown = true;
    if (m_box) {
        m_box->done(QMessageBox::Cancel);
    }
}

QMessageBox* CertificateDialog::shown() const {
    return m_box;
}

} // namespace quorvane::app
