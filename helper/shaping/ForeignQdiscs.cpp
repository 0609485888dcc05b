// SPDX-License-Identifier: MIT
#include "ForeignQdiscs.h"

#include "KernelDevices.h"

ForeignQdiscs::ForeignQdiscs(const KernelDevices& devices)
    : m_devices(devices) {}

std::optional<std::string> ForeignQdiscs::refusal(const std::string& interface) const {
    // The kernel's own root qdiscs have handle 0:; one added by a program has
    // another. An ingress or clsact qdisc is always someone's.
    for (const QdiscInfo& qdisc : m_devices.qdiscs(interface)) {
        if ((qdisc.isRoot && qdisc.handle != "0:") || qdisc.kind == "ingress" ||
            qdisc.kind == "clsact") {
            return "Cannot shape " + interface + ": it carries another program's qdisc (" +
                   qdisc.kind + " " + qdisc.handle + (qdisc.isRoot ? " root" : " ingress") + ")";
        }
    }
    return std::nullopt;
}
