// SPDX-License-Identifier: MIT
#include "FileDescriptor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

Pipe makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throwErrno(errno);
    }
    return {FileDescriptor(fds[0]), FileDescriptor(fds[1])};
}

} // namespace

TEST(FileDescriptorTest, ClosesWhatItOwnsOnceAndNothingItHandedOver) {
    int handedOver = -1;
    int moved = -1;
    {
        Pipe pipe = makePipe();
        handedOver = pipe.readEnd.release();
        const FileDescriptor owner(std::move(pipe.writeEnd));
        moved = owner.get();
        EXPECT_EQ(pipe.writeEnd.get(), -1);
        EXPECT_TRUE(isOpen(moved));
    }
    EXPECT_FALSE(isOpen(moved));
    EXPECT_TRUE(isOpen(handedOver));
    // A close that fails says so, with the system's description.
    FileDescriptor stale(handedOver);
    ASSERT_EQ(::close(handedOver), 0);
    try {
        stale.close();
        ADD_FAILURE() << "closing a closed descriptor did not throw";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), EBADF);
    }
    EXPECT_EQ(stale.get(), -1);
}

TEST(FileDescriptorTest, WriteAllWritesPastAFullPipeAndThrowsWhatStopsIt) {
    Pipe pipe = makePipe();
    // Several times a pipe's buffer: the writes come back short.
    const std::string text(1 << 20, 'x');
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(pipe.readEnd.get(), buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<size_t>(count));
        }
    });
    writeAll(pipe.writeEnd.get(), text);
    pipe.writeEnd.reset();
    reader.join();
    EXPECT_EQ(received, text);

    try {
        writeAll(pipe.readEnd.get(), "x");
        ADD_FAILURE() << "writing to a read end did not throw";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code().value(), EBADF);
    }
}
