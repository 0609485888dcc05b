// SPDX-License-Identifier: MIT
#include "FakeDesktop.h"

#include "UserDefaults.h"

FakeDesktop::FakeDesktop()
    : connection(session.connect(QStringLiteral("desktop")))
    , tray(connection)
    , notifications(connection) {}

QProcessEnvironment FakeDesktop::environment(const VirtualDisplay& display,
                                             const QString& systemBus) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), display.name());
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    return environment;
}

void FakeDesktop::setting(QLatin1StringView key, const QVariant& value) const {
    UserDefaults defaults(home.filePath(QStringLiteral("config/Veltrane/Veltrane.json")));
    defaults.setValue(key, value);
    defaults.sync();
}
