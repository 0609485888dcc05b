// SPDX-License-Identifier: MIT
// Opens and closes the menu bar panel the way the tray does, offscreen with
// the application's software renderer, and prints: the time from creating
// the panel (view model and view) to its first frame, the resident memory
// after the panel has been opened and closed, and the wake-ups per second
// while throttling runs and the panel is hidden or closed; then the opening
// again with 50 running applications, the time their list takes to show
// them all, and what the panel asked the user's manager while it was not
// listing them. The path from the tray icon to the panel is measured by the
// application's own benchmark.
#include "SettingsKeys.h"
#include "UiWorld.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QQuickView>
#include <QSGRendererInterface>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <sys/resource.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(Veltrane_UiPlugin)

namespace {

constexpr int kOpenings = 30;
constexpr int kIdleSeconds = 5;
constexpr int kApplications = 50;

struct Panel {
    std::unique_ptr<MenuBarViewModel> model;
    std::unique_ptr<QQuickView> view;
};

struct Timing {
    double wallMs = 0;
    // What the process itself spent, which a busy machine inflates far less.
    double cpuMs = 0;
};

double cpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Creates the panel and waits for its first frame.
Timing open(UiWorld& world, QQmlEngine& engine, Panel& panel) {
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuMilliseconds();
    panel.model = world.panel();
    panel.view = std::make_unique<QQuickView>(&engine, nullptr);
    panel.view->setResizeMode(QQuickView::SizeViewToRootObject);
    panel.view->setInitialProperties({{"viewModel", QVariant::fromValue(panel.model.get())}});
    panel.view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veltrane/Ui/MenuBarView.qml")));
    if (panel.view->status() != QQuickView::Ready) {
        qFatal("MenuBarView did not load");
    }
    QEventLoop frame;
    QObject::connect(panel.view.get(), &QQuickWindow::frameSwapped, &frame, &QEventLoop::quit);
    QTimer::singleShot(5000, &frame, &QEventLoop::quit);
    panel.view->show();
    frame.exec();
    return {clock.nsecsElapsed() / 1e6, cpuMilliseconds() - cpuBefore};
}

void close(Panel& panel) {
    panel.view.reset();
    panel.model.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Context switches of the whole process while its event loop runs idle.
double wakeupsPerSecond() {
    const auto switches = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_nvcsw + usage.ru_nivcsw;
    };
    QEventLoop idle;
    QTimer::singleShot(kIdleSeconds * 1000, &idle, &QEventLoop::quit);
    const long before = switches();
    idle.exec();
    // The timer that ends the wait wakes the process once itself.
    return std::max(0L, switches() - before - 1) / static_cast<double>(kIdleSeconds);
}

// The median of every opening but the first.
Timing medianOf(std::vector<Timing> frames) {
    std::sort(frames.begin() + 1, frames.end(),
              [](const Timing& a, const Timing& b) { return a.wallMs < b.wallMs; });
    return frames[1 + (frames.size() - 1) / 2];
}

// The same openings with many applications running, and their list.
void withApplications(UiWorld& world, QQmlEngine& engine, QTextStream& out) {
    for (int i = 0; i < kApplications; ++i) {
        world.runApplication(QStringLiteral("org.example.App%1").arg(i),
                             QStringLiteral("Application %1").arg(i));
    }
    const int asked = world.userUnits.questions;
    Panel panel;
    std::vector<Timing> frames;
    for (int i = 0; i < kOpenings; ++i) {
        frames.push_back(open(world, engine, panel));
        close(panel);
    }
    const Timing median = medianOf(frames);
    out << "with " << kApplications << " applications running, later openings: median "
        << median.wallMs << " ms (" << median.cpuMs << " ms CPU)\n";
    out << "questions to the user manager over those openings: "
        << world.userUnits.questions - asked << "\n";

    open(world, engine, panel);
    QElapsedTimer listing;
    listing.start();
    panel.model->applications()->openPicker();
    QEventLoop loop;
    while (panel.model->applications()->picker()->rowCount() < kApplications) {
        loop.processEvents(QEventLoop::AllEvents, 10);
    }
    QEventLoop frame;
    QObject::connect(panel.view.get(), &QQuickWindow::frameSwapped, &frame, &QEventLoop::quit);
    frame.exec();
    out << "the list of " << kApplications
        << " applications, opened to its frame: " << listing.nsecsElapsed() / 1e6 << " ms\n";
    panel.model->applications()->closePicker();
    const int afterListing = world.userUnits.questions;
    world.runApplication(QStringLiteral("org.example.Later"), QStringLiteral("Later"));
    wakeupsPerSecond();
    out << "questions to the user manager after the list closed: "
        << world.userUnits.questions - afterListing << Qt::endl;
    close(panel);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);

    UiWorld world;
    // Throttling on with auto-off: every clock of the panel has work to do.
    world.defaults.setValue(SettingsKeys::autoDisableEnabled, true);
    world.service.selectProfile(world.named(QStringLiteral("3G (Lossy)")));
    {
        const auto model = world.panel();
        model->handleToggle(true);
    }
    QQmlEngine engine;
    const long before = residentKilobytes();

    Panel panel;
    std::vector<Timing> frames;
    long afterFirst = 0;
    for (int i = 0; i < kOpenings; ++i) {
        frames.push_back(open(world, engine, panel));
        close(panel);
        if (i == 0) {
            afterFirst = residentKilobytes();
        }
    }
    const long after = residentKilobytes();
    const Timing first = frames.front();
    const Timing median = medianOf(frames);
    out << "panel creation to first frame, first opening: " << first.wallMs << " ms ("
        << first.cpuMs << " ms CPU)\n";
    out << "panel creation to first frame, later openings: median " << median.wallMs << " ms ("
        << median.cpuMs << " ms CPU), max "
        << std::max_element(frames.begin(), frames.end(),
                            [](const Timing& a, const Timing& b) { return a.wallMs < b.wallMs; })
               ->wallMs
        << " ms\n";
    out << "resident memory before the first opening: " << before / 1024.0 << " MiB\n";
    out << "resident memory after the first opening and closing: " << afterFirst / 1024.0
        << " MiB\n";
    out << "resident memory after " << kOpenings << " openings and closings: " << after / 1024.0
        << " MiB\n";

    open(world, engine, panel);
    out << "wake-ups per second, panel on screen: " << wakeupsPerSecond() << "\n";
    panel.view->hide();
    out << "wake-ups per second, panel hidden: " << wakeupsPerSecond() << "\n";
    close(panel);
    out << "wake-ups per second, panel closed: " << wakeupsPerSecond() << Qt::endl;
    withApplications(world, engine, out);
    return 0;
}
