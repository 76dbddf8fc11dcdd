// `state=DIR`: what one run of the program leaves in the simulated JIG is
// there for the next run.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "sim_helpers.h"

namespace {

using namespace simtest;
namespace fs = std::filesystem;

class SimState : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("zjig_sim_state_" + std::string(info->name()) + "_" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::remove_all(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string with(const std::string& options) { return options + ",state=" + dir.string(); }
    Bytes fileBytes(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void writeFile(const std::string& name, const std::string& content) {
        fs::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << content;
    }

    fs::path dir;
};

// The ENE write exchange of the third generation for the first blocks.
void eneWrite(Jig& j, const Bytes& image, size_t blocks, bool finish) {
    j.send(Bytes{'K', 'W'});
    for (size_t n = 0; n < blocks; ++n) {
        ASSERT_EQ(j.take(1).size(), 1u);
        j.send(Bytes(image.begin() + static_cast<std::ptrdiff_t>(n * 256),
                     image.begin() + static_cast<std::ptrdiff_t>((n + 1) * 256)));
        ASSERT_EQ(j.take(1), Bytes{'G'});
        if (n + 1 < blocks) j.send('N');
    }
    if (finish) j.send('X');
}

TEST_F(SimState, EneFlashWrittenInOneLifetimeIsFoundInTheNext) {
    Bytes image(131072);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i / 256 + i);
    Bytes expected(131072, 0xFF);
    std::copy(image.begin(), image.begin() + 768, expected.begin());
    {
        Jig j(with("jig3"));
        ASSERT_TRUE(j.ok());
        eneWrite(j, image, 3, true);
        // Saved once the write is complete, before the JIG goes away: the
        // answer to 'B' shows the 'X' has been taken.
        j.send('B');
        ASSERT_EQ(j.take(17).size(), 17u);
        EXPECT_EQ(fileBytes("ene_kb90xx.bin"), expected);
    }
    std::string error;
    auto next = sim::SimDevice::create(with("jig3"), error);
    ASSERT_TRUE(next) << error;
    EXPECT_EQ(next->jig().eneFlash(), expected);
}

TEST_F(SimState, UnfinishedChangesAreSavedAtTeardown) {
    Bytes image(131072, 0x3C);
    {
        Jig j(with("jig3"));
        ASSERT_TRUE(j.ok());
        eneWrite(j, image, 1, false);
    }
    const Bytes saved = fileBytes("ene_kb90xx.bin");
    ASSERT_EQ(saved.size(), 131072u);
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 256), Bytes(256, 0x3C));
}

TEST_F(SimState, SetEneFlashIsSavedAtOnce) {
    std::string error;
    auto dev = sim::SimDevice::create(with(""), error);
    ASSERT_TRUE(dev) << error;
    EXPECT_FALSE(dev->jig().setEneFlash(Bytes(100, 0x00)));
    ASSERT_TRUE(dev->jig().setEneFlash(Bytes(131072, 0x5A)));
    EXPECT_EQ(fileBytes("ene_kb90xx.bin"), Bytes(131072, 0x5A));
    EXPECT_EQ(dev->jig().stateError(), "");
}

TEST_F(SimState, UploadedFirmwareIdentityIsFoundInTheNextLifetime) {
    {
        Jig j(with("jig3-old"));
        ASSERT_TRUE(j.ok());
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatientMs);
        while (j.rxQueue() < 7 && std::chrono::steady_clock::now() < until) {
            j.send('+');
            j.dev->waitForData(6, std::chrono::steady_clock::now() + std::chrono::milliseconds(20));
        }
        ASSERT_EQ(j.take(7).size(), 7u);
        j.send('W');
        ASSERT_EQ(j.take(1), Bytes{'G'});
        j.send(imageNamed("M328_EPM240_v16", 128));
        ASSERT_EQ(j.take(1), Bytes{'+'});
        j.send('X');
        j.send('B');
        ASSERT_EQ(text(j.take(17)), "M328_EPM240_v16\r\n");
    }
    Jig next(with("jig3-old"));
    ASSERT_TRUE(next.ok());
    next.send('B');
    EXPECT_EQ(text(next.take(17)), "M328_EPM240_v16\r\n");
}

TEST_F(SimState, SavedSecondGenerationFirmwareBringsItsFamily) {
    writeFile("jig.txt", "generation=2\nfamily=V41\nidentity=PCB2_X_V41%0D%0A\n");
    Jig j(with("jig2=V42"));
    ASSERT_TRUE(j.ok());
    EXPECT_EQ(j.dev->identity(), "PCB2_X_V41");
    j.send('V');  // an ENE command: the V41 firmware answers it
    EXPECT_EQ(j.take(1).size(), 1u);
    j.send('B');
    EXPECT_EQ(text(j.take(12)), "PCB2_X_V41\r\n");
}

TEST_F(SimState, BrokenOrForeignStateIsRefused) {
    struct Case {
        const char* jigTxt;  // null: no jig.txt
        size_t eneBytes;     // 0: no ENE file
        const char* options;
        const char* errorHolds;
    };
    for (const auto& c :
         {Case{"generation=3\nidentity=M328_EPM240_v16\n", 0, "jig2", "third-generation"},
          Case{"generation=2\nfamily=V41\nidentity=X\n", 0, "jig3", "second-generation"},
          Case{"generation=3\nidentity=%ZZ\n", 0, "jig3", "bad line"},
          Case{"generation=3\ncolour=red\nidentity=A\n", 0, "jig3", "bad line"},
          Case{"generation=3\n", 0, "jig3", "lacks"},
          Case{nullptr, 1000, "jig3", "ene_kb90xx.bin"}}) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (c.jigTxt) writeFile("jig.txt", c.jigTxt);
        if (c.eneBytes) writeFile("ene_kb90xx.bin", std::string(c.eneBytes, 'x'));
        std::string error;
        EXPECT_EQ(sim::SimDevice::create(with(c.options), error), nullptr)
            << (c.jigTxt ? c.jigTxt : "ene");
        EXPECT_NE(error.find(c.errorHolds), std::string::npos) << error;
    }
}

TEST_F(SimState, FolderThatCannotBeMadeIsRefused) {
    writeFile("plain-file", "x");
    std::string error;
    EXPECT_EQ(sim::SimDevice::create("state=" + (dir / "plain-file" / "sub").string(), error),
              nullptr);
    EXPECT_NE(error.find("state="), std::string::npos) << error;
}

}  // namespace
