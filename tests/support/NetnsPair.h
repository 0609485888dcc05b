// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// Two network namespaces of our own joined by a veth pair: the "shaped" side,
// with interface vt0, stands for the machine whose traffic is throttled, the
// "peer" side for the rest of the network. The addresses exist only inside these namespaces, so
// no packet can reach a real network. Both namespaces are deleted, with
// everything in them, when the pair goes.
class NetnsPair final {
public:
    enum class Side { shaped, peer };

    // Throws std::runtime_error saying why when the namespaces cannot be made
    // (not root, no ip tool, no namespace support).
    NetnsPair();
    ~NetnsPair();
    NetnsPair(const NetnsPair&) = delete;
    NetnsPair& operator=(const NetnsPair&) = delete;

    int fd(Side side) const { return m_fds[index(side)]; }
    const char* address(Side side, bool ipv6) const;

    // Switches segmentation and receive offloads (TSO, GSO, GRO) of both ends
    // of the pair, as ethtool's -K does; they start on, as on a real machine.
    // Throws std::runtime_error when the kernel refuses.
    void setOffloads(bool on);

    // Runs a tool (absolute path) inside the namespace and returns its
    // standard output; throws std::runtime_error with its output when it
    // exits non-zero.
    std::string run(Side side, const std::string& tool, const std::vector<std::string>& arguments);

private:
    static int index(Side side) { return side == Side::shaped ? 0 : 1; }
    void destroy() noexcept;

    std::string m_names[2];
    int m_fds[2] = {-1, -1};
};

// Moves the calling thread into a network namespace until the scope ends.
// Sockets and processes made meanwhile stay in that namespace for good.
class NetnsScope final {
public:
    explicit NetnsScope(int namespaceFd);
    ~NetnsScope();
    NetnsScope(const NetnsScope&) = delete;
    NetnsScope& operator=(const NetnsScope&) = delete;

private:
    int m_original;
};
