// SPDX-License-Identifier: MIT
#pragma once

// The exit statuses of install-update, which the application tells apart:
// a package that does not match its signature is "improperly signed" to the
// user; every other refusal shows the installer's own line. pkexec keeps 126
// and 127 for itself.
enum class InstallStatus : int {
    installed = 0,
    usage = 2,
    unusablePackageFile = 3,
    cacheFolderUnusable = 4,
    badSignature = 5,
    otherPackage = 6,
    notNewer = 7,
    notInstalled = 8,
    toolFailed = 9,
    installFailed = 10,
};
