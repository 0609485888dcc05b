// SPDX-License-Identifier: MIT
// A recorded link of a day, near the 16 MiB a trace file may take, in both
// directions: how long its import, validation, storing and reading take and
// how large it is stored, printed; nothing is asserted.
#include "PacketDeliveryTrace.h"
#include "ProfileFormData.h"
#include "ProfileRecords.h"
#include "ProfileValidator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <utility>

namespace {

template <typename Phase>
auto timed(const char* name, Phase phase) {
    QElapsedTimer timer;
    timer.start();
    auto result = phase();
    std::printf("%-10s %8.1f ms\n", name, timer.nsecsElapsed() / 1e6);
    return result;
}

} // namespace

int main() {
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("day.trace"));
    {
        // A chance every 49 ms for 24 hours, a burst of three every 7 s: some
        // 1.8 million lines of up to 9 bytes.
        QByteArray text;
        for (std::int64_t ms = 49; ms <= CapacityTrace::kMaxLengthMs; ms += 49) {
            const QByteArray line = QByteArray::number(ms) + '\n';
            text += ms % 7000 < 49 ? line.repeated(3) : line;
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("file       %8.1f MiB\n", text.size() / 1048576.0);
    }
    const PacketDeliveryTrace::Imported imported =
        timed("import", [&] { return PacketDeliveryTrace::importFiles(path, path); });
    if (!imported.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(imported.error));
        return 1;
    }
    ProfileFormData form;
    form.name = QStringLiteral("A day on the train");
    form.schedule.trace = imported.trace;
    const ProfileValidationResult result = timed(
        "validate", [&] { return ProfileValidator::validateProfile(form, {}, std::nullopt); });
    const QByteArray stored =
        timed("store", [&] { return ProfileRecords::encode({form.to(QUuid(), false)}); });
    QString error;
    const auto read = timed("read", [&] { return ProfileRecords::decode(stored, &error); });
    std::printf("stored     %8.1f MiB for %zu steps a direction; valid %d, read back %d\n",
                stored.size() / 1048576.0, imported.trace.downloadBytesPerSecond.size(),
                result.isValid, read && read->first().schedule.trace == imported.trace);
    return 0;
}
