/* Without libFuzzer: runs a fuzz target over the files and folders given, so its corpus replays as a test. */
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdint.h>
#include <stdio.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void RunFile(const std::filesystem::path &path, int &nRun)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput((const uint8_t *)data.data(), data.size());
    ++nRun;
}

int main(int argc, char **argv)
{
    int nRun = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto &entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file())
                    RunFile(entry.path(), nRun);
            }
        } else {
            RunFile(path, nRun);
        }
    }
    printf("%d inputs replayed\n", nRun);
    return nRun ? 0 : 1;
}
