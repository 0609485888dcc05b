// SPDX-License-Identifier: MIT
#include "ApplicationSearch.h"

namespace ApplicationSearch {

bool matches(const QString& name, const QString& desktopId, const QString& typed) {
    const QString wanted = typed.trimmed();
    return name.contains(wanted, Qt::CaseInsensitive) ||
           desktopId.contains(wanted, Qt::CaseInsensitive);
}

} // namespace ApplicationSearch
