// The port table: which enumerated names become menu entries, in which order and how long.
#include <gtest/gtest.h>

#include "link/port_table.h"

namespace kd215 {
namespace {

using Table = std::vector<std::string>;

TEST(PortTable, KeepsOnlyComPortsSortedWithoutColons) {
    EXPECT_EQ(buildPortTable({"LPT1:", "COM2", "FILE:", "COM1"}), (Table{"COM1", "COM2"}));
    EXPECT_EQ(buildPortTable({"COM2:", "LPT1:", "COM1:", "FILE:", "nul:"}), (Table{"COM1", "COM2"}));
}

TEST(PortTable, SortsCharacterByCharacterSoCom10PrecedesCom2) {
    EXPECT_EQ(buildPortTable({"COM2", "COM10", "COM1"}), (Table{"COM1", "COM10", "COM2"}));
    // The colon goes before sorting: with it, "COM10:" would sort before "COM1:".
    EXPECT_EQ(buildPortTable({"COM10:", "COM1:"}), (Table{"COM1", "COM10"}));
}

TEST(PortTable, SortIgnoresCaseButFilterDoesNot) {
    // "COMa" sorts as "COMA", before "COMB" though 'a' is above 'B' in ASCII; "com3" and
    // "Com3" are not COM ports.
    EXPECT_EQ(buildPortTable({"com3", "COMB", "Com3", "COMa", "COM4"}),
              (Table{"COM4", "COMa", "COMB"}));
}

TEST(PortTable, CutsLongNamesToSevenCharacters) {
    EXPECT_EQ(buildPortTable({"COM12345:", "COM1234"}), (Table{"COM1234", "COM1234"}));
    EXPECT_EQ(buildPortTable({"COMPORT99"}), (Table{"COMPORT"}));
}

TEST(PortTable, NothingUsableGivesAnEmptyTable) {
    EXPECT_TRUE(buildPortTable({}).empty());
    EXPECT_TRUE(buildPortTable({"LPT1:", "FILE:", "CO", "", ":"}).empty());
}

}  // namespace
}  // namespace kd215
