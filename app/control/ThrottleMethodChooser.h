// SPDX-License-Identifier: MIT
#pragma once

#include "HelperReplyMapper.h"
#include "ThrottleParameters.h"
#include "ThrottleScope.h"

#include <QString>

class ComVeltraneHelperProtocolInterface;

// Which of the helper's methods carries a switch-on: EnableThrottling for an
// unowned one of the five numbers alone, which every helper takes, and
// EnableThrottlingWithParameters for everything else, owned ones included.
class ThrottleMethodChooser final {
public:
    ThrottleMethodChooser() = delete;

    // EnableThrottling, or EnableThrottlingWithParameters without an owner's
    // name or a hold.
    static HelperCall enable(ComVeltraneHelperProtocolInterface& helper,
                             const ThrottleParameters& parameters);
    // EnableThrottlingWithParameters with this client as the owner named
    // `description`, and `scope` beside the parameters unless it is the whole
    // machine: the one method that carries a scope and answers with the id.
    static HelperCall start(ComVeltraneHelperProtocolInterface& helper,
                            const ThrottleParameters& parameters, const ThrottleScope& scope,
                            const QString& description, bool hold);
};
