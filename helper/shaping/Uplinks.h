// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

// An interface that carries a route to the rest of the network. The index
// tells a re-created interface of the same name apart (0: not known); the
// MTU bounds the frames it carries (0: not known).
struct Uplink {
    std::string name;
    unsigned index = 0;
    unsigned mtu = 0;

    bool operator==(const Uplink&) const = default;
};

// Where the traffic-control backend learns what to shape. Asked anew on every
// enable and uplink change, since interfaces come and go while the daemon runs.
class UplinkSource {
public:
    virtual ~UplinkSource() = default;

    // In a stable order. Throws std::runtime_error (std::system_error from
    // the kernel) when they cannot be read.
    virtual std::vector<Uplink> uplinks() const = 0;
};

// A list chosen up front: for tests and for the sandbox daemon, which must
// never shape the machine's real interfaces.
class FixedUplinks final : public UplinkSource {
public:
    // Throws std::invalid_argument naming the first name that cannot be an
    // interface.
    explicit FixedUplinks(std::vector<std::string> names);

    // Splits "eth0,wlan0" into names, with the same check.
    static std::vector<std::string> parseNames(std::string_view commaSeparated);

    std::vector<Uplink> uplinks() const override;

private:
    std::vector<std::string> m_names;
};

// The machine's uplinks: every interface that is up, not loopback and not an
// IFB device, and that carries a default route (IPv4 or IPv6, in any routing
// table, counting the two halves a VPN often installs instead). Bridge ports
// and the host ends of veth pairs carry none, so nothing is shaped twice.
// Reads the network namespace of the calling thread.
class SystemUplinks final : public UplinkSource {
public:
    std::vector<Uplink> uplinks() const override;
};

// Tells when links or routes change, so the daemon can shape an uplink that
// appears while throttling is on. Listens in the network namespace of the
// thread that makes it.
class UplinkMonitor final {
public:
    // Throws std::system_error when the kernel cannot be listened to.
    UplinkMonitor();
    ~UplinkMonitor();
    UplinkMonitor(const UplinkMonitor&) = delete;
    UplinkMonitor& operator=(const UplinkMonitor&) = delete;

    // Readable when the kernel reported something.
    int fd() const { return m_fd; }
    // Reads every pending report without blocking; true when a link or a
    // route changed (or reports were lost, which may hide a change).
    bool takeChanges() noexcept;

private:
    int m_fd;
};
