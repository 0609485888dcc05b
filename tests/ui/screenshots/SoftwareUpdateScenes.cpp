// SPDX-License-Identifier: MIT
#include "Scenes.h"
#include "SoftwareUpdateViewModel.h"
#include "ViewHarness.h"

namespace {

void updateScene(const QString& name, const std::function<void(UpdateSession&)>& prepare) {
    scenes().emplace(name, [prepare] {
        UpdateSession session(QStringLiteral("1.4.1"));
        prepare(session);
        SoftwareUpdateViewModel model(session);
        return ViewHarness("SoftwareUpdateView", &model).grab();
    });
}

AppcastItem update() {
    AppcastItem item;
    item.version = item.displayVersion = QStringLiteral("1.4.2");
    return item;
}

const bool updateScenesRegistered = [] {
    updateScene("software-update", [](UpdateSession& session) {
        session.setUpdate(update(), "<h3>Veltrane 1.4.2</h3><ul><li>Profiles can now delay DNS "
                                    "answers.</li><li>The panel remembers the last profile after "
                                    "a restart.</li><li>Fixed: throttling stayed on when the "
                                    "helper restarted during sleep.</li></ul><p>Thanks to "
                                    "everyone who sent <b>bug reports</b>.</p>");
    });
    updateScene("software-update-downloading", [](UpdateSession& session) {
        session.setUpdate(update(), QString());
        session.setProgress(3'400'000, 8'200'000);
    });
    updateScene("software-update-up-to-date",
                [](UpdateSession& session) { session.setStage(UpdateSession::Stage::upToDate); });
    updateScene("software-update-error", [](UpdateSession& session) {
        session.setError("The update is improperly signed and could not be validated.");
    });
    return true;
}();

} // namespace
