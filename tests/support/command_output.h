// What a shell command writes on its standard output (an independent reader of our
// files, such as ImageMagick's identify and convert).
#pragma once

#include <cstdio>
#include <string>

namespace vantrel::test {

inline std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
        ::pclose(pipe);
    }
    return output;
}

}  // namespace vantrel::test
