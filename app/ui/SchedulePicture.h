// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileSchedule.h"

#include <QString>

#include <cstdint>
#include <vector>

// The panel's small picture of a schedule: its phases side by side as long
// as each lasts, or a trace's rate as bars, and where it stands now.
namespace SchedulePicture {

struct Segment {
    // Of the whole width, 0 to 1.
    double start = 0;
    double width = 0;
    bool outage = false;
    QString name;

    bool operator==(const Segment&) const = default;
};

std::vector<Segment> segments(const ProfileSchedule& schedule);

// The trace's download rate (its upload where it has no download) as at
// most `bars` heights of 0 to 1 against its highest rate, each the mean of
// the steps it covers.
std::vector<double> curve(const CapacityTrace& trace, std::size_t bars);

// Where a schedule that started `elapsedMs` ago stands, 0 to 1 of the
// picture: phases repeat or end on their last, which then holds; a trace
// loops at the end of the direction the curve shows.
double marker(const ProfileSchedule& schedule, std::int64_t elapsedMs);

} // namespace SchedulePicture
