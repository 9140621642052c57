// The port table's rules: what the menu lists from the system's ports.
#include <gtest/gtest.h>

#include "link/port_table.h"
#include "support/fake_port_list.h"

namespace kd215 {
namespace {

using fakes::portsNamed;

std::vector<std::string> namesOf(const std::vector<PortInfo>& table) {
    std::vector<std::string> names;
    for (const PortInfo& port : table) names.push_back(port.name);
    return names;
}

TEST(PortTable, KeepsSortsAndCutsTheComNames) {
    const struct {
        std::vector<PortInfo> ports;
        std::vector<std::string> table;
    } cases[] = {
        // Colons dropped, other ports skipped; sorted as text ignoring case, "COM" exactly; cut.
        {portsNamed({"LPT1:", "COM2", "FILE:", "COM1:"}), {"COM1", "COM2"}},
        {portsNamed({"COM2", "COMB", "COM10", "com3", "COMa", "COM1"}), {"COM1", "COM10", "COM2", "COMa", "COMB"}},
        {portsNamed({"COM12345678", "COM5::"}), {"COM1234", "COM5:"}},
    };
    for (const auto& c : cases) EXPECT_EQ(namesOf(buildPortTable(c.ports)), c.table);
}

}  // namespace
}  // namespace kd215
