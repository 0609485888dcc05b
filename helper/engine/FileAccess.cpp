// SPDX-License-Identifier: MIT
#include "FileAccess.h"

#include "FileDescriptor.h"
#include "Utf8.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
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

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".pf.conf.veltrane-" for pf.conf: hidden, and plainly ours.
std::string temporaryPrefix(const std::string& target) {
    // Appended, not "." + name: see the -Wrestrict note in Logger.cpp.
    return std::string(".").append(nameOf(target)).append(".veltrane-");
}
constexpr size_t kUniqueSuffixLength = 6; // mkostemp's XXXXXX

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

std::string readUtf8File(const std::string& path, Links links) {
    FileDescriptor fd(
        ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (links == Links::refuse ? O_NOFOLLOW : 0)));
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

void makeParentFolders(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return;
    }
    const std::string folder = path.substr(0, slash);
    makeParentFolders(folder);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throwErrno(errno);
    }
}

void replaceAtomically(const std::string& path, std::string_view contents, ExistingFile existing,
                       mode_t newFileMode, Durability durability) {
    const std::string target =
        existing == ExistingFile::keepModeAndOwner ? resolvedTarget(path) : path;
    const std::string folder = folderOf(target);

    std::string temporaryPath = folder + "/" + temporaryPrefix(target) + "XXXXXX";
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
        if (durability == Durability::survivesPowerLoss && ::fsync(fd.get()) != 0) {
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
    if (durability == Durability::survivesPowerLoss) {
        syncFolder(folder);
    }
}

std::string writeTemporary(const std::string& path, std::string_view contents) {
    std::string temporaryPath = folderOf(path) + "/" + temporaryPrefix(path) + "XXXXXX";
    FileDescriptor fd(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        throwErrno(errno);
    }
    try {
        if (::fchmod(fd.get(), 0600) != 0) {
            throwErrno(errno);
        }
        writeAll(fd.get(), contents);
        fd.close();
    } catch (...) {
        ::unlink(temporaryPath.c_str());
        throw;
    }
    return temporaryPath;
}

std::vector<std::string> removeLeftoverTemporaries(const std::string& path) noexcept {
    std::vector<std::string> removed;
    try {
        // An edit through a link writes its temporary beside the link's target.
        const std::string target = resolvedTarget(path);
        const std::string folder = folderOf(target);
        const std::string prefix = temporaryPrefix(target);
        DIR* directory = ::opendir(folder.c_str());
        if (directory == nullptr) {
            return removed;
        }
        while (const dirent* entry = ::readdir(directory)) {
            const std::string name = entry->d_name;
            if (!name.starts_with(prefix) || name.size() != prefix.size() + kUniqueSuffixLength) {
                continue;
            }
            const std::string candidate = folder + "/" + name;
            struct stat status {};
            if (::lstat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
                status.st_uid == ::geteuid() && ::unlink(candidate.c_str()) == 0) {
                removed.push_back(candidate);
            }
        }
        ::closedir(directory);
    } catch (...) {
        // Leftovers are only clutter; a start never fails over them.
    }
    return removed;
}

} // namespace FileAccess
