// SPDX-License-Identifier: MIT
// Starts veltrane as the process tests do (Xvfb, a tray host on a private
// session bus, the sandboxed helper on a private system bus), then switches
// throttling on and off from another client of the helper, and prints how
// long the tray's tooltip takes to show each change: from the helper's
// StateChanged signal, and from the other client's call, to the tray item's
// NewToolTip with the new text. Median, 90th percentile and maximum.
#include "BenchedApplication.h"
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kWarmUpChanges = 4;
constexpr int kMeasuredChanges = 40;

// One change as seen from outside the application, in milliseconds since
// the bench started.
struct Change {
    double called = 0;
    std::optional<double> announced;
    std::optional<double> shown;
};

// Receives the two bus signals; QtDBus delivers them to slots only.
class Observer final : public QObject {
    Q_OBJECT

public:
    Observer(FakeTrayHost& tray, const QElapsedTimer& clock)
        : m_tray(tray)
        , m_clock(clock) {}

    // Waits until the tooltip shows `on` (or not), or 5 s pass.
    Change await(double called, bool on) {
        m_change = Change{called, {}, {}};
        m_expectOn = on;
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(5s, &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
        return m_change;
    }

public Q_SLOTS:
    void stateChanged(const QVariantMap&) {
        if (!m_change.announced) {
            m_change.announced = now();
        }
    }
    void toolTipChanged() {
        const double at = now();
        const QString toolTip = m_tray.toolTip();
        const bool on = toolTip.startsWith(u"Veltrane - ON");
        if (m_loop && on == m_expectOn && (on || toolTip == u"Veltrane - OFF")) {
            m_change.shown = at;
            m_loop->quit();
        }
    }

private:
    double now() const { return m_clock.nsecsElapsed() / 1e6; }

    FakeTrayHost& m_tray;
    const QElapsedTimer& m_clock;
    Change m_change;
    bool m_expectOn = false;
    QEventLoop* m_loop = nullptr;
};

void printFigures(QTextStream& out, const QString& what, std::vector<double> values) {
    if (values.empty()) {
        out << what << ": no change was shown\n";
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&values](double quantile) {
        return values[static_cast<size_t>(quantile * static_cast<double>(values.size() - 1))];
    };
    out << what << ": median " << QString::number(at(0.5), 'f', 1) << " ms, 90th percentile "
        << QString::number(at(0.9), 'f', 1) << " ms, max " << QString::number(values.back(), 'f', 1)
        << " ms (" << values.size() << " changes)\n";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    BenchedApplication benched;
    FakeDesktop& desktop = benched.desktop;
    HelperOnPrivateBus& helper = benched.helper;
    QProcess& app = benched.process;
    benched.start();
    if (!waitUntil([&desktop] { return desktop.tray.item().has_value(); }, 20s) ||
        !waitUntil([&desktop] { return desktop.tray.toolTip() == u"Veltrane - OFF"; }, 10s)) {
        std::fprintf(stderr, "veltrane never showed its tray item\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    Observer observer(desktop.tray, clock);
    desktop.connection.connect(*desktop.tray.item(), QStringLiteral("/StatusNotifierItem"),
                               QStringLiteral("org.kde.StatusNotifierItem"),
                               QStringLiteral("NewToolTip"), &observer, SLOT(toolTipChanged()));
    QDBusConnection client = helper.bus().connect(QStringLiteral("another-client"));
    client.connect(QString::fromLatin1(HelperProtocol::kServiceName),
                   QString::fromLatin1(HelperProtocol::kObjectPath),
                   QString::fromLatin1(HelperProtocol::kInterfaceName),
                   QStringLiteral("StateChanged"), &observer, SLOT(stateChanged(QVariantMap)));

    // 3G's conditions, as `veltranectl apply 3G` sends them.
    const QVariantList threeG{qint64(97500), qint64(41250), qint64(100),
                              0.0,           qint64(0),     QStringLiteral("bench: another client"),
                              false};
    std::vector<double> fromSignal;
    std::vector<double> fromCall;
    for (int i = 0; i < kWarmUpChanges + kMeasuredChanges; ++i) {
        const bool on = i % 2 == 0;
        const double called = clock.nsecsElapsed() / 1e6;
        client.asyncCall(
            on ? HelperOnPrivateBus::methodCall(QStringLiteral("EnableThrottlingAs"), threeG)
               : HelperOnPrivateBus::methodCall(QStringLiteral("DisableThrottling")));
        const Change change = observer.await(called, on);
        if (!change.shown) {
            std::fprintf(stderr, "change %d: the tooltip did not follow within 5 s\n", i);
            continue;
        }
        if (i < kWarmUpChanges) {
            continue;
        }
        fromCall.push_back(*change.shown - change.called);
        if (change.announced) {
            fromSignal.push_back(std::max(0.0, *change.shown - *change.announced));
        }
    }

    printFigures(out, QStringLiteral("helper's StateChanged to the tray's tooltip"), fromSignal);
    printFigures(out, QStringLiteral("another client's call to the tray's tooltip"), fromCall);
    app.terminate();
    app.waitForFinished(5000);
    return 0;
}

#include "TrayFollow.moc"
