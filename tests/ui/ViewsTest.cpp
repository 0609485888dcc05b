// SPDX-License-Identifier: MIT
// Clicks through the real views, offscreen: each control reaches its view
// model, and what the model says reaches the screen. The rules themselves are
// the view models' tests. And the windows that hold the views.
#include "LaunchThrottledModel.h"
#include "PanelWindow.h"
#include "ProfileEditorOpener.h"
#include "SettingsKeys.h"
#include "SoftwareUpdateViewModel.h"
#include "SystemdUserUnits.h"
#include "UiWorld.h"
#include "ViewHarness.h"
#include "WindowRegistry.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>

#include <cmath>
#include <memory>

namespace {

// Presses Tab until the named item has the focus; false after a full lap.
bool tabTo(ViewHarness& view, const QString& objectName) {
    for (int i = 0; i < 80; ++i) {
        QTest::keyClick(&view.window(), Qt::Key_Tab);
        const QQuickItem* focused = view.window().activeFocusItem();
        if (focused && focused->objectName() == objectName) {
            return true;
        }
    }
    return false;
}

// The items a user operates: buttons, switches, rows, fields and sliders
// that are on screen and enabled.
void collectControls(QQuickItem* item, QList<QQuickItem*>& found) {
    if (!item->isVisible() || !item->isEnabled() || item->opacity() == 0) {
        return;
    }
    if (item->inherits("QQuickAbstractButton") || item->inherits("QQuickSlider") ||
        item->inherits("QQuickTextInput") ||
        QByteArray(item->metaObject()->className()).startsWith("ProfileRow_QMLTYPE")) {
        found << item;
    }
    for (QQuickItem* child : item->childItems()) {
        collectControls(child, found);
    }
}

// Each control of the view gets the focus by Tab, and then, alone, shows
// the focus ring; Shift+Tab goes back the same way.
void checkTabReachesEveryControl(ViewHarness& view, const char* viewName) {
    QList<QQuickItem*> controls;
    collectControls(view.window().contentItem(), controls);
    QList<QQuickItem*> reached;
    for (int i = 0; i < 2 * controls.size() + 2; ++i) {
        QTest::keyClick(&view.window(), Qt::Key_Tab);
        QQuickItem* focused = view.window().activeFocusItem();
        if (!focused || reached.contains(focused)) {
            continue;
        }
        reached << focused;
        const QList<QQuickItem*> rings = view.visibleItems(QStringLiteral("focusRing"));
        QVERIFY2(rings.size() == 1 && focused->isAncestorOf(rings.first()),
                 qPrintable(
                     QStringLiteral("%1: no one ring on %2").arg(viewName, focused->objectName())));
    }
    for (QQuickItem* control : controls) {
        QVERIFY2(reached.contains(control),
                 qPrintable(QStringLiteral("%1: Tab never reaches %2 \"%3\"")
                                .arg(viewName, control->metaObject()->className(),
                                     control->objectName())));
    }
    QQuickItem* last = view.window().activeFocusItem();
    QTest::keyClick(&view.window(), Qt::Key_Tab);
    QTest::keyClick(&view.window(), Qt::Key_Backtab);
    QCOMPARE(view.window().activeFocusItem(), last);
}

// `top` at `alpha` (its own with a negative one) over an opaque colour.
QColor over(const QColor& top, qreal alpha, const QColor& under) {
    const qreal a = alpha < 0 ? top.alphaF() : alpha;
    return QColor::fromRgbF(top.redF() * a + under.redF() * (1 - a),
                            top.greenF() * a + under.greenF() * (1 - a),
                            top.blueF() * a + under.blueF() * (1 - a));
}

// The WCAG 2 contrast ratio of two opaque colours.
qreal contrast(const QColor& first, const QColor& second) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](qreal v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const qreal a = luminance(first), b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

} // namespace

class ViewsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(ViewHarness::fontsRender()); }
    // The offscreen platform cannot raise windows nor fix their size, and says so.
    void init() {
        QTest::failOnWarning(QRegularExpression(
            QStringLiteral("^(?!This plugin does not support (raise|propagateSizeHints)).*")));
    }

    void panelSwitchAsksBeforeTotalLossAndOnlyEnableAppliesIt() {
        UiWorld world;
        world.service.selectProfile(world.named("100% Loss"));
        const auto panel = world.panel();
        ViewHarness view("MenuBarView", panel.get());
        QQuickItem* confirmation = view.find("lossConfirmation");

        view.click("masterSwitch");
        QCOMPARE(view.text("alertTitle"), QStringLiteral("Enable 100% Packet Loss?"));
        view.click(view.visibleItems("alertCancel", confirmation).first());
        QVERIFY(!confirmation->isVisible());
        QVERIFY(world.helper.enables.empty());

        view.click("masterSwitch");
        view.click(view.visibleItems("alertAction", confirmation).first());
        QCOMPARE(world.helper.enables.size(), 1u);
        QVERIFY(view.find("masterSwitch")->property("isOn").toBool());
        QTRY_VERIFY(view.shows("activeSection"));
    }

    void panelKeepsItsWidthAndOnlyCustomRowsHaveAPencil() {
        UiWorld world;
        const ThrottleProfile custom = world.addCustom(QString(60, u'A'));
        world.service.selectProfile(custom);
        const auto panel = world.panel();
        ViewHarness view("MenuBarView", panel.get());

        QCOMPARE(view.window().width(), 272);
        for (QQuickItem* name : view.visibleItems("profileName")) {
            QVERIFY(name->mapToScene(QPointF(name->width(), 0)).x() <= 272);
            // Names come from anyone's files: shown as typed, never as markup.
            QCOMPARE(name->property("textFormat").toInt(), int(Qt::PlainText));
        }
        QVERIFY(view.find("statusLine")->property("truncated").toBool());

        const QList<QQuickItem*> pencils = view.visibleItems("editButton");
        QCOMPARE(pencils.size(), 1);
        view.click(pencils.first());
        QCOMPARE(world.navigator.opened, QStringList{WindowNavigator::profileEditor});
        QCOMPARE(world.editorState.profile()->id(), custom.id());
    }

    void editorShowsAnEmptyNameUntilANameIsTypedAndLeavesABuiltInProfileAlone() {
        ProfileEditorOpener opened;
        UiWorld& world = opened.world;
        const QList<ThrottleProfile>& saved = opened.saved;
        const auto editor = opened.open(std::nullopt, ProfileEditorMode::create);
        ViewHarness view("ProfileEditorWindowView", editor.get());
        // The footer's quiet and prominent buttons line up.
        QCOMPARE(view.find("cancelButton")->height(), view.find("saveButton")->height());

        view.click("saveButton");
        const QList<QQuickItem*> lines = view.visibleItems("errorLine");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first()->property("text").toString(),
                 QStringLiteral("• Profile name cannot be empty"));
        QCOMPARE(view.text("nameMessage"), QStringLiteral("Profile name cannot be empty"));

        view.click("nameField");
        for (const char key : {'H', 'o', 't', 'e', 'l'}) {
            QTest::keyClick(&view.window(), key);
        }
        QVERIFY(!view.shows("errorBox"));
        QVERIFY(!view.shows("nameMessage"));

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().name, QStringLiteral("Hotel"));
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::profileEditor});

        // A built-in profile is read-only, and Escape closes without saving.
        world.editorState.prepare(preset("LTE"), ProfileEditorMode::edit, {}, {});
        QTRY_VERIFY(!view.shows("saveButton"));
        QVERIFY(!view.find("nameField")->isEnabled());
        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(world.navigator.closed.size(), qsizetype(2));
        QCOMPARE(saved.size(), 1);
    }

    void profileListsSwitchAndRowMenuReachTheStore() {
        UiWorld world;
        const auto model = world.profileList();
        ViewHarness view("ProfileListView", model.get());
        QCOMPARE(view.root()->size(), QSizeF(500, 550));
        QVERIFY(view.shows("emptyCustomText"));
        view.click("addProfileButton");
        QCOMPARE(world.navigator.opened, QStringList{WindowNavigator::profileEditor});

        const ThrottleProfile beta = world.addCustom("beta");
        QTRY_VERIFY(!view.shows("emptyCustomText"));
        // Each button opens its dialog; the file a dialog returns ends in the alert.
        for (const char* button : {"exportButton", "importButton"}) {
            view.click(button);
            const QString dialog = QString(button).replace("Button", "Dialog");
            QTRY_VERIFY(view.root()->findChild<QObject*>(dialog)->property("visible").toBool());
            QMetaObject::invokeMethod(view.root()->findChild<QObject*>(dialog), "close");
        }
        // A name from someone else's file is shown as typed, never as markup.
        const QString shared = world.home.filePath("<i>shared.json");
        model->exportProfiles(QUrl::fromLocalFile(shared));
        // Every alert of the view is in its tree: the one on screen counts.
        const auto alertShows = [&view](const char* name) {
            return !view.visibleItems(name).isEmpty();
        };
        QTRY_VERIFY(alertShows("alertAction"));
        const QQuickItem* message = view.visibleItems("alertMessage").first();
        QCOMPARE(message->property("text").toString(), "Exported 1 profile to " + shared);
        QCOMPARE(message->property("textFormat").toInt(), int(Qt::PlainText));
        view.click(view.visibleItems("alertAction").first());
        QTRY_VERIFY(!alertShows("alertAction"));
        QCOMPARE(view.find("name-beta")->property("textFormat").toInt(), int(Qt::PlainText));
        view.click("visibility-beta");
        QVERIFY(!world.profiles.profile(beta.id())->showInMenu);
        // The name dims with the switch, to the faintest ink that still reads.
        QTRY_VERIFY(
            qAbs(view.find("name-beta")->property("color").value<QColor>().alphaF() - 0.58) < 0.01);

        // Cancel keeps the profile; Delete removes it.
        for (const char* answer : {"alertCancel", "alertAction"}) {
            view.click("menu-beta");
            QTRY_VERIFY(view.shows("menuDelete"));
            view.click("menuDelete");
            QTRY_VERIFY(alertShows(answer));
            QCOMPARE(view.visibleItems("alertMessage").first()->property("text").toString(),
                     model->deleteConfirmationMessage());
            view.click(view.visibleItems(answer).first());
            QTRY_VERIFY(!alertShows(answer));
        }
        QVERIFY(!world.profiles.profile(beta.id()));
        QTRY_VERIFY(view.shows("emptyCustomText"));
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::profileList});
    }

    void settingsStoreTheAutoDisableChoiceInstallTheHelperAndShowTheAboutSheet() {
        UiWorld world;
        world.registration.status = ServiceStatus::notRegistered;
        const auto model = world.settings();
        ViewHarness view("SettingsView", model.get());
        QCOMPARE(view.root()->size(), QSizeF(450, 520));

        QQuickItem* details = view.find("autoDisableDetails");
        QCOMPARE(details->height(), 0.0);
        // From the keyboard: Space flips the switch and opens the picker,
        // Down moves from 30 minutes to the next choice, Space takes it.
        QVERIFY(tabTo(view, "autoDisableSwitch"));
        QTest::keyClick(&view.window(), Qt::Key_Space);
        QVERIFY(model->autoDisable()->isEnabled());
        QTRY_VERIFY(details->height() > 40 && details->opacity() == 1.0);
        QVERIFY(tabTo(view, "durationPicker"));
        QTest::keyClick(&view.window(), Qt::Key_Space);
        QTRY_VERIFY(view.shows("choice-1 hour"));
        QTest::keyClick(&view.window(), Qt::Key_Down);
        QTest::keyClick(&view.window(), Qt::Key_Space);
        QCOMPARE(world.defaults.value(SettingsKeys::autoDisableMinutes), QVariant(60));

        QTRY_COMPARE(view.text("helperBadgeText"), QStringLiteral("Not Installed"));
        view.click("installHelperButton");
        QCOMPARE(view.text("helperBadgeText"), QStringLiteral("Installed"));
        QTRY_VERIFY(view.shows("alertAction"));
        QCOMPARE(view.text("alertMessage"), QStringLiteral("Helper installed successfully!"));
        view.click("alertAction");
        QVERIFY(!model->helper()->showingInstallAlert());
        QVERIFY(!view.shows("installHelperButton"));

        view.click("advancedButton");
        QTRY_VERIFY(view.shows("reinstallHelperButton"));
        world.registration.status = ServiceStatus::notRegistered;
        view.click("checkStatusButton");
        QCOMPARE(view.text("helperBadgeText"), QStringLiteral("Not Installed"));

        // The about sheet is in front of the window, closed by its button or Escape.
        view.click("aboutButton");
        QTRY_VERIFY(view.shows("aboutSheet"));
        QCOMPARE(view.find("aboutSheet")->width(), 320.0);
        QCOMPARE(view.text("version"), QStringLiteral("Version 1.0.0"));
        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(world.navigator.closed.isEmpty(), "the sheet is in front");
        view.click("closeButton");
        QVERIFY(!model->showingAbout());
        view.click("aboutButton");
        QTRY_VERIFY(view.shows("aboutSheet"));
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QVERIFY(!model->showingAbout());
        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::settings});
        view.click("headerCloseButton");
        QCOMPARE(world.navigator.closed.size(), qsizetype(2));
    }

    void onboardingClicksThroughEveryStepAndShowsAFailedInstall() {
        UiWorld world;
        world.registration.status = ServiceStatus::notRegistered;
        world.helper.installFailure = ThrottleError::helperError("no installer");
        const auto model = world.onboarding();
        ViewHarness view("OnboardingView", model.get());
        QCOMPARE(view.root()->width(), 450.0);

        view.click("getStartedButton");
        QTRY_VERIFY(view.shows("installButton"));
        view.click("installButton");
        QTRY_VERIFY(view.shows("installError"));
        QCOMPARE(view.text("installError"), model->errorMessage());

        world.helper.installFailure.reset();
        view.click("installButton");
        QTRY_VERIFY(view.shows("startUsingButton"));
        view.click("startUsingButton");
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::onboarding});
    }

    void softwareUpdateReportsEachAnswerAndReturnNeverCancelsADownload() {
        using Choice = UpdateSession::Choice;
        UpdateSession session(QStringLiteral("1.4.1"));
        AppcastItem update;
        update.version = update.displayVersion = QStringLiteral("1.4.2");
        session.setUpdate(update, QStringLiteral("<p>Faster <b>loss</b></p>"));
        SoftwareUpdateViewModel model(session);
        ViewHarness view("SoftwareUpdateView", &model);
        QSignalSpy chosen(&session, &UpdateSession::chosen);
        const auto last = [&chosen] { return chosen.takeLast().at(0).value<Choice>(); };

        QCOMPARE(view.text("title"), QStringLiteral("A new version of Veltrane is available!"));
        QVERIFY(view.shows("releaseNotes"));
        QVERIFY(!view.shows("dismissButton"));
        for (const auto& [button, choice] : {std::pair{"skipButton", Choice::skipThisVersion},
                                             std::pair{"remindButton", Choice::dismiss},
                                             std::pair{"installButton", Choice::installUpdate}}) {
            view.click(button);
            QCOMPARE(last(), choice);
        }
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(last(), Choice::installUpdate);

        session.setProgress(2'000'000, 8'000'000);
        QCOMPARE(view.text("progressText"), QStringLiteral("2.0 MB of 8.0 MB"));
        QVERIFY(!view.shows("installButton"));
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(chosen.count(), 0);
        view.click("dismissButton");
        QCOMPARE(last(), Choice::dismiss);

        // Closing the window is "Remind Me Later".
        view.window().hide();
        QTRY_COMPARE(chosen.count(), 1);
        QCOMPARE(last(), Choice::dismiss);
    }

    void oneWindowPerIdentifierSizedByItsContentAndReleasedOnClose() {
        QQmlEngine engine;
        WindowRegistry windows(engine);
        windows.add(
            QStringLiteral("profile-editor"),
            {QStringLiteral("Profile Editor"), QStringLiteral("AboutView"), [](QObject* window) {
                 return QVariantMap{{QStringLiteral("viewModel"),
                                     QVariant::fromValue(new AboutViewModel(
                                         QString(), QString(), QDate(2026, 1, 1), window))}};
             }});
        windows.openWindow(QStringLiteral("profile-editor"));
        QPointer<QQuickView> first = windows.window(QStringLiteral("profile-editor"));
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowExposed(first.data()));
        QCOMPARE(first->title(), QStringLiteral("Profile Editor"));
        QCOMPARE(first->size(), QSize(320, qCeil(first->rootObject()->implicitHeight())));
        QCOMPARE(first->minimumSize(), first->maximumSize());

        windows.openWindow(QStringLiteral("profile-editor"));
        QCOMPARE(windows.window(QStringLiteral("profile-editor")), first.data());

        first->close();
        QTRY_VERIFY(first.isNull());
        QCOMPARE(windows.window(QStringLiteral("profile-editor")), nullptr);
        windows.openWindow(QStringLiteral("profile-editor"));
        QVERIFY(windows.window(QStringLiteral("profile-editor")));
    }

    void panelFitsItsScreenScrollsItsRowsAndWorksFromTheKeyboard() {
        UiWorld world;
        for (int i = 1; i <= 20; ++i) {
            world.addCustom(QStringLiteral("Site %1").arg(i, 2, 10, QLatin1Char('0')));
        }
        world.service.selectProfile(world.named("LTE"));
        const auto panel = world.panel();
        ViewHarness view("MenuBarView",
                         {{"viewModel", QVariant::fromValue(panel.get())}, {"maximumHeight", 500}});
        QVERIFY(view.window().height() <= 500);
        const QQuickItem* quit = view.find("quit");
        QVERIFY(quit->mapToScene(QPointF(0, quit->height())).y() <= view.window().height());

        // Tab to the switch; Space flips it both ways.
        QVERIFY(tabTo(view, "masterSwitch"));
        QTest::keyClick(&view.window(), Qt::Key_Space);
        QCOMPARE(world.helper.enables.size(), 1u);
        QTest::keyClick(&view.window(), Qt::Key_Space);
        QVERIFY(!world.service.state().isEnabled);

        // Down goes to the selected row, and on to the last one, in view.
        QTest::keyClick(&view.window(), Qt::Key_Down);
        QCOMPARE(view.window().activeFocusItem()->property("name").toString(), "LTE");
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(&view.window(), Qt::Key_Down);
        }
        QQuickItem* last = view.window().activeFocusItem();
        QCOMPARE(last->property("name").toString(), "Site 20");
        const QQuickItem* scroller = view.find("profileScroller");
        QVERIFY(scroller->property("contentY").toReal() > 0);
        QVERIFY(last->mapToItem(scroller, QPointF(0, last->height())).y() <= scroller->height());
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(world.service.state().selectedProfile->name, "Site 20");
        QTest::keyClick(&view.window(), Qt::Key_Up);
        QTest::keyClick(&view.window(), Qt::Key_Space);
        QCOMPARE(world.service.state().selectedProfile->name, "Site 19");

        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QVERIFY(!view.window().isVisible());
    }

    // The keyboard stays in the search field: Down and Return launch the
    // row below the first, typing narrows the list, Escape cancels. With no
    // session bus, each launch fails naming the application it was for.
    void launchOverlayPicksAnApplicationFromTheKeyboard() {
        QTemporaryDir applications;
        for (const char* name : {"Editor", "Files", "Konsole"}) {
            QFile entry(applications.filePath(QString::fromLatin1(name) + ".desktop"));
            QVERIFY(entry.open(QIODevice::WriteOnly));
            entry.write("[Desktop Entry]\nType=Application\nExec=true\nName=" + QByteArray(name));
        }
        SystemdUserUnits units(QDBusConnection(QStringLiteral("no bus")));
        LaunchThrottledModel model(units, DesktopEntries({applications.path()}, "C"),
                                   ProcessCgroups(), LaunchThrottler{});
        model.open();
        ViewHarness view(
            "LaunchThrottledOverlay",
            {{"viewModel", QVariant::fromValue(&model)}, {"width", 272}, {"height", 480}});
        QCOMPARE(view.window().activeFocusItem()->objectName(), "launchSearch");
        QTest::keyClick(&view.window(), Qt::Key_Down);
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QTRY_VERIFY(view.text("launchError").contains("for Files:"));

        for (const char key : {'k', 'o', 'n'}) {
            QTest::keyClick(&view.window(), key);
        }
        QCOMPARE(model.rowCount(), 1);
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QTRY_VERIFY(view.text("launchError").contains("for Konsole:"));
        checkTabReachesEveryControl(view, "LaunchThrottledOverlay");

        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QVERIFY(!model.isOpen());
    }

    // The live figures are asked for once a second while the panel is on
    // screen, and not once while it is hidden.
    void liveFiguresAreAskedForOnlyWhileThePanelIsOnScreen() {
        UiWorld world;
        world.helper.statistics = {
            true, 10'000, DirectionStatistics{.bytes = 1'000, .dropped = 3, .queueMs = 120},
            DirectionStatistics{.bytes = 10}};
        const auto panel = world.panel();
        panel->selectProfile(world.named("3G"));
        QCOMPARE(world.helper.statisticsReads, 0);
        panel->handleToggle(true);
        ViewHarness view("MenuBarView", panel.get());
        QTRY_VERIFY(view.shows("liveDownload"));
        world.helper.statistics.takenAtMs = 11'000;
        world.helper.statistics.download->bytes = 101'000;
        const auto shown = [&view](const char* name) {
            return view.text(QString::fromLatin1(name)).replace(QChar(0x00a0), u' ');
        };
        QTRY_COMPARE(shown("liveDownload"),
                     QStringLiteral("↓ 800 Kbps · 3 dropped · queue 120 ms"));
        // A screen reader reads words, not arrows and dots.
        QAccessibleInterface* read =
            QAccessible::queryAccessibleInterface(view.find("liveDownload"));
        QVERIFY(read);
        QCOMPARE(read->text(QAccessible::Name),
                 QStringLiteral("Download 800 Kbps, 3 dropped, queue 120 ms"));
        QCOMPARE(shown("liveUpload"), QStringLiteral("↑ 0.0 Kbps · 0 dropped · queue 0 pkts"));

        view.window().hide();
        QTRY_VERIFY(!view.root()->property("shown").toBool());
        const int reads = world.helper.statisticsReads;
        QTest::qWait(2'500);
        QCOMPARE(world.helper.statisticsReads, reads);
        view.window().show();
        QTRY_VERIFY(world.helper.statisticsReads > reads);

        view.click("stopButton");
        QTRY_VERIFY(!view.shows("liveDownload"));
    }

    // Each throttle has its own Stop: the second one's ends it alone.
    void aSecondThrottlesStopEndsOnlyIt() {
        UiWorld world;
        const auto panel = world.panel();
        panel->selectProfile(world.named("3G"));
        panel->handleToggle(true);
        world.startElsewhere("veltranectl apply: Edge", {30'000, 15'000, 400, 0, 0},
                             {"api.example.com:443"});
        const QString second = QString::number(world.helper.throttles.back().id);
        ViewHarness view("MenuBarView", panel.get());
        QTRY_VERIFY(view.shows("throttleList"));
        view.click("stopThrottle" + second);
        QTRY_COMPARE(world.helper.ends, std::vector<quint64>{second.toULongLong()});
        QTRY_VERIFY(!view.shows("throttleList"));
        QVERIFY(view.shows("stopButton"));
        QCOMPARE(world.helper.disables, 0);
    }

    // From the panel alone: the footer opens the list, a pick throttles
    // that application beside the running throttle, its row stops it alone.
    void anApplicationPickedFromThePanelIsThrottledBesideAndStoppedOnItsRow() {
        UiWorld world;
        const auto panel = world.panel();
        panel->selectProfile(world.named("Edge"));
        panel->handleToggle(true);
        world.runApplication("org.gnome.Terminal", "Terminal");
        world.runApplication("com.slack.Slack", "Slack");
        ViewHarness view("MenuBarView", panel.get());
        QVERIFY(!view.shows("applicationPicker"));
        QCOMPARE(world.userUnits.questions, 0);
        view.click("onlyAnApplication");
        QTRY_VERIFY(view.shows("application-com.slack.Slack"));
        view.click("application-com.slack.Slack");
        QTRY_COMPARE(world.helper.starts.size(), std::size_t(2));
        QCOMPARE(world.helper.starts.back().scope.application, std::string("com.slack.Slack"));
        QVERIFY(!view.shows("applicationPicker"));
        // Closed, the list follows nothing more.
        const int asked = world.userUnits.questions;
        world.runApplication("org.example.Later", "Later");
        QCOMPARE(world.userUnits.questions, asked);

        const QString slack = QString::number(world.helper.throttles.back().id);
        QTRY_VERIFY(view.shows("stopThrottle" + slack) && !panel->isLoading());
        view.click("stopThrottle" + slack);
        QTRY_COMPARE(world.helper.ends, std::vector<quint64>{slack.toULongLong()});
        QCOMPARE(world.helper.throttles.size(), 1);
        QCOMPARE(world.helper.disables, 0);
    }

    void everyControlOfEveryViewIsReachedByTabAndShowsTheFocusRing() {
        ProfileEditorOpener opened;
        UiWorld& world = opened.world;
        const ThrottleProfile custom = world.addCustom("Hotel");
        world.service.selectProfile(custom);
        world.service.applyProfile(custom);
        const auto panel = world.panel();
        opened.install("org.mozilla.firefox", "Firefox");
        opened.install("com.slack.Slack", "Slack");
        const auto editor = opened.open(custom, ProfileEditorMode::edit);
        // The list of applications is one stop, at its current row.
        editor->fields()->setAppliesTo(2);
        editor->fields()->setHasPacketLoss(true);
        editor->fields()->setPacketLoss("10");
        editor->schedule()->addPhase();
        editor->schedule()->addPhase();
        const auto list = world.profileList();
        const auto settings = world.settings();
        const auto onboarding = world.onboarding();
        UpdateSession session(QStringLiteral("1.4.1"));
        AppcastItem update;
        update.version = update.displayVersion = QStringLiteral("1.4.2");
        session.setUpdate(update, QStringLiteral("<p>Faster</p>"));
        SoftwareUpdateViewModel softwareUpdate(session);
        const std::pair<const char*, QObject*> views[] = {
            {"MenuBarView", panel.get()},           {"ProfileEditorWindowView", editor.get()},
            {"ProfileListView", list.get()},        {"SettingsView", settings.get()},
            {"OnboardingView", onboarding.get()},   {"AboutView", &world.about},
            {"SoftwareUpdateView", &softwareUpdate}};
        for (const auto& [name, model] : views) {
            ViewHarness view(name, model);
            checkTabReachesEveryControl(view, name);
        }
    }

    void editorSwitchesUnitPickerAndSliderWorkFromTheKeyboard() {
        UiWorld world;
        world.editorState.prepare(std::nullopt, ProfileEditorMode::create, {}, {});
        const auto editor = world.editor();
        ProfileEditorFields& fields = *editor->fields();
        ViewHarness form("ProfileEditorWindowView", editor.get());
        QVERIFY(tabTo(form, "downloadSwitch"));
        // On by default in a new profile: off, and on again.
        QTest::keyClick(&form.window(), Qt::Key_Space);
        QVERIFY(!fields.hasDownloadLimit());
        QTest::keyClick(&form.window(), Qt::Key_Space);
        QVERIFY(fields.hasDownloadLimit());
        QVERIFY(tabTo(form, "unitKbps"));
        QTest::keyClick(&form.window(), Qt::Key_Right);
        QCOMPARE(fields.downloadUnit(), 1);
        QTest::keyClick(&form.window(), Qt::Key_Space);
        QCOMPARE(fields.downloadUnit(), 0);

        fields.setHasPacketLoss(true);
        fields.setPacketLoss("10");
        QTRY_VERIFY(form.shows("lossSlider"));
        QVERIFY(tabTo(form, "lossSlider"));
        QTest::keyClick(&form.window(), Qt::Key_Right);
        QCOMPARE(fields.packetLoss(), "11");
        QTest::keyClick(&form.window(), Qt::Key_PageDown);
        QCOMPARE(fields.packetLoss(), "1");

        // The folded advanced section opens from the keyboard; what is
        // typed into its jitter field reaches the form.
        QVERIFY(!form.shows("advancedCard"));
        QVERIFY(tabTo(form, "advancedDisclosure"));
        QTest::keyClick(&form.window(), Qt::Key_Space);
        QTRY_VERIFY(form.shows("advancedCard"));
        // On a short screen the form scrolls between the title and the
        // buttons, and brings the field Tab reaches into view.
        QQuickItem* body = form.find("editorBody");
        body->parentItem()->setProperty("maximumHeight", 420);
        QTRY_VERIFY(form.root()->implicitHeight() <= 420);
        QTest::keyClick(&form.window(), Qt::Key_Tab);
        const QList<QQuickItem*> jitter = form.visibleItems("valueField", form.find("jitter"));
        QCOMPARE(jitter.size(), qsizetype(1));
        QVERIFY(jitter.first()->hasActiveFocus());
        // In view once the form has laid out what the opened section moved
        // (later where the views are interpreted rather than compiled).
        const auto inView = [&] {
            const qreal top = jitter.first()->mapToItem(body, QPointF(0, 0)).y();
            return body->property("contentY").toReal() > 0 && top >= 0 &&
                   top + jitter.first()->height() <= body->height();
        };
        QTRY_VERIFY(inView());
        QTest::keyClick(&form.window(), '2');
        QTest::keyClick(&form.window(), '0');
        QCOMPARE(fields.formData()[Condition::jitter].text, QStringLiteral("20"));
    }

    void theEditorAddsAPhaseThatPlaysAnOutageAndSavesIt() {
        ProfileEditorOpener opened;
        const auto editor = opened.open(std::nullopt, ProfileEditorMode::create);
        editor->fields()->setName("Tunnel");
        ViewHarness form("ProfileEditorWindowView", editor.get());
        form.click("addPhase");
        QTRY_VERIFY(form.shows("phase0"));
        form.click("phaseConditions");
        QTRY_VERIFY(form.shows("choice-Outage"));
        form.click("choice-Outage");
        QTRY_COMPARE(form.text("phaseName"), QStringLiteral("Outage"));
        form.click("repeatSwitch");

        form.click("saveButton");
        QTRY_COMPARE(opened.saved.size(), qsizetype(1));
        const ProfileSchedule& kept = opened.saved[0].schedule;
        QCOMPARE(kept.phases.size(), std::size_t(1));
        QVERIFY(kept.phases[0].isOutage());
        QCOMPARE(kept.phases[0].durationMs, ScheduleEditorModel::kNewPhaseMs);
        QVERIFY(!kept.repeat);
    }

    void theEditorLimitsAProfileToTypedDestinationsSayingWhatIsWrongAsTyped() {
        ProfileEditorOpener opened;
        const QList<ThrottleProfile>& saved = opened.saved;
        const auto editor = opened.open(std::nullopt, ProfileEditorMode::create);
        editor->fields()->setName("Only the API");
        ViewHarness form("ProfileEditorWindowView", editor.get());
        QVERIFY(!form.shows("destinationsField"));
        form.click("appliesTo");
        QTRY_VERIFY(form.shows(QStringLiteral("choice-Only traffic to…")));
        form.click(QStringLiteral("choice-Only traffic to…"));
        QTRY_VERIFY(form.shows("destinationsField"));

        form.click("destinationsField");
        const auto type = [&form](const char* text) {
            for (const char* c = text; *c != '\0'; ++c) {
                QTest::keyClick(&form.window(), *c);
            }
        };
        type("api.example.com:0");
        QTRY_COMPARE(form.text("destinationsMessage"),
                     QStringLiteral("'api.example.com:0': a port is a number from 1 to 65535"));
        QTest::keyClick(&form.window(), Qt::Key_Backspace);
        type("443");
        QTest::keyClick(&form.window(), Qt::Key_Return);
        type("10.0.0.0/8");
        QTRY_VERIFY(!form.shows("destinationsMessage"));
        // Tab leaves the list instead of typing into it.
        QTest::keyClick(&form.window(), Qt::Key_Tab);
        QVERIFY(form.window().activeFocusItem() != form.find("destinationsField"));

        form.click("saveButton");
        QTRY_COMPARE(saved.size(), qsizetype(1));
        QCOMPARE(saved[0].shortDescription(),
                 QStringLiteral("D: 10 Mbps, U: 5 Mbps, only to api.example.com:443, 10.0.0.0/8"));
    }

    void theEditorKeepsAProfileToAnApplicationChosenFromTheKeyboard() {
        ProfileEditorOpener opened;
        opened.install("org.mozilla.firefox", "Firefox");
        opened.install("com.slack.Slack", "Slack");
        opened.install("org.gnome.Terminal", "Terminal");
        const auto editor = opened.open(std::nullopt, ProfileEditorMode::create);
        ProfileEditorFields& fields = *editor->fields();
        fields.setName("Chat");
        ViewHarness form("ProfileEditorWindowView", editor.get());
        form.click("appliesTo");
        QTRY_VERIFY(form.shows("choice-Only an application"));
        form.click("choice-Only an application");
        QTRY_VERIFY(form.shows("applicationSearch"));

        // From the search field, Tab reaches the first row; the arrows move
        // through the rows, Space chooses, and Tab leaves the list at once.
        form.click("applicationSearch");
        QTest::keyClick(&form.window(), Qt::Key_Tab);
        QCOMPARE(form.window().activeFocusItem()->property("name").toString(),
                 QStringLiteral("Firefox"));
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}) {
            QTest::keyClick(&form.window(), key);
        }
        QCOMPARE(form.window().activeFocusItem()->property("name").toString(),
                 QStringLiteral("Slack"));
        QTest::keyClick(&form.window(), Qt::Key_Space);
        QCOMPARE(fields.formData().application, QStringLiteral("com.slack.Slack"));
        QTest::keyClick(&form.window(), Qt::Key_Tab);
        QCOMPARE(form.window().activeFocusItem()->objectName(),
                 QStringLiteral("advancedDisclosure"));

        // A search narrows the rows; Down enters them from the field.
        form.click("applicationSearch");
        for (const char key : {'t', 'e', 'r', 'm'}) {
            QTest::keyClick(&form.window(), key);
        }
        QCOMPARE(fields.applications()->rowCount(), 1);
        QTest::keyClick(&form.window(), Qt::Key_Down);
        QTest::keyClick(&form.window(), Qt::Key_Return);
        QCOMPARE(fields.formData().application, QStringLiteral("org.gnome.Terminal"));

        form.click("saveButton");
        QTRY_COMPARE(opened.saved.size(), qsizetype(1));
        QCOMPARE(opened.saved[0].application, QStringLiteral("org.gnome.Terminal"));
    }

    void thePanelGoesUnderTheIconOrAboveItAndStaysOnTheScreen() {
        const QRect screen(0, 0, 1280, 800);
        const QSize panel(PanelWindow::width, 300);
        // A top bar: centred under the icon.
        QCOMPARE(panelPosition(QRect(600, 0, 24, 24), panel, screen), QPoint(475, 28));
        // A bottom bar: above the icon.
        QCOMPARE(panelPosition(QRect(600, 776, 24, 24), panel, screen), QPoint(475, 472));
        // In a corner: pushed back onto the screen.
        QCOMPARE(panelPosition(QRect(1270, 0, 10, 24), panel, screen), QPoint(1008, 28));
        QCOMPARE(panelPosition(QRect(0, 790, 1, 1), panel, screen), QPoint(0, 486));
        // No taller than the larger room, under or above the icon, less a margin.
        QCOMPARE(panelMaximumHeight(QRect(600, 0, 24, 24), screen), 800 - 28 - 8);
        QCOMPARE(panelMaximumHeight(QRect(600, 776, 24, 24), screen), 776 - 4 - 8);
        QCOMPARE(panelMaximumHeight(QRect(600, 300, 24, 24), QRect(0, 100, 1280, 700)),
                 800 - 328 - 8);

        // The real panel at the bottom of its screen: above the icon as it
        // grows, and no taller than the room there however many profiles.
        UiWorld world;
        for (const ThrottleProfile& profile : world.profiles.builtInProfiles().mid(2)) {
            world.profiles.setShownInMenu(profile, false);
        }
        world.service.selectProfile(world.profiles.builtInProfiles().at(1));
        const auto model = world.panel();
        QQmlEngine engine;
        PanelWindow panelWindow(
            engine,
            {QStringLiteral("Veltrane"), QStringLiteral("MenuBarView"),
             [&model](QObject*) {
                 return QVariantMap{{"viewModel", QVariant::fromValue(model.get())}};
             }},
            {});
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect icon(available.center().x(), available.bottom() - 23, 24, 24);
        panelWindow.showAt(icon);
        QQuickWindow* window = panelWindow.window();
        const int shortHeight = window->height();
        model->handleToggle(true);
        QTRY_VERIFY(window->height() > shortHeight);
        QCOMPARE(window->geometry().bottom(), icon.top() - 5);

        for (int i = 1; i <= 30; ++i) {
            world.addCustom(QStringLiteral("Site %1").arg(i));
        }
        QTRY_COMPARE(window->height(), panelMaximumHeight(icon, available));
        QCOMPARE(window->geometry().bottom(), icon.top() - 5);
        QVERIFY(available.contains(window->geometry()));

        // Opened again, the panel holds the focus itself, not the row last reached.
        window->contentItem()->nextItemInFocusChain()->forceActiveFocus(Qt::TabFocusReason);
        QVERIFY(window->activeFocusItem() != window->contentItem()->childItems().first());
        panelWindow.hide();
        panelWindow.showAt(icon);
        QCOMPARE(window->activeFocusItem(), window->contentItem()->childItems().first());
    }

    // The desktop's font sets the type of every view, and a larger one
    // grows the panel rather than clipping it or wrapping its clock.
    void viewsTakeTheirTypeFromTheDesktopFontAndGrowWithIt() {
        const QFont desktop = QGuiApplication::font();
        int panelHeight = 0;
        for (const int pixels : {13, 16}) {
            QFont font = desktop;
            font.setPixelSize(pixels);
            QGuiApplication::setFont(font);
            UiWorld world;
            const auto panel = world.panel();
            panel->selectProfile(world.named("Very Bad Network"));
            panel->handleToggle(true);
            world.now = world.now.addSecs(36'061);
            world.helper.statistics = {
                true, 10'000,
                DirectionStatistics{.bytes = 1'000, .dropped = 999'499, .queueMs = 9'949},
                DirectionStatistics{.bytes = 10, .dropped = 9'999, .queuedPackets = 11'082}};
            ViewHarness view("MenuBarView", panel.get());
            QCOMPARE(view.find("title")->property("font").value<QFont>().pixelSize(), pixels);
            // The longest conditions and ten hours on the clock: the time
            // stays on the conditions' line, inside the card.
            const QQuickItem* time = view.find("statsDuration");
            QTRY_COMPARE(time->property("text").toString(), QStringLiteral(" · 10:01:01"));
            // The widest live figures keep every part whole, inside the card.
            for (const char* name : {"liveDownload", "liveUpload"}) {
                const QQuickItem* figures = view.find(QString::fromLatin1(name));
                QTRY_VERIFY(figures->isVisible());
                QVERIFY(figures->property("contentWidth").toReal() <= figures->width());
                QVERIFY(figures->property("lineCount").toInt() <= 2);
                QVERIFY(figures->mapToItem(view.find("activeSection"), QPointF(figures->width(), 0))
                            .x() <= view.find("activeSection")->width());
            }
            QCOMPARE(time->y(), view.find("statsConditions")->y());
            QVERIFY(time->x() + time->width() <= view.find("statsLine")->width());
            QCOMPARE(view.window().width(), 272);
            QVERIFY(view.window().height() > panelHeight);
            panelHeight = view.window().height();
        }
        QGuiApplication::setFont(desktop);
    }

    // WCAG 2 contrast of the theme's own colours, as the views draw them:
    // a translucent colour over what lies under it.
    void everyTextAndOutlineOfTheThemeReadsInBothAppearances() {
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Veltrane.Ui\n"
                          "QtObject { readonly property QtObject theme: Theme }",
                          QUrl());
        const std::unique_ptr<QObject> holder(component.create());
        QObject* theme = holder ? holder->property("theme").value<QObject*>() : nullptr;
        QVERIFY2(theme, qPrintable(component.errorString()));
        const auto color = [theme](const char* name) {
            const QVariant value = theme->property(name);
            if (!value.isValid()) {
                qFatal("the theme has no colour %s", name);
            }
            return value.value<QColor>();
        };
        for (const bool dark : {false, true}) {
            ViewHarness::useAppearance(dark);
            QTRY_COMPARE(theme->property("dark").toBool(), dark);
            const QColor window = color("windowBackground");
            // Every surface text sits on: windows, cards, the selected row,
            // the running throttle's card, alerts, menus.
            const QList<QColor> surfaces{window,
                                         over(color("ink"), 0.04, window),
                                         over(color("ink"), 0.06, window),
                                         over(color("activeGreen"), 0.06, window),
                                         color("alertBackground"),
                                         color("menuBackground")};
            const auto check = [&](const char* name, const QColor& surface, qreal least) {
                const qreal ratio = contrast(over(color(name), -1, surface), surface);
                QVERIFY2(ratio >= least,
                         qPrintable(QStringLiteral("%1 %2 on %3: %4:1")
                                        .arg(dark ? "dark" : "light", name, surface.name())
                                        .arg(ratio, 0, 'f', 2)));
            };
            for (const char* text :
                 {"primaryText", "secondaryText", "tertiaryText", "titleText", "panelOffTitle",
                  "activeText", "warningOrange", "systemRed", "errorRed", "destructiveRow",
                  "downloadTint", "uploadTint", "latencyTint", "packetLossTint", "dnsDelayTint"}) {
                for (const QColor& surface : surfaces) {
                    check(text, surface, 4.5);
                }
            }
            // Warnings, errors and the helper's badge: text on its own tint.
            for (const char* text : {"activeText", "warningOrange", "systemRed", "errorRed"}) {
                check(text, over(color(text), 0.12, window), 4.5);
            }
            // A control's shape against what it sits on: 3:1.
            for (const QColor& surface : surfaces.mid(0, 3)) {
                check("controlOutline", surface, 3.0);
                check("activeGreen", surface, 3.0);
            }
            // White labels on prominent buttons and highlighted menu entries.
            for (const char* fill : {"accentTop", "accentBottom", "highlight"}) {
                QVERIFY2(contrast(Qt::white, color(fill)) >= 4.5, fill);
            }
        }
        ViewHarness::useAppearance(false);
    }
};

VELTRANE_VIEW_TEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
