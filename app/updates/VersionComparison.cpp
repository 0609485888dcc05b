// SPDX-License-Identifier: MIT
#include "VersionComparison.h"

#include <QChar>

#include <algorithm>
#include <vector>

namespace {

struct Run {
    bool numeric;
    QStringView text;
};

std::vector<Run> runs(QStringView version) {
    std::vector<Run> result;
    qsizetype index = 0;
    while (index < version.size()) {
        const QChar first = version[index];
        const bool numeric = first.isDigit();
        if (!numeric && !first.isLetter()) {
            ++index;
            continue;
        }
        const qsizetype start = index;
        while (index < version.size() &&
               (numeric ? version[index].isDigit() : version[index].isLetter())) {
            ++index;
        }
        result.push_back({numeric, version.sliced(start, index - start)});
    }
    return result;
}

// Numbers of any length: build numbers and dates do not fit every integer type.
std::strong_ordering compareNumbers(QStringView left, QStringView right) {
    while (left.startsWith(u'0')) {
        left = left.sliced(1);
    }
    while (right.startsWith(u'0')) {
        right = right.sliced(1);
    }
    if (left.size() != right.size()) {
        return left.size() <=> right.size();
    }
    return left.compare(right) <=> 0;
}

bool isZero(const Run& run) {
    return run.numeric && compareNumbers(run.text, u"0") == 0;
}

// The side that still has runs where the other has ended.
std::strong_ordering compareRemainder(const Run& remaining) {
    // More letters mean a pre-release of the shorter version.
    return remaining.numeric ? std::strong_ordering::greater : std::strong_ordering::less;
}

} // namespace

std::strong_ordering compareVersions(QStringView left, QStringView right) {
    const std::vector<Run> leftRuns = runs(left);
    const std::vector<Run> rightRuns = runs(right);
    const size_t count = std::max(leftRuns.size(), rightRuns.size());
    for (size_t index = 0; index < count; ++index) {
        const bool hasLeft = index < leftRuns.size();
        const bool hasRight = index < rightRuns.size();
        if (!hasLeft || !hasRight) {
            const Run& remaining = hasLeft ? leftRuns[index] : rightRuns[index];
            if (isZero(remaining)) {
                continue;
            }
            const std::strong_ordering order = compareRemainder(remaining);
            return hasLeft ? order : 0 <=> order;
        }
        const Run& a = leftRuns[index];
        const Run& b = rightRuns[index];
        std::strong_ordering order = std::strong_ordering::equal;
        if (a.numeric && b.numeric) {
            order = compareNumbers(a.text, b.text);
        } else if (!a.numeric && !b.numeric) {
            order = a.text.compare(b.text, Qt::CaseInsensitive) <=> 0;
        } else {
            // 1.0.1 is a release after 1.0b1.
            order = a.numeric ? std::strong_ordering::greater : std::strong_ordering::less;
        }
        if (order != 0) {
            return order;
        }
    }
    return std::strong_ordering::equal;
}
