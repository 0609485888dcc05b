// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// What the daemon changed, one entry per change, each written before its
// change is made: a process that dies half-way leaves the list for the next
// one, and clean-up removes exactly what is listed and nothing else.
//
// The file is root-only and lives under /run, which a reboot empties along
// with the shaping it describes. One write per entry and no fsync: a killed
// process loses nothing already written, and a crashed kernel loses the
// shaping and the file together.
class ChangeRecord final {
public:
    // An entry is a few words without white space, such as "qdisc eth0 root".
    using Entry = std::vector<std::string>;

    explicit ChangeRecord(std::string path);

    // Throws std::system_error when the file exists but cannot be read.
    std::vector<Entry> entries() const;
    bool isEmpty() const;

    // Appends entries in one write, creating the folder and file when
    // missing. Throws std::system_error.
    void add(const std::vector<Entry>& entries);
    // Replaces the whole list at once; an empty list removes the file.
    void replace(const std::vector<Entry>& entries);

    void removeTemporaryLeftovers() const noexcept;

private:
    std::string m_path;
};
