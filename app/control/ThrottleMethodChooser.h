// SPDX-License-Identifier: MIT
#pragma once

#include "HelperReplyMapper.h"
#include "ThrottleParameters.h"
#include "ThrottleScope.h"

#include <QString>

class ComVeltraneHelperProtocolInterface;

// Which of the helper's methods carries a switch-on: the five-number ones
// when only the five are set, which every helper takes, and
// EnableThrottlingWithParameters when a richer condition needs names.
class ThrottleMethodChooser final {
public:
    ThrottleMethodChooser() = delete;

    // EnableThrottling, or EnableThrottlingWithParameters without an owner's
    // name or a hold.
    static HelperCall enable(ComVeltraneHelperProtocolInterface& helper,
                             const ThrottleParameters& parameters);
    // EnableThrottlingAs, or EnableThrottlingWithParameters, with this client
    // as the owner named `description`.
    static HelperCall take(ComVeltraneHelperProtocolInterface& helper,
                           const ThrottleParameters& parameters, const QString& description,
                           bool hold);
    // EnableThrottlingWithParameters with `scope` beside the parameters:
    // the one method that carries a scope, and answers with the id.
    static HelperCall start(ComVeltraneHelperProtocolInterface& helper,
                            const ThrottleParameters& parameters, const ThrottleScope& scope,
                            const QString& description, bool hold);
};
