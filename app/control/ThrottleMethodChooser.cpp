// SPDX-License-Identifier: MIT
#include "ThrottleMethodChooser.h"

#include "HelperProtocolInterface.h"
#include "ParameterDictionary.h"

HelperCall ThrottleMethodChooser::enable(ComVeltraneHelperProtocolInterface& helper,
                                         const ThrottleParameters& parameters) {
    if (parameters.needsNamedParameters()) {
        // The one method that carries them answers with named errors, not
        // with a flag and a text.
        return {helper.EnableThrottlingWithParameters(ParameterDictionary::toWire(parameters),
                                                      QString(), false),
                HelperReplyForm::namedErrors};
    }
    return {helper.EnableThrottling(parameters.downloadBytesPerSecond,
                                    parameters.uploadBytesPerSecond, parameters.latencyMs,
                                    parameters.packetLossPercent, parameters.dnsDelayMs),
            HelperReplyForm::successFlag};
}

HelperCall ThrottleMethodChooser::take(ComVeltraneHelperProtocolInterface& helper,
                                       const ThrottleParameters& parameters,
                                       const QString& description, bool hold) {
    // The five alone go the older way, which every helper since ownership
    // takes; both answer with named errors.
    if (parameters.needsNamedParameters()) {
        return {helper.EnableThrottlingWithParameters(ParameterDictionary::toWire(parameters),
                                                      description, hold),
                HelperReplyForm::namedErrors};
    }
    return {helper.EnableThrottlingAs(parameters.downloadBytesPerSecond,
                                      parameters.uploadBytesPerSecond, parameters.latencyMs,
                                      parameters.packetLossPercent, parameters.dnsDelayMs,
                                      description, hold),
            HelperReplyForm::namedErrors};
}
