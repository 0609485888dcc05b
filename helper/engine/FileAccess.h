// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// File reads and atomic replacements for the files the engine edits. Failures
// throw std::system_error whose what() is the OS's description.
namespace FileAccess {

enum class Links {
    follow,
    // A symbolic link at the path fails the read (ELOOP): for files of ours
    // in folders only root writes, where a link can only be planted.
    refuse,
};

// The whole file, which must be valid UTF-8 (EILSEQ otherwise).
std::string readUtf8File(const std::string& path, Links links = Links::follow);

// Creates the folders above `path` that are missing, root-only.
void makeParentFolders(const std::string& path);

enum class ExistingFile {
    // Write through a symbolic link and keep the file's mode and owner: for
    // configuration the administrator owns.
    keepModeAndOwner,
    // Replace whatever is at the path, link or file, with a new file of ours:
    // for files in shared folders where someone else may have planted one.
    replace,
};

enum class Durability {
    // Flushed to disk before it replaces the old file: survives a power cut.
    survivesPowerLoss,
    // Not flushed: for files under /run, which a reboot empties anyway.
    untilReboot,
};

// Writes a temporary file created exclusively in the same folder, flushes it
// to disk and renames it over `path`, so a crash leaves the old or the new
// contents, never a mix. On failure the temporary file is removed; a kill
// can still leave one, named so that removeLeftoverTemporaries() knows it.
void replaceAtomically(const std::string& path, std::string_view contents, ExistingFile existing,
                       mode_t newFileMode = 0644,
                       Durability durability = Durability::survivesPowerLoss);

// Writes `contents` to a new root-only file beside `path`, created
// exclusively and named as replaceAtomically() names its temporaries, and
// returns its path: for what a tool reads once, which the caller removes
// after. A kill can leave it; removeLeftoverTemporaries(path) knows it.
std::string writeTemporary(const std::string& path, std::string_view contents);

// Removes the temporary files that replaceAtomically() on `path` left behind
// when its process died, and nothing else: only regular files of our own
// user with exactly that name pattern. Returns their paths.
std::vector<std::string> removeLeftoverTemporaries(const std::string& path) noexcept;

} // namespace FileAccess
