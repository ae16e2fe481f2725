// vlk-satgen <input folder> <output folder>: the build's generator of the satellite files.
#include <iostream>

#include "satgen/scan_table_converter.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: vlk-satgen <scan table folder> <output folder>\n";
        return 2;
    }
    const SatgenSummary summary = ConvertScanTableFolder(argv[1], argv[2], std::cerr);
    std::cout << FormatSummary(summary) << '\n';
    switch (summary.status) {
        case SatgenStatus::Ok:
            return 0;
        case SatgenStatus::InputUnreadable:
            return 1;
        case SatgenStatus::OutputFailed:
            return 3;
    }
    return 3;
}
