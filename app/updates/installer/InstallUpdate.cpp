// SPDX-License-Identifier: MIT
#include "InstallUpdate.h"

#include "Ed25519Verifier.h"
#include "InstallRefusal.h"
#include "PackageCopy.h"
#include "PackageTools.h"
#include "RootCacheFolder.h"
#include "UserPackageFile.h"

namespace InstallUpdate {

Result run(const Setup& setup, const QString& packagePath, const QByteArray& signature) {
    const auto step = [&setup](Step reached) {
        if (setup.onStep) {
            setup.onStep(reached);
        }
    };
    try {
        const Ed25519Verifier verifier(setup.publicKey);
        if (!verifier.hasValidKey()) {
            throw InstallRefusal{InstallStatus::badSignature,
                                 QStringLiteral("this build has no valid update signing key")};
        }
        const UserPackageFile package(packagePath, setup.maxPackageBytes);
        step(Step::opened);
        const RootCacheFolder folder(setup.cacheFolder);
        PackageCopy copy(folder);
        copy.copyFrom(package, setup.maxPackageBytes, [&step] { step(Step::copying); });
        step(Step::copied);
        if (!copy.isSignedBy(verifier, signature)) {
            throw InstallRefusal{InstallStatus::badSignature,
                                 QStringLiteral("the package does not match its signature")};
        }
        const PackageTools tools(setup);
        const PackageTools::Fields fields = tools.fieldsOf(copy.path());
        if (fields.name != setup.packageName) {
            throw InstallRefusal{
                InstallStatus::otherPackage,
                QStringLiteral("the package is %1, not %2").arg(fields.name, setup.packageName)};
        }
        const QString installed = tools.installedVersion();
        if (!tools.isNewer(fields.version, installed)) {
            throw InstallRefusal{InstallStatus::notNewer,
                                 QStringLiteral("version %1 is not newer than the installed %2")
                                     .arg(fields.version, installed)};
        }
        tools.install(copy.path());
        return {InstallStatus::installed, {}};
    } catch (const InstallRefusal& refusal) {
        return {refusal.status, refusal.message};
    }
}

} // namespace InstallUpdate
