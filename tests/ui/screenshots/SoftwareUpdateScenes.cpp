// SPDX-License-Identifier: MIT
#include "Scenes.h"
#include "SoftwareUpdateViewModel.h"
#include "ViewHarness.h"

namespace {

QImage render(const std::function<void(UpdateSession&)>& prepare) {
    UpdateSession session(QStringLiteral("1.4.1"));
    prepare(session);
    SoftwareUpdateViewModel model(session);
    return ViewHarness("SoftwareUpdateView", &model).grab();
}

AppcastItem update() {
    AppcastItem item;
    item.version = item.displayVersion = QStringLiteral("1.4.2");
    return item;
}

const SceneRegistration found(QStringLiteral("software-update"), [] {
    return render([](UpdateSession& session) {
        session.setUpdate(
            update(), QStringLiteral("<h3>Veltrane 1.4.2</h3><ul><li>Profiles can now delay DNS "
                                     "answers.</li><li>The panel remembers the last profile "
                                     "after a restart.</li><li>Fixed: throttling stayed on when "
                                     "the helper restarted during sleep.</li></ul><p>Thanks to "
                                     "everyone who sent <b>bug reports</b>.</p>"));
    });
});

const SceneRegistration downloading(QStringLiteral("software-update-downloading"), [] {
    return render([](UpdateSession& session) {
        session.setUpdate(update(), QString());
        session.setProgress(3'400'000, 8'200'000);
    });
});

const SceneRegistration upToDate(QStringLiteral("software-update-up-to-date"), [] {
    return render([](UpdateSession& session) { session.setStage(UpdateSession::Stage::upToDate); });
});

const SceneRegistration failed(QStringLiteral("software-update-error"), [] {
    return render([](UpdateSession& session) {
        session.setError(
            QStringLiteral("The update is improperly signed and could not be validated."));
    });
});

} // namespace
