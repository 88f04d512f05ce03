// Load and save of the settings engine against plain reading and writing of
// the same bytes; prints the ratios. The engine reads line by line with one
// read and one repositioning per line, so the load ratio shows that cost.
#include "store/Fastini.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>

namespace {

double Millis(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main()
{
    char folder[] = "/tmp/ini-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string path = std::string(folder) + "/s.ini";
    std::mt19937 rng(1);
    std::string bytes;
    for (int s = 0; s < 2000; ++s) {
        bytes += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            bytes += "Key" + std::to_string(k) + "=" + std::string(40 + rng() % 40, 'v') + "\r\n";
    }
    std::ofstream(path, std::ios::binary) << bytes;

    auto t = std::chrono::steady_clock::now();
    std::ifstream in(path, std::ios::binary);
    const std::string plain((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const double readMs = Millis(t);

    t = std::chrono::steady_clock::now();
    double saveMs = 0;
    {
        TFastIniFile ini(path);
        const double loadMs = Millis(t);
        std::printf("file %zu bytes, %d sections\n", plain.size(), ini.SectionCount());
        std::printf("load %.1f ms, plain read %.1f ms, ratio %.1f\n", loadMs, readMs, loadMs / readMs);
        ini.Modified = true;
        t = std::chrono::steady_clock::now();
        ini.Save();
        saveMs = Millis(t);
    }
    t = std::chrono::steady_clock::now();
    std::ofstream(std::string(folder) + "/plain", std::ios::binary) << plain;
    const double writeMs = Millis(t);
    std::printf("save %.1f ms (with fdatasync), plain write %.1f ms, ratio %.1f\n", saveMs, writeMs,
                saveMs / writeMs);
    std::remove(path.c_str());
    std::remove((std::string(folder) + "/plain").c_str());
    rmdir(folder);
    return 0;
}
