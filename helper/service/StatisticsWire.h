// SPDX-License-Identifier: MIT
#pragma once

#include "StatisticsReading.h"
#include "ThrottleParameters.h"

#include <QVariantMap>

#include <optional>

// GetStatistics' dictionary (HelperProtocol::Statistics) of an active
// helper: `reading`'s figures, with each queue's time at the bandwidth that
// `inForce` gives its direction, where it gives one.
QVariantMap statisticsToWire(const StatisticsReading::Reading& reading,
                             const std::optional<ThrottleParameters>& inForce);
