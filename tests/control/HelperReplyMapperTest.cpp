// SPDX-License-Identifier: MIT
#include "HelperReplyMapper.h"

#include "ControlFakes.h"
#include "HelperProtocol.h"

#include <gtest/gtest.h>

namespace {

TEST(HelperReplyMapperTest, TheHelpersNamedErrorsAreTheirCasesAndOtherErrorsTheBuses) {
    QStringList diagnostics;
    const HelperReplyMapper replies([&diagnostics](const QString& line) { diagnostics << line; });
    QObject connectionLife;
    const auto answer = [](const char* errorName) {
        return QDBusPendingCall::fromCompletedCall(
            QDBusMessage::createError(QString::fromLatin1(errorName), "because"));
    };
    namespace Error = HelperProtocol::Error;
    const QList<std::pair<const char*, ThrottleError>> table{
        {Error::kNotAuthorized, ThrottleError::authorizationDenied()},
        {Error::kInvalidArguments, ThrottleError::helperError("because")},
        {Error::kFailed, ThrottleError::helperError("because")},
        {Error::kTimedOut, ThrottleError::helperError("because")},
        {Error::kNotHolder, ThrottleError::helperError("because")},
        {"org.freedesktop.DBus.Error.UnknownMethod",
         ThrottleError::helperCommunicationFailed("because")},
    };
    for (const auto& [name, expected] : table) {
        for (const HelperReplyForm form :
             {HelperReplyForm::namedErrors, HelperReplyForm::successFlag}) {
            EXPECT_EQ(failureOf(replies.outcomeOf({answer(name), form}, connectionLife)), expected)
                << name;
        }
        EXPECT_EQ(failureOf(replies.dictionaryReplyOf(answer(name), connectionLife)), expected)
            << name;
    }
    // Only what the bus said is worth a diagnostic line.
    EXPECT_EQ(diagnostics.size(), 3);
    EXPECT_EQ(diagnostics.value(0),
              "Helper proxy error: org.freedesktop.DBus.Error.UnknownMethod: because");
}

} // namespace
