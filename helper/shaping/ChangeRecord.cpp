// SPDX-License-Identifier: MIT
#include "ChangeRecord.h"

#include "FileAccess.h"
#include "FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace {

std::string lineOf(const ChangeRecord::Entry& entry) {
    std::string line;
    for (const auto& word : entry) {
        line += (line.empty() ? "" : " ") + word;
    }
    return line + "\n";
}

} // namespace

ChangeRecord::ChangeRecord(std::string path)
    : m_path(std::move(path)) {}

std::vector<ChangeRecord::Entry> ChangeRecord::entries() const {
    std::string text;
    try {
        text = FileAccess::readUtf8File(m_path);
    } catch (const std::system_error& error) {
        if (error.code().value() == ENOENT) {
            return {};
        }
        throw;
    }
    std::vector<Entry> result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        Entry entry;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            entry.push_back(word);
        }
        if (!entry.empty()) {
            result.push_back(std::move(entry));
        }
    }
    return result;
}

bool ChangeRecord::isEmpty() const {
    return ::access(m_path.c_str(), F_OK) != 0 && errno == ENOENT;
}

void ChangeRecord::add(const std::vector<Entry>& entries) {
    FileAccess::makeParentFolders(m_path);
    FileDescriptor fd(
        ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.get() < 0) {
        throwErrno(errno);
    }
    std::string text;
    for (const auto& entry : entries) {
        text += lineOf(entry);
    }
    // One write: a kill never leaves half an entry.
    writeAll(fd.get(), text);
    fd.close();
}

void ChangeRecord::replace(const std::vector<Entry>& entries) {
    if (entries.empty()) {
        if (::unlink(m_path.c_str()) != 0 && errno != ENOENT) {
            throwErrno(errno);
        }
        return;
    }
    std::string text;
    for (const auto& entry : entries) {
        text += lineOf(entry);
    }
    FileAccess::makeParentFolders(m_path);
    FileAccess::replaceAtomically(m_path, text, FileAccess::ExistingFile::replace, 0600,
                                  FileAccess::Durability::untilReboot);
}

void ChangeRecord::removeTemporaryLeftovers() const noexcept {
    FileAccess::removeLeftoverTemporaries(m_path);
}
