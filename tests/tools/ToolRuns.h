// What the tools' tests share: files read whole, and programs run through
// the shell with what they said kept for the test's message.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace hlvtools {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The command's exit status; -1 when it did not exit (a crash is no refusal).
inline int exitStatus(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// exitStatus() of the command with what it printed (stdout and stderr
// together unless the command redirects one) put in *said.
inline int run(const std::string& command, const std::filesystem::path& log, std::string* said) {
    const int status = exitStatus(command + " >'" + log.string() + "' 2>&1");
    *said = readFile(log);
    return status;
}

}  // namespace hlvtools
