// SPDX-License-Identifier: MIT
#include "FileAccess.h"

#include "FileDescriptor.h"
#include "Utf8.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a link at `path` points to, so that an edit keeps the link.
std::string resolvedTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The rename is already visible; this only makes it durable, so a
        // failure here is no reason to report the write as failed.
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

namespace FileAccess {

std::string readUtf8File(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throwErrno(errno);
    }
    std::string contents;
    char buffer[65536];
    while (true) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno);
        }
        if (count == 0) {
            break;
        }
        contents.append(buffer, static_cast<size_t>(count));
    }
    if (!isValidUtf8(contents)) {
        throwErrno(EILSEQ);
    }
    return contents;
}

void replaceAtomically(const std::string& path, std::string_view contents, ExistingFile existing,
                       mode_t newFileMode) {
    const std::string target =
        existing == ExistingFile::keepModeAndOwner ? resolvedTarget(path) : path;
    const std::string folder = folderOf(target);

    std::string temporaryPath = target + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        throwErrno(errno);
    }
    try {
        mode_t mode = newFileMode;
        struct stat original {};
        if (existing == ExistingFile::keepModeAndOwner && ::stat(target.c_str(), &original) == 0) {
            mode = original.st_mode & 07777;
            if (::fchown(fd.get(), original.st_uid, original.st_gid) != 0) {
                throwErrno(errno);
            }
        }
        if (::fchmod(fd.get(), mode) != 0) {
            throwErrno(errno);
        }
        writeAll(fd.get(), contents);
        if (::fsync(fd.get()) != 0) {
            throwErrno(errno);
        }
        fd.close();
        if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
            throwErrno(errno);
        }
    } catch (...) {
        ::unlink(temporaryPath.c_str());
        throw;
    }
    syncFolder(folder);
}

} // namespace FileAccess
