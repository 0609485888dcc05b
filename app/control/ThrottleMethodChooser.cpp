// SPDX-License-Identifier: MIT
#include "ThrottleMethodChooser.h"

#include "HelperProtocol.h"
#include "HelperProtocolInterface.h"
#include "ParameterDictionary.h"
#include "ScopeDictionary.h"

HelperCall ThrottleMethodChooser::enable(ComVeltraneHelperProtocolInterface& helper,
                                         const ThrottleParameters& parameters) {
    if (parameters.needsNamedParameters()) {
        // The one method that carries them answers with named errors, not
        // with a flag and a text.
        return {helper.EnableThrottlingWithParameters(ParameterDictionary::toWire(parameters),
                                                      QString(), false),
                HelperReplyForm::throttleId};
    }
    return {helper.EnableThrottling(parameters.downloadBytesPerSecond,
                                    parameters.uploadBytesPerSecond, parameters.latencyMs,
                                    parameters.packetLossPercent, parameters.dnsDelayMs),
            HelperReplyForm::successFlag};
}

HelperCall ThrottleMethodChooser::start(ComVeltraneHelperProtocolInterface& helper,
                                        const ThrottleParameters& parameters,
                                        const ThrottleScope& scope, const QString& description,
                                        bool hold) {
    QVariantMap named = ParameterDictionary::toWire(parameters);
    if (!scope.isMachine()) {
        named.insert(QString::fromLatin1(HelperProtocol::kScopeKey),
                     ScopeDictionary::toWire(scope));
    }
    return {helper.EnableThrottlingWithParameters(named, description, hold),
            HelperReplyForm::throttleId};
}
