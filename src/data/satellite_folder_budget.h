#pragma once
// What one reading of the satellite folder may take, for every reader of it (the simulated sky,
// the Transponders page, the real tuners' hints, the positioner's satellite list), so that a
// folder of many or big files neither holds the program nor fills the memory.
//
// The shipped folder is 328 files, about 9,100 transponders and 300 KB. The limits leave room for
// ten times as many files and a hundred times as many transponders and bytes: 4,096 files,
// 1,000,000 transponders, 64 MiB. 150 copies of a 15 MB file stop after the second copy (its
// transponders), and 30 files of 8,000 transponders are read whole.
//
// Files are taken in the reader's order; the first that does not fit ends the reading (of a file
// that brings more transponders than are left, the first ones are kept), and one line on the
// debugger output says so and where it stopped.
#include <cstddef>
#include <cstdint>
#include <string>

struct SatelliteFolderLimits {
    std::size_t files = 4096;
    std::size_t transponders = 1'000'000;
    std::uintmax_t bytes = std::uintmax_t{64} * 1024 * 1024;
};

class CSatelliteFolderBudget {
public:
    explicit CSatelliteFolderBudget(std::string folder, SatelliteFolderLimits limits = {});

    // Whether the file `name` of `bytes` bytes may still be read; it is counted when it may.
    bool TakeFile(const std::string& name, std::uintmax_t bytes);
    // How many of `count` transponders of the file `name` may still be kept; counted.
    std::size_t TakeTransponders(const std::string& name, std::size_t count);
    bool Exhausted() const { return m_bExhausted; }
    // How many names a reader lists: one more than the files it may take, so that a folder with
    // more says so.
    std::size_t NamesToList() const {
        return m_limits.files < SIZE_MAX ? m_limits.files + 1 : m_limits.files;
    }

private:
    void Stop(const std::string& name, const std::string& reason);

    const std::string m_strFolder;
    const SatelliteFolderLimits m_limits;
    std::size_t m_nFiles = 0;
    std::size_t m_nTransponders = 0;
    std::uintmax_t m_nBytes = 0;
    bool m_bExhausted = false;
};
