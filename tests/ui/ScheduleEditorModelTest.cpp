// SPDX-License-Identifier: MIT
#include "ProfileEditorOpener.h"

#include <QFile>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

// The editor's "Changes Over Time" section, opened on a new profile unless
// a test opens another.
class ScheduleEditorModelTest : public testing::Test, protected ProfileEditorOpener {
protected:
    ScheduleEditorModel& schedule() { return *editor->schedule(); }
    const SchedulePhaseRows::Row& row(int index) { return schedule().phases()->rows().at(index); }
    const ProfileSchedule& form() { return editor->fields()->formData().schedule; }
    // A packet-delivery file in the world's folder.
    QUrl traceFile(const QString& name, const QByteArray& lines) {
        QFile file(world.home.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(lines);
        return QUrl::fromLocalFile(file.fileName());
    }

    std::unique_ptr<ProfileEditorViewModel> editor = open(std::nullopt, ProfileEditorMode::create);
    const int outage = 0;
};

TEST_F(ScheduleEditorModelTest, PhasesAreAddedMovedAndRemovedAndSavedWithTheirConditions) {
    EXPECT_EQ(schedule().summary(), "The conditions hold until switched off.");
    editor->fields()->setName("Commute");
    schedule().addPhase();
    schedule().addPhase();
    // A new phase plays the first profile on offer for 30 s.
    const ThrottleProfile first = world.profiles.allProfiles().first();
    ASSERT_EQ(row(0).choices.at(1), first.name);
    EXPECT_EQ(row(0).choiceIndex, 1);
    EXPECT_EQ(row(0).name, first.name);
    EXPECT_EQ(row(0).duration, "30");
    EXPECT_FALSE(row(0).canMoveUp);
    EXPECT_TRUE(row(0).canMoveDown);

    schedule().choosePhaseConditions(1, outage);
    schedule().setPhaseDuration(1, "0.5");
    schedule().setPhaseName(0, "Tunnel ahead");
    schedule().movePhase(1, -1);
    EXPECT_EQ(row(0).name, "Outage");
    EXPECT_EQ(row(0).duration, "0.5");
    EXPECT_EQ(row(1).duration, "30");
    schedule().addPhase();
    schedule().removePhase(2);
    schedule().setRepeat(false);
    EXPECT_EQ(schedule().summary(), "2 phases, once");
    // Phases and a trace exclude each other.
    EXPECT_FALSE(schedule().canImportTrace());

    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    const ProfileSchedule& kept = saved[0].schedule;
    ASSERT_EQ(kept.phases.size(), 2U);
    EXPECT_EQ(kept.phases[0], (ProfilePhase{"Outage", 500, std::nullopt, {}}));
    EXPECT_EQ(kept.phases[1].name, "Tunnel ahead");
    EXPECT_EQ(kept.phases[1].durationMs, 30'000);
    EXPECT_EQ(kept.phases[1].conditions,
              ProfileFormData::conditionsOf(ProfileFormData::inputsShowing(first.conditions)));
    EXPECT_FALSE(kept.repeat);
}

TEST_F(ScheduleEditorModelTest, ANameTheUserTypedStaysWhenTheConditionsChange) {
    schedule().addPhase();
    const int edge = int(row(0).choices.indexOf("Edge"));
    ASSERT_GT(edge, 0);
    schedule().choosePhaseConditions(0, edge);
    EXPECT_EQ(row(0).name, "Edge");
    EXPECT_EQ(form().phases[0].conditions, world.named("Edge").conditions);
    schedule().setPhaseName(0, "Basement");
    schedule().choosePhaseConditions(0, outage);
    EXPECT_EQ(row(0).name, "Basement");
    EXPECT_TRUE(form().phases[0].isOutage());
    // Rows and choices out of range change nothing.
    schedule().choosePhaseConditions(0, 999);
    schedule().movePhase(0, -1);
    schedule().removePhase(3);
    EXPECT_EQ(form().phases.size(), 1U);
}

TEST_F(ScheduleEditorModelTest, AFaultyDurationIsKeptAsTypedAndNamedUnderItsPhaseOnSave) {
    editor->fields()->setName("Flaky");
    schedule().addPhase();
    schedule().addPhase();
    schedule().setPhaseDuration(1, "soon");
    EXPECT_EQ(row(1).duration, "soon");
    EXPECT_TRUE(row(1).message.isEmpty());

    editor->actions()->saveProfile();
    EXPECT_THAT(saved, IsEmpty());
    const QString expected =
        "Phase 2 (" + row(1).name + "): Duration must be between 100 ms and 24 hours";
    EXPECT_EQ(row(1).message, expected);
    EXPECT_TRUE(row(0).message.isEmpty());
    EXPECT_TRUE(editor->messages()->errorLines().contains("• " + expected));

    // Checked at once from then on.
    schedule().setPhaseDuration(1, "2");
    EXPECT_TRUE(row(1).message.isEmpty());
    EXPECT_EQ(form().phases[1].durationMs, 2'000);
}

TEST_F(ScheduleEditorModelTest, ConditionsThatMatchNoProfileAreOfferedAsSavedAndKept) {
    ThrottleProfile own = world.addCustom("Own");
    NetworkConditions odd;
    odd.latency = 321;
    own.schedule.phases = {{"Odd", 5'000, odd, {}}, {"Gone", 1'000, std::nullopt, {}}};
    editor = open(own, ProfileEditorMode::edit);
    EXPECT_EQ(row(0).choices.last(), "As saved: 321ms");
    EXPECT_EQ(row(0).choiceIndex, row(0).choices.size() - 1);
    EXPECT_EQ(row(1).choiceIndex, outage);
    EXPECT_EQ(row(1).choices.last(), "Own");
    // Choosing it keeps the name the user gave the phase.
    schedule().choosePhaseConditions(0, int(row(0).choices.size() - 1));
    EXPECT_EQ(row(0).name, "Odd");

    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].schedule.phases[0].conditions, odd);
}

TEST_F(ScheduleEditorModelTest, ATraceIsImportedPerDirectionWithItsSummaryAndRemoved) {
    schedule().setStepIndex(1);
    // One 1500-byte packet every millisecond for 200 ms: 12 Mbps.
    QByteArray steady;
    for (int ms = 1; ms <= 200; ++ms) {
        steady += QByteArray::number(ms) + '\n';
    }
    schedule().importDownloadTrace(traceFile("down.trace", steady));
    EXPECT_TRUE(schedule().traceMessage().isEmpty());
    EXPECT_TRUE(schedule().hasDownloadTrace());
    EXPECT_EQ(form().trace.stepMs, 200);
    EXPECT_EQ(schedule().downloadTrace(),
              "200 ms · mean 12.0 Mbps · lowest 12.0 Mbps · highest 12.0 Mbps");
    EXPECT_EQ(schedule().uploadTrace(), "None: the profile's own rate");
    // Its steps are the file's: the length is chosen before the import.
    EXPECT_FALSE(schedule().canChangeStep());
    schedule().setStepIndex(0);
    EXPECT_EQ(schedule().stepIndex(), 1);
    EXPECT_FALSE(schedule().canAddPhase());
    schedule().addPhase();
    EXPECT_TRUE(form().phases.empty());

    // A file that does not read leaves the trace as it was.
    schedule().importUploadTrace(traceFile("up.trace", "5\n3\n"));
    EXPECT_THAT(schedule().traceMessage().toStdString(), HasSubstr("up.trace, line 2"));
    EXPECT_FALSE(schedule().hasUploadTrace());
    EXPECT_TRUE(schedule().hasDownloadTrace());

    schedule().removeDownloadTrace();
    EXPECT_TRUE(form().trace.empty());
    EXPECT_TRUE(schedule().traceMessage().isEmpty());
    EXPECT_TRUE(schedule().canChangeStep());

    // Opened afresh, the form forgets a failed import and the step chosen.
    schedule().importUploadTrace(traceFile("up.trace", "5\n3\n"));
    world.editorState.prepare(std::nullopt, ProfileEditorMode::create, {}, {});
    EXPECT_TRUE(schedule().traceMessage().isEmpty());
    EXPECT_EQ(schedule().stepIndex(), 0);
}

TEST_F(ScheduleEditorModelTest, ABuiltInScheduleIsShownAndTakesNoChange) {
    editor = open(world.named("Commuter Train"), ProfileEditorMode::edit);
    ASSERT_EQ(schedule().phases()->rowCount(), 3);
    EXPECT_EQ(row(0).name, "LTE");
    ASSERT_EQ(row(0).choiceIndex, row(0).choices.indexOf("LTE"));
    EXPECT_EQ(row(1).choiceIndex, outage);
    EXPECT_EQ(row(2).duration, "14");
    schedule().addPhase();
    schedule().removePhase(0);
    schedule().setPhaseDuration(2, "1");
    EXPECT_EQ(schedule().phases()->rowCount(), 3);
    EXPECT_EQ(row(2).duration, "14");
    EXPECT_EQ(schedule().summary(), "3 phases, repeating");
}

} // namespace
