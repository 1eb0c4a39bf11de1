// What each option writes and what it refuses (the program's answers are in ShowExitTest).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CommandLine.h"

namespace {

bool parse(std::vector<const char*> args, CommandLine& out, std::string* error = nullptr) {
    args.insert(args.begin(), "halvoren");
    return parseCommandLine(int(args.size()), args.data(), out, error);
}

TEST(CommandLine, OptionsWriteTheChoiceAndSayWhetherOneWasGiven) {
    CommandLine c;
    auto numbers = [&] { return std::vector<int>{c.choice.width, c.choice.height, c.choice.refreshRate, c.choice.samples}; };
    ASSERT_TRUE(parse({}, c));
    EXPECT_FALSE(c.choiceGiven) << "no options: the dialog asks";
    ASSERT_TRUE(parse({"--fullscreen", "--size", "1920x1080", "--rate", "75", "--samples", "16"}, c));
    EXPECT_TRUE(c.choiceGiven && c.sizeGiven && c.rateGiven && c.choice.fullscreen);
    EXPECT_EQ(numbers(), (std::vector<int>{1920, 1080, 75, 16}));
}

TEST(CommandLine, BadInputIsRefusedNamingTheArgument) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},          {"window"},           {"--size"},            {"--size", "640x"},
        {"--size", "0x480"},  {"--size", "640x480x32"}, {"--size", "99999x480"}, {"--rate", "60Hz"},
        {"--rate", "99999999999999999999"}, {"--samples", "3"}, {"--samples", ""}, {"--window", "--fullscreen"},
        {"--size", "640x480", "--check"}, {"--from", "-1"},  {"--from", "4294967296"},
    };
    for (const auto& args : bad) {
        CommandLine c;
        std::string error;
        EXPECT_FALSE(parse(args, c, &error)) << args.back();
        // An empty value cannot be seen in the message, so its option must be.
        const char* named = *args.back() ? args.back() : args[args.size() - 2];
        EXPECT_NE(error.find(named), std::string::npos) << named << ": " << error;
    }
}

}  // namespace
