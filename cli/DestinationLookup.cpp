// SPDX-License-Identifier: MIT
#include "DestinationLookup.h"

#include "CliError.h"
#include "DestinationResolver.h"
#include "TaskDeadline.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

namespace DestinationLookup {

ThrottleScope resolved(const std::vector<Destination>& destinations) {
    try {
        return waitWithDeadline(DestinationResolver().resolve(destinations), kHelperDeadline);
    } catch (const ThrottleError& error) {
        throw CliError::failure(error.payload());
    } catch (const DeadlineExceeded&) {
        throw CliError::failure(QStringLiteral("The destinations could not be resolved in time"));
    }
}

} // namespace DestinationLookup
