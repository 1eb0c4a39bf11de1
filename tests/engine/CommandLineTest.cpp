// The command line: what each option writes, what it refuses, and the real
// program's answers to it.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "VirtualDisplay.h"
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
    EXPECT_EQ(numbers(), (std::vector<int>{800, 600, 60, 0}));

    ASSERT_TRUE(parse({"--fullscreen", "--size", "1920x1080", "--rate", "75", "--samples", "16"}, c));
    EXPECT_TRUE(c.choiceGiven && c.sizeGiven && c.rateGiven && c.choice.fullscreen);
    EXPECT_EQ(numbers(), (std::vector<int>{1920, 1080, 75, 16}));

    for (std::vector<const char*> alone : {std::vector<const char*>{"--window"}, {"--samples", "0"}}) {
        ASSERT_TRUE(parse(alone, c)) << alone[0];
        EXPECT_TRUE(c.choiceGiven && !c.choice.fullscreen && !c.sizeGiven && !c.rateGiven) << alone[0];
    }
    ASSERT_TRUE(parse({"--version", "--help"}, c));
    EXPECT_TRUE(c.version && c.help && !c.choiceGiven);
}

TEST(CommandLine, BadInputIsRefusedNamingTheArgument) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},           {"window"},          {"--size"},              {"--size", "640x"},
        {"--size", "0x480"},   {"--size", "-640x480"}, {"--size", "640x480x32"}, {"--size", "99999x480"},
        {"--rate", "0"},       {"--rate", "60Hz"},  {"--rate", "99999999999999999999"},
        {"--samples", "3"},    {"--samples", ""},
    };
    for (const auto& args : bad) {
        CommandLine c;
        std::string error;
        EXPECT_FALSE(parse(args, c, &error)) << args.back();
        EXPECT_NE(error.find(args.back()), std::string::npos) << args.back() << ": " << error;
    }
    CommandLine c;
    std::string error;
    EXPECT_FALSE(parse({"--window", "--fullscreen"}, c, &error));
    EXPECT_NE(error.find("--window and --fullscreen"), std::string::npos) << error;
}

struct Outcome {
    int status = -1;
    std::string out, errors;
};

Outcome runProgram(const hlvtest::TempDataFolder& folder, const std::string& env, const std::string& args) {
    const std::string command = "cd '" + folder.root() + "' && " + env + " SDL_AUDIODRIVER=dummy timeout 60 '" +
                                HLV_BINARY_DIR "/halvoren' " + args + " >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    auto slurp = [&](const char* name) {
        std::stringstream s;
        s << std::ifstream(folder.root() + name).rdbuf();
        return s.str();
    };
    return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp("out.txt"), slurp("err.txt")};
}

TEST(CommandLine, TheProgramAnswersWithUsageStatusOrTheShow) {
    hlvtest::TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 200"});
    const std::string offscreen = "SDL_VIDEODRIVER=offscreen";

    Outcome o = runProgram(folder, offscreen, "--size 640");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.errors.find("--size 640"), std::string::npos) << o.errors;
    EXPECT_NE(o.errors.find("usage: halvoren"), std::string::npos) << o.errors;
    o = runProgram(folder, offscreen, "--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("usage: halvoren"), std::string::npos) << o.out;
    o = runProgram(folder, offscreen, "--version");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("halvoren ", 0), 0u) << o.out;

    for (const char* args : {"--window --size 320x200 --samples 2", "--fullscreen"}) {
        o = runProgram(folder, offscreen, args);
        EXPECT_EQ(o.status, 0) << args << ": " << o.errors;
    }
}

TEST(CommandLine, AFullScreenModeTheDisplayLacksEndsTheShowNamingIt) {
    hlvtest::VirtualDisplay& x = hlvtest::VirtualDisplay::shared();
    HLV_REQUIRE_X(x);
    hlvtest::TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 200"});
    const Outcome o = runProgram(folder, "SDL_VIDEODRIVER=x11 DISPLAY=" + x.name(), "--fullscreen --size 1000x10");
    EXPECT_EQ(o.status, 255);
    EXPECT_NE(o.errors.find("1000x10"), std::string::npos) << o.errors;
}

}  // namespace
