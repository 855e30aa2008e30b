#include <gtest/gtest.h>

#include <dirent.h>

#include <thread>

#include "platform/registry/HiveRegistry.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

class HiveRegistryTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string path = temp / "Tavrik/hkcu.reg";
    void SetUp() override { test::MakeFolders(temp / "Tavrik"); }
    std::vector<std::string> Files() const { return test::VisibleNames(temp / "Tavrik"); }
};

TEST_F(HiveRegistryTest, KeepsEveryLineItDoesNotChange) {
    const std::string original =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]\r\n"
        "\"Colour\"=dword:00ff00ff\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"SavePath\"=hex(2):2f,00,61,00,00,00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tavrik\\Pellimor]\r\n"
        "\"SavePath\"=\"/old\"\r\n"
        "\"Other\"=\"keep \\\"me\\\"\"\r\n";
    test::WriteFile(path, original);
    HiveRegistry registry(path);
    RegistryValue value;
    ASSERT_EQ(registry.QueryValue("Software\\Tavrik\\Marrowby", "SavePath", value), kStatusSuccess);
    EXPECT_EQ(value.type, kRegExpandSz);
    ASSERT_EQ(registry.QueryValue("Software\\Tavrik\\Marrowby", "Blob", value), kStatusSuccess);
    EXPECT_EQ(value.data, std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(registry.SetValue("Software\\Tavrik\\Pellimor", "SavePath", {kRegSz, "/new"}),
              kStatusSuccess);
    std::string expected = original;
    expected.replace(expected.find("\"SavePath\"=\"/old\""), 17, "\"SavePath\"=\"/new\"");
    EXPECT_EQ(test::ReadFile(path), expected);
    EXPECT_EQ(registry.SetValue("Software\\Tavrik\\Pellimor", "Added", {kRegSz, "x"}),
              kStatusSuccess);
    EXPECT_NE(test::ReadFile(path).find("\"Other\"=\"keep \\\"me\\\"\"\r\n\"Added\"=\"x\"\r\n"),
              std::string::npos);
    EXPECT_EQ(Files(), (std::vector<std::string>{"hkcu.reg", "hkcu.reg.lock"}));
}

TEST_F(HiveRegistryTest, AFileThatIsNoRegistryTextIsNeverWrittenOver) {
    const std::string garbage = "this is not a hive\r\n[unclosed\r\n";
    test::WriteFile(path, garbage);
    HiveRegistry registry(path);
    RegistryValue value;
    EXPECT_EQ(registry.QueryValue("Software\\Tavrik\\Pellimor", "SavePath", value),
              kStatusInvalidData);
    EXPECT_NE(registry.LastProblem().find("Windows Registry Editor Version 5.00"),
              std::string::npos)
        << registry.LastProblem();
    EXPECT_EQ(registry.CreateKey("Software\\Tavrik\\Pellimor"), kStatusInvalidData);
    EXPECT_NE(registry.LastProblem().find(path), std::string::npos) << registry.LastProblem();
    EXPECT_EQ(registry.SetValue("Software\\Tavrik\\Pellimor", "SavePath", {kRegSz, "/x"}),
              kStatusInvalidData);
    EXPECT_FALSE(registry.KeyExists("Software\\Tavrik\\Pellimor"));
    EXPECT_EQ(test::ReadFile(path), garbage);
    EXPECT_EQ(Files(), (std::vector<std::string>{"hkcu.reg", "hkcu.reg.lock"}));
}

TEST_F(HiveRegistryTest, TwoWritersAtOnceLoseNeitherWrite) {
    HiveRegistry setup(path);
    ASSERT_EQ(setup.CreateKey("Software\\A"), kStatusSuccess);
    const auto writer = [this](const std::string& name) {
        HiveRegistry registry(path);  // a separate open of the file, as another program has
        for (int i = 0; i < 60; ++i) {
            registry.SetValue("Software\\A", name + std::to_string(i), {kRegSz, name});
        }
    };
    std::thread one(writer, "one");
    std::thread two(writer, "two");
    one.join();
    two.join();
    for (int i = 0; i < 60; ++i) {
        for (const char* name : {"one", "two"}) {
            RegistryValue value;
            EXPECT_EQ(setup.QueryValue("Software\\A", name + std::to_string(i), value),
                      kStatusSuccess);
            EXPECT_EQ(value.data, name);
        }
    }
}

}  // namespace
}  // namespace pellimor
