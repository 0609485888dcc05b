// SPDX-License-Identifier: MIT
#include "SoftwareUpdateViewModel.h"

#include <QLocale>

namespace {

QString dataSize(qint64 bytes) {
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

} // namespace

SoftwareUpdateViewModel::SoftwareUpdateViewModel(UpdateSession& session, QObject* parent)
    : QObject(parent)
    , m_session(session) {
    connect(&m_session, &UpdateSession::changed, this, &SoftwareUpdateViewModel::changed);
}

QString SoftwareUpdateViewModel::title() const {
    switch (stage()) {
    case UpdateSession::Stage::checking:
        return QStringLiteral("Checking for updates…");
    case UpdateSession::Stage::updateFound:
        return QStringLiteral("A new version of Veltrane is available!");
    case UpdateSession::Stage::downloading:
        return QStringLiteral("Downloading update…");
    case UpdateSession::Stage::installing:
        return QStringLiteral("Installing update…");
    case UpdateSession::Stage::upToDate:
        return QStringLiteral("You're up to date!");
    case UpdateSession::Stage::failed:
        return QStringLiteral("Update Error!");
    case UpdateSession::Stage::idle:
        break;
    }
    return {};
}

QString SoftwareUpdateViewModel::message() const {
    switch (stage()) {
    case UpdateSession::Stage::updateFound:
        return QStringLiteral("Veltrane %1 is now available—you have %2. Would you like to "
                              "download it now?")
            .arg(m_session.update().displayVersion, m_session.currentVersion());
    case UpdateSession::Stage::installing:
        return QStringLiteral("Veltrane will restart when the update is installed.");
    case UpdateSession::Stage::upToDate:
        return QStringLiteral("Veltrane %1 is currently the newest version available.")
            .arg(m_session.currentVersion());
    case UpdateSession::Stage::failed:
        return m_session.errorMessage();
    default:
        return {};
    }
}

bool SoftwareUpdateViewModel::showsProgress() const {
    return stage() == UpdateSession::Stage::checking ||
           stage() == UpdateSession::Stage::downloading ||
           stage() == UpdateSession::Stage::installing;
}

double SoftwareUpdateViewModel::progress() const {
    const qint64 expected = m_session.bytesExpected();
    return expected > 0
               ? static_cast<double>(m_session.bytesReceived()) / static_cast<double>(expected)
               : 0.0;
}

QString SoftwareUpdateViewModel::progressText() const {
    if (stage() != UpdateSession::Stage::downloading) {
        return {};
    }
    return QStringLiteral("%1 of %2")
        .arg(dataSize(m_session.bytesReceived()), dataSize(m_session.bytesExpected()));
}

QString SoftwareUpdateViewModel::dismissText() const {
    switch (stage()) {
    case UpdateSession::Stage::checking:
    case UpdateSession::Stage::downloading:
        return QStringLiteral("Cancel");
    case UpdateSession::Stage::upToDate:
    case UpdateSession::Stage::failed:
        return QStringLiteral("OK");
    default:
        return {};
    }
}

void SoftwareUpdateViewModel::performDefaultAction() {
    if (showsUpdateChoices()) {
        installUpdate();
    } else if (dismissText() == u"OK") {
        dismiss();
    }
}

void SoftwareUpdateViewModel::windowVisibilityChanged(bool visible) {
    if (!visible) {
        dismiss();
    }
}
