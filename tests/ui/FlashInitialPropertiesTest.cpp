#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "ui/FlashInitialProperties.h"
#include "ui/RuffleOptions.h"

namespace pellimor {
namespace {

std::vector<std::uint8_t> ShippedRecord() {
    const std::string bytes = test::ReadFile(std::string(PELLIMOR_SOURCE_DIR) +
                                             "/resources/flash-initial-properties.bin");
    return {bytes.begin(), bytes.end()};
}

// The five settings, and the emulator's settings made of them.
TEST(FlashInitialProperties, TheShippedRecordGivesTheFiveSettings) {
    const auto record = ShippedRecord();
    ASSERT_EQ(record.size(), 226u);
    const auto properties = ParseFlashInitialProperties(record);
    ASSERT_TRUE(properties) << properties.error();
    EXPECT_EQ(properties->windowMode, "Window");
    EXPECT_EQ(properties->quality, "High");
    EXPECT_EQ(properties->scriptAccess, "always");
    EXPECT_EQ(properties->scale, "ShowAll");
    EXPECT_EQ(properties->background, "FFFFFF");
    EXPECT_EQ(properties->extentWidth, 10054u);
    EXPECT_EQ(properties->extentHeight, 9075u);
    const RuffleOptions options = ToRuffleOptions(*properties);
    EXPECT_EQ(options, (RuffleOptions{"window", "high", "showAll", true, "#FFFFFF", "all", false}));
    EXPECT_EQ(ToJson(options),
              "{\"wmode\":\"window\",\"quality\":\"high\",\"scale\":\"showAll\","
              "\"allowScriptAccess\":true,\"backgroundColor\":\"#FFFFFF\","
              "\"allowNetworking\":\"all\",\"upgradeToHttps\":false}");
}

TEST(FlashInitialProperties, DamagedRecordsAreRefusedWithAReason) {
    const auto good = ShippedRecord();
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        const auto cutShort = ParseFlashInitialProperties(std::span(good).first(cut));
        EXPECT_FALSE(cutShort) << cut;
        EXPECT_FALSE(cutShort.error().empty());
    }
    const struct {
        std::size_t at;
        std::uint8_t value;
    } damages[] = {{0, 0xF4}, {2, 0x77}, {4, 0xFF}, {8, 1}, {12, 0}, {28, 9}, {32, 0xFF}, {224, 1}};
    for (const auto& d : damages) {
        auto bytes = good;
        bytes[d.at] = d.value;
        EXPECT_FALSE(ParseFlashInitialProperties(bytes)) << d.at;
    }
}

TEST(FlashInitialProperties, ADamagedRecordGivesTheDefaultsAndSaysSo) {
    auto damaged = ShippedRecord();
    damaged[12 + 40 + 8] = 'X';  // the second letter of "Window": still a record
    std::string warning = "stale";
    EXPECT_EQ(InitialPropertiesOrDefaults(damaged, warning).windowMode, "WXndow");
    EXPECT_EQ(warning, "");
    damaged.resize(100);
    const FlashInitialProperties fallback = InitialPropertiesOrDefaults(damaged, warning);
    EXPECT_NE(warning.find("do not parse"), std::string::npos) << warning;
    EXPECT_EQ(ToRuffleOptions(fallback),
              (RuffleOptions{"window", "high", "showAll", true, "#FFFFFF", "all", false}));
}

// Stored values as the emulator names them; what it has no name for is its default. Every
// row allows every network call and no upgrade to https.
TEST(RuffleOptions, OtherStoredValuesAsTheEmulatorNamesThem) {
    const struct {
        const char *mode, *quality, *access, *scale, *background;
        const char *wmode, *asQuality, *asScale;
        bool scriptAccess;
        const char* colour;
    } rows[] = {
        {"Transparent", "AutoHigh", "sameDomain", "NoBorder", "00ff80", "transparent", "high",
         "noBorder", false, "#00FF80"},
        {"opaque", "autolow", "ALWAYS", "exactfit", "#102030", "opaque", "low", "exactFit", true,
         "#102030"},
        {"Direct", "Best", "never", "NoScale", "", "direct", "best", "noScale", false, ""},
        {"", "", "", "", "FFFFF", "window", "high", "showAll", false, ""},
        {"fullscreen", "ultra", "always", "stretch", "GGGGGG", "window", "high", "showAll", true,
         ""},
        {"gpu", "16x16Linear", "always", "ShowAll", "fffffff", "gpu", "16x16linear", "showAll",
         true, ""},
    };
    for (const auto& row : rows) {
        FlashInitialProperties p;
        p.windowMode = row.mode;
        p.quality = row.quality;
        p.scriptAccess = row.access;
        p.scale = row.scale;
        p.background = row.background;
        EXPECT_EQ(ToRuffleOptions(p), (RuffleOptions{row.wmode, row.asQuality, row.asScale,
                                                     row.scriptAccess, row.colour, "all", false}))
            << row.mode << " " << row.quality;
    }
    RuffleOptions noColour{"window", "high", "showAll", false, "", "all", false};
    EXPECT_EQ(ToJson(noColour).find("backgroundColor"), std::string::npos);
}

}  // namespace
}  // namespace pellimor
