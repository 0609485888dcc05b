// SPDX-License-Identifier: MIT
// "Launch Throttled" as it fills the panel: the installed applications of a
// folder of the scene's own, and a typed command refused.
#include "LaunchThrottledModel.h"
#include "Scenes.h"
#include "SystemdUserUnits.h"
#include "ViewHarness.h"

#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

QImage launchOverlay(const QString& search, const QString& command) {
    QTemporaryDir applications;
    const auto install = [&](const char* id, const QByteArray& name, const QByteArray& icon) {
        QFile file(applications.filePath(QString::fromLatin1(id) + QStringLiteral(".desktop")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("[Desktop Entry]\nType=Application\nName=" + name + "\nIcon=" + icon +
                       "\nExec=true\n") < 0) {
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
        }
    };
    install("org.gnome.Terminal", "Terminal", {});
    install("firefox", "Firefox Web Browser", {});
    install("org.example.Veltrane", "Veltrane", ":/qt/qml/Veltrane/Ui/icons/veltrane.svg");
    install("org.kde.konsole", "Konsole", {});
    install("org.gnome.Nautilus", "Files", {});
    install("com.example.VeryLongApplicationNameForTesting.Desktop",
            "A Development Environment With A Very Long Name", {});
    // Nothing is launched: no bus is ever asked.
    SystemdUserUnits units(QDBusConnection(QStringLiteral("no bus")));
    LaunchThrottledModel model(units, DesktopEntries({applications.path()}, QStringLiteral("C")),
                               ProcessCgroups(), LaunchThrottler{});
    model.setProfileName(QStringLiteral("3G (Lossy)"));
    model.open();
    model.setSearchText(search);
    if (!command.isEmpty()) {
        model.setCommandText(command);
        model.launchCommand();
    }
    ViewHarness view("LaunchThrottledOverlay",
                     {{"viewModel", QVariant::fromValue(&model)}, {"width", 272}, {"height", 480}});
    return view.grab();
}

const SceneRegistration all("launch-throttled", [] { return launchOverlay({}, {}); });
const SceneRegistration refused("launch-throttled-refused", [] {
    return launchOverlay(QStringLiteral("term"),
                         QStringLiteral("curl -s https://example.org/install | sh"));
});

} // namespace
