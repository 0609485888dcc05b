// SPDX-License-Identifier: MIT
#include "ProfileNameOrder.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace ProfileNameOrder {

QList<ThrottleProfile> sortedByName(QList<ThrottleProfile> profiles) {
    // Normalise each name once rather than in every comparison.
    std::vector<QList<uint>> keys;
    keys.reserve(profiles.size());
    for (const ThrottleProfile& profile : profiles) {
        keys.push_back(profile.name.normalized(QString::NormalizationForm_C).toUcs4());
    }
    std::vector<qsizetype> order(profiles.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](qsizetype a, qsizetype b) { return keys[a] < keys[b]; });
    QList<ThrottleProfile> sorted;
    sorted.reserve(profiles.size());
    for (const qsizetype index : order) {
        sorted.append(std::move(profiles[index]));
    }
    return sorted;
}

QString identityKey(const QString& name) {
    // Composed again at the end: lower-casing can decompose ("İ" becomes
    // "i" and a combining dot).
    return name.normalized(QString::NormalizationForm_C)
        .toLower()
        .normalized(QString::NormalizationForm_C);
}

} // namespace ProfileNameOrder
