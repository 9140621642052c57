// The kd215ctl tests' harness: one run's code and texts, the controller memory holding an image, a
// temporary folder per test, and simulators started on their own pseudo-terminals.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands/ctl_commands.h"
#include "config/area_files.h"
#include "link/frames.h"
#include "sim_process_posix.h"

namespace kd215 {

struct CtlRun {
    int code;
    std::string out, err;
};

// kd215ctl run in this process, as its main would run it, with what it printed.
inline CtlRun ctl(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = runKd215ctl(args, out, err, false);
    return {code, out.str(), err.str()};
}

// The whole of the file at `path`; empty if there is none.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The controller's 512-byte memory holding `image` in its four areas.
inline std::vector<uint8_t> memoryOf(const ConfigImage& image) {
    std::vector<uint8_t> memory(512, 0xA5);
    for (const AreaBlock& block : kAreaBlocks) encodeAreaPayload(image, block.area, memory.data() + block.address);
    return memory;
}

// A test with a folder of its own under /tmp, removed afterwards, and the simulators it started.
class CtlFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kd215ctl-test-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // The file `name` in the folder, holding `bytes`; its path.
    std::string file(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    // One more simulator, holding `memory`, started with the options `extra`.
    SimProcess& startSimWith(const std::vector<uint8_t>& memory, const std::vector<std::string>& extra = {}) {
        sims_.push_back(std::make_unique<SimProcess>());
        sims_.back()->presetMemory(memory);
        EXPECT_TRUE(sims_.back()->start(extra));
        return *sims_.back();
    }

    std::vector<std::unique_ptr<SimProcess>> sims_;
    std::string dir_;
};

}  // namespace kd215
