// SPDX-License-Identifier: MIT
#pragma once

#include "Destination.h"

#include <QString>
#include <QStringList>

#include <vector>

// The destinations a profile applies to, as the editor, the command line and
// the summaries handle them. No destinations means all traffic.
namespace ProfileDestinations {

struct Parsed {
    std::vector<Destination> destinations;
    // Why the entries are refused, naming the entry; empty when they are not.
    QString error;
};

// Entries as typed, blank ones skipped: each must be well-formed, none
// listed twice, and at most ThrottleScope::kMaxDestinations of them.
Parsed parse(const QStringList& entries);

// The entries of a list field: one per line.
QStringList lines(const QString& text);

// The canonical text of each, as stored: parse() reads them back the same.
QStringList texts(const std::vector<Destination>& destinations);

// "only to api.example.com, :443", the first few and how many more when
// the list is long; empty for all traffic.
QString summary(const std::vector<Destination>& destinations);
// For a narrow line: the first and a count of the rest, "only to
// api.example.com +2"; empty for all traffic.
QString shortSummary(const std::vector<Destination>& destinations);

} // namespace ProfileDestinations
