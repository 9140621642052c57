// Listing serial devices on Linux, over a made-up device directory.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "link/port_list.h"

namespace kd215 {
namespace {

TEST(PosixPortList, ListsSerialDevicesInNumberOrderThenStableLinks) {
    char root[] = "/tmp/kd215-dev-XXXXXX";
    ASSERT_NE(mkdtemp(root), nullptr);
    const std::string dev = root;
    const char* devices[] = {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty0", "ttyprintk", "null"};
    for (const char* name : devices) std::fclose(std::fopen((dev + "/" + name).c_str(), "w"));

    EXPECT_EQ(ListPorts(dev), (std::vector<std::string>{dev + "/ttyACM1", dev + "/ttyS2",
                                                             dev + "/ttyS10", dev + "/ttyUSB0"}));

    ASSERT_EQ(mkdir((dev + "/serial").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dev + "/serial/by-id").c_str(), 0755), 0);
    const std::string link = dev + "/serial/by-id/usb-Adapter_A1-if00-port0";
    ASSERT_EQ(symlink("../../ttyUSB0", link.c_str()), 0);
    const std::vector<std::string> withLinks = ListPorts(dev);
    ASSERT_EQ(withLinks.size(), 5u);
    EXPECT_EQ(withLinks.back(), link);

    unlink(link.c_str());
    rmdir((dev + "/serial/by-id").c_str());
    rmdir((dev + "/serial").c_str());
    for (const char* name : devices) unlink((dev + "/" + name).c_str());
    rmdir(root);
}

TEST(PosixPortList, MissingDirectoryGivesNoPorts) {
    EXPECT_TRUE(ListPorts("/tmp/kd215-no-such-dev").empty());
}

}  // namespace
}  // namespace kd215
