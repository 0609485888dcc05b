// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Starts one tool by absolute path with an argument list, never through a
// shell nor looked up in the PATH. Its standard output and error go to pipes
// of their own; it gets an empty signal mask and default signal handling,
// whatever the daemon set up (a bus library may block or ignore some); and
// it leads a process group of its own, so that a time-out can end it
// together with anything it started.
class ToolLaunch final {
public:
    // Its standard input: the daemon's, or a pipe of its own to write into.
    enum class Input { inherited, pipe };

    // Throws std::system_error, whose what() is the OS's description, when
    // the program cannot be started.
    ToolLaunch(const std::string& executablePath, const std::vector<std::string>& arguments,
               Input input = Input::inherited);

    pid_t pid() const { return m_pid; }
    // The read ends of the tool's streams. Ours of the write ends are
    // closed already, so reading them sees the streams end.
    FileDescriptor takeOutput() { return std::move(m_output.readEnd); }
    FileDescriptor takeError() { return std::move(m_error.readEnd); }
    // The write end of its input, with Input::pipe; closing it ends the input.
    FileDescriptor takeInput() { return std::move(m_input.writeEnd); }

private:
    struct Pipe {
        FileDescriptor readEnd;
        FileDescriptor writeEnd;
    };
    static Pipe makePipe();

    Pipe m_output;
    Pipe m_error;
    Pipe m_input;
    pid_t m_pid = 0;
};
