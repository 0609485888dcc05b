// SPDX-License-Identifier: MIT
#include "NetnsPair.h"

#include "CommandExecutor.h"
#include "Logger.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sched.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* kIp = "/usr/sbin/ip";
constexpr const char* kDevices[2] = {"vt0", "vt1"};

CommandExecutor quietExecutor() {
    static const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    static const Logger logger(devNull, false);
    return CommandExecutor(logger);
}

std::string runOrThrow(const std::string& tool, const std::vector<std::string>& arguments) {
    const CommandResult result = quietExecutor().execute(tool, arguments);
    if (result.exitCode != 0) {
        std::string line = tool;
        for (const auto& argument : arguments) {
            line += " " + argument;
        }
        throw std::runtime_error(line + ": " + result.combinedOutput());
    }
    return result.output;
}

} // namespace

NetnsPair::NetnsPair() {
    if (::geteuid() != 0 || ::access(kIp, X_OK) != 0) {
        throw std::runtime_error("network namespaces need root and " + std::string(kIp));
    }
    static std::atomic<int> counter{0};
    const std::string stem =
        "veltrane-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    m_names[0] = stem + "-shaped";
    m_names[1] = stem + "-peer";
    try {
        for (int i = 0; i < 2; ++i) {
            runOrThrow(kIp, {"netns", "add", m_names[i]});
            m_fds[i] = ::open(("/run/netns/" + m_names[i]).c_str(), O_RDONLY | O_CLOEXEC);
            if (m_fds[i] < 0) {
                throw std::runtime_error("cannot open namespace " + m_names[i]);
            }
        }
        // Made inside the shaped namespace with its peer end moved straight to
        // the other one: neither end ever exists in the namespace the test runs in.
        runOrThrow(kIp, {"-n", m_names[0], "link", "add", kDevices[0], "type", "veth", "peer",
                         "name", kDevices[1], "netns", m_names[1]});
        for (int i = 0; i < 2; ++i) {
            const Side side = i == 0 ? Side::shaped : Side::peer;
            runOrThrow(kIp, {"-n", m_names[i], "link", "set", "lo", "up"});
            runOrThrow(kIp, {"-n", m_names[i], "addr", "add",
                             std::string(address(side, false)) + "/30", "dev", kDevices[i]});
            // nodad: the address is usable at once instead of after duplicate
            // detection, which would otherwise eat a second of every test.
            runOrThrow(kIp,
                       {"-n", m_names[i], "addr", "add", std::string(address(side, true)) + "/64",
                        "dev", kDevices[i], "nodad"});
            runOrThrow(kIp, {"-n", m_names[i], "link", "set", kDevices[i], "up"});
        }
        // The peer stands for the rest of the network: the shaped side's
        // default routes lead there, which makes vt0 its uplink.
        runOrThrow(
            kIp, {"-n", m_names[0], "route", "add", "default", "via", address(Side::peer, false)});
        runOrThrow(kIp, {"-n", m_names[0], "-6", "route", "add", "default", "via",
                         address(Side::peer, true)});
    } catch (...) {
        destroy();
        throw;
    }
}

NetnsPair::~NetnsPair() {
    destroy();
}

void NetnsPair::destroy() noexcept {
    for (int i = 0; i < 2; ++i) {
        if (m_fds[i] >= 0) {
            ::close(m_fds[i]);
        }
        quietExecutor().executeIgnoringErrors(kIp, {"netns", "del", m_names[i]});
    }
}

const char* NetnsPair::address(Side side, bool ipv6) const {
    static constexpr const char* kAddresses[2][2] = {{"10.213.0.1", "fd00:213::1"},
                                                     {"10.213.0.2", "fd00:213::2"}};
    return kAddresses[index(side)][ipv6 ? 1 : 0];
}

std::string NetnsPair::run(Side side, const std::string& tool,
                           const std::vector<std::string>& arguments) {
    const NetnsScope scope(fd(side));
    return runOrThrow(tool, arguments);
}

void NetnsPair::setOffloads(bool on) {
    for (const Side side : {Side::shaped, Side::peer}) {
        const NetnsScope scope(fd(side));
        const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (socket < 0) {
            throw std::runtime_error(std::string("cannot open a socket: ") + std::strerror(errno));
        }
        for (const std::uint32_t command : {ETHTOOL_STSO, ETHTOOL_SGSO, ETHTOOL_SGRO}) {
            ethtool_value value{command, on ? 1U : 0U};
            ifreq request{};
            std::strncpy(request.ifr_name, kDevices[index(side)], IFNAMSIZ - 1);
            request.ifr_data = reinterpret_cast<char*>(&value);
            if (::ioctl(socket, SIOCETHTOOL, &request) != 0) {
                const int error = errno;
                ::close(socket);
                throw std::runtime_error(std::string("cannot switch offloads of ") +
                                         kDevices[index(side)] + ": " + std::strerror(error));
            }
        }
        ::close(socket);
    }
}

NetnsScope::NetnsScope(int namespaceFd)
    : m_original(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)) {
    if (m_original < 0 || ::setns(namespaceFd, CLONE_NEWNET) != 0) {
        const int error = errno;
        ::close(m_original);
        throw std::runtime_error(std::string("cannot enter network namespace: ") +
                                 std::strerror(error));
    }
}

NetnsScope::~NetnsScope() {
    // Going back cannot fail for a namespace we were just in.
    ::setns(m_original, CLONE_NEWNET);
    ::close(m_original);
}
